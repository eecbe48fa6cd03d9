#include "playback/title.h"

#include <vector>

#include "base/codepage.h"

namespace playback {
namespace {

// Strict UTF-8 (no overlong forms, no surrogates, at most U+10FFFF); sets `multi` when a
// multi-byte sequence occurs.
bool DecodeUtf8(const std::string& s, std::vector<char32_t>* out, bool* multi) {
  *multi = false;
  for (size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      out->push_back(b);
      ++i;
      continue;
    }
    size_t len;
    char32_t c, min;
    if ((b & 0xE0) == 0xC0) len = 2, c = b & 0x1F, min = 0x80;
    else if ((b & 0xF0) == 0xE0) len = 3, c = b & 0x0F, min = 0x800;
    else if ((b & 0xF8) == 0xF0) len = 4, c = b & 0x07, min = 0x10000;
    else return false;
    if (i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cb = static_cast<unsigned char>(s[i + k]);
      if ((cb & 0xC0) != 0x80) return false;
      c = (c << 6) | (cb & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    out->push_back(c);
    *multi = true;
    i += len;
  }
  return true;
}

// "&#NNNN;" and "&#xHHHH;" become their characters; anything malformed stays as it is.
std::vector<char32_t> DecodeReferences(const std::vector<char32_t>& in) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '&' && i + 3 < in.size() && in[i + 1] == '#') {
      size_t j = i + 2;
      bool hex = j < in.size() && (in[j] == 'x' || in[j] == 'X');
      if (hex) ++j;
      char32_t v = 0;
      size_t digits = 0;
      for (; j < in.size() && digits <= 8; ++j, ++digits) {
        char32_t d = in[j];
        int n = d >= '0' && d <= '9' ? static_cast<int>(d - '0')
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

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
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
  std::vector<char32_t> chars;
  bool multi = false;
  if (!DecodeUtf8(bytes, &chars, &multi) || !multi) {
    // Not UTF-8 (real Windows-1251 Cyrillic practically never is): Windows-1251 bytes.
    chars.clear();
    std::string utf8 = base::Cp1251ToUtf8(bytes);
    DecodeUtf8(utf8, &chars, &multi);
  }
  std::string utf8;
  for (char32_t c : DecodeReferences(chars)) AppendUtf8(utf8, c < 0x20 || c == 0x7F ? U' ' : c);
  return base::Utf8ToCp1251(utf8);
}

}  // namespace playback
