#include "audio/playlist.h"

#include "net/text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <map>

namespace audio {
namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// UTF-16 after its mark, as UTF-8; a lone surrogate becomes U+FFFD, an odd last byte is
// dropped.
std::string Utf16ToUtf8(const std::string& s, bool big_endian) {
  std::string out;
  out.reserve(s.size() / 2);
  auto unit = [&](size_t i) {
    unsigned a = static_cast<unsigned char>(s[i]), b = static_cast<unsigned char>(s[i + 1]);
    return static_cast<uint32_t>(big_endian ? (a << 8) | b : (b << 8) | a);
  };
  for (size_t i = 2; i + 1 < s.size(); i += 2) {
    uint32_t u = unit(i);
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < s.size()) {
      uint32_t lo = unit(i + 2);
      if (lo >= 0xDC00 && lo < 0xE000) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUtf8(out, u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
  }
  return out;
}

// The text of a playlist without its byte-order mark: UTF-8's is dropped, a UTF-16 text is
// decoded to UTF-8; anything else stays as it came.
std::string StripBom(const std::string& s) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  if (s.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) return s.substr(3);
  if (s.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) return Utf16ToUtf8(s, false);
  if (s.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) return Utf16ToUtf8(s, true);
  return s;
}

std::vector<std::string> SplitLines(const std::string& body) {
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

bool StartsWithCi(const std::string& s, const char* prefix) {
  size_t n = std::char_traits<char>::length(prefix);
  return s.size() >= n && net::AsciiLower(s.substr(0, n)) == prefix;
}

bool LooksLikeUrl(const std::string& line) {
  static const char* const kSchemes[] = {"http://", "https://", "icy://", "mms://", "mmsh://"};
  for (const char* p : kSchemes)
    if (StartsWithCi(line, p)) return true;
  return false;
}

}  // namespace

PlaylistKind PlaylistKindFromType(const std::string& content_type) {
  std::string t = net::AsciiLower(net::Trim(content_type.substr(0, content_type.find(';'))));
  static const char* const kM3u[] = {"audio/x-mpegurl",
                                     "audio/mpegurl",
                                     "application/x-mpegurl",
                                     "application/mpegurl",
                                     "application/vnd.apple.mpegurl",
                                     "audio/m3u",
                                     "audio/x-m3u"};
  static const char* const kPls[] = {"audio/x-scpls", "audio/scpls", "application/pls+xml",
                                     "application/pls"};
  static const char* const kAsx[] = {"video/x-ms-asf", "video/x-ms-asx", "audio/x-ms-wax",
                                     "video/x-ms-wvx", "audio/x-ms-asx"};
  for (const char* s : kM3u)
    if (t == s) return PlaylistKind::kM3u;
  for (const char* s : kPls)
    if (t == s) return PlaylistKind::kPls;
  for (const char* s : kAsx)
    if (t == s) return PlaylistKind::kAsx;
  return PlaylistKind::kNone;
}

PlaylistKind PlaylistKindFromBody(const std::string& raw) {
  std::string body = StripBom(raw);
  size_t b = 0;
  while (b < body.size() && std::isspace(static_cast<unsigned char>(body[b]))) ++b;
  std::string head = body.substr(b, 256);
  if (StartsWithCi(head, "#extm3u")) return PlaylistKind::kM3u;
  if (StartsWithCi(head, "[playlist]")) return PlaylistKind::kPls;
  if (StartsWithCi(head, "<asx") || StartsWithCi(head, "[reference]")) return PlaylistKind::kAsx;
  // A text of URL lines: printable text whose first non-comment line is a URL.
  for (unsigned char c : head)
    if (c < 0x20 && c != '\r' && c != '\n' && c != '\t') return PlaylistKind::kNone;
  for (const std::string& l : SplitLines(head)) {
    std::string t = net::Trim(l);
    if (t.empty() || t[0] == '#') continue;
    return LooksLikeUrl(t) ? PlaylistKind::kUrlList : PlaylistKind::kNone;
  }
  return PlaylistKind::kNone;
}

std::vector<std::string> ParsePlaylist(PlaylistKind kind, const std::string& raw) {
  std::string body = StripBom(raw);
  std::vector<std::string> out;
  switch (kind) {
    case PlaylistKind::kNone: break;
    case PlaylistKind::kM3u:
    case PlaylistKind::kUrlList:
      for (const std::string& l : SplitLines(body)) {
        std::string t = net::Trim(l);
        if (!t.empty() && t[0] != '#') out.push_back(t);
      }
      break;
    case PlaylistKind::kPls: {
      std::multimap<long, std::string> files;
      for (const std::string& l : SplitLines(body)) {
        std::string t = net::Trim(l);
        if (!StartsWithCi(t, "file")) continue;
        size_t eq = t.find('=');
        if (eq == std::string::npos) continue;
        std::string num = t.substr(4, eq - 4);
        if (num.empty() || !std::all_of(num.begin(), num.end(), [](char c) {
              return std::isdigit(static_cast<unsigned char>(c));
            }))
          continue;
        std::string v = net::Trim(t.substr(eq + 1));
        if (!v.empty()) files.emplace(std::strtol(num.c_str(), nullptr, 10), v);
      }
      for (auto& f : files) out.push_back(f.second);
      break;
    }
    case PlaylistKind::kAsx: {
      std::string low = net::AsciiLower(body);
      if (StartsWithCi(net::Trim(body.substr(0, 64)), "[reference]")) {
        // The INI form Windows Media servers send: "Ref1=address" lines.
        for (const std::string& l : SplitLines(body)) {
          std::string t = net::Trim(l);
          size_t eq = t.find('=');
          if (!StartsWithCi(t, "ref") || eq == std::string::npos) continue;
          std::string num = net::Trim(t.substr(3, eq - 3));
          if (num.empty() || !std::all_of(num.begin(), num.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c));
              }))
            continue;
          std::string v = net::Trim(t.substr(eq + 1));
          if (!v.empty()) out.push_back(v);
        }
        break;
      }
      size_t pos = 0;
      // "<ref href>" entries and "<entryref href>" references to further playlists.
      // Each kind is searched for again only once passed, so the scan stays linear.
      struct Next {
        const char* tag;
        size_t at;
        bool known;
      } kinds[] = {{"<ref", 0, false}, {"<entryref", 0, false}};
      auto next_ref = [&](size_t from) {
        size_t best = std::string::npos;
        for (Next& k : kinds) {
          if (!k.known || (k.at != std::string::npos && k.at < from))
            k.at = low.find(k.tag, from), k.known = true;
          best = std::min(best, k.at);
        }
        return best;
      };
      while ((pos = next_ref(pos)) != std::string::npos) {
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
              std::string url = net::Trim(body.substr(v + 1, close - v - 1));
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
