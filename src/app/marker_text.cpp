#include "app/marker_text.h"

namespace app {

std::string TextBetween(const std::string& start_marker, const std::string& end_marker,
                        const std::string& text) {
  size_t p = text.find(start_marker);
  if (p == std::string::npos) return {};
  size_t tail = p + start_marker.size();
  size_t q = text.find(end_marker, tail);
  if (q == std::string::npos) return {};
  return text.substr(tail, q - tail);
}

std::string ReplaceAll(const std::string& source, const std::string& pattern,
                       const std::string& replacement) {
  if (pattern.empty()) return source;
  std::string out;
  size_t from = 0;
  for (size_t p; (p = source.find(pattern, from)) != std::string::npos; from = p + pattern.size()) {
    out.append(source, from, p - from);
    out += replacement;
  }
  out.append(source, from, std::string::npos);
  return out;
}

}  // namespace app
