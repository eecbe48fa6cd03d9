#include "ui/artwork.h"

#include <algorithm>
#include <cmath>

namespace ui {
namespace {

uint32_t Rgb(int r, int g, int b) {
  return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}

uint32_t Mix(uint32_t a, uint32_t b, double t) {
  auto ch = [&](int shift) {
    double x = ((a >> shift) & 0xFF) * (1 - t) + ((b >> shift) & 0xFF) * t;
    return static_cast<uint32_t>(std::lround(x)) << shift;
  };
  return ch(16) | ch(8) | ch(0);
}

// Distance of (x, y) outside the rounded rectangle [0,w)x[0,h) with corner radius r
// (negative inside).
double RoundRectDistance(double x, double y, double w, double h, double r) {
  double cx = std::clamp(x, r, w - 1 - r), cy = std::clamp(y, r, h - 1 - r);
  if (x >= r && x <= w - 1 - r) return std::max(-y, y - (h - 1));
  if (y >= r && y <= h - 1 - r) return std::max(-x, x - (w - 1));
  return std::hypot(x - cx, y - cy) - r;
}

tk::Bitmap Blank(int w, int h) {
  tk::Bitmap bmp;
  bmp.width = w;
  bmp.height = h;
  bmp.pixels.assign(static_cast<size_t>(w) * h, tk::kColourKeyLime);
  return bmp;
}

void FillRoundRect(tk::Bitmap& bmp, int x0, int y0, int w, int h, double r, uint32_t fill,
                   uint32_t border) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double d = RoundRectDistance(x, y, w, h, r);
      if (d > 0) continue;
      bmp.At(x0 + x, y0 + y) = d > -1.5 ? border : fill;
    }
}

}  // namespace

tk::Bitmap MainBackground(int width, int height) {
  tk::Bitmap bmp = Blank(width, height);
  const uint32_t top = Rgb(236, 240, 246), bottom = Rgb(205, 214, 228);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      double d = RoundRectDistance(x, y, width, height, 14);
      if (d > 0) continue;
      uint32_t c = Mix(top, bottom, static_cast<double>(y) / height);
      if (d > -1.5) c = Rgb(120, 132, 152);
      bmp.At(x, y) = c;
    }
  // Header band under the title and status lines.
  for (int y = 3; y < 46; ++y)
    for (int x = 3; x < width - 3; ++x)
      if (RoundRectDistance(x, y, width, height, 14) < -2)
        bmp.At(x, y) = Mix(Rgb(250, 252, 255), bmp.At(x, y), (y - 3) / 43.0);
  // Tile area frame.
  FillRoundRect(bmp, 8, 75, 485, 272, 6, Rgb(250, 250, 251), Rgb(176, 186, 204));
  // Footer separators below the view labels.
  for (int x = 17; x < 121; ++x) bmp.At(x, 368) = Rgb(150, 162, 184);
  for (int x = 201; x < 274; ++x) bmp.At(x, 368) = Rgb(150, 162, 184);
  return bmp;
}

tk::Bitmap DialogBackground(int width, int height) {
  tk::Bitmap bmp = Blank(width, height);
  FillRoundRect(bmp, 0, 0, width, height, 10, Rgb(255, 255, 255), Rgb(160, 160, 160));
  // Close mark: a cross of two 2-pixel diagonals in the top right corner.
  const int cx = width - 16, cy = 12;
  for (int i = -5; i <= 5; ++i)
    for (int t = 0; t < 2; ++t) {
      bmp.At(cx + i + t, cy + i) = Rgb(110, 110, 110);
      bmp.At(cx + i + t, cy - i) = Rgb(110, 110, 110);
    }
  return bmp;
}

}  // namespace ui
