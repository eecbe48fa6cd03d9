#include "net/request.h"

namespace net {
namespace {

Error FromIo(IoStatus s) {
  switch (s) {
    case IoStatus::kOk: return Error::kNone;
    case IoStatus::kTimeout: return Error::kTimeout;
    case IoStatus::kAborted: return Error::kAborted;
    case IoStatus::kNotFound: return Error::kLookup;
    case IoStatus::kRefused:
    case IoStatus::kClosed:
    case IoStatus::kError: break;
  }
  return Error::kRefused;
}

Error FromHead(HeadResult r) {
  switch (r) {
    case HeadResult::kOk: return Error::kNone;
    case HeadResult::kTimeout: return Error::kTimeout;
    case HeadResult::kAborted: return Error::kAborted;
    case HeadResult::kTooLarge: return Error::kTooLarge;
    case HeadResult::kClosed:
    case HeadResult::kMalformed:
    case HeadResult::kError: break;
  }
  return Error::kBadHead;
}

Error FromTls(TlsFailure f) {
  switch (f) {
    case TlsFailure::kUnknownIssuer: return Error::kCertUnknownIssuer;
    case TlsFailure::kExpired: return Error::kCertExpired;
    case TlsFailure::kHostMismatch: return Error::kCertHostMismatch;
    case TlsFailure::kBadCertificate: return Error::kCertInvalid;
    case TlsFailure::kHandshake:
    case TlsFailure::kNone: break;
  }
  return Error::kTlsHandshake;
}

}  // namespace

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

Error OpenResponse(const std::string& url_text, const RequestOptions& opt, Deadline deadline,
                   Response& out) {
  Url url;
  if (!ParseUrl(url_text, url)) return Error::kBadUrl;
  for (int hop = 0;; ++hop) {
    Socket sock;
    sock.SetAbortFlag(opt.abort);
    IoStatus c = sock.Connect(url.host, url.port, opt.connect_ms, deadline);
    if (c != IoStatus::kOk) return FromIo(c);
    Deadline read_by = deadline.WithinMs(opt.read_ms);
    if (url.Tls()) {
      // The handshake counts as part of the answer's time.
      TlsFailure why = TlsFailure::kNone;
      IoStatus t = sock.StartTls(url.host, read_by, why);
      if (t != IoStatus::kOk) {
        if (why != TlsFailure::kNone) return FromTls(why);
        return t == IoStatus::kError ? Error::kTlsHandshake : FromIo(t);
      }
    }
    std::vector<std::pair<std::string, std::string>> headers = opt.headers;
    headers.emplace_back("Connection", "close");
    std::string req = BuildGetRequest(url, headers, opt.version);
    if (!sock.SendAll(req.data(), req.size(), read_by)) {
      if (opt.abort && opt.abort->load()) return Error::kAborted;
      return read_by.Passed() ? Error::kTimeout : Error::kSend;
    }
    HttpHead head;
    Error e = FromHead(ReadHttpHead(sock, opt.head_limits, read_by, head));
    if (e != Error::kNone) return e;
    if (IsRedirect(head.status)) {
      const std::string* loc = head.Find("location");
      Url next;
      if (loc && ResolveUrl(url, *loc, next)) {
        if (hop >= opt.max_redirects) return Error::kTooManyRedirects;
        url = next;
        continue;
      }
    }
    out.sock = std::move(sock);
    out.head = std::move(head);
    out.url = url;
    return Error::kNone;
  }
}

}  // namespace net
