#include "net/http_get.h"

#include "net/body.h"

namespace net {

Error ReadBody(Response& resp, size_t max_body, Deadline read_by, std::string& body) {
  bool chunked = false;
  if (const std::string* te = resp.head.Find("transfer-encoding"))
    chunked = te->find("chunked") != std::string::npos;
  bool sized = false;
  uint64_t length = 0;
  if (const std::string* cl = resp.head.Find("content-length"); cl && !chunked) {
    if (!ParseContentLength(*cl, length)) return Error::kBody;
    if (length > max_body) return Error::kTooLarge;
    sized = true;
  }
  ChunkedDecoder dechunk(max_body);
  if (sized) body.reserve(static_cast<size_t>(length));
  // Takes received bytes; true once the body is complete.
  auto take = [&](const char* data, size_t n, Error& e) {
    if (chunked) {
      switch (dechunk.Feed(data, n, body)) {
        case ChunkedDecoder::Result::kMore: return false;
        case ChunkedDecoder::Result::kDone: return true;
        case ChunkedDecoder::Result::kTooLarge: e = Error::kTooLarge; return true;
        case ChunkedDecoder::Result::kMalformed: e = Error::kBody; return true;
      }
    }
    if (sized) {
      size_t want = static_cast<size_t>(length - body.size());
      body.append(data, n < want ? n : want);
      return body.size() == length;
    }
    if (body.size() + n > max_body) {
      e = Error::kTooLarge;
      return true;
    }
    body.append(data, n);
    return false;
  };
  Error e = Error::kNone;
  bool complete =
      (sized && length == 0) || take(resp.head.body_start.data(), resp.head.body_start.size(), e);
  char buf[8192];
  while (!complete) {
    size_t got = 0;
    IoStatus st = resp.sock.Recv(buf, sizeof buf, got, read_by);
    if (st == IoStatus::kOk) {
      complete = take(buf, got, e);
      continue;
    }
    if (st == IoStatus::kClosed && !sized && !chunked) break;  // the body runs to the close
    if (st == IoStatus::kTimeout) return Error::kTimeout;
    if (st == IoStatus::kAborted) return Error::kAborted;
    return Error::kBody;
  }
  return e;
}

RequestOptions RequestOptionsFor(const HttpGetOptions& opt) {
  RequestOptions ro;
  ro.headers = opt.headers;
  ro.connect_ms = opt.connect_ms;
  ro.read_ms = opt.read_ms;
  ro.head_limits.timeout_ms = opt.read_ms;
  ro.max_redirects = opt.max_redirects;
  ro.abort = opt.abort;
  return ro;
}

bool HttpGet(const std::string& url, const HttpGetOptions& opt, HttpGetResult& res) {
  res = HttpGetResult();
  auto fail = [&res](Error e) {
    res.error = e;
    return false;
  };
  const Deadline deadline = Deadline::InMs(opt.total_ms);
  Response resp;
  if (Error e = OpenResponse(url, RequestOptionsFor(opt), deadline, resp); e != Error::kNone)
    return fail(e);
  std::string body;
  if (Error e = ReadBody(resp, opt.max_body, deadline.WithinMs(opt.read_ms), body);
      e != Error::kNone)
    return fail(e);
  res.status = resp.head.status;
  res.head = std::move(resp.head);
  res.body = std::move(body);
  res.url = resp.url.ToString();
  return true;
}

}  // namespace net
