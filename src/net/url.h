// http and https URL parsing and resolution of relative references.
#pragma once
#include <cstdint>
#include <string>

namespace net {

struct Url {
  std::string scheme;  // "http" or "https"
  std::string host;    // without brackets for IPv6 literals
  uint16_t port = 0;   // explicit or the scheme's default
  std::string target;  // path plus query, always starts with '/'

  // Host header value: host plus ":port" when not the default.
  std::string HostHeader() const;
  std::string ToString() const;
  bool Tls() const { return scheme == "https"; }
};

// 443 for https, 80 otherwise.
uint16_t DefaultPort(const std::string& scheme);

// Parses scheme://host[:port][/path][?query][#fragment]; the fragment is dropped.
// Only http and https are accepted (false for other schemes or malformed text).
bool ParseUrl(const std::string& text, Url& out);

// Resolves a reference (absolute URL, "//host/..", "/path", "path", "?query") against base.
bool ResolveUrl(const Url& base, const std::string& ref, Url& out);

}  // namespace net
