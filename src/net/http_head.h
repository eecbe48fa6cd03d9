// Blocking reader of an HTTP/1.x (or ICY) response head.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "net/socket.h"
#include "net/url.h"

namespace net {

struct HttpHead {
  std::string status_line;  // e.g. "HTTP/1.1 200 OK" or "ICY 200 OK"
  std::string protocol;     // "HTTP/1.0", "HTTP/1.1", "ICY"
  int status = 0;
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::vector<std::string> lines;  // status line and header lines as received, without line ends
  std::string body_start;          // bytes after the head that arrived with it

  // First value of a header (name in lower case), or nullptr.
  const std::string* Find(const std::string& lower_name) const;
};

struct HttpHeadLimits {
  size_t max_bytes = 16 * 1024;  // whole head, line ends included
  size_t max_lines = 100;        // status line included
  int timeout_ms = 10000;        // for the whole head
};

enum class HeadResult { kOk, kClosed, kTimeout, kAborted, kTooLarge, kMalformed, kError };

// Collects a head from the bytes received, in pieces of any size. The head ends at an
// empty line; both CRLF and LF line ends are accepted.
class HeadScanner {
 public:
  explicit HeadScanner(const HttpHeadLimits& limits) : limits_(limits) {}
  // Takes the next bytes; true once the head is complete or over the limits.
  bool Feed(const char* data, size_t n);
  // After Feed returned true: Ok (the head in out, the bytes after it in body_start),
  // TooLarge or Malformed.
  HeadResult Finish(HttpHead& out) const;

 private:
  HttpHeadLimits limits_;
  std::string buf_;
  size_t scanned_ = 0;   // bytes looked at for the end
  size_t newlines_ = 0;  // line ends seen in them
  size_t text_end_ = 0;  // end of the head's text (without the empty line)
  size_t body_at_ = std::string::npos;
  bool too_large_ = false;
};

// Reads the head within limits.timeout_ms and by the deadline.
HeadResult ReadHttpHead(Socket& sock, const HttpHeadLimits& limits, Deadline deadline,
                        HttpHead& out);
inline HeadResult ReadHttpHead(Socket& sock, const HttpHeadLimits& limits, HttpHead& out) {
  return ReadHttpHead(sock, limits, Deadline(), out);
}

// Parses a complete head text (without the final empty line); used by ReadHttpHead.
HeadResult ParseHttpHead(const std::string& text, size_t max_lines, HttpHead& out);

// "GET target HTTP/1.0" with Host and the given extra header lines, ended by an empty line.
std::string BuildGetRequest(const Url& url,
                            const std::vector<std::pair<std::string, std::string>>& headers,
                            const char* version = "HTTP/1.0");

}  // namespace net
