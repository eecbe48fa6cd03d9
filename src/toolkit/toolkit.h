#pragma once
// The window framework: application, forms and their controls, message loop, cross-thread
// send and post, timers, the error box. Forms are portable; the platform layer (win32/ or
// headless/) gives them real windows or keeps their state only.
//
// Thread rule: everything declared here is for the user-interface thread only (the thread
// that created the Application), except Application::Post, SendMessageTo and
// HandleSentMessages, which any thread may call. Debug and sanitizer builds abort on a
// wrong-thread call.
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/canvas.h"
#include "toolkit/controls.h"
#include "toolkit/graphics.h"

namespace tk {

// True on the thread that created the Application (the first caller creates it).
bool IsUiThread();

// Window messages the framework knows by number (the platform's own numbers).
enum : uint32_t {
  kWmDestroy = 0x0002,
  kWmClose = 0x0010,
  kWmActivate = 0x0006,
  kWmSysCommand = 0x0112,
  kWmUser = 0x0400,
};
// WM_SYSCOMMAND: move the window with the mouse, as if its caption were dragged.
constexpr uintptr_t kScDragMove = 0xF012;  // SC_MOVE + HTCAPTION

// Message box flags and results used by the program.
enum : uint32_t { kMbOk = 0x0, kMbIconError = 0x10, kMbIconInformation = 0x40 };

struct Message {
  uint32_t msg;
  uintptr_t wparam;
  intptr_t lparam;
  intptr_t result;
};

// A message taken from the queue, before it is dispatched.
struct QueuedMessage {
  Handle window;
  uint32_t msg;
  uintptr_t wparam;
  intptr_t lparam;
};
constexpr uint32_t kWmKeyDown = 0x0100;
constexpr uint32_t kWmSysKeyDown = 0x0104;
constexpr int kVkShift = 0x10;

// The state of a key as of the message being handled.
bool IsKeyDown(int vk);

// What was dropped on a window: files, or text (UTF-8).
struct DropData {
  std::vector<std::filesystem::path> files;
  std::string text;
};

// A system-wide hot key (a media key, say), on the user-interface thread. When another
// program holds the key, the hot key is simply not registered.
class HotKey {
 public:
  explicit HotKey(int vk);
  ~HotKey();
  HotKey(const HotKey&) = delete;
  HotKey& operator=(const HotKey&) = delete;
  bool Registered() const { return id_ != 0; }
  int Key() const { return vk_; }
  std::function<void()> OnPress;
  void Press();  // called by the platform

 private:
  int vk_;
  uintptr_t id_ = 0;
};

class Form {
 public:
  Form(std::string name, std::string caption);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  // The window handle; the window (and its controls' windows) are created on first use.
  Handle GetHandle();
  bool HandleAllocated() const { return handle_ != 0; }

  bool Visible() const { return visible_; }
  void Show();
  void Hide();
  void SetVisible(bool v) { v ? Show() : Hide(); }
  void BringToFront();
  // Closes the form; closing the main form ends the message loop.
  void Close();

  int Left() const { return left_; }
  int Top() const { return top_; }
  int ClientWidth() const { return client_width_; }
  int ClientHeight() const { return client_height_; }
  void SetBounds(int left, int top, int client_width, int client_height);
  void SetPosition(int left, int top) { SetBounds(left, top, client_width_, client_height_); }

  // Colour of the surface where no control draws (lime: see-through).
  void SetColour(Colour c) {
    colour_ = c;
    Invalidate({0, 0, client_width_, client_height_});
  }

  // Controls in creation order, which is the drawing order; windowed ones lie above all
  // graphic ones.
  const std::vector<Control*>& Controls() const { return controls_; }
  Control* FindControl(const std::string& name) const;
  // The topmost visible control at a point of the client area; windowed ones first.
  Control* ControlAt(Point p, bool windowed_too = true) const;

  // Releases the mouse capture and lets the system move the window with the mouse.
  void DragMove();

  // The order in which Tab moves the focus through the windowed controls.
  void SetTabOrder(std::vector<WindowedControl*> order) { tab_order_ = std::move(order); }
  // The control after (or before) `from` that can take the focus; nullptr when none.
  WindowedControl* NextInTabOrder(const WindowedControl* from, bool back) const;

  // Every message of the window passes here; the default hands it to DefaultHandler.
  virtual void WndProc(Message& m);
  void DefaultHandler(Message& m);

  // Events.
  virtual void FormCreate() {}
  virtual void FormShow() {}  // each time the form is about to be shown
  virtual void FormActivate() {}
  virtual void FormDestroy() {}
  std::function<void(const MouseArgs&)> OnMouseDown;  // a press on the bare surface
  // A key pressed on the form or one of its controls that no control used (edit fields
  // keep their keys).
  std::function<void(int vk, uint8_t shift)> OnKeyDown;
  // Files or text dropped on the window, once AcceptDrops was called; runs after the drop
  // has ended.
  std::function<void(const DropData&)> OnDrop;
  void AcceptDrops();

  // --- called by the framework and the platform ---
  void DoCreate();
  void DoDestroy();
  void Deliver(Message& m);  // runs WndProc behind the error box
  void WindowGone();
  // The platform binds the window to its form as soon as the window exists.
  void Bind(Handle h) { handle_ = h; }
  void Register(Control* c);
  void Unregister(Control* c);
  void Invalidate(const Rect& r);
  // Draws the surface (background and graphic controls) into the canvas, for the area given
  // in client coordinates; the canvas origin is the client's top left.
  void PaintSurface(Canvas& c, const Rect& area);
  // Draws everything, windowed controls included (for tests and screenshots).
  void PaintAll(Canvas& c);
  // Mouse input on the form's own surface (client coordinates).
  void SurfaceMouseDown(const MouseArgs& a);
  void SurfaceMouseUp(const MouseArgs& a);
  void SurfaceMouseMove(int x, int y, uint8_t shift);
  void SurfaceMouseLeave();
  void CaptureLost();
  // From the platform: a key no control used, and a drop.
  void UnusedKey(int vk, uint8_t shift);
  void Dropped(const DropData& d);
  // The graphic control under the surface point, for the cursor.
  Cursor CursorAt(Point p) const;
  // The window moved (by the system or the user).
  void Moved(int left, int top) { left_ = left, top_ = top; }

 private:
  Control* SurfaceControlAt(Point p) const;
  void SetHover(Control* c);

  std::string name_;
  std::string caption_;
  Handle handle_ = 0;
  bool visible_ = false;
  int left_ = 0, top_ = 0, client_width_ = 0, client_height_ = 0;
  Colour colour_ = kColourKeyLime;
  std::vector<Control*> controls_;
  std::vector<WindowedControl*> tab_order_;
  Control* hover_ = nullptr;     // graphic control under the mouse
  Control* captured_ = nullptr;  // graphic control that got the left press
};

// A repeating timer on the user-interface thread.
class Timer {
 public:
  explicit Timer(int interval_ms = 1000, bool enabled = false);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  int Interval() const { return interval_; }
  void SetInterval(int ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool e);
  std::function<void()> OnTimer;
  void Fire();  // called by the platform

 private:
  void Restart();
  int interval_;
  bool enabled_;
  uintptr_t id_ = 0;
};

class Application {
 public:
  static Application& Get();

  void Initialize();
  // Constructs a form, runs its FormCreate (errors there show the error box and creation
  // goes on); the first form created is the main form and is shown at once.
  template <typename T>
  T* CreateForm() {
    T* f = new T();
    Adopt(f);
    f->DoCreate();
    f->GetHandle();                  // every form has its window from creation on
    if (f == MainForm()) f->Show();  // the main form shows as soon as it is created
    return f;
  }
  Form* MainForm() const { return forms_.empty() ? nullptr : forms_.front(); }
  const std::vector<Form*>& Forms() const { return forms_; }

  // Deletes every form (their windows go with them); the next form created is the main one.
  void DestroyAllForms();

  // Shows the main form and handles messages until it is closed; then destroys the forms.
  void Run();
  // Ends the message loop.
  void Terminate();
  // Handles pending messages and returns.
  void ProcessMessages();
  // Ends the process at once with the given exit code.
  [[noreturn]] void Halt(int code);

  // The standard error box: the error's text in a message box; the program goes on.
  void ShowException(const std::exception& e);
  // Runs an event handler; an error ends it and shows the error box.
  void Dispatch(const std::function<void()>& handler);
  // A plain message box with an OK button, captioned with the title; waits until closed.
  void ShowMessage(const std::string& text);

  // Runs `work` on the user-interface thread soon; callable from any thread.
  void Post(std::function<void()> work);
  // Runs `work` on a thread of its own and handles messages until it ends, so the windows
  // keep answering; an error of `work` is thrown here.
  void RunAside(const std::function<void()>& work);

  // The hook sees every message the loop takes from the queue, for all windows, before it
  // is dispatched; when it returns true the message is not dispatched. Setting it again
  // replaces it.
  void SetMessageHook(std::function<bool(const QueuedMessage&)> hook) { hook_ = std::move(hook); }
  bool HasMessageHook() const { return static_cast<bool>(hook_); }
  // Called by the loop; true: the message was taken by the hook.
  bool RunMessageHook(const QueuedMessage& m);

  // Hints: the control under the mouse (nullptr: none) at a screen point.
  void HintHover(Control* c, Point screen);
  // A press or key hides the hint until the mouse moves to another control.
  void CancelHint();
  const std::string& ShownHint() const { return shown_hint_; }
  Control* HintControl() const { return hint_control_; }
  static constexpr int kHintPauseMs = 500;
  static constexpr int kHintHideMs = 8000;

  // The caption of message boxes; the program sets it.
  std::string Title;

 private:
  Application();
  void Adopt(Form* f) { forms_.push_back(f); }
  void ShowHintNow();
  // Stops both hint timers and hides a shown hint.
  void StopHint();
  std::vector<Form*> forms_;
  Control* hint_control_ = nullptr;
  Point hint_point_;
  bool hint_cancelled_ = false;
  std::string shown_hint_;
  std::function<bool(const QueuedMessage&)> hook_;
  Timer* hint_timer_ = nullptr;
  Timer* hint_hide_timer_ = nullptr;
  friend class Form;
  friend class Control;
};

// Synchronous send from any thread: waits until the window's thread has handled it.
intptr_t SendMessageTo(Handle window, uint32_t msg, uintptr_t wparam, intptr_t lparam);
// Handles the messages other threads are sending to the calling thread, and nothing else.
// A thread that waits for another thread calls it so that a sender it waits for cannot
// block it.
void HandleSentMessages();
// Message box with UTF-8 texts; returns the platform's result (1 = OK).
int ShowMessageBox(const std::string& text, const std::string& caption, uint32_t flags);
// The platform's text renderer for measuring text outside painting.
TextRenderer& SharedText();
// Screen size in pixels.
Size ScreenSize();
// Colours of the user's colour scheme (a high-contrast scheme changes them), by the
// system's colour index.
enum class SystemColourIndex { kWindow = 5, kWindowText = 8 };
Colour SystemColour(SystemColourIndex which);
// Sent to top-level windows when the scheme changes.
constexpr uint32_t kWmSysColorChange = 0x0015;

}  // namespace tk
