#include "toolkit/canvas.h"

#include <algorithm>
#include <cmath>

namespace tk {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSubScanlines = 5;  // vertical samples per pixel; horizontal coverage is exact
constexpr int kCurveSteps = 12;

}  // namespace

// --- Path -----------------------------------------------------------------------------------

Path& Path::MoveTo(double x, double y) {
  contours_.push_back({{x, y}});
  return *this;
}

Path& Path::LineTo(double x, double y) {
  if (contours_.empty()) return MoveTo(x, y);
  contours_.back().push_back({x, y});
  return *this;
}

Path& Path::CubicTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  if (contours_.empty()) MoveTo(x1, y1);
  PointF p0 = contours_.back().back();
  for (int i = 1; i <= kCurveSteps; ++i) {
    double t = static_cast<double>(i) / kCurveSteps, u = 1 - t;
    double x = u * u * u * p0.x + 3 * u * u * t * x1 + 3 * u * t * t * x2 + t * t * t * x3;
    double y = u * u * u * p0.y + 3 * u * u * t * y1 + 3 * u * t * t * y2 + t * t * t * y3;
    contours_.back().push_back({x, y});
  }
  return *this;
}

Path& Path::Close() { return *this; }

Path& Path::ReverseLast() {
  if (!contours_.empty()) std::reverse(contours_.back().begin(), contours_.back().end());
  return *this;
}  // every contour is closed when filled

Path& Path::AddRect(double x, double y, double w, double h) {
  return AddPolygon({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}});
}

Path& Path::AddRoundRect(double x, double y, double w, double h, double r) {
  r = std::clamp(r, 0.0, std::min(w, h) / 2);
  if (r <= 0) return AddRect(x, y, w, h);
  std::vector<PointF> pts;
  auto corner = [&](double cx, double cy, double start) {
    int steps = std::max(4, static_cast<int>(r * 1.5));
    for (int i = 0; i <= steps; ++i) {
      double a = (start + 90.0 * i / steps) * kPi / 180;
      pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
  };
  // Clockwise on screen (y down): top right, bottom right, bottom left, top left.
  corner(x + w - r, y + r, 270);
  corner(x + w - r, y + h - r, 0);
  corner(x + r, y + h - r, 90);
  corner(x + r, y + r, 180);
  contours_.push_back(std::move(pts));
  return *this;
}

Path& Path::AddEllipse(double cx, double cy, double rx, double ry) {
  int steps = std::max(16, static_cast<int>((rx + ry) * 2));
  std::vector<PointF> pts;
  for (int i = 0; i < steps; ++i) {
    double a = 2 * kPi * i / steps;
    pts.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
  }
  contours_.push_back(std::move(pts));
  return *this;
}

Path& Path::AddPolygon(const std::vector<PointF>& pts) {
  if (pts.size() < 3) return *this;
  // Keep every contour clockwise on screen so that overlaps add up.
  double area = 0;
  for (size_t i = 0; i < pts.size(); ++i) {
    const PointF& a = pts[i];
    const PointF& b = pts[(i + 1) % pts.size()];
    area += a.x * b.y - b.x * a.y;
  }
  contours_.push_back(pts);
  if (area < 0) std::reverse(contours_.back().begin(), contours_.back().end());
  return *this;
}

Path& Path::AddLine(double x0, double y0, double x1, double y1, double w) {
  double dx = x1 - x0, dy = y1 - y0, len = std::hypot(dx, dy);
  double h = w / 2;
  if (len > 1e-9) {
    double nx = -dy / len * h, ny = dx / len * h;
    AddPolygon({{x0 + nx, y0 + ny}, {x1 + nx, y1 + ny}, {x1 - nx, y1 - ny}, {x0 - nx, y0 - ny}});
  }
  AddEllipse(x0, y0, h, h);
  AddEllipse(x1, y1, h, h);
  return *this;
}

Path& Path::AddArc(double cx, double cy, double r, double from_deg, double to_deg, double w) {
  int steps = std::max(6, static_cast<int>(std::fabs(to_deg - from_deg) / 6));
  double h = w / 2;
  std::vector<PointF> outer, inner;
  for (int i = 0; i <= steps; ++i) {
    double a = (from_deg + (to_deg - from_deg) * i / steps) * kPi / 180;
    double c = std::cos(a), s = -std::sin(a);
    outer.push_back({cx + (r + h) * c, cy + (r + h) * s});
    inner.push_back({cx + (r - h) * c, cy + (r - h) * s});
  }
  std::vector<PointF> ring(outer);
  ring.insert(ring.end(), inner.rbegin(), inner.rend());
  AddPolygon(ring);
  AddEllipse(outer.front().x / 2 + inner.front().x / 2, outer.front().y / 2 + inner.front().y / 2,
             h, h);
  AddEllipse(outer.back().x / 2 + inner.back().x / 2, outer.back().y / 2 + inner.back().y / 2, h,
             h);
  return *this;
}

// --- Paint ----------------------------------------------------------------------------------

Paint Paint::Linear(double x0, double y0, double x1, double y1,
                    std::vector<std::pair<double, Colour>> stops) {
  Paint p;
  p.kind_ = kLinear;
  p.x0_ = x0, p.y0_ = y0, p.x1_ = x1, p.y1_ = y1;
  p.stops_ = std::move(stops);
  return p;
}

Paint Paint::Radial(double cx, double cy, double r, std::vector<std::pair<double, Colour>> stops) {
  Paint p;
  p.kind_ = kRadial;
  p.x0_ = cx, p.y0_ = cy, p.r_ = r;
  p.stops_ = std::move(stops);
  return p;
}

Colour Paint::At(double x, double y) const {
  if (kind_ == kSolid || stops_.empty()) return solid_;
  double t;
  if (kind_ == kLinear) {
    double dx = x1_ - x0_, dy = y1_ - y0_, len2 = dx * dx + dy * dy;
    t = len2 > 0 ? ((x - x0_) * dx + (y - y0_) * dy) / len2 : 0;
  } else {
    t = r_ > 0 ? std::hypot(x - x0_, y - y0_) / r_ : 0;
  }
  if (t <= stops_.front().first) return stops_.front().second;
  for (size_t i = 1; i < stops_.size(); ++i)
    if (t <= stops_[i].first) {
      double span = stops_[i].first - stops_[i - 1].first;
      return Mix(stops_[i - 1].second, stops_[i].second,
                 span > 0 ? (t - stops_[i - 1].first) / span : 1);
    }
  return stops_.back().second;
}

// --- Canvas ---------------------------------------------------------------------------------

Canvas::Canvas(PixelView target, TextRenderer* text)
    : target_(target), text_(text), clip_{0, 0, target.width, target.height} {}

void Canvas::SetClip(const Rect& r) { clip_ = r.Intersect({0, 0, target_.width, target_.height}); }

void Canvas::Touch() {
  if (text_) text_->Flush();
}

void Canvas::BlendPixel(int x, int y, Colour c, double coverage) {
  if (!clip_.Contains({x, y})) return;
  double sa = AlphaOf(c) / 255.0 * std::clamp(coverage, 0.0, 1.0);
  if (sa <= 0) return;
  Colour& d = target_.At(x, y);
  if (opaque_) {
    auto mix = [&](int s, int dch) { return static_cast<int>(std::lround(dch + (s - dch) * sa)); };
    d = Rgb(mix(RedOf(c), RedOf(d)), mix(GreenOf(c), GreenOf(d)), mix(BlueOf(c), BlueOf(d)));
    return;
  }
  double da = AlphaOf(d) / 255.0;
  double oa = sa + da * (1 - sa);
  auto ch = [&](int s, int dch) {
    return static_cast<int>(std::lround((s * sa + dch * da * (1 - sa)) / oa));
  };
  d = Argb(static_cast<int>(std::lround(oa * 255)), ch(RedOf(c), RedOf(d)),
           ch(GreenOf(c), GreenOf(d)), ch(BlueOf(c), BlueOf(d)));
}

void Canvas::FillRect(const Rect& r, const Paint& p) {
  Rect a = r.Offset(origin_.x, origin_.y).Intersect(clip_);
  if (a.Empty()) return;
  Touch();
  for (int y = a.top; y < a.Bottom(); ++y)
    for (int x = a.left; x < a.Right(); ++x) {
      Colour c = p.At(x - origin_.x + 0.5, y - origin_.y + 0.5);
      if (AlphaOf(c) == 255)
        target_.At(x, y) = c;
      else
        BlendPixel(x, y, c, 1);
    }
}

void Canvas::FillPath(const Path& path, const Paint& p) {
  struct Edge {
    double x0, y0, x1, y1;
    int dir;
  };
  std::vector<Edge> edges;
  double ymin = 1e18, ymax = -1e18, xmin = 1e18, xmax = -1e18;
  for (const auto& c : path.Contours()) {
    for (size_t i = 0; i < c.size(); ++i) {
      PointF a = c[i], b = c[(i + 1) % c.size()];
      a.x += origin_.x, a.y += origin_.y, b.x += origin_.x, b.y += origin_.y;
      xmin = std::min({xmin, a.x, b.x}), xmax = std::max({xmax, a.x, b.x});
      if (a.y == b.y) continue;
      ymin = std::min({ymin, a.y, b.y}), ymax = std::max({ymax, a.y, b.y});
      if (a.y < b.y)
        edges.push_back({a.x, a.y, b.x, b.y, 1});
      else
        edges.push_back({b.x, b.y, a.x, a.y, -1});
    }
  }
  if (edges.empty()) return;
  int y0 = std::max(clip_.top, static_cast<int>(std::floor(ymin)));
  int y1 = std::min(clip_.Bottom(), static_cast<int>(std::ceil(ymax)));
  int x0 = std::max(clip_.left, static_cast<int>(std::floor(xmin)));
  int x1 = std::min(clip_.Right(), static_cast<int>(std::ceil(xmax)));
  if (y0 >= y1 || x0 >= x1) return;
  Touch();
  std::vector<float> cov(static_cast<size_t>(x1 - x0 + 1));
  std::vector<std::pair<double, int>> cross;
  for (int y = y0; y < y1; ++y) {
    std::fill(cov.begin(), cov.end(), 0.0f);
    bool any = false;
    for (int s = 0; s < kSubScanlines; ++s) {
      double sy = y + (s + 0.5) / kSubScanlines;
      cross.clear();
      for (const Edge& e : edges)
        if (sy >= e.y0 && sy < e.y1)
          cross.push_back({e.x0 + (sy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.dir});
      if (cross.empty()) continue;
      std::sort(cross.begin(), cross.end());
      int wind = 0;
      double start = 0;
      for (const auto& [x, dir] : cross) {
        int before = wind;
        wind += dir;
        if (before == 0 && wind != 0) start = x;
        if (before != 0 && wind == 0) {
          double a = std::max<double>(start, x0), b = std::min<double>(x, x1);
          for (int ix = static_cast<int>(std::floor(a)); ix < b; ++ix) {
            double w = std::min<double>(b, ix + 1) - std::max<double>(a, ix);
            if (w > 0) cov[static_cast<size_t>(ix - x0)] += static_cast<float>(w / kSubScanlines);
          }
          any = true;
        }
      }
    }
    if (!any) continue;
    for (int x = x0; x < x1; ++x) {
      float c = cov[static_cast<size_t>(x - x0)];
      if (c <= 0.002f) continue;
      Colour col = p.At(x - origin_.x + 0.5, y - origin_.y + 0.5);
      if (c >= 0.998f && AlphaOf(col) == 255)
        target_.At(x, y) = col;
      else
        BlendPixel(x, y, col, c);
    }
  }
}

void Canvas::StrokeRoundRect(double x, double y, double w, double h, double r, double width,
                             const Paint& p) {
  Path outer, inner;
  outer.AddRoundRect(x, y, w, h, r);
  // The inner contour runs the other way round, which cuts it out of the fill.
  inner.AddRoundRect(x + width, y + width, w - 2 * width, h - 2 * width, std::max(0.0, r - width));
  Path ring = outer;
  for (auto c : inner.Contours()) {
    std::reverse(c.begin(), c.end());
    ring.MoveTo(c.front().x, c.front().y);
    for (size_t i = 1; i < c.size(); ++i) ring.LineTo(c[i].x, c[i].y);
  }
  FillPath(ring, p);
}

void Canvas::DrawBitmap(const Bitmap& src, const Rect& dst, int opacity) {
  if (src.Empty() || dst.Empty() || opacity <= 0) return;
  Rect a = dst.Offset(origin_.x, origin_.y);
  Rect vis = a.Intersect(clip_);
  if (vis.Empty()) return;
  Touch();
  const Bitmap* img = &src;
  Bitmap scaled;
  if (src.width != dst.width || src.height != dst.height) {
    scaled = Resample(src, dst.width, dst.height);
    img = &scaled;
  }
  for (int y = vis.top; y < vis.Bottom(); ++y)
    for (int x = vis.left; x < vis.Right(); ++x) {
      Colour c = img->At(x - a.left, y - a.top);
      int alpha = AlphaOf(c) * opacity / 255;
      if (alpha == 255)
        target_.At(x, y) = c;
      else if (alpha > 0)
        BlendPixel(x, y, WithAlpha(c, alpha), 1);
    }
}

Size Canvas::MeasureText(const std::string& utf8, const Font& font) {
  return text_ ? text_->Measure(utf8, font) : Size{};
}

void Canvas::DrawText(const std::string& utf8, const Font& font, Colour colour, int x, int y) {
  if (text_) text_->Draw(utf8, font, colour, x + origin_.x, y + origin_.y, clip_);
}

void Canvas::DrawTextIn(const std::string& utf8, const Font& font, Colour colour, const Rect& box,
                        Align align, bool ellipsis) {
  if (!text_) return;
  std::string s = ellipsis ? FitText(text_, utf8, font, box.width) : utf8;
  Size sz = text_->Measure(s, font);
  int x = box.left;
  if (align == Align::kCentre) x += (box.width - sz.width) / 2;
  if (align == Align::kRight) x += box.width - sz.width;
  int y = box.top + (box.height - sz.height) / 2;
  Rect old = clip_;
  SetClip(clip_.Intersect(box.Offset(origin_.x, origin_.y)));
  DrawText(s, font, colour, x, y);
  clip_ = old;
}

std::string FitText(TextRenderer* text, const std::string& utf8, const Font& font, int max_width) {
  if (!text || text->Measure(utf8, font).width <= max_width) return utf8;
  std::string s = utf8;
  while (!s.empty()) {
    // Drop one whole UTF-8 character from the end.
    size_t n = s.size() - 1;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    s.erase(n);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    std::string t = s + "\xE2\x80\xA6";
    if (text->Measure(t, font).width <= max_width) return t;
  }
  return "\xE2\x80\xA6";
}

}  // namespace tk
