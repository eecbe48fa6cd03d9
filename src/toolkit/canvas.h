#pragma once
// Anti-aliased drawing into pixels: paths, gradients, pictures and (through the platform) text.
#include <string>
#include <vector>

#include "toolkit/graphics.h"

namespace tk {

struct PointF {
  double x = 0, y = 0;
};

// Closed contours, filled with the non-zero rule: contours of the same turning direction
// add up, so overlapping pieces give their union.
class Path {
 public:
  Path& MoveTo(double x, double y);
  Path& LineTo(double x, double y);
  Path& CubicTo(double x1, double y1, double x2, double y2, double x3, double y3);
  Path& Close();
  Path& AddRect(double x, double y, double w, double h);
  Path& AddRoundRect(double x, double y, double w, double h, double r);
  Path& AddEllipse(double cx, double cy, double rx, double ry);
  Path& AddPolygon(const std::vector<PointF>& pts);
  // A stroke of width w along a line, with round caps.
  Path& AddLine(double x0, double y0, double x1, double y1, double w);
  // A stroke along a circular arc (angles in degrees, counter-clockwise from 3 o'clock,
  // y pointing down), with round caps.
  Path& AddArc(double cx, double cy, double r, double from_deg, double to_deg, double w);
  // Turns the last contour round, so that it cuts a hole into the ones it lies in.
  Path& ReverseLast();
  const std::vector<std::vector<PointF>>& Contours() const { return contours_; }
  bool Empty() const { return contours_.empty(); }

 private:
  std::vector<std::vector<PointF>> contours_;
};

// A fill: one colour, or a linear or radial gradient through colour stops.
class Paint {
 public:
  Paint(Colour c = 0) : solid_(c) {}  // NOLINT: a colour is a paint
  static Paint Linear(double x0, double y0, double x1, double y1,
                      std::vector<std::pair<double, Colour>> stops);
  static Paint Vertical(double y0, double y1, Colour top, Colour bottom) {
    return Linear(0, y0, 0, y1, {{0, top}, {1, bottom}});
  }
  static Paint Radial(double cx, double cy, double r, std::vector<std::pair<double, Colour>> stops);
  Colour At(double x, double y) const;
  bool IsSolid() const { return kind_ == kSolid; }

 private:
  enum Kind { kSolid, kLinear, kRadial };
  Kind kind_ = kSolid;
  Colour solid_;
  double x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0, r_ = 0;
  std::vector<std::pair<double, Colour>> stops_;
};

// Character height in pixels; style bits as the font style set.
enum FontStyle : uint8_t { kBold = 1, kItalic = 2, kUnderline = 4, kStrikeOut = 8 };
struct Font {
  std::string name = "MS Sans Serif";
  int height = 11;
  uint8_t style = 0;
  Colour colour = Rgb(0, 0, 0);
  bool operator==(const Font& o) const {
    return name == o.name && height == o.height && style == o.style && colour == o.colour;
  }
};

// Text needs the platform: Win32 draws with GDI into the same pixels.
class TextRenderer {
 public:
  virtual ~TextRenderer() = default;
  virtual Size Measure(const std::string& utf8, const Font& font) = 0;
  // Draws one line at (x, y) (top left of the line box) in target pixels, clipped.
  virtual void Draw(const std::string& utf8, const Font& font, Colour colour, int x, int y,
                    const Rect& clip) = 0;
  // Makes pending text output visible in the pixels.
  virtual void Flush() {}
};

enum class Align { kLeft, kCentre, kRight };

// Draws into a pixel view. Coordinates are local to the origin; everything is clipped.
class Canvas {
 public:
  Canvas(PixelView target, TextRenderer* text = nullptr);

  // Local origin and clip, both in target pixels.
  void SetOrigin(Point p) { origin_ = p; }
  Point Origin() const { return origin_; }
  void SetClip(const Rect& r);  // in target pixels; limited to the target
  const Rect& Clip() const { return clip_; }
  PixelView Target() const { return target_; }
  TextRenderer* Text() const { return text_; }
  // An opaque target (a window's surface) stays opaque; others compose with their alpha.
  void SetOpaqueTarget(bool on) { opaque_ = on; }

  void FillRect(const Rect& r, const Paint& p);
  void FillPath(const Path& path, const Paint& p);
  // Outline of a rounded rectangle, inside its bounds.
  void StrokeRoundRect(double x, double y, double w, double h, double r, double width,
                       const Paint& p);
  // Picture into dst (local), stretched with good resampling, alpha blended; opacity 0..255.
  void DrawBitmap(const Bitmap& src, const Rect& dst, int opacity = 255);
  void DrawBitmap(const Bitmap& src, int x, int y, int opacity = 255) {
    DrawBitmap(src, {x, y, src.width, src.height}, opacity);
  }

  Size MeasureText(const std::string& utf8, const Font& font);
  void DrawText(const std::string& utf8, const Font& font, Colour colour, int x, int y);
  // Text inside a box, one line; "…" ends a line that does not fit.
  void DrawTextIn(const std::string& utf8, const Font& font, Colour colour, const Rect& box,
                  Align align = Align::kLeft, bool ellipsis = true);

  // Blends one colour with coverage 0..1 into a target pixel (absolute coordinates).
  void BlendPixel(int x, int y, Colour c, double coverage);

 private:
  void Touch();  // before direct pixel access
  PixelView target_;
  TextRenderer* text_;
  Point origin_;
  Rect clip_;
  bool opaque_ = false;
};

// Shortens a text with "…" until it fits max_width (by the renderer's measure).
std::string FitText(TextRenderer* text, const std::string& utf8, const Font& font, int max_width);

}  // namespace tk
