// The response head reader (HTTP and ICY): fed in pieces, it must reach the same head as
// the parser of the whole text, within its limits.
#include "net/http_head.h"
#include "split.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Split in(data, size);
  net::HttpHeadLimits lim;
  lim.max_bytes = 2048;
  lim.max_lines = 20;
  net::HeadScanner scanner(lim);
  bool complete = false;
  size_t fed = 0;
  in.each_piece([&](const char* p, size_t n) {
    if (complete) return;
    fed += n;
    complete = scanner.Feed(p, n);
  });
  if (!complete) {
    FUZZ_CHECK(fed <= lim.max_bytes);  // more would have been too large
    return 0;
  }
  net::HttpHead head;
  net::HeadResult r = scanner.Finish(head);
  if (r == net::HeadResult::kOk) {
    FUZZ_CHECK(head.lines.size() <= lim.max_lines);
    FUZZ_CHECK(head.status >= 100 && head.status <= 999);
    for (const auto& h : head.headers) {
      FUZZ_CHECK(!h.first.empty());
      FUZZ_CHECK(head.Find(h.first) != nullptr);
    }
    std::string text;  // the same head parsed at once
    for (size_t i = 0; i < head.lines.size(); ++i) text += (i ? "\n" : "") + head.lines[i];
    net::HttpHead again;
    FUZZ_CHECK(net::ParseHttpHead(text, lim.max_lines, again) == net::HeadResult::kOk);
    FUZZ_CHECK(again.status == head.status && again.headers == head.headers);
  }
  return 0;
}
