#include "net/body.h"

namespace net {
namespace {

constexpr size_t kMaxSizeLine = 4096;  // chunk size plus extensions

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseContentLength(const std::string& text, uint64_t& out) {
  size_t i = 0, n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
  if (i == n) return false;
  uint64_t v = 0;
  for (; i < n; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return false;
    uint64_t d = static_cast<uint64_t>(c - '0');
    if (v > (UINT64_MAX - d) / 10) return false;
    v = v * 10 + d;
  }
  out = v;
  return true;
}

ChunkedDecoder::Result ChunkedDecoder::Feed(const char* data, size_t n, std::string& body) {
  auto fail = [this](Result r) {
    state_ = State::kFailed;
    failure_ = r;
    return r;
  };
  // the size line has ended: the chunk's data follows, or the body is complete
  auto size_line_done = [this] {
    line_ = 0;
    digits_ = 0;
    state_ = size_ == 0 ? State::kDone : State::kData;
  };
  for (size_t i = 0; i < n && state_ != State::kDone && state_ != State::kFailed;) {
    const char c = data[i];
    switch (state_) {
      case State::kSize:
      case State::kExtension: {
        ++i;
        if (++line_ > kMaxSizeLine) return fail(Result::kMalformed);
        if (c == '\r' || c == '\n') {
          if (digits_ == 0) return fail(Result::kMalformed);
          if (c == '\r')
            state_ = State::kSizeLf;
          else
            size_line_done();
          break;
        }
        if (state_ == State::kExtension) break;
        int h = HexValue(c);
        if (h < 0) {
          if (digits_ == 0 || (c != ';' && c != ' ' && c != '\t')) return fail(Result::kMalformed);
          state_ = State::kExtension;
          break;
        }
        // leading zeros are fine; the size may never pass what the body can still take
        if (size_ > (UINT64_MAX >> 4)) return fail(Result::kTooLarge);
        size_ = size_ * 16 + static_cast<uint64_t>(h);
        ++digits_;
        if (size_ > max_body_ - body.size()) return fail(Result::kTooLarge);
        break;
      }
      case State::kSizeLf:
        ++i;
        if (c != '\n') return fail(Result::kMalformed);
        size_line_done();
        break;
      case State::kData: {
        size_t take = n - i < size_ ? n - i : static_cast<size_t>(size_);
        body.append(data + i, take);
        i += take;
        size_ -= take;
        if (size_ == 0) state_ = State::kDataCr;
        break;
      }
      case State::kDataCr:
        ++i;
        if (c == '\n')
          state_ = State::kSize;
        else if (c == '\r')
          state_ = State::kDataLf;
        else
          return fail(Result::kMalformed);
        break;
      case State::kDataLf:
        ++i;
        if (c != '\n') return fail(Result::kMalformed);
        state_ = State::kSize;
        break;
      case State::kDone:
      case State::kFailed: break;
    }
  }
  if (state_ == State::kDone) return Result::kDone;
  if (state_ == State::kFailed) return failure_;
  return Result::kMore;
}

}  // namespace net
