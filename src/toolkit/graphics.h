#pragma once
// Geometry, colours and bitmaps shared by the toolkit and the artwork.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tk {

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point& o) const { return x == o.x && y == o.y; }
};

struct Size {
  int width = 0, height = 0;
  bool operator==(const Size& o) const { return width == o.width && height == o.height; }
};

// left/top inclusive, right/bottom exclusive.
struct Rect {
  int left = 0, top = 0, width = 0, height = 0;

  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
  bool Empty() const { return width <= 0 || height <= 0; }
  bool Contains(Point p) const {
    return p.x >= left && p.x < Right() && p.y >= top && p.y < Bottom();
  }
  Rect Offset(int dx, int dy) const { return {left + dx, top + dy, width, height}; }
  Rect Inflate(int d) const { return {left - d, top - d, width + 2 * d, height + 2 * d}; }
  Rect Intersect(const Rect& o) const;
  // The smallest rectangle holding both; an empty one adds nothing.
  Rect Union(const Rect& o) const;
  bool operator==(const Rect& o) const {
    return left == o.left && top == o.top && width == o.width && height == o.height;
  }
  bool operator!=(const Rect& o) const { return !(*this == o); }
};

// 0xAARRGGBB, straight (not premultiplied) alpha.
using Colour = uint32_t;

constexpr Colour Argb(int a, int r, int g, int b) {
  return (static_cast<Colour>(a & 0xFF) << 24) | (static_cast<Colour>(r & 0xFF) << 16) |
         (static_cast<Colour>(g & 0xFF) << 8) | static_cast<Colour>(b & 0xFF);
}
constexpr Colour Rgb(int r, int g, int b) { return Argb(255, r, g, b); }
constexpr int AlphaOf(Colour c) { return static_cast<int>(c >> 24); }
constexpr int RedOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr Colour WithAlpha(Colour c, int a) {
  return (c & 0x00FFFFFF) | (static_cast<Colour>(a & 0xFF) << 24);
}
// Every channel, alpha included, from a (t = 0) to b (t = 1).
Colour Mix(Colour a, Colour b, double t);
// The platform's 0x00BBGGRR colour value as a colour.
constexpr Colour FromBgr(uint32_t bgr) {
  return Rgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// Pure lime is see-through on every window.
constexpr Colour kColourKeyLime = Rgb(0, 255, 0);
constexpr bool IsColourKey(Colour c) { return (c & 0x00FFFFFF) == (kColourKeyLime & 0x00FFFFFF); }

// Rows top to bottom.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<Colour> pixels;

  Bitmap() = default;
  Bitmap(int w, int h, Colour fill = 0);
  bool Empty() const { return width <= 0 || height <= 0; }
  Colour& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  Colour At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A view on pixels owned elsewhere (a bitmap or a platform surface).
struct PixelView {
  Colour* pixels = nullptr;
  int width = 0;
  int height = 0;
  Colour& At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
inline PixelView ViewOf(Bitmap& b) { return {b.pixels.data(), b.width, b.height}; }

// Resampled to w x h: area averaging where it shrinks, bilinear where it grows, alpha-correct.
Bitmap Resample(const Bitmap& src, int w, int h);
// A greyed copy for disabled controls: desaturated and faded towards the background.
Bitmap Greyed(const Bitmap& src);

}  // namespace tk
