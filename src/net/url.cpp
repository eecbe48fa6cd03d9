#include "net/url.h"

#include "net/text.h"

#include <cctype>

namespace net {
namespace {

// Removes "." and ".." segments of an absolute path.
std::string RemoveDotSegments(const std::string& path) {
  std::string out;
  size_t i = 0;
  while (i < path.size()) {
    size_t j = path.find('/', i + 1);
    std::string seg = path.substr(i, j == std::string::npos ? std::string::npos : j - i);
    if (seg == "/.") {
      if (j == std::string::npos) out += '/';
    } else if (seg == "/..") {
      size_t k = out.rfind('/');
      out.erase(k == std::string::npos ? 0 : k);
      if (j == std::string::npos) out += '/';
    } else {
      out += seg;
    }
    if (j == std::string::npos) break;
    i = j;
  }
  return out.empty() ? "/" : out;
}

// Blanks and control characters are not allowed on the request line (a line break there
// would even start a header of its own): percent-encoded.
std::string EscapeTarget(const std::string& s) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c == 0x7F) {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace

uint16_t DefaultPort(const std::string& scheme) { return scheme == "https" ? 443 : 80; }

std::string Url::HostHeader() const {
  std::string h = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  if (port != DefaultPort(scheme)) h += ":" + std::to_string(port);
  return h;
}

std::string Url::ToString() const { return scheme + "://" + HostHeader() + target; }

bool ParseUrl(const std::string& raw, Url& out) {
  std::string text = Trim(raw);
  size_t colon = text.find("://");
  if (colon == std::string::npos) return false;
  Url u;
  u.scheme = AsciiLower(text.substr(0, colon));
  if (u.scheme != "http" && u.scheme != "https") return false;
  size_t start = colon + 3;
  size_t end = text.find_first_of("/?#", start);
  std::string authority =
      text.substr(start, end == std::string::npos ? std::string::npos : end - start);
  size_t at = authority.rfind('@');  // user info is dropped
  if (at != std::string::npos) authority.erase(0, at + 1);
  std::string port_text;
  bool has_port = false;
  if (!authority.empty() && authority[0] == '[') {
    size_t rb = authority.find(']');
    if (rb == std::string::npos) return false;
    u.host = authority.substr(1, rb - 1);
    if (rb + 1 < authority.size()) {
      if (authority[rb + 1] != ':') return false;
      port_text = authority.substr(rb + 2);
      has_port = true;
    }
  } else {
    size_t pc = authority.find(':');
    u.host = authority.substr(0, pc);
    if (pc != std::string::npos) {
      port_text = authority.substr(pc + 1);
      has_port = true;
    }
  }
  if (u.host.empty()) return false;
  for (char c : u.host) {
    unsigned char b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b == 0x7F || c == '[' || c == ']') return false;
  }
  // only an IPv6 literal comes in brackets, and only it has colons
  if ((authority[0] == '[') != (u.host.find(':') != std::string::npos)) return false;
  u.port = DefaultPort(u.scheme);
  if (has_port && !port_text.empty()) {
    if (port_text.size() > 5) return false;
    unsigned long p = 0;
    for (char c : port_text) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
      p = p * 10 + static_cast<unsigned long>(c - '0');
    }
    if (p == 0 || p > 65535) return false;
    u.port = static_cast<uint16_t>(p);
  }
  std::string rest = end == std::string::npos ? std::string() : text.substr(end);
  size_t hash = rest.find('#');
  if (hash != std::string::npos) rest.erase(hash);
  if (rest.empty() || rest[0] != '/') rest = "/" + rest;
  u.target = EscapeTarget(rest);
  out = u;
  return true;
}

bool ResolveUrl(const Url& base, const std::string& raw_ref, Url& out) {
  std::string ref = Trim(raw_ref);
  size_t scheme_end = ref.find("://");
  size_t first_special = ref.find_first_of("/?#");
  if (scheme_end != std::string::npos && scheme_end <= first_special) return ParseUrl(ref, out);
  if (ref.compare(0, 2, "//") == 0) return ParseUrl(base.scheme + ":" + ref, out);
  Url u = base;
  size_t hash = ref.find('#');
  if (hash != std::string::npos) ref.erase(hash);
  if (ref.empty()) {
    out = u;
    return true;
  }
  std::string base_path = base.target.substr(0, base.target.find('?'));
  std::string path, query;
  size_t q = ref.find('?');
  if (q != std::string::npos) {
    query = ref.substr(q);
    ref.erase(q);
  }
  if (ref.empty()) {
    path = base_path;
  } else if (ref[0] == '/') {
    path = ref;
  } else {
    size_t slash = base_path.rfind('/');
    path = base_path.substr(0, slash + 1) + ref;
  }
  u.target = EscapeTarget(RemoveDotSegments(path) + query);
  out = u;
  return true;
}

}  // namespace net
