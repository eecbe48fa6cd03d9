#include "ui/artwork.h"

#include <cmath>

#include "toolkit/canvas.h"
#include "toolkit/skin.h"
#include "ui/main/layout.h"

namespace ui::art {

using tk::Argb;
using tk::Bitmap;
using tk::Canvas;
using tk::Colour;
using tk::Paint;
using tk::Path;
using tk::Rgb;
// The palette is the skin's.
using tk::skin::kAccent;
using tk::skin::kAccentLight;
using tk::skin::kGold;
using tk::skin::kGoldLight;
using tk::skin::kGreen;
using tk::skin::kGreenLight;
using tk::skin::kInk;
using tk::skin::kOutline;
using tk::skin::kRed;
using tk::skin::kRedLight;

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Drawing {
  Bitmap bmp;
  Canvas c;
  Drawing(int w, int h) : bmp(w, h, 0), c(tk::ViewOf(bmp)) {}
};

Paint Down(double y0, double y1, Colour top, Colour bottom) {
  return Paint::Vertical(y0, y1, top, bottom);
}

void Star(Path& p, double cx, double cy, double outer, double inner) {
  std::vector<tk::PointF> pts;
  for (int i = 0; i < 10; ++i) {
    double r = i % 2 ? inner : outer;
    double a = (-90 + 36 * i) * kPi / 180;
    pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
  }
  p.AddPolygon(pts);
}

void Gear(Path& p, double cx, double cy, double outer, double inner, double hole, int teeth) {
  std::vector<tk::PointF> pts;
  double step = 360.0 / teeth;
  for (int t = 0; t < teeth; ++t) {
    double a = t * step;
    const std::pair<double, double> shape[] = {
        {-0.36, inner}, {-0.2, outer}, {0.2, outer}, {0.36, inner}};
    for (auto [d, r] : shape) {
      double ang = (a + d * step) * kPi / 180;
      pts.push_back({cx + r * std::cos(ang), cy + r * std::sin(ang)});
    }
  }
  p.AddPolygon(pts);
  p.AddEllipse(cx, cy, hole, hole).ReverseLast();
}

// A round plate for the header's picture buttons.
void Plate(Canvas& c, double cx, double cy, double r, bool hot, Colour hot_top, Colour hot_bottom) {
  Path shadow;
  shadow.AddEllipse(cx + 0.6, cy + 1.2, r, r);
  c.FillPath(shadow, Argb(46, 30, 40, 60));
  Path rim;
  rim.AddEllipse(cx, cy, r, r);
  c.FillPath(rim, hot ? tk::Mix(hot_bottom, Rgb(0, 0, 0), 0.25) : Rgb(140, 152, 174));
  Path face;
  face.AddEllipse(cx, cy, r - 1, r - 1);
  c.FillPath(face, hot ? Down(cy - r, cy + r, hot_top, hot_bottom)
                       : Down(cy - r, cy + r, Rgb(255, 255, 255), Rgb(214, 223, 236)));
  Path gloss;
  gloss.AddEllipse(cx, cy - r * 0.42, r * 0.72, r * 0.42);
  c.FillPath(gloss, Down(cy - r, cy, Argb(150, 255, 255, 255), Argb(0, 255, 255, 255)));
}

}  // namespace

Bitmap Flatten(const Bitmap& b, Colour edge) {
  Bitmap out(b.width, b.height);
  for (size_t i = 0; i < b.pixels.size(); ++i) {
    Colour p = b.pixels[i];
    int a = tk::AlphaOf(p);
    out.pixels[i] = a < 128 ? tk::kColourKeyLime : tk::Mix(edge, tk::WithAlpha(p, 255), a / 255.0);
  }
  return out;
}

Bitmap MainBackground() {
  using namespace layout;
  const int w = kForm1.width, h = kForm1.height;
  Drawing d(w, h);
  Canvas& c = d.c;
  // Body: a dark outline, then the face from light at the top to cool grey at the bottom.
  Path outline;
  outline.AddRoundRect(0, 0, w, h, 12);
  c.FillPath(outline, kOutline);
  Path face;
  face.AddRoundRect(1, 1, w - 2, h - 2, 11);
  c.FillPath(face, Paint::Linear(0, 0, 0, h,
                                 {{0, Rgb(251, 252, 254)},
                                  {0.13, Rgb(238, 242, 248)},
                                  {0.2, Rgb(230, 235, 243)},
                                  {1, Rgb(207, 216, 229)}}));
  // Light from above: a soft sheen over the header.
  Path sheen;
  sheen.AddRoundRect(2, 2, w - 4, 42, 10);
  c.FillPath(sheen, Down(2, 44, Argb(170, 255, 255, 255), Argb(0, 255, 255, 255)));
  // The header ends in an engraved line; a thin accent line runs under it.
  c.FillRect({12, 45, w - 24, 1}, Rgb(196, 205, 219));
  c.FillRect({12, 46, w - 24, 1}, Rgb(255, 255, 255));
  c.FillRect({40, 44, w - 80, 1}, Paint::Linear(40, 0, w - 40, 0,
                                                {{0, tk::WithAlpha(kAccent, 0)},
                                                 {0.5, tk::WithAlpha(kAccent, 140)},
                                                 {1, tk::WithAlpha(kAccent, 0)}}));
  // The tile well around the grids: an inset frame on the grids' own background colour.
  const tk::Rect g = kGrid;
  Path well_shadow;
  well_shadow.AddRoundRect(g.left - 2, g.top - 2, g.width + 4, g.height + 4, 5);
  c.FillPath(well_shadow, Rgb(150, 163, 186));
  Path well;
  well.AddRoundRect(g.left - 1, g.top - 1, g.width + 2, g.height + 2, 4);
  c.FillPath(well, tk::FromBgr(16448251));
  c.FillRect({g.left, g.top - 1, g.width, 1}, Rgb(228, 232, 238));  // inner shadow at the top
  // A light edge below the well, as if it were pressed into the face.
  c.FillRect({g.left, g.Bottom() + 2, g.width, 1}, Argb(200, 255, 255, 255));
  // Footer: engraved separators between the view labels and the site name.
  for (int x : {kRxLabel3.left - 24, kRxLabel1.left - 20}) {
    c.FillRect({x, kRxLabel2.top + 2, 1, 13}, Rgb(170, 181, 200));
    c.FillRect({x + 1, kRxLabel2.top + 2, 1, 13}, Argb(220, 255, 255, 255));
  }
  return Flatten(d.bmp, kOutline);
}

Bitmap DialogBackground(int width, int height) {
  Drawing d(width, height);
  Canvas& c = d.c;
  Path outline;
  outline.AddRoundRect(0, 0, width, height, 10);
  c.FillPath(outline, Rgb(150, 158, 172));
  Path face;
  face.AddRoundRect(1, 1, width - 2, height - 2, 9);
  c.FillPath(face, Down(0, height, Rgb(255, 255, 255), Rgb(244, 246, 250)));
  // Close mark: a cross in the top right corner.
  const double cx = width - 20.5, cy = 16.5;
  Path cross;
  cross.AddLine(cx - 4.5, cy - 4.5, cx + 4.5, cy + 4.5, 2.2);
  cross.AddLine(cx - 4.5, cy + 4.5, cx + 4.5, cy - 4.5, 2.2);
  c.FillPath(cross, Rgb(110, 118, 132));
  return Flatten(d.bmp, Rgb(150, 158, 172));
}

Bitmap FavouriteMark(bool favourite) {
  Drawing d(30, 31);
  Canvas& c = d.c;
  const double cx = 15, cy = 16.2;
  Path shadow;
  Star(shadow, cx + 0.7, cy + 1.2, 13, 5.6);
  c.FillPath(shadow, Argb(50, 30, 40, 60));
  Path rim;
  Star(rim, cx, cy, 13, 5.6);
  c.FillPath(rim, favourite ? Rgb(178, 104, 6) : Rgb(142, 153, 172));
  Path body;
  Star(body, cx, cy + 0.3, 11.4, 4.9);
  c.FillPath(body, favourite ? Paint::Linear(8, 5, 22, 27, {{0, kGoldLight}, {1, kGold}})
                             : Paint::Linear(8, 5, 22, 27,
                                             {{0, Rgb(255, 255, 255)}, {1, Rgb(210, 218, 230)}}));
  Path gloss;
  Star(gloss, cx - 0.6, cy - 1.2, 7.5, 3.2);
  c.FillPath(gloss, Argb(favourite ? 120 : 150, 255, 255, 255));
  return d.bmp;
}

Bitmap Speaker(bool muted) {
  Drawing d(18, 17);
  Canvas& c = d.c;
  Path body;
  body.AddPolygon({{1.5, 6}, {4.5, 6}, {9, 2}, {9, 15}, {4.5, 11}, {1.5, 11}});
  c.FillPath(body, Paint::Linear(1, 2, 9, 15, {{0, Rgb(104, 120, 148)}, {1, kInk}}));
  Path light;
  light.AddPolygon({{2.5, 7}, {5, 7}, {8, 4.3}, {8, 6.5}, {5, 8.2}, {2.5, 8.2}});
  c.FillPath(light, Argb(110, 255, 255, 255));
  if (muted) {
    Path x;
    x.AddLine(11.5, 6, 16, 10.5, 1.8);
    x.AddLine(11.5, 10.5, 16, 6, 1.8);
    c.FillPath(x, kRed);
  } else {
    Path waves;
    waves.AddArc(9, 8.5, 3.2, -50, 50, 1.5);
    waves.AddArc(9, 8.5, 6.4, -52, 52, 1.5);
    c.FillPath(waves, kAccent);
  }
  return d.bmp;
}

// A round title-bar plate with a glyph drawn around its centre in `ink`.
template <typename Glyph>
Bitmap TitleButton(bool hot, Colour light, Colour base, Glyph glyph) {
  Drawing d(33, 31);
  const double cx = 16.5, cy = 15.5;
  Plate(d.c, cx, cy, 11, hot, light, base);
  glyph(d.c, cx, cy, hot ? Rgb(255, 255, 255) : kInk);
  return d.bmp;
}

Bitmap CloseButton(bool hot) {
  return TitleButton(hot, kRedLight, kRed, [](Canvas& c, double cx, double cy, Colour ink) {
    Path x;
    x.AddLine(cx - 4.2, cy - 4.2, cx + 4.2, cy + 4.2, 2.3);
    x.AddLine(cx - 4.2, cy + 4.2, cx + 4.2, cy - 4.2, 2.3);
    c.FillPath(x, ink);
  });
}

Bitmap TrayButton(bool hot) {
  return TitleButton(hot, kAccentLight, kAccent, [](Canvas& c, double cx, double cy, Colour ink) {
    // An arrow down into a tray.
    Path arrow;
    arrow.AddLine(cx, cy - 5.5, cx, cy + 1, 2.2);
    arrow.AddPolygon({{cx - 4, cy - 0.5}, {cx + 4, cy - 0.5}, {cx, cy + 3.8}});
    arrow.AddLine(cx - 5, cy + 5.5, cx + 5, cy + 5.5, 2);
    c.FillPath(arrow, ink);
  });
}

Bitmap EditIcon() {
  Drawing d(16, 18);
  Canvas& c = d.c;
  // A pencil from the bottom left up to the right.
  const double ax = 3, ay = 15, bx = 13, by = 4.5;
  double dx = bx - ax, dy = by - ay, len = std::hypot(dx, dy);
  double ux = dx / len, uy = dy / len, nx = -uy * 2.4, ny = ux * 2.4;
  auto at = [&](double t, double side) {
    return tk::PointF{ax + ux * t + nx * side, ay + uy * t + ny * side};
  };
  Path body;
  body.AddPolygon({at(3.5, 1), at(len - 2.5, 1), at(len - 2.5, -1), at(3.5, -1)});
  c.FillPath(body, Paint::Linear(at(0, 1).x, at(0, 1).y, at(0, -1).x, at(0, -1).y,
                                 {{0, kGoldLight}, {1, kGold}}));
  Path cap;
  cap.AddPolygon({at(len - 2.5, 1), at(len, 1), at(len, -1), at(len - 2.5, -1)});
  c.FillPath(cap, kRed);
  Path wood;
  wood.AddPolygon({at(0, 0), at(3.5, 1), at(3.5, -1)});
  c.FillPath(wood, Rgb(236, 206, 160));
  Path tip;
  tip.AddPolygon({at(0, 0), at(1.4, 0.4), at(1.4, -0.4)});
  c.FillPath(tip, kInk);
  Path edge;
  edge.AddLine(at(3.5, -1).x, at(3.5, -1).y, at(len, -1).x, at(len, -1).y, 0.8);
  c.FillPath(edge, Argb(120, 120, 70, 0));
  return d.bmp;
}

Bitmap SettingsIcon() {
  Drawing d(17, 17);
  Canvas& c = d.c;
  Path g;
  Gear(g, 8.5, 8.5, 7.6, 5.6, 2.3, 8);
  c.FillPath(g, Paint::Linear(2, 1, 15, 16, {{0, Rgb(136, 150, 176)}, {1, kInk}}));
  Path light;
  light.AddArc(8.5, 8.5, 4.3, 100, 190, 1.1);
  c.FillPath(light, Argb(150, 255, 255, 255));
  return d.bmp;
}

Bitmap SiteIcon() {
  Drawing d(17, 18);
  Canvas& c = d.c;
  const double cx = 8.5, cy = 9, r = 7.5;
  Path ball;
  ball.AddEllipse(cx, cy, r, r);
  c.FillPath(ball, Rgb(30, 80, 160));
  Path face;
  face.AddEllipse(cx, cy, r - 1, r - 1);
  c.FillPath(face, Paint::Radial(cx - 2.5, cy - 3, r + 3, {{0, kAccentLight}, {1, kAccent}}));
  Path lines;
  lines.AddLine(cx - r + 1.5, cy, cx + r - 1.5, cy, 1);
  lines.AddLine(cx, cy - r + 1.2, cx, cy + r - 1.2, 1);
  for (double s : {-1.0, 1.0}) {
    // The meridians: half ellipses left and right of the middle one.
    std::vector<tk::PointF> pts;
    for (int i = 0; i <= 16; ++i) {
      double a = (-90 + 180.0 * i / 16) * kPi / 180;
      pts.push_back({cx + s * 3.2 * std::cos(a), cy + (r - 1.2) * std::sin(a)});
    }
    for (size_t i = 1; i < pts.size(); ++i)
      lines.AddLine(pts[i - 1].x, pts[i - 1].y, pts[i].x, pts[i].y, 0.9);
  }
  c.FillPath(lines, Argb(190, 255, 255, 255));
  return d.bmp;
}

Bitmap PlayGlyph() {
  Drawing d(layout::kButtonGlyph.width, layout::kButtonGlyph.height);
  Canvas& c = d.c;
  Path rim;
  rim.AddPolygon({{3, 1.5}, {12.5, 7}, {3, 12.5}});
  c.FillPath(rim, Rgb(28, 112, 46));
  Path body;
  body.AddPolygon({{4, 3.2}, {10.6, 7}, {4, 10.8}});
  c.FillPath(body, Down(3, 11, kGreenLight, kGreen));
  return d.bmp;
}

Bitmap StopGlyph() {
  Drawing d(layout::kButtonGlyph.width, layout::kButtonGlyph.height);
  Canvas& c = d.c;
  Path rim;
  rim.AddRoundRect(2.5, 2.5, 9, 9, 1.8);
  c.FillPath(rim, Rgb(150, 36, 28));
  Path body;
  body.AddRoundRect(3.5, 3.5, 7, 7, 1.2);
  c.FillPath(body, Down(3.5, 10.5, kRedLight, kRed));
  return d.bmp;
}

Bitmap PlaceholderLogo(int width, int height) {
  Drawing d(width, height);
  Canvas& c = d.c;
  Path card;
  card.AddRoundRect(0.5, 0.5, width - 1, height - 1, 6);
  c.FillPath(card, Rgb(206, 213, 224));
  Path face;
  face.AddRoundRect(1.5, 1.5, width - 3, height - 3, 5);
  c.FillPath(face, Down(0, height, Rgb(246, 248, 251), Rgb(228, 233, 240)));
  // A radio: body, speaker grille, dial and aerial, in the palette's quiet grey.
  const double cx = width / 2.0, cy = height / 2.0 + 4;
  const Colour ink = Rgb(160, 170, 188);
  Path radio;
  radio.AddRoundRect(cx - 22, cy - 12, 44, 28, 5);
  c.FillPath(radio, ink);
  Path panel;
  panel.AddRoundRect(cx - 19, cy - 9, 38, 22, 3);
  c.FillPath(panel, Rgb(236, 240, 245));
  Path grille;
  grille.AddEllipse(cx - 8, cy + 2, 7, 7);
  c.FillPath(grille, ink);
  Path dial;
  dial.AddRoundRect(cx + 4, cy - 5, 12, 4, 2);
  dial.AddEllipse(cx + 10, cy + 6, 3.5, 3.5);
  c.FillPath(dial, ink);
  Path aerial;
  aerial.AddLine(cx - 12, cy - 12, cx + 8, cy - 26, 2);
  c.FillPath(aerial, ink);
  return d.bmp;
}

Bitmap DialogIcon(DialogPicture which) {
  Drawing d(24, 24);
  Canvas& c = d.c;
  Path plate;
  plate.AddRoundRect(0.5, 0.5, 23, 23, 6);
  c.FillPath(plate, Rgb(30, 84, 176));
  Path face;
  face.AddRoundRect(1.5, 1.5, 21, 21, 5);
  c.FillPath(face, Paint::Radial(8, 6, 22, {{0, kAccentLight}, {1, kAccent}}));
  if (which == DialogPicture::kSettings) {
    Path g;
    Gear(g, 12, 12, 8, 6, 2.4, 8);
    c.FillPath(g, Rgb(255, 255, 255));
  } else {
    Path pencil;
    pencil.AddLine(7, 17, 16.5, 7.5, 3.4);
    c.FillPath(pencil, Rgb(255, 255, 255));
    Path tip;
    tip.AddPolygon({{4.8, 19.2}, {5.6, 15.6}, {8.4, 18.4}});
    c.FillPath(tip, Rgb(255, 255, 255));
  }
  return d.bmp;
}

Bitmap ProductIcon(int size) {
  Drawing d(size, size);
  Canvas& c = d.c;
  const double k = size / 32.0;  // drawn on a 32-pixel grid, scaled
  const double cx = size / 2.0, cy = size / 2.0, r = 15.2 * k;
  Path shadow;
  shadow.AddEllipse(cx + 0.5 * k, cy + 0.9 * k, r, r);
  c.FillPath(shadow, Argb(70, 20, 30, 60));
  Path rim;
  rim.AddEllipse(cx, cy, r, r);
  c.FillPath(rim, Rgb(24, 66, 140));
  Path face;
  face.AddEllipse(cx, cy, r - std::max(1.0, k), r - std::max(1.0, k));
  c.FillPath(face,
             Paint::Radial(cx - 5 * k, cy - 6 * k, 22 * k,
                           {{0, Rgb(120, 176, 246)}, {0.55, kAccent}, {1, Rgb(30, 84, 176)}}));
  Path gloss;
  gloss.AddEllipse(cx, cy - 7 * k, 10.5 * k, 6.5 * k);
  c.FillPath(gloss, Down(cy - 14 * k, cy, Argb(120, 255, 255, 255), Argb(0, 255, 255, 255)));
  // Radio waves on both sides of a dot; small sizes get one wave, thicker.
  const double line = size <= 16 ? 1.7 : 2.3 * k;
  Path waves;
  waves.AddEllipse(cx, cy, size <= 16 ? 1.9 : 2.6 * k, size <= 16 ? 1.9 : 2.6 * k);
  std::vector<double> radii =
      size <= 16 ? std::vector<double>{5.0} : std::vector<double>{6.6 * k, 11 * k};
  for (double rr : radii) {
    waves.AddArc(cx, cy, rr, -42, 42, line);
    waves.AddArc(cx, cy, rr, 138, 222, line);
  }
  c.FillPath(waves, Rgb(255, 255, 255));
  return d.bmp;
}

Bitmap MenuIcon(MenuPicture which) {
  Drawing d(layout::kMenuPicture.width, layout::kMenuPicture.height);
  Canvas& c = d.c;
  switch (which) {
    case MenuPicture::kSettings: {
      Path g;
      Gear(g, 8, 8, 7, 5.2, 2.1, 8);
      c.FillPath(g, Paint::Linear(1, 1, 15, 15, {{0, Rgb(136, 150, 176)}, {1, kInk}}));
      break;
    }
    case MenuPicture::kPlay: {
      Path rim;
      rim.AddPolygon({{3.5, 1.5}, {14, 8}, {3.5, 14.5}});
      c.FillPath(rim, Rgb(28, 112, 46));
      Path body;
      body.AddPolygon({{4.5, 3.3}, {12, 8}, {4.5, 12.7}});
      c.FillPath(body, Down(3, 13, kGreenLight, kGreen));
      break;
    }
    case MenuPicture::kStop: {
      Path rim;
      rim.AddRoundRect(2.5, 2.5, 11, 11, 2);
      c.FillPath(rim, Rgb(150, 36, 28));
      Path body;
      body.AddRoundRect(3.5, 3.5, 9, 9, 1.4);
      c.FillPath(body, Down(3.5, 12.5, kRedLight, kRed));
      break;
    }
    case MenuPicture::kSound: {
      Path body;
      body.AddPolygon({{1.5, 5.5}, {4.5, 5.5}, {8.5, 2}, {8.5, 14}, {4.5, 10.5}, {1.5, 10.5}});
      c.FillPath(body, Paint::Linear(1, 2, 9, 14, {{0, Rgb(104, 120, 148)}, {1, kInk}}));
      Path waves;
      waves.AddArc(8.5, 8, 3, -50, 50, 1.4);
      waves.AddArc(8.5, 8, 6, -52, 52, 1.4);
      c.FillPath(waves, kAccent);
      break;
    }
    case MenuPicture::kHelp: {
      Path ball;
      ball.AddEllipse(8, 8, 7.2, 7.2);
      c.FillPath(ball, Rgb(30, 80, 160));
      Path face;
      face.AddEllipse(8, 8, 6.2, 6.2);
      c.FillPath(face, Paint::Radial(6, 5.5, 9, {{0, kAccentLight}, {1, kAccent}}));
      Path q;
      q.AddArc(8, 6.4, 2.4, 170, -40, 1.7);
      q.AddLine(9.8, 8, 8, 9.4, 1.7);
      q.AddEllipse(8, 12, 1.1, 1.1);
      c.FillPath(q, Rgb(255, 255, 255));
      break;
    }
    case MenuPicture::kExit: {
      Path ring;
      ring.AddArc(8, 8.6, 5.2, 125, 415, 2);
      ring.AddLine(8, 2, 8, 8, 2);
      c.FillPath(ring, Paint::Linear(2, 2, 14, 14, {{0, kRedLight}, {1, kRed}}));
      break;
    }
  }
  return d.bmp;
}

}  // namespace ui::art
