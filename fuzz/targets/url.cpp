// The URL parser and reference resolution: a parsed address prints as a text that parses to
// the same address, and resolved references are requestable.
#include "net/url.h"
#include "split.h"

namespace {

void check(const net::Url& u) {
  FUZZ_CHECK(u.scheme == "http" || u.scheme == "https");
  FUZZ_CHECK(!u.host.empty() && u.port != 0);
  FUZZ_CHECK(!u.target.empty() && u.target[0] == '/');
  FUZZ_CHECK(u.target.find(' ') == std::string::npos);
  net::Url again;
  FUZZ_CHECK(net::ParseUrl(u.ToString(), again));
  FUZZ_CHECK(again.host == u.host && again.port == u.port && again.target == u.target);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // the input as an address, and its two halves as an address and a reference
  net::Url u;
  if (net::ParseUrl(text, u)) check(u);
  const size_t mid = size / 2;
  net::Url base, out;
  if (net::ParseUrl("http://" + text.substr(0, mid), base)) {
    if (net::ResolveUrl(base, text.substr(mid), out)) check(out);
    if (net::ResolveUrl(base, text, out)) check(out);
  }
  return 0;
}
