#include "net/http_get.h"

#include <chrono>
#include <cstdlib>

namespace net {
namespace {

using Clock = std::chrono::steady_clock;

int left_ms(Clock::time_point deadline) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return ms > 0 ? static_cast<int>(ms) : 0;
}

// Decodes a complete chunked body; false while incomplete or malformed.
bool dechunk(const std::string &in, std::string &out, bool &malformed) {
    out.clear();
    malformed = false;
    size_t pos = 0;
    for (;;) {
        size_t eol = in.find("\r\n", pos);
        if (eol == std::string::npos) return false;
        std::string size_text = in.substr(pos, eol - pos);
        char *end = nullptr;
        unsigned long size = std::strtoul(size_text.c_str(), &end, 16);
        if (end == size_text.c_str()) {
            malformed = true;
            return false;
        }
        pos = eol + 2;
        if (size == 0) return true;  // trailers are ignored
        if (in.size() < pos + size + 2) return false;
        out.append(in, pos, size);
        pos += size + 2;
    }
}

}  // namespace

bool http_get(const std::string &url_text, const HttpGetOptions &opt, HttpGetResult &res) {
    res = HttpGetResult();
    Url url;
    if (!parse_url(url_text, url)) {
        res.error = HttpGetError::BadUrl;
        return false;
    }
    for (int hop = 0;; ++hop) {
        Socket sock;
        sock.set_abort_flag(opt.abort);
        if (sock.connect(url.host, url.port, opt.connect_ms) != IoStatus::Ok) {
            res.error = HttpGetError::Connect;
            return false;
        }
        auto deadline = Clock::now() + std::chrono::milliseconds(opt.read_ms);
        std::vector<std::pair<std::string, std::string>> headers = opt.headers;
        headers.emplace_back("Connection", "close");
        std::string req = build_get_request(url, headers, "HTTP/1.1");
        if (!sock.send_all(req.data(), req.size(), opt.read_ms)) {
            res.error = HttpGetError::Send;
            return false;
        }
        HttpHeadLimits lim;
        lim.timeout_ms = opt.read_ms;
        HttpHead head;
        if (read_http_head(sock, lim, head) != HeadResult::Ok) {
            res.error = HttpGetError::Head;
            return false;
        }
        int s = head.status;
        if (s == 301 || s == 302 || s == 303 || s == 307 || s == 308) {
            const std::string *loc = head.find("location");
            Url next;
            if (loc && resolve_url(url, *loc, next)) {
                if (hop >= opt.max_redirects) {
                    res.error = HttpGetError::TooManyRedirects;
                    return false;
                }
                url = next;
                continue;
            }
        }
        bool chunked = false;
        if (const std::string *te = head.find("transfer-encoding"))
            chunked = te->find("chunked") != std::string::npos;
        long long length = -1;
        if (const std::string *cl = head.find("content-length"); cl && !chunked)
            length = std::atoll(cl->c_str());
        std::string raw = head.body_start;
        char buf[8192];
        for (;;) {
            if (length >= 0 && raw.size() >= static_cast<size_t>(length)) {
                raw.resize(static_cast<size_t>(length));
                break;
            }
            if (chunked) {
                std::string decoded;
                bool bad = false;
                if (dechunk(raw, decoded, bad)) {
                    raw = decoded;
                    break;
                }
                if (bad) {
                    res.error = HttpGetError::Body;
                    return false;
                }
            }
            if (raw.size() > opt.max_body + (chunked ? 64 * 1024 : 0)) {
                res.error = HttpGetError::TooLarge;
                return false;
            }
            int ms = left_ms(deadline);
            size_t got = 0;
            IoStatus st = ms > 0 ? sock.recv(buf, sizeof buf, got, ms) : IoStatus::Timeout;
            if (st == IoStatus::Ok) {
                raw.append(buf, got);
                continue;
            }
            if (st == IoStatus::Closed && length < 0 && !chunked) break;
            res.error = HttpGetError::Body;
            return false;
        }
        if (raw.size() > opt.max_body) {
            res.error = HttpGetError::TooLarge;
            return false;
        }
        res.status = s;
        res.head = std::move(head);
        res.body = std::move(raw);
        res.url = url.to_string();
        return true;
    }
}

}  // namespace net
