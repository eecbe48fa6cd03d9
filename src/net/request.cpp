#include "net/request.h"

namespace net {
namespace {

Error from_io(IoStatus s) {
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

Error from_head(HeadResult r) {
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

Error from_tls(TlsFailure f) {
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

bool is_redirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

Error open_response(const std::string &url_text, const RequestOptions &opt, Deadline deadline,
                    Response &out) {
    Url url;
    if (!parse_url(url_text, url)) return Error::BadUrl;
    for (int hop = 0;; ++hop) {
        Socket sock;
        sock.set_abort_flag(opt.abort);
        IoStatus c = sock.connect(url.host, url.port, opt.connect_ms, deadline);
        if (c != IoStatus::Ok) return from_io(c);
        Deadline read_by = deadline.within_ms(opt.read_ms);
        if (url.tls()) {
            // The handshake counts as part of the answer's time.
            TlsFailure why = TlsFailure::None;
            IoStatus t = sock.start_tls(url.host, read_by, why);
            if (t != IoStatus::Ok) {
                if (why != TlsFailure::None) return from_tls(why);
                return t == IoStatus::Error ? Error::TlsHandshake : from_io(t);
            }
        }
        std::vector<std::pair<std::string, std::string>> headers = opt.headers;
        headers.emplace_back("Connection", "close");
        std::string req = build_get_request(url, headers, opt.version);
        if (!sock.send_all(req.data(), req.size(), read_by)) {
            if (opt.abort && opt.abort->load()) return Error::Aborted;
            return read_by.passed() ? Error::Timeout : Error::Send;
        }
        HttpHead head;
        Error e = from_head(read_http_head(sock, opt.head_limits, read_by, head));
        if (e != Error::None) return e;
        if (is_redirect(head.status)) {
            const std::string *loc = head.find("location");
            Url next;
            if (loc && resolve_url(url, *loc, next)) {
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
