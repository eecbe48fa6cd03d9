#include "audio/playlist.h"

#include "net/text.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>

namespace audio {
namespace {

std::string strip_bom(const std::string &s) {
    if (s.size() >= 3 && static_cast<unsigned char>(s[0]) == 0xEF &&
        static_cast<unsigned char>(s[1]) == 0xBB && static_cast<unsigned char>(s[2]) == 0xBF)
        return s.substr(3);
    return s;
}

std::vector<std::string> split_lines(const std::string &body) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < body.size()) {
        size_t nl = body.find_first_of("\r\n", pos);
        lines.push_back(body.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos));
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return lines;
}

bool starts_with_ci(const std::string &s, const char *prefix) {
    size_t n = std::char_traits<char>::length(prefix);
    return s.size() >= n && net::ascii_lower(s.substr(0, n)) == prefix;
}

bool looks_like_url(const std::string &line) {
    static const char *const kSchemes[] = {"http://", "https://", "icy://", "mms://", "mmsh://"};
    for (const char *p : kSchemes)
        if (starts_with_ci(line, p)) return true;
    return false;
}

}  // namespace

PlaylistKind playlist_kind_from_type(const std::string &content_type) {
    std::string t = net::ascii_lower(net::trim(content_type.substr(0, content_type.find(';'))));
    static const char *const kM3u[] = {"audio/x-mpegurl", "audio/mpegurl", "application/x-mpegurl",
                                       "application/mpegurl", "application/vnd.apple.mpegurl",
                                       "audio/m3u", "audio/x-m3u"};
    static const char *const kPls[] = {"audio/x-scpls", "audio/scpls", "application/pls+xml",
                                       "application/pls"};
    static const char *const kAsx[] = {"video/x-ms-asf", "video/x-ms-asx", "audio/x-ms-wax",
                                       "video/x-ms-wvx", "audio/x-ms-asx"};
    for (const char *s : kM3u)
        if (t == s) return PlaylistKind::M3u;
    for (const char *s : kPls)
        if (t == s) return PlaylistKind::Pls;
    for (const char *s : kAsx)
        if (t == s) return PlaylistKind::Asx;
    return PlaylistKind::None;
}

PlaylistKind playlist_kind_from_body(const std::string &raw) {
    std::string body = strip_bom(raw);
    size_t b = 0;
    while (b < body.size() && std::isspace(static_cast<unsigned char>(body[b]))) ++b;
    std::string head = body.substr(b, 256);
    if (starts_with_ci(head, "#extm3u")) return PlaylistKind::M3u;
    if (starts_with_ci(head, "[playlist]")) return PlaylistKind::Pls;
    if (starts_with_ci(head, "<asx")) return PlaylistKind::Asx;
    // A text of URL lines: printable text whose first non-comment line is a URL.
    for (unsigned char c : head)
        if (c < 0x20 && c != '\r' && c != '\n' && c != '\t') return PlaylistKind::None;
    for (const std::string &l : split_lines(head)) {
        std::string t = net::trim(l);
        if (t.empty() || t[0] == '#') continue;
        return looks_like_url(t) ? PlaylistKind::UrlList : PlaylistKind::None;
    }
    return PlaylistKind::None;
}

std::vector<std::string> parse_playlist(PlaylistKind kind, const std::string &raw) {
    std::string body = strip_bom(raw);
    std::vector<std::string> out;
    switch (kind) {
    case PlaylistKind::None:
        break;
    case PlaylistKind::M3u:
    case PlaylistKind::UrlList:
        for (const std::string &l : split_lines(body)) {
            std::string t = net::trim(l);
            if (!t.empty() && t[0] != '#') out.push_back(t);
        }
        break;
    case PlaylistKind::Pls: {
        std::multimap<long, std::string> files;
        for (const std::string &l : split_lines(body)) {
            std::string t = net::trim(l);
            if (!starts_with_ci(t, "file")) continue;
            size_t eq = t.find('=');
            if (eq == std::string::npos) continue;
            std::string num = t.substr(4, eq - 4);
            if (num.empty() || !std::all_of(num.begin(), num.end(), [](char c) {
                    return std::isdigit(static_cast<unsigned char>(c));
                }))
                continue;
            std::string v = net::trim(t.substr(eq + 1));
            if (!v.empty()) files.emplace(std::strtol(num.c_str(), nullptr, 10), v);
        }
        for (auto &f : files) out.push_back(f.second);
        break;
    }
    case PlaylistKind::Asx: {
        std::string low = net::ascii_lower(body);
        size_t pos = 0;
        while ((pos = low.find("<ref", pos)) != std::string::npos) {
            size_t end = low.find('>', pos);
            if (end == std::string::npos) break;
            size_t h = low.find("href", pos);
            if (h != std::string::npos && h < end) {
                size_t eq = low.find('=', h);
                size_t v = eq == std::string::npos ? end : eq + 1;
                while (v < end && std::isspace(static_cast<unsigned char>(low[v]))) ++v;
                if (v < end && (body[v] == '"' || body[v] == '\'')) {
                    char q = body[v];
                    size_t close = body.find(q, v + 1);
                    if (close != std::string::npos) {
                        std::string url = net::trim(body.substr(v + 1, close - v - 1));
                        // entity decoding for the common case
                        size_t amp;
                        while ((amp = url.find("&amp;")) != std::string::npos) url.replace(amp, 5, "&");
                        if (!url.empty()) out.push_back(url);
                    }
                }
            }
            pos = end;
        }
        break;
    }
    }
    return out;
}

}  // namespace audio
