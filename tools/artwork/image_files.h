#pragma once
// Picture files of the artwork: 32-bit PNG and ICO writing, and reading back the PNGs written
// here (8-bit RGBA, no interlace), for the check that the shipped files match the code.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/graphics.h"

namespace artwork_files {

inline void Put32(std::string& s, uint32_t v) {
  for (int sh = 24; sh >= 0; sh -= 8) s += static_cast<char>((v >> sh) & 0xFF);
}
inline void PutLe(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline uint32_t Get32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

inline void Chunk(std::string& out, const char* type, const std::string& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  Put32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                         static_cast<uInt>(body.size()))));
}

inline std::string EncodePng(const tk::Bitmap& b) {
  std::string raw;
  for (int y = 0; y < b.height; ++y) {
    raw += '\0';  // no filter
    for (int x = 0; x < b.width; ++x) {
      tk::Colour c = b.At(x, y);
      raw += static_cast<char>(tk::RedOf(c));
      raw += static_cast<char>(tk::GreenOf(c));
      raw += static_cast<char>(tk::BlueOf(c));
      raw += static_cast<char>(tk::AlphaOf(c));
    }
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string z(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&z[0]), &size, reinterpret_cast<const Bytef*>(raw.data()),
            static_cast<uLong>(raw.size()), 9);
  z.resize(size);
  std::string out("\x89PNG\r\n\x1a\n", 8);
  std::string ihdr;
  Put32(ihdr, static_cast<uint32_t>(b.width));
  Put32(ihdr, static_cast<uint32_t>(b.height));
  ihdr += std::string("\x08\x06\x00\x00\x00", 5);  // 8-bit RGBA
  Chunk(out, "IHDR", ihdr);
  Chunk(out, "IDAT", z);
  Chunk(out, "IEND", "");
  return out;
}

// Reads a PNG as EncodePng writes it; false for anything else.
inline bool DecodeOwnPng(const std::string& png, tk::Bitmap* out) {
  if (png.size() < 33 || png.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0) return false;
  int w = static_cast<int>(Get32(png, 16)), h = static_cast<int>(Get32(png, 20));
  if (w <= 0 || h <= 0 || w > 4096 || h > 4096 ||
      png.compare(24, 5, std::string("\x08\x06\x00\x00\x00", 5)) != 0)
    return false;
  std::string z;
  for (size_t at = 8; at + 12 <= png.size();) {
    uint32_t len = Get32(png, at);
    if (at + 12 + len > png.size()) return false;
    if (png.compare(at + 4, 4, "IDAT") == 0) z += png.substr(at + 8, len);
    at += 12 + len;
  }
  std::string raw(static_cast<size_t>(h) * (1 + 4 * static_cast<size_t>(w)), '\0');
  uLongf size = static_cast<uLongf>(raw.size());
  if (uncompress(reinterpret_cast<Bytef*>(&raw[0]), &size, reinterpret_cast<const Bytef*>(z.data()),
                 static_cast<uLong>(z.size())) != Z_OK ||
      size != raw.size())
    return false;
  *out = tk::Bitmap(w, h);
  for (int y = 0; y < h; ++y) {
    const unsigned char* row =
        reinterpret_cast<const unsigned char*>(raw.data()) + static_cast<size_t>(y) * (1 + 4 * w);
    if (row[0] != 0) return false;
    for (int x = 0; x < w; ++x) {
      const unsigned char* p = row + 1 + 4 * x;
      out->At(x, y) = tk::Argb(p[3], p[0], p[1], p[2]);
    }
  }
  return true;
}

// An icon file of 32-bit images with alpha, one per picture (square, at most 255 pixels).
inline std::string EncodeIco(const std::vector<tk::Bitmap>& images) {
  std::string dir, data;
  PutLe(dir, 0, 2);
  PutLe(dir, 1, 2);
  PutLe(dir, static_cast<uint32_t>(images.size()), 2);
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (const tk::Bitmap& b : images) {
    std::string img;
    const int mask_row = ((b.width + 31) / 32) * 4;
    PutLe(img, 40, 4);
    PutLe(img, static_cast<uint32_t>(b.width), 4);
    PutLe(img, static_cast<uint32_t>(b.height * 2), 4);  // colour and mask
    PutLe(img, 1, 2);
    PutLe(img, 32, 2);
    PutLe(img, 0, 4);
    PutLe(img, static_cast<uint32_t>(b.width * b.height * 4 + mask_row * b.height), 4);
    PutLe(img, 0, 4);
    PutLe(img, 0, 4);
    PutLe(img, 0, 4);
    PutLe(img, 0, 4);
    for (int y = b.height - 1; y >= 0; --y)  // bottom-up rows, BGRA
      for (int x = 0; x < b.width; ++x) PutLe(img, b.At(x, y), 4);
    for (int y = 0; y < b.height; ++y) {
      std::string row(static_cast<size_t>(mask_row), '\0');
      for (int x = 0; x < b.width; ++x)
        if (tk::AlphaOf(b.At(x, y)) == 0)
          row[static_cast<size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
      img += row;
    }
    dir += static_cast<char>(b.width);
    dir += static_cast<char>(b.height);
    PutLe(dir, 0, 2);
    PutLe(dir, 1, 2);
    PutLe(dir, 32, 2);
    PutLe(dir, static_cast<uint32_t>(img.size()), 4);
    PutLe(dir, offset, 4);
    offset += static_cast<uint32_t>(img.size());
    data += img;
  }
  return dir + data;
}

}  // namespace artwork_files
