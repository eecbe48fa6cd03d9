#include "toolkit/skin.h"

#include <algorithm>
#include <vector>

#include "toolkit/components.h"

namespace tk::skin {
namespace {

struct Look {
  Colour top, bottom, border;
};

Look ButtonLook(State s) {
  switch (s) {
    case State::kHot: return {Rgb(252, 253, 255), Rgb(208, 224, 246), kBorderHot};
    case State::kPressed: return {Rgb(196, 212, 236), Rgb(224, 233, 246), kAccentDark};
    case State::kDisabled: return {Rgb(240, 242, 246), Rgb(232, 236, 241), Rgb(192, 199, 211)};
    default: return {Rgb(255, 255, 255), Rgb(221, 229, 240), kBorder};
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out(1);
  for (char ch : text) {
    if (ch == '\n')
      out.emplace_back();
    else if (ch != '\r')
      out.back() += ch;
  }
  return out;
}

}  // namespace

State StateOf(bool enabled, bool pressed, bool hot) {
  return !enabled  ? State::kDisabled
         : pressed ? State::kPressed
         : hot     ? State::kHot
                   : State::kNormal;
}

Font MakeFont(const std::string& face, int height, uint8_t style, Colour colour) {
  Font f;
  f.name = face;
  f.height = height;
  f.style = style;
  f.colour = colour;
  return f;
}

// Menus and hints share one face today; the roles keep them apart for the callers.
Font MakeFont(FontRole) { return MakeFont("Tahoma", 13, 0, kText); }

void DrawButton(Canvas& c, const Rect& r, State s, bool focused) {
  Look l = ButtonLook(s);
  double x = r.left, y = r.top, w = r.width, h = r.height;
  // A soft drop shadow below, then the body with its border.
  if (s != State::kDisabled) {
    Path sh;
    sh.AddRoundRect(x + 0.5, y + 1, w - 1, h - 1, 4);
    c.FillPath(sh, Argb(40, 40, 60, 90));
  }
  Path body;
  body.AddRoundRect(x, y, w, h - 1, 4);
  c.FillPath(body, l.border);
  Path face;
  face.AddRoundRect(x + 1, y + 1, w - 2, h - 3, 3);
  c.FillPath(face, Paint::Vertical(y + 1, y + h - 2, l.top, l.bottom));
  if (s != State::kPressed && s != State::kDisabled) {
    // Light from above: a bright upper half.
    Path gloss;
    gloss.AddRoundRect(x + 2, y + 2, w - 4, (h - 3) / 2.0, 2);
    c.FillPath(gloss, Argb(90, 255, 255, 255));
  }
  if (focused) DrawFocus(c, {r.left + 3, r.top + 3, r.width - 6, r.height - 7});
}

void DrawFocus(Canvas& c, const Rect& r) {
  c.StrokeRoundRect(r.left, r.top, r.width, r.height, 2, 1, WithAlpha(kAccentLight, 150));
}

void DrawTrackBar(Canvas& c, const Rect& r, const Rect& thumb, State s, bool focused) {
  bool enabled = s != State::kDisabled;
  double cy = r.top + r.height / 2.0;
  double gx = r.left + kTrackMargin + thumb.width / 2.0,
         gw = r.width - 2 * kTrackMargin - thumb.width;
  double tx = thumb.left + thumb.width / 2.0;
  // The groove: filled up to the thumb in the accent colour.
  Path groove;
  groove.AddRoundRect(gx - 3, cy - 3.5, gw + 6, 7, 3.5);
  c.FillPath(groove, Rgb(150, 163, 186));
  Path inner;
  inner.AddRoundRect(gx - 2, cy - 2.5, gw + 4, 5, 2.5);
  c.FillPath(inner, Paint::Vertical(cy - 2.5, cy + 2.5, Rgb(196, 205, 219), Rgb(226, 232, 241)));
  if (tx > gx - 2) {
    Path fill;
    fill.AddRoundRect(gx - 2, cy - 2.5, tx - gx + 2, 5, 2.5);
    Colour a = enabled ? kAccentLight : Rgb(200, 206, 216),
           b = enabled ? kAccent : Rgb(184, 191, 203);
    c.FillPath(fill, Paint::Vertical(cy - 2.5, cy + 2.5, a, b));
  }
  // The thumb: a rounded knob with three grip lines.
  Look l = ButtonLook(s);
  if (s == State::kPressed) l = {Rgb(236, 243, 253), Rgb(200, 218, 244), kAccentDark};
  double x = thumb.left, y = thumb.top, w = thumb.width, h = thumb.height;
  if (enabled) {
    Path sh;
    sh.AddRoundRect(x + 1, y + 1.5, w - 1, h - 1, 4);
    c.FillPath(sh, Argb(50, 30, 45, 70));
  }
  Path knob;
  knob.AddRoundRect(x, y, w - 1, h - 1, 4);
  c.FillPath(knob, l.border);
  Path face;
  face.AddRoundRect(x + 1, y + 1, w - 3, h - 3, 3);
  c.FillPath(face, Paint::Linear(x, y, x + w, y + h, {{0, l.top}, {1, l.bottom}}));
  double mx = x + (w - 1) / 2.0, my = y + (h - 1) / 2.0;
  for (int i = -1; i <= 1; ++i) {
    Path grip;
    grip.AddRect(mx - 3, my + i * 3 - 0.5, 6, 1);
    c.FillPath(grip, enabled ? Rgb(120, 136, 162) : Rgb(190, 196, 206));
    Path light;
    light.AddRect(mx - 3, my + i * 3 + 0.5, 6, 1);
    c.FillPath(light, Argb(200, 255, 255, 255));
  }
  if (focused) DrawFocus(c, {thumb.left - 2, thumb.top - 1, thumb.width + 3, thumb.height + 1});
}

void DrawCheckBox(Canvas& c, const Rect& box, bool checked, State s) {
  Look l = ButtonLook(s);
  double x = box.left, y = box.top, w = box.width, h = box.height;
  Path outer;
  outer.AddRoundRect(x, y, w, h, 3);
  c.FillPath(outer, l.border);
  Path face;
  face.AddRoundRect(x + 1, y + 1, w - 2, h - 2, 2);
  if (checked && s != State::kDisabled)
    c.FillPath(face, Paint::Vertical(y, y + h, s == State::kHot ? kAccentLight : Rgb(84, 142, 226),
                                     kAccent));
  else
    c.FillPath(face, Paint::Vertical(y, y + h, Rgb(255, 255, 255), l.bottom));
  if (checked) {
    Colour mark = s == State::kDisabled ? Rgb(160, 168, 180) : Rgb(255, 255, 255);
    Path tick;
    tick.AddLine(x + w * 0.26, y + h * 0.52, x + w * 0.44, y + h * 0.70, 1.8);
    tick.AddLine(x + w * 0.44, y + h * 0.70, x + w * 0.76, y + h * 0.32, 1.8);
    c.FillPath(tick, mark);
  }
}

void DrawEditFrame(Canvas& c, const Rect& r, State s, bool focused) {
  Colour border = focused ? kAccent : s == State::kHot ? kBorderHot : kBorder;
  c.FillRect(r, border);
  c.FillRect(r.Inflate(-1), s == State::kDisabled ? kFace : Rgb(255, 255, 255));
  // A faint inner shadow along the top edge.
  c.FillRect({r.left + 1, r.top + 1, r.width - 2, 1}, Rgb(226, 231, 238));
}

int MenuItemWidth(TextRenderer& text, const std::string& caption) {
  return kMenuPictureColumn + 8 +
         text.Measure(StripAccessKeys(caption), MakeFont(FontRole::kMenu)).width + 24;
}

void DrawMenuFrame(Canvas& c, const Rect& r) {
  c.FillRect(r, Rgb(150, 162, 182));
  c.FillRect(r.Inflate(-1), Rgb(251, 252, 254));
  // The picture column.
  c.FillRect({r.left + 1, r.top + 1, kMenuPictureColumn + kMenuBorder - 1, r.height - 2},
             Paint::Linear(r.left, 0, r.left + kMenuPictureColumn, 0,
                           {{0, Rgb(241, 244, 249)}, {1, Rgb(233, 238, 245)}}));
  c.FillRect({r.left + kMenuPictureColumn + kMenuBorder, r.top + 1, 1, r.height - 2},
             Rgb(218, 224, 233));
}

void DrawMenuItem(Canvas& c, const Rect& r, const std::string& caption, const Bitmap& picture,
                  bool highlighted, bool enabled, bool show_keys) {
  if (highlighted && enabled) {
    Path p;
    p.AddRoundRect(r.left + 1, r.top + 1, r.width - 2, r.height - 2, 3);
    c.FillPath(p, Rgb(132, 172, 230));
    Path q;
    q.AddRoundRect(r.left + 2, r.top + 2, r.width - 4, r.height - 4, 2);
    c.FillPath(q, Paint::Vertical(r.top, r.Bottom(), Rgb(234, 243, 255), Rgb(206, 225, 251)));
  }
  if (!picture.Empty()) {
    int px = r.left + (kMenuPictureColumn - picture.width) / 2;
    int py = r.top + (r.height - picture.height) / 2;
    if (enabled)
      c.DrawBitmap(picture, px, py);
    else
      c.DrawBitmap(Greyed(picture), px, py);
  }
  Font f = MakeFont(FontRole::kMenu);
  Colour colour = enabled ? kText : kDisabledText;
  std::string plain = StripAccessKeys(caption);
  Size sz = c.MeasureText(plain, f);
  int tx = r.left + kMenuPictureColumn + 8;
  int ty = r.top + (r.height - sz.height) / 2;
  c.DrawText(plain, f, colour, tx, ty);
  if (!show_keys) return;
  // Underline the access key.
  for (size_t i = 0, out = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] == '&' && caption[i + 1] == '&') {
      ++i, ++out;
      continue;
    }
    if (caption[i] != '&') {
      ++out;
      continue;
    }
    size_t len = 1;
    unsigned char lead = static_cast<unsigned char>(caption[i + 1]);
    if (lead >= 0xC0) len = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    int x0 = c.MeasureText(plain.substr(0, out), f).width;
    int x1 = c.MeasureText(plain.substr(0, out + len), f).width;
    c.FillRect({tx + x0, ty + sz.height - 1, std::max(1, x1 - x0), 1}, colour);
    break;
  }
}

Size HintSize(TextRenderer& text, const std::string& hint) {
  Size s{0, 0};
  for (const std::string& line : Lines(hint)) {
    Size l = text.Measure(line.empty() ? " " : line, MakeFont(FontRole::kHint));
    s.width = std::max(s.width, l.width);
    s.height += l.height;
  }
  return {s.width + 14, s.height + 8};
}

void DrawHint(Canvas& c, const Rect& r, const std::string& hint) {
  c.FillRect(r, Rgb(118, 132, 156));
  c.FillRect(r.Inflate(-1),
             Paint::Vertical(r.top, r.Bottom(), Rgb(255, 255, 255), Rgb(231, 237, 246)));
  Font f = MakeFont(FontRole::kHint);
  int y = r.top + 4;
  for (const std::string& line : Lines(hint)) {
    int h = c.MeasureText(line.empty() ? " " : line, f).height;
    c.DrawText(line, f, kText, r.left + 7, y);
    y += h;
  }
}

}  // namespace tk::skin
