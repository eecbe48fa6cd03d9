// Pieces of HTTP body handling: the Content-Length value and chunked transfer decoding.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace net {

// Parses a Content-Length value: decimal digits, surrounding blanks allowed. Values that do
// not fit in 64 bits are false like any other malformed text.
bool ParseContentLength(const std::string& text, uint64_t& out);

// Decodes a chunked body incrementally, bytes in pieces of any size. The decoded body may
// not exceed max_body: a chunk size beyond that is refused as soon as its line is read.
class ChunkedDecoder {
 public:
  enum class Result { kMore, kDone, kMalformed, kTooLarge };

  explicit ChunkedDecoder(size_t max_body) : max_body_(max_body) {}
  // Appends the decoded bytes of data to body. Done after the last chunk's size line
  // (trailers and anything after them are not read).
  Result Feed(const char* data, size_t n, std::string& body);

 private:
  enum class State { kSize, kExtension, kSizeLf, kData, kDataCr, kDataLf, kDone, kFailed };
  size_t max_body_;
  State state_ = State::kSize;
  uint64_t size_ = 0;
  int digits_ = 0;
  size_t line_ = 0;  // bytes of the current size line
  Result failure_ = Result::kMalformed;
};

}  // namespace net
