#pragma once
// Controls owned by a form. Graphic controls (pictures, labels) are drawn on the form's
// surface; windowed controls (buttons, sliders, check boxes, panels, lists) are child windows
// that draw themselves. Input arrives in local coordinates from the platform, or from tests
// on the headless platform, through the same methods.
// Thread rule: controls are used on the user-interface thread only (toolkit.h); the one
// exception is TrackBar::Position.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/canvas.h"
#include "toolkit/graphics.h"

namespace tk {

class Form;
using Handle = std::uintptr_t;

enum class Cursor { kArrow, kHand, kIBeam };
enum class MouseButton { kLeft, kRight, kMiddle };
enum ShiftBits : uint8_t { kShiftKey = 1, kAltKey = 2, kCtrlKey = 4 };

struct MouseArgs {
  MouseButton button = MouseButton::kLeft;
  uint8_t shift = 0;
  int x = 0, y = 0;           // local
  bool double_click = false;  // the second press of a double click
};
// The x and y of a left release that ends a press elsewhere (the capture was lost): it
// neither clicks nor reaches the mouse-up event.
constexpr int kReleasedOutside = -1000000;

// Virtual keys the controls know.
enum : int {
  kVkReturn = 0x0D,
  kVkSpace = 0x20,
  kVkPrior = 0x21,
  kVkNext = 0x22,
  kVkEnd = 0x23,
  kVkHome = 0x24,
  kVkLeft = 0x25,
  kVkUp = 0x26,
  kVkRight = 0x27,
  kVkDown = 0x28,
};

class Control {
 public:
  Control(Form* owner, std::string name, Rect bounds);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  Form* Owner() const { return owner_; }
  virtual bool IsWindowed() const { return false; }
  // The control's own window; 0 for graphic controls and before the window exists.
  virtual Handle GetHandle() const { return 0; }

  const Rect& Bounds() const { return bounds_; }
  void SetBounds(const Rect& r);
  int Left() const { return bounds_.left; }
  int Top() const { return bounds_.top; }
  int Width() const { return bounds_.width; }
  int Height() const { return bounds_.height; }

  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool e);

  // Hint texts are UTF-8; "\n" separates lines.
  const std::string& Hint() const { return hint_; }
  void SetHint(std::string h) { hint_ = std::move(h); }
  Cursor GetCursor() const { return cursor_; }
  void SetCursor(Cursor c) { cursor_ = c; }

  // Events; each runs behind the error box.
  std::function<void()> OnClick;
  std::function<void(const MouseArgs&)> OnMouseDown;
  std::function<void(const MouseArgs&)> OnMouseUp;
  std::function<void()> OnMouseEnter;
  std::function<void()> OnMouseLeave;

  // Repaints the control's area.
  void Invalidate();
  // Draws the control at the canvas origin (its own top left).
  virtual void Paint(Canvas&) {}

  // Input, in local coordinates.
  virtual void MouseDown(const MouseArgs& a);
  virtual void MouseUp(const MouseArgs& a);
  virtual void MouseMove(int x, int y, uint8_t shift);
  virtual void MouseEnter();
  virtual void MouseLeave();
  // Wheel notches, positive away from the user; true when used.
  virtual bool MouseWheel(int notches) {
    (void)notches;
    return false;
  }
  // True when the key was used.
  virtual bool KeyDown(int vk, uint8_t shift) {
    (void)vk;
    (void)shift;
    return false;
  }
  virtual void FocusChanged(bool focused) { (void)focused; }
  // Runs the click event (also what a left press and release inside does).
  void Click();

  bool Hot() const { return hot_; }
  bool Pressed() const { return pressed_; }

 protected:
  virtual void BoundsChanged(const Rect& old);
  virtual void StateChanged() { Invalidate(); }
  void Fire(const std::function<void()>& event);

  Form* owner_;
  std::string name_;
  Rect bounds_;
  bool visible_ = true;
  bool enabled_ = true;
  std::string hint_;
  Cursor cursor_ = Cursor::kArrow;
  bool hot_ = false;
  bool pressed_ = false;  // left button went down inside and is still down
};

// A child window of the form.
class WindowedControl : public Control {
 public:
  WindowedControl(Form* owner, std::string name, Rect bounds);
  ~WindowedControl() override;
  bool IsWindowed() const override { return true; }
  Handle GetHandle() const override { return handle_; }
  bool Focused() const { return focused_; }
  void SetFocus();
  virtual bool WantsFocus() const { return true; }
  // Controls that tell the second press of a double click from a plain press.
  virtual bool WantsDoubleClicks() const { return false; }

  void FocusChanged(bool focused) override;
  void MouseDown(const MouseArgs& a) override;

  // Called by the form when its window is created and destroyed.
  void CreateHandle(Handle parent);
  virtual void HandleGone() { handle_ = 0; }

 protected:
  // The control's window exists now.
  virtual void HandleCreated() {}
  void BoundsChanged(const Rect& old) override;
  Handle handle_ = 0;
  bool focused_ = false;
};

// A one-line text field: the system's own edit field (caret, selection, clipboard, undo)
// inside a skinned frame. Texts are UTF-8.
class Edit : public WindowedControl {
 public:
  static constexpr int kInset = 5;  // between the frame and the text
  Edit(Form* owner, std::string name, Rect bounds);
  const std::string& Text() const { return text_; }
  void SetText(const std::string& utf8);
  const Font& GetFont() const { return font_; }
  void SetFont(const Font& f);
  // The field's text changed (typing, pasting, undo): from the platform.
  void TextChanged(const std::string& utf8);
  // What a paste inserts: line breaks become spaces, as the field holds one line.
  static std::string OneLine(const std::string& utf8);
  void Paint(Canvas& c) override;
  void FocusChanged(bool focused) override;
  void HandleGone() override;
  Handle Field() const { return field_; }

 protected:
  void HandleCreated() override;
  void BoundsChanged(const Rect& old) override;

 private:
  Rect FieldRect() const;
  std::string text_;
  Font font_;
  Handle field_ = 0;
};

// A picture on the form's surface.
class Image : public Control {
 public:
  using Control::Control;
  const Bitmap& Picture() const { return picture_; }
  void SetPicture(Bitmap b);
  // Shown instead while the mouse is over the picture.
  void SetHotPicture(Bitmap b);
  // Stretched to the control's size (proportions not kept), or drawn at its top left.
  void SetStretch(bool s) {
    stretch_ = s;
    Invalidate();
  }
  void Paint(Canvas& c) override;

 private:
  Bitmap picture_, hot_picture_;
  bool stretch_ = false;
};

// A transparent text label on the form's surface, optionally with a one-pixel highlight
// shadow up and to the left.
class Label : public Control {
 public:
  Label(Form* owner, std::string name, Rect bounds, Font font);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& utf8);
  const Font& GetFont() const { return font_; }
  void SetFont(const Font& f);
  uint8_t FontStyle() const { return font_.style; }
  void SetFontStyle(uint8_t style);
  // Width follows the text, at least the width the label was made with and at most
  // max_width (0: no limit); a longer text ends in "…".
  void SetAutoSize(bool on, int max_width = 0);
  void SetShadow(bool on, Colour colour) {
    shadow_ = on, shadow_colour_ = colour;
    Invalidate();
  }
  void SetAlignment(Align a) {
    align_ = a;
    Invalidate();
  }
  void Paint(Canvas& c) override;

 private:
  void Fit();
  std::string caption_;
  Font font_;
  bool auto_size_ = false;
  int min_width_ = 0;
  int max_width_ = 0;
  bool shadow_ = false;
  Colour shadow_colour_ = Rgb(255, 255, 255);
  Align align_ = Align::kLeft;
};

// A rounded panel drawn on the form's surface: a light face inside a border.
class RoundedPanel : public Control {
 public:
  RoundedPanel(Form* owner, std::string name, Rect bounds, int corner, int border);
  void Paint(Canvas& c) override;

 private:
  int corner_, border_;
};

// A skinned push button with an optional glyph and caption.
class Button : public WindowedControl {
 public:
  using WindowedControl::WindowedControl;
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& utf8) {
    caption_ = utf8;
    Invalidate();
  }
  void SetGlyph(Bitmap glyph);
  void SetFont(const Font& f) {
    font_ = f;
    Invalidate();
  }
  void Paint(Canvas& c) override;
  bool KeyDown(int vk, uint8_t shift) override;

 private:
  std::string caption_;
  Bitmap glyph_, glyph_disabled_;
  Font font_;
};

// A skinned horizontal slider.
class TrackBar : public WindowedControl {
 public:
  TrackBar(Form* owner, std::string name, Rect bounds, int min, int max, int position);
  int Min() const { return min_; }
  int Max() const { return max_; }
  // Safe to read from any thread.
  int Position() const { return position_.load(); }
  // Clamps to the range; the change event runs only when the position really changes.
  void SetPosition(int p);
  void SetThumbLength(int len) {
    thumb_length_ = len;
    Invalidate();
  }
  int ThumbLength() const { return thumb_length_; }
  void SetLineSize(int n) { line_ = n; }
  void SetPageSize(int n) { page_ = n; }
  std::function<void()> OnChange;

  // The thumb's rectangle in local coordinates.
  Rect ThumbRect() const;
  // The position a point of the track stands for.
  int PositionAt(int x) const;

  void Paint(Canvas& c) override;
  void MouseDown(const MouseArgs& a) override;
  void MouseUp(const MouseArgs& a) override;
  void MouseMove(int x, int y, uint8_t shift) override;
  bool MouseWheel(int notches) override;
  bool KeyDown(int vk, uint8_t shift) override;

 private:
  int ThumbWidth() const;
  int min_, max_;
  std::atomic<int> position_;
  int thumb_length_ = 26;
  int line_ = 1, page_ = 10, wheel_ = 5;
  bool dragging_ = false;
  int grab_dx_ = 0;
};

// A skinned check box; its click event runs whenever the state changes, by the user or by
// the program.
class CheckBox : public WindowedControl {
 public:
  CheckBox(Form* owner, std::string name, Rect bounds, std::string caption);
  bool Checked() const { return checked_; }
  void SetChecked(bool c);
  const std::string& Caption() const { return caption_; }
  void SetFont(const Font& f) {
    font_ = f;
    Invalidate();
  }
  void SetWordWrap(bool w) {
    word_wrap_ = w;
    Invalidate();
  }
  void Paint(Canvas& c) override;
  void MouseUp(const MouseArgs& a) override;
  bool KeyDown(int vk, uint8_t shift) override;

 private:
  std::string caption_;
  bool checked_ = false;
  bool word_wrap_ = false;
  Font font_;
};

// A plain container window (it may host a foreign control).
class Panel : public WindowedControl {
 public:
  using WindowedControl::WindowedControl;
  bool WantsFocus() const override { return false; }
  void Paint(Canvas& c) override;
};

// A list of text lines.
class Memo : public WindowedControl {
 public:
  using WindowedControl::WindowedControl;
  std::vector<std::string> Lines;
  void Paint(Canvas& c) override;
};

}  // namespace tk
