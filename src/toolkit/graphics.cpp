#include "toolkit/graphics.h"

#include <algorithm>
#include <cmath>

namespace tk {

Rect Rect::Intersect(const Rect& o) const {
  int l = std::max(left, o.left), t = std::max(top, o.top);
  int r = std::min(Right(), o.Right()), b = std::min(Bottom(), o.Bottom());
  if (r <= l || b <= t) return {l, t, 0, 0};
  return {l, t, r - l, b - t};
}

Rect Rect::Union(const Rect& o) const {
  if (o.Empty()) return *this;
  if (Empty()) return o;
  int l = std::min(left, o.left), t = std::min(top, o.top);
  int r = std::max(Right(), o.Right()), b = std::max(Bottom(), o.Bottom());
  return {l, t, r - l, b - t};
}

Colour Mix(Colour a, Colour b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  auto ch = [&](int shift) {
    double x = ((a >> shift) & 0xFF) * (1 - t) + ((b >> shift) & 0xFF) * t;
    return static_cast<Colour>(std::lround(x)) << shift;
  };
  return ch(24) | ch(16) | ch(8) | ch(0);
}

Bitmap::Bitmap(int w, int h, Colour fill)
    : width(std::max(w, 0)), height(std::max(h, 0)),
      pixels(static_cast<size_t>(std::max(w, 0)) * std::max(h, 0), fill) {}

namespace {

struct Tap {
  int index;
  float weight;
};

// For each output position the source positions and weights along one axis.
std::vector<std::vector<Tap>> Weights(int src, int dst) {
  std::vector<std::vector<Tap>> out(static_cast<size_t>(dst));
  double scale = static_cast<double>(src) / dst;
  for (int i = 0; i < dst; ++i) {
    auto& taps = out[static_cast<size_t>(i)];
    if (scale >= 1.0) {  // shrink: average the covered source span
      double a = i * scale, b = (i + 1) * scale;
      int first = static_cast<int>(std::floor(a)),
          last = std::min(src - 1, static_cast<int>(std::ceil(b)) - 1);
      for (int k = first; k <= last; ++k) {
        double w = std::min<double>(k + 1, b) - std::max<double>(k, a);
        if (w > 0) taps.push_back({k, static_cast<float>(w / scale)});
      }
    } else {  // grow: linear between the two nearest
      double p = (i + 0.5) * scale - 0.5;
      int k = static_cast<int>(std::floor(p));
      double f = p - k;
      int k0 = std::clamp(k, 0, src - 1), k1 = std::clamp(k + 1, 0, src - 1);
      taps.push_back({k0, static_cast<float>(1 - f)});
      taps.push_back({k1, static_cast<float>(f)});
    }
  }
  return out;
}

struct Premul {
  float a, r, g, b;
};

}  // namespace

Bitmap Resample(const Bitmap& src, int w, int h) {
  if (w <= 0 || h <= 0 || src.Empty()) return Bitmap(std::max(w, 0), std::max(h, 0));
  if (w == src.width && h == src.height) return src;
  auto wx = Weights(src.width, w), wy = Weights(src.height, h);
  // Horizontal pass into premultiplied floats.
  std::vector<Premul> mid(static_cast<size_t>(w) * src.height);
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < w; ++x) {
      Premul acc{0, 0, 0, 0};
      for (const Tap& t : wx[static_cast<size_t>(x)]) {
        Colour c = src.At(t.index, y);
        float a = AlphaOf(c) / 255.0f * t.weight;
        acc.a += a;
        acc.r += RedOf(c) * a;
        acc.g += GreenOf(c) * a;
        acc.b += BlueOf(c) * a;
      }
      mid[static_cast<size_t>(y) * w + x] = acc;
    }
  Bitmap out(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      Premul acc{0, 0, 0, 0};
      for (const Tap& t : wy[static_cast<size_t>(y)]) {
        const Premul& m = mid[static_cast<size_t>(t.index) * w + x];
        acc.a += m.a * t.weight;
        acc.r += m.r * t.weight;
        acc.g += m.g * t.weight;
        acc.b += m.b * t.weight;
      }
      if (acc.a <= 1e-6f) {
        out.At(x, y) = 0;
        continue;
      }
      auto ch = [&](float v) {
        return std::clamp(static_cast<int>(std::lround(v / acc.a)), 0, 255);
      };
      int a = std::clamp(static_cast<int>(std::lround(acc.a * 255)), 0, 255);
      out.At(x, y) = Argb(a, ch(acc.r), ch(acc.g), ch(acc.b));
    }
  return out;
}

Bitmap Greyed(const Bitmap& src) {
  Bitmap out = src;
  for (Colour& c : out.pixels) {
    int lum = (RedOf(c) * 30 + GreenOf(c) * 59 + BlueOf(c) * 11) / 100;
    int v = 150 + lum * 90 / 255;  // a light, flat grey
    c = Argb(AlphaOf(c) * 3 / 4, v, v, v);
  }
  return out;
}

}  // namespace tk
