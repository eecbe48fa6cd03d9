#include "toolkit/controls.h"

#include <algorithm>

#include "toolkit/platform.h"
#include "toolkit/skin.h"
#include "toolkit/toolkit.h"
#include "toolkit/ui_thread.h"

namespace tk {

// --- Control --------------------------------------------------------------------------------

Control::Control(Form* owner, std::string name, Rect bounds)
    : owner_(owner), name_(std::move(name)), bounds_(bounds) {
  TK_UI_THREAD_ONLY();
  if (owner_) owner_->Register(this);
}

Control::~Control() {
  TK_UI_THREAD_ONLY();
  if (owner_) owner_->Unregister(this);
}

void Control::SetBounds(const Rect& r) {
  TK_UI_THREAD_ONLY();
  if (r == bounds_) return;
  Rect old = bounds_;
  bounds_ = r;
  BoundsChanged(old);
}

void Control::BoundsChanged(const Rect& old) {
  if (!owner_) return;
  owner_->Invalidate(old);
  owner_->Invalidate(bounds_);
}

void Control::SetVisible(bool v) {
  TK_UI_THREAD_ONLY();
  if (v == visible_) return;
  visible_ = v;
  if (!v) hot_ = pressed_ = false;
  if (IsWindowed()) {
    if (Handle h = GetHandle()) platform::ShowWindowOf(h, v);
  } else if (owner_) {
    owner_->Invalidate(bounds_);
  }
}

void Control::SetEnabled(bool e) {
  TK_UI_THREAD_ONLY();
  if (e == enabled_) return;
  enabled_ = e;
  if (!e) pressed_ = false;
  if (Handle h = GetHandle()) platform::EnableWindowOf(h, e);
  StateChanged();
}

void Control::Invalidate() {
  TK_UI_THREAD_ONLY();
  if (!owner_) return;
  if (IsWindowed()) {
    if (Handle h = GetHandle()) platform::Invalidate(h, nullptr);
  } else {
    owner_->Invalidate(bounds_);
  }
}

void Control::Fire(const std::function<void()>& event) {
  if (event) Application::Get().Dispatch(event);
}

void Control::MouseDown(const MouseArgs& a) {
  TK_UI_THREAD_ONLY();
  if (!enabled_) return;
  if (a.button == MouseButton::kLeft) {
    pressed_ = true;
    StateChanged();
  }
  if (OnMouseDown) Application::Get().Dispatch([&] { OnMouseDown(a); });
}

void Control::MouseUp(const MouseArgs& a) {
  TK_UI_THREAD_ONLY();
  bool click = false;
  if (a.button == MouseButton::kLeft && pressed_) {
    pressed_ = false;
    click = a.x >= 0 && a.y >= 0 && a.x < bounds_.width && a.y < bounds_.height && enabled_;
    StateChanged();
  }
  if (OnMouseUp && a.x > kReleasedOutside) Application::Get().Dispatch([&] { OnMouseUp(a); });
  if (click) Click();
}

void Control::MouseMove(int, int, uint8_t) {}

void Control::MouseEnter() {
  TK_UI_THREAD_ONLY();
  hot_ = true;
  StateChanged();
  Fire(OnMouseEnter);
}

void Control::MouseLeave() {
  TK_UI_THREAD_ONLY();
  hot_ = false;
  StateChanged();
  Fire(OnMouseLeave);
}

void Control::Click() { Fire(OnClick); }

// --- WindowedControl ------------------------------------------------------------------------

WindowedControl::WindowedControl(Form* owner, std::string name, Rect bounds)
    : Control(nullptr, std::move(name), bounds) {
  // Registered after construction of the base, so the form sees a windowed control.
  owner_ = owner;
  if (owner_) owner_->Register(this);
}

WindowedControl::~WindowedControl() {
  TK_UI_THREAD_ONLY();
  if (handle_) {
    Handle h = handle_;
    handle_ = 0;
    platform::DestroyWindowOf(h);
  }
}

void WindowedControl::CreateHandle(Handle parent) {
  TK_UI_THREAD_ONLY();
  if (handle_) return;
  handle_ = platform::CreateControlWindow(this, parent);
  if (handle_) HandleCreated();
}

void WindowedControl::BoundsChanged(const Rect&) {
  if (handle_) platform::SetControlBounds(handle_, bounds_);
}

void WindowedControl::SetFocus() {
  TK_UI_THREAD_ONLY();
  if (handle_) platform::SetFocusTo(handle_);
}

void WindowedControl::FocusChanged(bool focused) {
  TK_UI_THREAD_ONLY();
  focused_ = focused;
  Invalidate();
}

void WindowedControl::MouseDown(const MouseArgs& a) {
  Application::Get().CancelHint();
  if (enabled_ && WantsFocus() && !focused_) SetFocus();
  Control::MouseDown(a);
}

// --- Edit -----------------------------------------------------------------------------------

Edit::Edit(Form* owner, std::string name, Rect bounds)
    : WindowedControl(owner, std::move(name), bounds) {
  cursor_ = Cursor::kIBeam;
}

Rect Edit::FieldRect() const {
  int h = std::min(bounds_.height - 4, font_.height + 6);
  return {kInset, (bounds_.height - h) / 2, std::max(1, bounds_.width - 2 * kInset), h};
}

void Edit::HandleCreated() {
  field_ = platform::CreateEditField(this, handle_, FieldRect());
  platform::SetEditFieldFont(field_, font_);
  platform::SetEditFieldText(field_, text_);
}

void Edit::HandleGone() {
  field_ = 0;
  WindowedControl::HandleGone();
}

void Edit::BoundsChanged(const Rect& old) {
  WindowedControl::BoundsChanged(old);
  if (field_) platform::SetControlBounds(field_, FieldRect());
}

void Edit::SetText(const std::string& utf8) {
  TK_UI_THREAD_ONLY();
  text_ = utf8;
  if (field_) platform::SetEditFieldText(field_, utf8);
}

void Edit::SetFont(const Font& f) {
  TK_UI_THREAD_ONLY();
  font_ = f;
  if (field_) {
    platform::SetEditFieldFont(field_, f);
    platform::SetControlBounds(field_, FieldRect());
  }
  Invalidate();
}

void Edit::TextChanged(const std::string& utf8) {
  TK_UI_THREAD_ONLY();
  text_ = utf8;
}

std::string Edit::OneLine(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    char ch = utf8[i];
    if (ch == '\r' || ch == '\n') {
      if (ch == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;  // CR LF is one break
      out += ' ';
    } else {
      out += ch;
    }
  }
  return out;
}

void Edit::Paint(Canvas& c) {
  skin::DrawEditFrame(c, {0, 0, bounds_.width, bounds_.height},
                      skin::StateOf(enabled_, false, hot_), focused_);
}

void Edit::FocusChanged(bool focused) {
  WindowedControl::FocusChanged(focused);
  if (focused && field_) platform::SetFocusTo(field_);
}

// --- Image ----------------------------------------------------------------------------------

void Image::SetPicture(Bitmap b) {
  picture_ = std::move(b);
  Invalidate();
}

void Image::SetHotPicture(Bitmap b) {
  hot_picture_ = std::move(b);
  Invalidate();
}

void Image::Paint(Canvas& c) {
  const Bitmap& p = hot_ && enabled_ && !hot_picture_.Empty() ? hot_picture_ : picture_;
  if (p.Empty()) return;
  if (stretch_)
    c.DrawBitmap(p, {0, 0, bounds_.width, bounds_.height});
  else
    c.DrawBitmap(p, 0, 0);
}

// --- Label ----------------------------------------------------------------------------------

Label::Label(Form* owner, std::string name, Rect bounds, Font font)
    : Control(owner, std::move(name), bounds), font_(std::move(font)), min_width_(bounds.width) {}

void Label::SetCaption(const std::string& utf8) {
  TK_UI_THREAD_ONLY();
  if (utf8 == caption_) return;
  caption_ = utf8;
  Fit();
  Invalidate();
}

void Label::SetFont(const Font& f) {
  font_ = f;
  Fit();
  Invalidate();
}

void Label::SetFontStyle(uint8_t style) {
  if (style == font_.style) return;
  font_.style = style;
  Fit();
  Invalidate();
}

void Label::SetAutoSize(bool on, int max_width) {
  auto_size_ = on;
  max_width_ = max_width;
  Fit();
}

void Label::Fit() {
  if (!auto_size_) return;
  int w = std::max(min_width_, SharedText().Measure(caption_, font_).width + 1);  // + the shadow
  if (max_width_ > 0) w = std::min(w, max_width_);
  SetBounds({bounds_.left, bounds_.top, w, bounds_.height});
}

void Label::Paint(Canvas& c) {
  if (caption_.empty()) return;
  Colour colour = enabled_ ? font_.colour : skin::kDisabledText;
  // The shadow lies one pixel up and to the left of the text, so the text sits at (1, 1).
  int d = shadow_ ? 1 : 0;
  int room = bounds_.width - d;
  int y = 0;
  size_t start = 0;
  for (;;) {  // "\n" separates lines
    size_t end = caption_.find('\n', start);
    std::string line =
        caption_.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string s = max_width_ > 0 || !auto_size_ ? FitText(c.Text(), line, font_, room) : line;
    int x = 0;
    if (align_ != Align::kLeft) {
      int w = c.MeasureText(s, font_).width;
      x = align_ == Align::kCentre ? (room - w) / 2 : room - w;
    }
    if (shadow_) c.DrawText(s, font_, shadow_colour_, x, y);
    c.DrawText(s, font_, colour, x + d, y + d);
    if (end == std::string::npos) break;
    y += c.MeasureText(s.empty() ? " " : s, font_).height;
    start = end + 1;
  }
}

// --- RoundedPanel ---------------------------------------------------------------------------

RoundedPanel::RoundedPanel(Form* owner, std::string name, Rect bounds, int corner, int border)
    : Control(owner, std::move(name), bounds), corner_(corner), border_(border) {}

void RoundedPanel::Paint(Canvas& c) {
  double w = bounds_.width, h = bounds_.height, r = corner_ / 2.0 + 2;
  Path outer;
  outer.AddRoundRect(0, 0, w, h, r);
  c.FillPath(outer, Rgb(200, 208, 221));
  Path face;
  face.AddRoundRect(border_, border_, w - 2 * border_, h - 2 * border_, std::max(1.0, r - border_));
  c.FillPath(face, Paint::Vertical(0, h, Rgb(247, 249, 252), Rgb(236, 240, 246)));
}

// --- Button ---------------------------------------------------------------------------------

void Button::SetGlyph(Bitmap glyph) {
  glyph_ = std::move(glyph);
  glyph_disabled_ = Greyed(glyph_);
  Invalidate();
}

void Button::Paint(Canvas& c) {
  skin::State s = skin::StateOf(enabled_, pressed_ && hot_, hot_);
  Rect r{0, 0, bounds_.width, bounds_.height};
  skin::DrawButton(c, r, s, focused_);
  int shift = s == skin::State::kPressed ? 1 : 0;
  const Bitmap& g = enabled_ ? glyph_ : glyph_disabled_;
  int text_w = caption_.empty() ? 0 : c.MeasureText(caption_, font_).width;
  int gap = (!g.Empty() && text_w) ? 4 : 0;
  int total = (g.Empty() ? 0 : g.width) + gap + text_w;
  int x = (r.width - total) / 2 + shift;
  if (!g.Empty()) {
    c.DrawBitmap(g, x, (r.height - g.height) / 2 + shift);
    x += g.width + gap;
  }
  if (text_w) {
    Colour tc = enabled_ ? font_.colour : skin::kDisabledText;
    c.DrawTextIn(caption_, font_, tc, {x, shift, text_w + 2, r.height});
  }
}

bool Button::KeyDown(int vk, uint8_t) {
  if (!enabled_ || (vk != kVkSpace && vk != kVkReturn)) return false;
  Click();
  return true;
}

// --- TrackBar -------------------------------------------------------------------------------

TrackBar::TrackBar(Form* owner, std::string name, Rect bounds, int min, int max, int position)
    : WindowedControl(owner, std::move(name), bounds), min_(min), max_(max), position_(position) {}

void TrackBar::SetPosition(int p) {
  TK_UI_THREAD_ONLY();
  p = std::clamp(p, min_, max_);
  if (p == position_.load()) return;
  position_.store(p);
  Invalidate();
  Fire(OnChange);
}

int TrackBar::ThumbWidth() const { return std::max(8, thumb_length_ * 9 / 16); }

Rect TrackBar::ThumbRect() const {
  int tw = ThumbWidth();
  int span = bounds_.width - tw - 2 * skin::kTrackMargin;
  int range = std::max(1, max_ - min_);
  int x = skin::kTrackMargin + span * (position_.load() - min_) / range;
  int th = std::min(thumb_length_, bounds_.height);
  return {x, (bounds_.height - th) / 2, tw, th};
}

int TrackBar::PositionAt(int x) const {
  int tw = ThumbWidth();
  int span = std::max(1, bounds_.width - tw - 2 * skin::kTrackMargin);
  double f = static_cast<double>(x - skin::kTrackMargin - tw / 2) / span;
  return min_ + static_cast<int>(f * (max_ - min_) + (f >= 0 ? 0.5 : -0.5));
}

void TrackBar::Paint(Canvas& c) {
  skin::State s = skin::StateOf(enabled_, dragging_, hot_);
  skin::DrawTrackBar(c, {0, 0, bounds_.width, bounds_.height}, ThumbRect(), s, focused_);
}

void TrackBar::MouseDown(const MouseArgs& a) {
  WindowedControl::MouseDown(a);
  if (!enabled_ || a.button != MouseButton::kLeft) return;
  Rect t = ThumbRect();
  if (t.Contains({a.x, a.y})) {
    grab_dx_ = a.x - (t.left + t.width / 2);
  } else {
    grab_dx_ = 0;  // a press on the track moves the thumb there
    SetPosition(PositionAt(a.x));
  }
  dragging_ = true;
  Invalidate();
}

void TrackBar::MouseMove(int x, int, uint8_t) {
  if (dragging_) SetPosition(PositionAt(x - grab_dx_));
}

void TrackBar::MouseUp(const MouseArgs& a) {
  if (a.button == MouseButton::kLeft && dragging_) {
    dragging_ = false;
    Invalidate();
  }
  WindowedControl::MouseUp(a);
}

bool TrackBar::MouseWheel(int notches) {
  if (!enabled_) return false;
  SetPosition(position_.load() + notches * wheel_);
  return true;
}

bool TrackBar::KeyDown(int vk, uint8_t) {
  if (!enabled_) return false;
  int p = position_.load();
  switch (vk) {
    case kVkRight:
    case kVkUp: SetPosition(p + line_); return true;
    case kVkLeft:
    case kVkDown: SetPosition(p - line_); return true;
    case kVkPrior: SetPosition(p + page_); return true;
    case kVkNext: SetPosition(p - page_); return true;
    case kVkHome: SetPosition(min_); return true;
    case kVkEnd: SetPosition(max_); return true;
    default: return false;
  }
}

// --- CheckBox -------------------------------------------------------------------------------

CheckBox::CheckBox(Form* owner, std::string name, Rect bounds, std::string caption)
    : WindowedControl(owner, std::move(name), bounds), caption_(std::move(caption)) {}

void CheckBox::SetChecked(bool c) {
  TK_UI_THREAD_ONLY();
  if (c == checked_) return;
  checked_ = c;
  Invalidate();
  Click();
}

void CheckBox::Paint(Canvas& c) {
  skin::State s = skin::StateOf(enabled_, pressed_ && hot_, hot_);
  int box = skin::kCheckBoxSize;
  int top = (bounds_.height - box) / 2;
  skin::DrawCheckBox(c, {0, top, box, box}, checked_, s);
  Colour tc = enabled_ ? font_.colour : skin::kDisabledText;
  Rect text{box + 5, 0, bounds_.width - box - 5, bounds_.height};
  // A caption a little too wide for a stand-in font gets a pixel or two smaller first.
  Font f = font_;
  while (f.height > font_.height - 2 && c.MeasureText(caption_, f).width > text.width) --f.height;
  c.DrawTextIn(caption_, f, tc, text, Align::kLeft, !word_wrap_);
  if (focused_)
    skin::DrawFocus(c, {box + 3, 1, std::min(text.width + 2, c.MeasureText(caption_, f).width + 5),
                        bounds_.height - 2});
}

void CheckBox::MouseUp(const MouseArgs& a) {
  bool inside = pressed_ && a.x >= 0 && a.y >= 0 && a.x < bounds_.width && a.y < bounds_.height;
  pressed_ = false;
  Invalidate();
  if (a.button == MouseButton::kLeft && inside && enabled_) SetChecked(!checked_);
}

bool CheckBox::KeyDown(int vk, uint8_t) {
  if (!enabled_ || vk != kVkSpace) return false;
  SetChecked(!checked_);
  return true;
}

// --- Panel, Memo ----------------------------------------------------------------------------

void Panel::Paint(Canvas& c) { c.FillRect({0, 0, bounds_.width, bounds_.height}, skin::kFace); }

void Memo::Paint(Canvas& c) {
  skin::DrawEditFrame(c, {0, 0, bounds_.width, bounds_.height}, skin::State::kNormal, focused_);
  Font f;
  int y = 3;
  for (const std::string& line : Lines) {
    if (y > bounds_.height) break;
    c.DrawText(line, f, skin::kText, 4, y);
    y += f.height + 3;
  }
}

}  // namespace tk
