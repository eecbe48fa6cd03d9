#include "audio/source.h"

#include <cctype>
#include <chrono>

#include "audio/mpeg_header.h"
#include "audio/playlist.h"
#include "net/http_head.h"

namespace audio {
namespace {

using Clock = std::chrono::steady_clock;

struct Response {
    net::Socket sock;
    net::HttpHead head;
    net::Url url;
};

bool aborted(const OpenParams &p) { return p.abort && p.abort->load(); }

// Connects and reads the head, following redirects. Leaves a 200 response in out.
bool fetch(const std::string &url_text, const OpenParams &p, Response &out) {
    net::Url url;
    if (!net::parse_url(url_text, url)) return false;
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        if (aborted(p)) return false;
        net::Socket sock;
        sock.set_abort_flag(p.abort);
        if (sock.connect(url.host, url.port, p.timeouts.connect_ms) != net::IoStatus::Ok) return false;
        std::string req = net::build_get_request(
            url, {{"User-Agent", p.user_agent}, {"Accept", "*/*"}, {"Icy-MetaData", "1"},
                  {"Connection", "close"}});
        if (!sock.send_all(req.data(), req.size(), p.timeouts.read_ms)) return false;
        net::HttpHeadLimits lim;
        lim.max_bytes = kMaxHeadBytes;
        lim.max_lines = kMaxHeadLines;
        lim.timeout_ms = p.timeouts.read_ms;
        net::HttpHead head;
        if (net::read_http_head(sock, lim, head) != net::HeadResult::Ok) return false;
        int s = head.status;
        if (s == 301 || s == 302 || s == 303 || s == 307 || s == 308) {
            const std::string *loc = head.find("location");
            net::Url next;
            if (!loc || !net::resolve_url(url, *loc, next)) return false;
            url = next;
            continue;
        }
        if (s != 200) return false;
        out.sock = std::move(sock);
        out.head = std::move(head);
        out.url = url;
        return true;
    }
    return false;  // too many redirects
}

std::string head_block(const net::HttpHead &h) {
    std::string block;
    for (const std::string &l : h.lines) {
        block += l;
        block += '\0';
    }
    block += '\0';
    return block;
}

// Reads more body bytes through the demuxer. False at the end of the body or on failure.
bool read_more(AudioSource &src, const OpenParams &p, int timeout_ms) {
    if (src.ended) return false;
    uint8_t buf[8192];
    size_t got = 0;
    net::IoStatus st = src.sock.recv(buf, sizeof buf, got, timeout_ms);
    if (st != net::IoStatus::Ok) {
        src.ended = true;
        return false;
    }
    (void)p;
    src.icy.feed(buf, got, src.audio, src.metas);
    return true;
}

bool open_at_depth(const std::string &url, const OpenParams &p, AudioSource &out, int depth);

bool follow_playlist(PlaylistKind kind, AudioSource &src, const net::Url &base,
                     const OpenParams &p, AudioSource &out, int depth) {
    if (depth >= kMaxPlaylistDepth) return false;
    auto deadline = Clock::now() + std::chrono::milliseconds(p.timeouts.read_ms);
    while (!src.ended && src.audio.size() <= kMaxPlaylistBytes) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        read_more(src, p, static_cast<int>(left));
    }
    if (src.audio.size() > kMaxPlaylistBytes) return false;
    src.sock.close();
    std::vector<std::string> entries = parse_playlist(kind, src.audio);
    size_t tried = 0;
    for (const std::string &e : entries) {
        if (aborted(p) || tried >= kMaxPlaylistEntries) break;
        net::Url target;
        if (!net::resolve_url(base, e, target)) continue;  // unsupported scheme or junk
        ++tried;
        AudioSource sub;
        if (open_at_depth(target.to_string(), p, sub, depth + 1)) {
            out = std::move(sub);
            return true;
        }
    }
    return false;
}

bool open_at_depth(const std::string &url, const OpenParams &p, AudioSource &out, int depth) {
    Response resp;
    if (!fetch(url, p, resp)) return false;
    const net::HttpHead &head = resp.head;
    if (const std::string *te = head.find("transfer-encoding"))
        if (te->find("chunked") != std::string::npos) return false;  // not supported

    AudioSource src;
    src.sock = std::move(resp.sock);
    src.url = resp.url.to_string();
    uint32_t metaint = 0;
    if (const std::string *mi = head.find("icy-metaint"))
        if (!parse_metaint(*mi, metaint)) return false;
    src.icy = IcyDemux(metaint);
    if (!head.body_start.empty())
        src.icy.feed(reinterpret_cast<const uint8_t *>(head.body_start.data()), head.body_start.size(),
                     src.audio, src.metas);

    std::string ctype;
    if (const std::string *ct = head.find("content-type")) ctype = *ct;

    if (p.follow_playlists) {
        PlaylistKind kind = playlist_kind_from_type(ctype);
        if (kind == PlaylistKind::None) {
            // sniff the first bytes
            auto deadline = Clock::now() + std::chrono::milliseconds(p.timeouts.read_ms);
            while (src.audio.size() < 64 && !src.ended) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
                if (left <= 0) return false;
                read_more(src, p, static_cast<int>(left));
            }
            kind = playlist_kind_from_body(src.audio);
        }
        if (kind != PlaylistKind::None) return follow_playlist(kind, src, resp.url, p, out, depth);
    }

    // MPEG recognition: a chain of frames within the first kProbeBytes.
    auto deadline = Clock::now() + std::chrono::milliseconds(p.timeouts.read_ms);
    size_t offset = 0;
    MpegFrame frame;
    for (;;) {
        if (find_mpeg_sync(reinterpret_cast<const uint8_t *>(src.audio.data()),
                           src.audio.size() < kProbeBytes ? src.audio.size() : kProbeBytes,
                           kProbeFrames, offset, frame))
            break;
        if (src.audio.size() >= kProbeBytes || src.ended) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        read_more(src, p, static_cast<int>(left));
        if (aborted(p)) return false;
    }
    src.bitrate_kbps = frame.bitrate_kbps;
    if (const std::string *br = head.find("icy-br")) {
        // "128" or "128,128"
        int v = 0, digits = 0;
        for (char c : *br) {
            if (!std::isdigit(static_cast<unsigned char>(c)) || digits >= 5) break;
            v = v * 10 + (c - '0');
            ++digits;
        }
        if (v >= 8 && v <= 640) src.bitrate_kbps = v;
    }
    if (p.on_head) p.on_head(head_block(head));
    if (aborted(p)) return false;
    out = std::move(src);
    return true;
}

}  // namespace

bool open_audio_source(const std::string &url, const OpenParams &params, AudioSource &out) {
    try {
        return open_at_depth(url, params, out, 0);
    } catch (...) {
        return false;
    }
}

}  // namespace audio
