// HttpGet's body decoding: chunked bodies in pieces of any size and Content-Length values.
#include <cstdlib>

#include "net/body.h"
#include "split.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t limit = 1 + data[0] * 64;  // up to 16 KiB
  Split in(data + 1, size - 1);

  net::ChunkedDecoder whole(limit);
  std::string body_whole;
  const auto r_whole = whole.Feed(in.rest.data(), in.rest.size(), body_whole);

  net::ChunkedDecoder pieces(limit);
  std::string body_pieces;
  auto r_pieces = net::ChunkedDecoder::Result::kMore;
  in.each_piece([&](const char* p, size_t n) {
    if (r_pieces == net::ChunkedDecoder::Result::kMore) r_pieces = pieces.Feed(p, n, body_pieces);
  });
  FUZZ_CHECK(r_whole == r_pieces);
  FUZZ_CHECK(body_whole == body_pieces);
  FUZZ_CHECK(body_whole.size() <= limit);

  // Content-Length: digits only, the value exact or refused
  uint64_t v = 0;
  if (net::ParseContentLength(in.rest, v)) {
    bool digit = false;
    for (char c : in.rest) {
      FUZZ_CHECK(c == ' ' || c == '\t' || (c >= '0' && c <= '9'));
      digit |= c >= '0' && c <= '9';
    }
    FUZZ_CHECK(digit);
    FUZZ_CHECK(std::strtoull(in.rest.c_str(), nullptr, 10) == v);
  }
  return 0;
}
