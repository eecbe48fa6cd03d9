#include "catalogue/add_station.h"
#include "catalogue/station_text.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "audio/playlist.h"
#include "base/codepage.h"
#include "net/text.h"
#include "net/url.h"

namespace catalogue {

namespace text {

bool IsHttpAddress(const std::string& s) {
  net::Url u;
  return net::ParseUrl(s, u) && !u.host.empty();
}

std::string Lower(const std::string& s) { return net::AsciiLower(s); }

std::string StripBom(const std::string& s) {
  return s.compare(0, 3, "\xEF\xBB\xBF") == 0 ? s.substr(3) : s;
}

std::vector<std::string> Lines(const std::string& body) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos <= body.size()) {
    size_t nl = body.find_first_of("\r\n", pos);
    out.push_back(
        net::Trim(body.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos)));
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  return out;
}

// "#EXTINF:-1 tvg-name=\"a,b\",Title": the text after the first comma outside quotes.
std::string ExtinfTitle(const std::string& line) {
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ',' && !quoted) return net::Trim(line.substr(i + 1));
  }
  return "";
}

// The text between <tag ...> and </tag> from `from` on, within `end`.
std::string XmlText(const std::string& body, const std::string& low, const char* tag, size_t from,
                    size_t end) {
  std::string open = std::string("<") + tag, close = std::string("</") + tag;
  size_t a = low.find(open, from);
  if (a == std::string::npos || a >= end) return "";
  size_t gt = low.find('>', a);
  size_t b = low.find(close, a);
  if (gt == std::string::npos || b == std::string::npos || b > end || gt > b) return "";
  std::string t = net::Trim(body.substr(gt + 1, b - gt - 1));
  for (auto [ent, ch] : std::initializer_list<std::pair<const char*, const char*>>{
           {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}}) {
    size_t p;
    while ((p = t.find(ent)) != std::string::npos)
      t.replace(p, std::char_traits<char>::length(ent), ch);
  }
  return t;
}

// Entry titles of a playlist by the address they belong to.
std::multimap<std::string, std::string> TitlesByAddress(audio::PlaylistKind kind,
                                                        const std::string& body) {
  std::multimap<std::string, std::string> titles;
  switch (kind) {
    case audio::PlaylistKind::kM3u:
    case audio::PlaylistKind::kUrlList: {
      std::string pending;
      for (const std::string& l : Lines(body)) {
        if (l.empty()) continue;
        if (Lower(l.substr(0, 8)) == "#extinf:") {
          pending = ExtinfTitle(l);
        } else if (l[0] != '#') {
          titles.emplace(l, pending);
          pending.clear();
        }
      }
      break;
    }
    case audio::PlaylistKind::kPls: {
      std::map<std::string, std::string> files, names;  // by entry number
      for (const std::string& l : Lines(body)) {
        size_t eq = l.find('=');
        if (eq == std::string::npos) continue;
        std::string key = Lower(net::Trim(l.substr(0, eq)));
        std::string value = net::Trim(l.substr(eq + 1));
        if (key.compare(0, 4, "file") == 0) files[key.substr(4)] = value;
        if (key.compare(0, 5, "title") == 0) names[key.substr(5)] = value;
      }
      for (auto& [num, url] : files)
        titles.emplace(url, names.count(num) ? names[num] : std::string());
      break;
    }
    case audio::PlaylistKind::kAsx: {
      std::string low = Lower(body);
      size_t pos = 0;
      while ((pos = low.find("<entry", pos)) != std::string::npos) {
        size_t end = low.find("</entry", pos);
        if (end == std::string::npos) end = low.size();
        std::string title = XmlText(body, low, "title", pos, end);
        size_t ref = low.find("<ref", pos);
        if (ref != std::string::npos && ref < end) {
          size_t q = body.find_first_of("\"'", low.find("href", ref));
          if (q != std::string::npos && q < end) {
            size_t q2 = body.find(body[q], q + 1);
            if (q2 != std::string::npos) {
              std::string url = net::Trim(body.substr(q + 1, q2 - q - 1));
              size_t amp;
              while ((amp = url.find("&amp;")) != std::string::npos) url.replace(amp, 5, "&");
              titles.emplace(url, title);
            }
          }
        }
        pos = end;
      }
      break;
    }
    case audio::PlaylistKind::kNone: break;
  }
  return titles;
}

std::string HostOf(const std::string& url) {
  net::Url u;
  if (!net::ParseUrl(net::Trim(url), u)) return "";
  std::string h = Lower(u.host);
  if (h.compare(0, 4, "www.") == 0 && h.size() > 4) h = h.substr(4);
  return h;
}

// One line of Windows-1251: control characters become blanks, runs of blanks one, trimmed,
// cut at a word's end within the limit where there is one.
std::string FitName(std::string s) {
  std::string out;
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    bool blank = u < 0x20 || u == 0x7F || u == 0xA0 || c == ' ';
    if (blank) {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else {
      out.push_back(c);
    }
  }
  out = net::Trim(out);
  if (out.size() > kMaxStationNameLength) {
    size_t cut = out.rfind(' ', kMaxStationNameLength);
    out = net::Trim(out.substr(0, cut != std::string::npos && cut >= kMaxStationNameLength / 2
                                      ? cut
                                      : kMaxStationNameLength));
  }
  // A name without a letter or a digit ("-", "?") names nothing.
  bool meaningful = std::any_of(out.begin(), out.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || (u >= 0xC0) || u == 0xA8 || u == 0xB8;
  });
  return meaningful ? out : std::string();
}

// The address made comparable: scheme and host in lower case, default port dropped.
std::string Comparable(const std::string& url) {
  std::string t = net::Trim(url);
  net::Url u;
  if (!net::ParseUrl(t, u)) return t;
  u.host = net::AsciiLower(u.host);
  return u.ToString();
}

}  // namespace text

using namespace text;

std::string AnyTextToUtf8(const std::string& bytes) {
  return base::IsValidUtf8(bytes) ? bytes : base::Cp1251ToUtf8(bytes);
}

std::vector<Candidate> CandidatesFromText(const std::string& utf8) {
  std::vector<Candidate> out;
  std::string word;
  auto flush = [&] {
    // Addresses in angle brackets or quotes, as mail and chat programs copy them.
    while (!word.empty() && std::strchr("<\"'(", word.front())) word.erase(0, 1);
    while (!word.empty() && std::strchr(">\"')", word.back())) word.pop_back();
    if (IsHttpAddress(word)) out.push_back({word, ""});
    word.clear();
  };
  for (char c : StripBom(utf8)) {
    if (std::isspace(static_cast<unsigned char>(c)) || c == '\0') {
      flush();
    } else {
      word.push_back(c);
    }
  }
  flush();
  return out;
}

std::vector<Candidate> PlaylistEntries(const std::string& raw) {
  std::string body = StripBom(raw);
  audio::PlaylistKind kind = audio::PlaylistKindFromBody(body);
  std::vector<Candidate> out;
  if (kind == audio::PlaylistKind::kNone) return out;
  std::multimap<std::string, std::string> titles = TitlesByAddress(kind, body);
  for (const std::string& url : audio::ParsePlaylist(kind, body)) {
    std::string title;
    auto it = titles.find(url);
    if (it != titles.end()) {
      title = it->second;
      titles.erase(it);
    }
    if (IsHttpAddress(url)) out.push_back({url, AnyTextToUtf8(title)});
  }
  return out;
}

std::string ShortcutAddress(const std::string& body) {
  bool in_section = false;
  for (const std::string& l : Lines(StripBom(body))) {
    if (!l.empty() && l[0] == '[') {
      in_section = Lower(l) == "[internetshortcut]";
      continue;
    }
    if (in_section && Lower(l.substr(0, 4)) == "url=") return net::Trim(l.substr(4));
  }
  return "";
}

void Deduplicate(std::vector<Candidate>& items) {
  std::vector<Candidate> kept;
  for (Candidate& c : items) {
    c.url = net::Trim(c.url);
    bool seen = std::any_of(kept.begin(), kept.end(),
                            [&](const Candidate& k) { return SameAddress(k.url, c.url); });
    if (!seen) kept.push_back(std::move(c));
    if (kept.size() == kMaxAddedStations) break;
  }
  items = std::move(kept);
}

std::string StationName(const std::string& icy_name, const std::string& entry_title,
                        const std::string& url) {
  for (const std::string& source : {icy_name, entry_title, HostOf(url)}) {
    std::string name = FitName(base::Utf8ToCp1251(source));
    if (!name.empty()) return name;
  }
  return FitName(base::Utf8ToCp1251(net::Trim(url)));
}

bool SameAddress(const std::string& a, const std::string& b) {
  return Comparable(a) == Comparable(b);
}

}  // namespace catalogue
