#include "net/request.h"

namespace net {
namespace {

Error FromIo(IoStatus s) {
  switch (s) {
    case IoStatus::Ok: return Error::None;
    case IoStatus::Timeout: return Error::Timeout;
    case IoStatus::Aborted: return Error::Aborted;
    case IoStatus::NotFound: return Error::Lookup;
    case IoStatus::Refused:
    case IoStatus::Closed:
    case IoStatus::Error: break;
  }
  return Error::Refused;
}

Error FromHead(HeadResult r) {
  switch (r) {
    case HeadResult::Ok: return Error::None;
    case HeadResult::Timeout: return Error::Timeout;
    case HeadResult::Aborted: return Error::Aborted;
    case HeadResult::TooLarge: return Error::TooLarge;
    case HeadResult::Closed:
    case HeadResult::Malformed:
    case HeadResult::Error: break;
  }
  return Error::BadHead;
}

Error FromTls(TlsFailure f) {
  switch (f) {
    case TlsFailure::UnknownIssuer: return Error::CertUnknownIssuer;
    case TlsFailure::Expired: return Error::CertExpired;
    case TlsFailure::HostMismatch: return Error::CertHostMismatch;
    case TlsFailure::BadCertificate: return Error::CertInvalid;
    case TlsFailure::Handshake:
    case TlsFailure::None: break;
  }
  return Error::TlsHandshake;
}

}  // namespace

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

Error OpenResponse(const std::string& url_text, const RequestOptions& opt, Deadline deadline,
                   Response& out) {
  Url url;
  if (!ParseUrl(url_text, url)) return Error::BadUrl;
  for (int hop = 0;; ++hop) {
    Socket sock;
    sock.SetAbortFlag(opt.abort);
    IoStatus c = sock.Connect(url.host, url.port, opt.connect_ms, deadline);
    if (c != IoStatus::Ok) return FromIo(c);
    Deadline read_by = deadline.WithinMs(opt.read_ms);
    if (url.Tls()) {
      // The handshake counts as part of the answer's time.
      TlsFailure why = TlsFailure::None;
      IoStatus t = sock.StartTls(url.host, read_by, why);
      if (t != IoStatus::Ok) {
        if (why != TlsFailure::None) return FromTls(why);
        return t == IoStatus::Error ? Error::TlsHandshake : FromIo(t);
      }
    }
    std::vector<std::pair<std::string, std::string>> headers = opt.headers;
    headers.emplace_back("Connection", "close");
    std::string req = BuildGetRequest(url, headers, opt.version);
    if (!sock.SendAll(req.data(), req.size(), read_by)) {
      if (opt.abort && opt.abort->load()) return Error::Aborted;
      return read_by.Passed() ? Error::Timeout : Error::Send;
    }
    HttpHead head;
    Error e = FromHead(ReadHttpHead(sock, opt.head_limits, read_by, head));
    if (e != Error::None) return e;
    if (IsRedirect(head.status)) {
      const std::string* loc = head.Find("location");
      Url next;
      if (loc && ResolveUrl(url, *loc, next)) {
        if (hop >= opt.max_redirects) return Error::TooManyRedirects;
        url = next;
        continue;
      }
    }
    out.sock = std::move(sock);
    out.head = std::move(head);
    out.url = url;
    return Error::None;
  }
}

}  // namespace net
