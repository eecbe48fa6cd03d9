#include "net/http_head.h"

#include "net/text.h"

#include <cctype>

namespace net {
namespace {

// Position just past the empty line that ends the head, or npos.
size_t FindHeadEnd(const std::string& buf, size_t from, size_t& text_end) {
  for (size_t i = from; i < buf.size(); ++i) {
    if (buf[i] != '\n') continue;
    // "\n\n" or "\n\r\n"
    if (i + 1 < buf.size() && buf[i + 1] == '\n') {
      text_end = i;
      return i + 2;
    }
    if (i + 2 < buf.size() && buf[i + 1] == '\r' && buf[i + 2] == '\n') {
      text_end = i;
      return i + 3;
    }
  }
  return std::string::npos;
}

}  // namespace

const std::string* HttpHead::Find(const std::string& lower_name) const {
  for (const auto& h : headers)
    if (h.first == lower_name) return &h.second;
  return nullptr;
}

HeadResult ParseHttpHead(const std::string& text, size_t max_lines, HttpHead& out) {
  out = HttpHead();
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t nl = text.find('\n', pos);
    std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (out.lines.size() >= max_lines) return HeadResult::kTooLarge;
    out.lines.push_back(line);
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  if (out.lines.empty()) return HeadResult::kMalformed;
  const std::string& sl = out.lines[0];
  out.status_line = sl;
  size_t sp = sl.find(' ');
  if (sp == std::string::npos) return HeadResult::kMalformed;
  out.protocol = sl.substr(0, sp);
  if (out.protocol != "ICY" && out.protocol.compare(0, 5, "HTTP/") != 0)
    return HeadResult::kMalformed;
  size_t d = sp;
  while (d < sl.size() && sl[d] == ' ') ++d;
  int code = 0, digits = 0;
  while (d < sl.size() && std::isdigit(static_cast<unsigned char>(sl[d])) && digits < 4) {
    code = code * 10 + (sl[d] - '0');
    ++d;
    ++digits;
  }
  if (digits != 3 || code < 100) return HeadResult::kMalformed;
  out.status = code;
  for (size_t i = 1; i < out.lines.size(); ++i) {
    const std::string& l = out.lines[i];
    size_t c = l.find(':');
    if (c == std::string::npos || c == 0) continue;  // tolerated, ignored
    std::string name = AsciiLower(Trim(l.substr(0, c)));
    if (name.empty()) continue;  // only blanks before the colon
    out.headers.emplace_back(name, Trim(l.substr(c + 1)));
  }
  return HeadResult::kOk;
}

bool HeadScanner::Feed(const char* data, size_t n) {
  if (too_large_ || body_at_ != std::string::npos) return true;
  buf_.append(data, n);
  size_t text_end = 0;
  size_t end = FindHeadEnd(buf_, scanned_ > 2 ? scanned_ - 2 : 0, text_end);
  for (size_t i = scanned_; i < (end == std::string::npos ? buf_.size() : text_end); ++i)
    if (buf_[i] == '\n') ++newlines_;
  scanned_ = buf_.size();
  if (end != std::string::npos) {
    text_end_ = text_end;
    body_at_ = end;
    return true;
  }
  too_large_ = buf_.size() > limits_.max_bytes || newlines_ >= limits_.max_lines;
  return too_large_;
}

HeadResult HeadScanner::Finish(HttpHead& out) const {
  if (too_large_ || (body_at_ != std::string::npos && text_end_ + 2 > limits_.max_bytes))
    return HeadResult::kTooLarge;
  if (body_at_ == std::string::npos) return HeadResult::kMalformed;
  HeadResult r = ParseHttpHead(buf_.substr(0, text_end_), limits_.max_lines, out);
  if (r == HeadResult::kOk) out.body_start = buf_.substr(body_at_);
  return r;
}

HeadResult ReadHttpHead(Socket& sock, const HttpHeadLimits& limits, Deadline deadline,
                        HttpHead& out) {
  deadline = deadline.WithinMs(limits.timeout_ms);
  HeadScanner scanner(limits);
  char chunk[4096];
  for (;;) {
    size_t got = 0;
    switch (sock.Recv(chunk, sizeof chunk, got, deadline)) {
      case IoStatus::kOk: break;
      case IoStatus::kClosed: return HeadResult::kClosed;
      case IoStatus::kTimeout: return HeadResult::kTimeout;
      case IoStatus::kAborted: return HeadResult::kAborted;
      default: return HeadResult::kError;
    }
    if (scanner.Feed(chunk, got)) return scanner.Finish(out);
  }
}

std::string BuildGetRequest(const Url& url,
                            const std::vector<std::pair<std::string, std::string>>& headers,
                            const char* version) {
  std::string r = "GET " + url.target + " " + version + "\r\n";
  r += "Host: " + url.HostHeader() + "\r\n";
  for (const auto& h : headers) r += h.first + ": " + h.second + "\r\n";
  r += "\r\n";
  return r;
}

}  // namespace net
