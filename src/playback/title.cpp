#include "playback/title.h"

#include <vector>

#include "base/codepage.h"

namespace playback {
namespace {

// "&#NNNN;" and "&#xHHHH;" become their characters; anything malformed stays as it is.
std::u32string DecodeReferences(const std::u32string& in) {
  std::u32string out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '&' && i + 3 < in.size() && in[i + 1] == '#') {
      size_t j = i + 2;
      bool hex = j < in.size() && (in[j] == 'x' || in[j] == 'X');
      if (hex) ++j;
      char32_t v = 0;
      size_t digits = 0;
      for (; j < in.size() && digits <= 8; ++j, ++digits) {
        char32_t d = in[j];
        int n = d >= '0' && d <= '9'          ? static_cast<int>(d - '0')
                : hex && d >= 'a' && d <= 'f' ? static_cast<int>(d - 'a' + 10)
                : hex && d >= 'A' && d <= 'F' ? static_cast<int>(d - 'A' + 10)
                                              : -1;
        if (n < 0) break;
        v = v * (hex ? 16 : 10) + static_cast<char32_t>(n);
      }
      if (digits > 0 && digits <= 8 && j < in.size() && in[j] == ';' && v > 0 && v <= 0x10FFFF &&
          !(v >= 0xD800 && v <= 0xDFFF)) {
        out.push_back(v);
        i = j;
        continue;
      }
    }
    out.push_back(in[i]);
  }
  return out;
}

}  // namespace

std::optional<std::string> TitleOfMetadata(const std::string& meta) {
  static const std::string kKey = "StreamTitle=";
  size_t p = meta.find(kKey);
  if (p == std::string::npos) return std::nullopt;
  size_t start = p + kKey.size();
  if (start < meta.size() && meta[start] == '\'') ++start;
  size_t end = meta.find("';", start);
  if (end != std::string::npos) return meta.substr(start, end - start);
  std::string rest = meta.substr(std::min(start, meta.size()));
  if (!rest.empty() && rest.back() == '\'') rest.pop_back();
  return rest;
}

std::string TitleToAnsi(const std::string& bytes) {
  std::u32string chars;
  bool utf8_text = base::DecodeUtf8Strict(bytes, &chars);
  bool multi = false;
  for (char32_t c : chars) multi |= c >= 0x80;
  if (!utf8_text || !multi) {
    // Not UTF-8 (real Windows-1251 Cyrillic practically never is): Windows-1251 bytes.
    chars.clear();
    base::DecodeUtf8Strict(base::Cp1251ToUtf8(bytes), &chars);
  }
  std::string utf8;
  for (char32_t c : DecodeReferences(chars))
    base::AppendUtf8(utf8, c < 0x20 || c == 0x7F ? U' ' : c);
  return base::Utf8ToCp1251(utf8);
}

}  // namespace playback
