#include "toolkit/toolkit.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>

#include "toolkit/platform.h"
#include "toolkit/ui_thread.h"

namespace tk {

namespace {
std::atomic<std::thread::id> g_ui_thread{};
}  // namespace

bool IsUiThread() {
  if (g_ui_thread.load() == std::thread::id()) Application::Get();  // the first caller creates it
  return std::this_thread::get_id() == g_ui_thread.load();
}

void detail::CheckUiThread(const char* call) {
  if (IsUiThread()) return;
  std::fprintf(stderr, "%s: called off the user-interface thread\n", call);
  std::fflush(stderr);
  std::abort();
}

// --- Form -----------------------------------------------------------------------------------

Form::Form(std::string name, std::string caption)
    : name_(std::move(name)), caption_(std::move(caption)) {
  TK_UI_THREAD_ONLY();
}

Form::~Form() {
  TK_UI_THREAD_ONLY();
  Application::Get().HintHover(nullptr, {});
  if (handle_) platform::DestroyWindowOf(handle_);
}

void Form::SetCaption(const std::string& caption) {
  TK_UI_THREAD_ONLY();
  caption_ = caption;
  if (handle_) platform::SetFormCaption(handle_, caption_);
}

Handle Form::GetHandle() {
  TK_UI_THREAD_ONLY();
  if (!handle_) {
    Handle h = platform::CreateFormWindow(this);  // binds itself during creation
    handle_ = h;
    for (Control* c : controls_)
      if (c->IsWindowed()) static_cast<WindowedControl*>(c)->CreateHandle(handle_);
  }
  return handle_;
}

void Form::Show() {
  TK_UI_THREAD_ONLY();
  if (!visible_) Application::Get().Dispatch([this] { FormShow(); });
  visible_ = true;
  platform::ShowWindowOf(GetHandle(), true);
}

void Form::Hide() {
  TK_UI_THREAD_ONLY();
  visible_ = false;
  if (handle_) platform::ShowWindowOf(handle_, false);
  if (hover_) SetHover(nullptr);
  Application::Get().HintHover(nullptr, {});
}

void Form::BringToFront() {
  TK_UI_THREAD_ONLY();
  if (handle_) platform::BringToFront(handle_);
}

void Form::Close() {
  TK_UI_THREAD_ONLY();
  Hide();
  if (Application::Get().MainForm() == this) Application::Get().Terminate();
}

void Form::SetBounds(int left, int top, int client_width, int client_height) {
  TK_UI_THREAD_ONLY();
  left_ = left;
  top_ = top;
  client_width_ = client_width;
  client_height_ = client_height;
  if (handle_) platform::SetFormBounds(handle_, left, top, client_width, client_height);
}

Control* Form::FindControl(const std::string& name) const {
  for (Control* c : controls_)
    if (c->Name() == name) return c;
  return nullptr;
}

Control* Form::ControlAt(Point p, bool windowed_too) const {
  if (windowed_too)
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
      if ((*it)->IsWindowed() && (*it)->Visible() && (*it)->Bounds().Contains(p)) return *it;
  return SurfaceControlAt(p);
}

Control* Form::SurfaceControlAt(Point p) const {
  // Disabled graphic controls let the mouse through to what lies below.
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
    if (!(*it)->IsWindowed() && (*it)->Visible() && (*it)->Enabled() && (*it)->Bounds().Contains(p))
      return *it;
  return nullptr;
}

WindowedControl* Form::NextInTabOrder(const WindowedControl* from, bool back) const {
  size_t n = tab_order_.size();
  if (n == 0) return nullptr;
  size_t at = n;  // not in the order: start before the first (or after the last)
  for (size_t i = 0; i < n; ++i)
    if (tab_order_[i] == from) at = i;
  for (size_t step = 1; step <= n; ++step) {
    size_t i =
        at == n ? (back ? n - step : step - 1) : (back ? (at + n - step) % n : (at + step) % n);
    WindowedControl* c = tab_order_[i];
    if (c->Visible() && c->Enabled()) return c;
  }
  return nullptr;
}

void Form::DragMove() {
  TK_UI_THREAD_ONLY();
  platform::ReleaseMouseCapture();
  CaptureLost();
  SendMessageTo(GetHandle(), kWmSysCommand, kScDragMove, 0);
}

void Form::WndProc(Message& m) { DefaultHandler(m); }

void Form::DefaultHandler(Message& m) {
  switch (m.msg) {
    case kWmClose:
      Close();
      m.result = 0;
      return;
    case kWmActivate:
      if ((m.wparam & 0xFFFF) != 0) FormActivate();
      break;
    default: break;
  }
  m.result = platform::DefaultProc(handle_, m);
}

void Form::DoCreate() {
  TK_UI_THREAD_ONLY();
  Application::Get().Dispatch([this] { FormCreate(); });
}

void Form::DoDestroy() {
  TK_UI_THREAD_ONLY();
  Application::Get().Dispatch([this] { FormDestroy(); });
  if (handle_) {
    Handle h = handle_;
    WindowGone();
    platform::DestroyWindowOf(h);
  }
}

void Form::AcceptDrops() {
  TK_UI_THREAD_ONLY();
  platform::AcceptDrops(GetHandle());
}

void Form::UnusedKey(int vk, uint8_t shift) {
  TK_UI_THREAD_ONLY();
  if (OnKeyDown) Application::Get().Dispatch([&] { OnKeyDown(vk, shift); });
}

void Form::Dropped(const DropData& d) {
  TK_UI_THREAD_ONLY();
  if (OnDrop) Application::Get().Dispatch([&] { OnDrop(d); });
}

void Form::Deliver(Message& m) {
  TK_UI_THREAD_ONLY();
  Application::Get().Dispatch([this, &m] { WndProc(m); });
}

void Form::WindowGone() {
  TK_UI_THREAD_ONLY();
  handle_ = 0;
  for (Control* c : controls_)
    if (c->IsWindowed()) static_cast<WindowedControl*>(c)->HandleGone();
}

void Form::Register(Control* c) {
  TK_UI_THREAD_ONLY();
  controls_.push_back(c);
  // Windowed controls lie above the graphic ones, in creation order among themselves.
  std::stable_partition(controls_.begin(), controls_.end(),
                        [](Control* x) { return !x->IsWindowed(); });
  if (handle_ && c->IsWindowed()) static_cast<WindowedControl*>(c)->CreateHandle(handle_);
  if (!c->IsWindowed()) Invalidate(c->Bounds());
}

void Form::Unregister(Control* c) {
  TK_UI_THREAD_ONLY();
  controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
  if (hover_ == c) hover_ = nullptr;
  if (captured_ == c) captured_ = nullptr;
  Application::Get().HintHover(nullptr, {});
  if (!c->IsWindowed()) Invalidate(c->Bounds());
}

void Form::Invalidate(const Rect& r) {
  TK_UI_THREAD_ONLY();
  if (handle_ && !r.Empty()) platform::Invalidate(handle_, &r);
}

void Form::PaintSurface(Canvas& c, const Rect& area) {
  TK_UI_THREAD_ONLY();
  const Point base = c.Origin();
  const Rect outer = c.Clip();
  Rect a = area.Offset(base.x, base.y).Intersect(outer);
  if (a.Empty()) return;
  c.SetClip(a);
  c.FillRect(area, colour_);
  for (Control* ctl : controls_) {
    if (ctl->IsWindowed() || !ctl->Visible()) continue;
    Rect b = ctl->Bounds().Offset(base.x, base.y).Intersect(a);
    if (b.Empty()) continue;
    c.SetOrigin({base.x + ctl->Left(), base.y + ctl->Top()});
    c.SetClip(b);
    ctl->Paint(c);
  }
  c.SetOrigin(base);
  c.SetClip(outer);
}

void Form::PaintAll(Canvas& c) {
  TK_UI_THREAD_ONLY();
  const Point base = c.Origin();
  const Rect outer = c.Clip();
  PaintSurface(c, {0, 0, client_width_, client_height_});
  for (Control* ctl : controls_) {
    if (!ctl->IsWindowed() || !ctl->Visible()) continue;
    c.SetOrigin({base.x + ctl->Left(), base.y + ctl->Top()});
    c.SetClip(ctl->Bounds().Offset(base.x, base.y).Intersect(outer));
    ctl->Paint(c);
  }
  c.SetOrigin(base);
  c.SetClip(outer);
}

void Form::SetHover(Control* c) {
  if (c == hover_) return;
  Control* old = hover_;
  hover_ = c;
  if (old) old->MouseLeave();
  if (c) c->MouseEnter();
}

void Form::SurfaceMouseMove(int x, int y, uint8_t shift) {
  TK_UI_THREAD_ONLY();
  Control* c = SurfaceControlAt({x, y});
  SetHover(c);
  Application::Get().HintHover(c, {left_ + x, top_ + y});
  if (captured_) captured_->MouseMove(x - captured_->Left(), y - captured_->Top(), shift);
}

void Form::SurfaceMouseDown(const MouseArgs& a) {
  TK_UI_THREAD_ONLY();
  Application::Get().CancelHint();
  Control* c = SurfaceControlAt({a.x, a.y});
  if (!c) {
    if (OnMouseDown) Application::Get().Dispatch([&] { OnMouseDown(a); });
    return;
  }
  if (a.button == MouseButton::kLeft) captured_ = c;
  MouseArgs local = a;
  local.x -= c->Left();
  local.y -= c->Top();
  c->MouseDown(local);
}

void Form::SurfaceMouseUp(const MouseArgs& a) {
  TK_UI_THREAD_ONLY();
  Control* c =
      a.button == MouseButton::kLeft && captured_ ? captured_ : SurfaceControlAt({a.x, a.y});
  if (a.button == MouseButton::kLeft) captured_ = nullptr;
  if (!c) return;
  MouseArgs local = a;
  local.x -= c->Left();
  local.y -= c->Top();
  c->MouseUp(local);
}

void Form::SurfaceMouseLeave() {
  TK_UI_THREAD_ONLY();
  SetHover(nullptr);
  // Moving onto a child window also leaves the surface; the child's hint stays.
  Control* h = Application::Get().HintControl();
  if (!h || !h->IsWindowed()) Application::Get().HintHover(nullptr, {});
}

void Form::CaptureLost() {
  TK_UI_THREAD_ONLY();
  if (!captured_) return;
  Control* c = captured_;
  captured_ = nullptr;
  c->MouseUp({MouseButton::kLeft, 0, kReleasedOutside, kReleasedOutside});
}

Cursor Form::CursorAt(Point p) const {
  Control* c = SurfaceControlAt(p);
  return c ? c->GetCursor() : Cursor::kArrow;
}

// --- Timer ----------------------------------------------------------------------------------

Timer::Timer(int interval_ms, bool enabled) : interval_(interval_ms), enabled_(false) {
  TK_UI_THREAD_ONLY();
  SetEnabled(enabled);
}

Timer::~Timer() {
  TK_UI_THREAD_ONLY();
  if (id_) platform::StopTimer(id_);
}

void Timer::SetInterval(int ms) {
  TK_UI_THREAD_ONLY();
  interval_ = ms;
  Restart();
}

void Timer::SetEnabled(bool e) {
  TK_UI_THREAD_ONLY();
  enabled_ = e;
  Restart();
}

void Timer::Restart() {
  if (id_) platform::StopTimer(id_);
  id_ = 0;
  if (enabled_ && interval_ > 0) id_ = platform::StartTimer(this, interval_);
}

void Timer::Fire() {
  TK_UI_THREAD_ONLY();
  if (enabled_ && OnTimer) Application::Get().Dispatch(OnTimer);
}

// --- Application ----------------------------------------------------------------------------

Application::Application() {
  g_ui_thread = std::this_thread::get_id();  // before the timers, which check it
  hint_timer_ = new Timer(kHintPauseMs, false);
  hint_hide_timer_ = new Timer(kHintHideMs, false);
  hint_timer_->OnTimer = [this] {
    hint_timer_->SetEnabled(false);
    ShowHintNow();
  };
  hint_hide_timer_->OnTimer = [this] {
    hint_hide_timer_->SetEnabled(false);
    platform::HideHint();
    shown_hint_.clear();
  };
}

Application& Application::Get() {
  static Application* app = new Application();  // lives until the process ends
  return *app;
}

void Application::Initialize() {
  TK_UI_THREAD_ONLY();
  platform::Initialize();
}

void Application::Run() {
  TK_UI_THREAD_ONLY();
  if (Form* main = MainForm()) {
    main->Show();
    platform::RunLoop();
  }
  // Forms are destroyed after the loop; the main form goes first.
  for (Form* f : forms_) f->DoDestroy();
}

void Application::DestroyAllForms() {
  TK_UI_THREAD_ONLY();
  HintHover(nullptr, {});
  hook_ = nullptr;  // hooks belong to the forms
  for (Form* f : forms_) delete f;
  forms_.clear();
}

void Application::Terminate() {
  TK_UI_THREAD_ONLY();
  platform::QuitLoop();
}

void Application::ProcessMessages() {
  TK_UI_THREAD_ONLY();
  platform::ProcessMessages();
}

void Application::Halt(int code) {
  TK_UI_THREAD_ONLY();
  platform::ExitProcessNow(code);
}

void Application::ShowException(const std::exception& e) {
  TK_UI_THREAD_ONLY();
  platform::MessageBoxUtf8(e.what(), Title, kMbOk | kMbIconError);
}

void Application::Dispatch(const std::function<void()>& handler) {
  TK_UI_THREAD_ONLY();
  try {
    handler();
  } catch (const std::exception& e) {
    ShowException(e);
  }
}

void Application::ShowMessage(const std::string& text) {
  TK_UI_THREAD_ONLY();
  platform::MessageBoxUtf8(text, Title, kMbOk);
}

void Application::Post(std::function<void()> work) {
  platform::Post([w = std::move(work)] { Application::Get().Dispatch(w); });
}

void Application::RunAside(const std::function<void()>& work) {
  TK_UI_THREAD_ONLY();
  std::atomic<bool> done{false};
  std::exception_ptr error;
  std::thread t([&] {
    try {
      work();
    } catch (...) {
      error = std::current_exception();
    }
    done = true;
  });
  while (!done.load()) {
    platform::WaitForMessages(10);
    platform::ProcessMessages();
  }
  t.join();
  if (error) std::rethrow_exception(error);
}

bool Application::RunMessageHook(const QueuedMessage& m) {
  TK_UI_THREAD_ONLY();
  if (!hook_) return false;
  bool taken = false;
  Dispatch([&] { taken = hook_(m); });
  return taken;
}

void Application::HintHover(Control* c, Point screen) {
  TK_UI_THREAD_ONLY();
  if (c == hint_control_) {
    if (shown_hint_.empty()) hint_point_ = screen;  // appears where the mouse rests
    return;
  }
  hint_control_ = c;
  hint_cancelled_ = false;
  StopHint();
  hint_point_ = screen;
  if (c && !c->Hint().empty()) hint_timer_->SetEnabled(true);
}

void Application::CancelHint() {
  TK_UI_THREAD_ONLY();
  hint_cancelled_ = true;
  StopHint();
}

void Application::StopHint() {
  hint_timer_->SetEnabled(false);
  hint_hide_timer_->SetEnabled(false);
  if (!shown_hint_.empty()) {
    platform::HideHint();
    shown_hint_.clear();
  }
}

void Application::ShowHintNow() {
  if (!hint_control_ || hint_cancelled_ || hint_control_->Hint().empty()) return;
  shown_hint_ = hint_control_->Hint();
  platform::ShowHint(shown_hint_, {hint_point_.x, hint_point_.y + 20});  // below the pointer
  hint_hide_timer_->SetEnabled(true);
}

// --- HotKey -------------------------------------------------------------------------------

HotKey::HotKey(int vk) : vk_(vk) {
  TK_UI_THREAD_ONLY();
  id_ = platform::RegisterHotKeyFor(this, vk);
}

HotKey::~HotKey() {
  TK_UI_THREAD_ONLY();
  if (id_) platform::UnregisterHotKeyId(id_);
}

void HotKey::Press() {
  TK_UI_THREAD_ONLY();
  if (OnPress) Application::Get().Dispatch(OnPress);
}

// --- Free functions -------------------------------------------------------------------------

bool IsKeyDown(int vk) {
  TK_UI_THREAD_ONLY();
  return platform::KeyState(vk);
}

intptr_t SendMessageTo(Handle window, uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  return platform::Send(window, msg, wparam, lparam);
}

void HandleSentMessages() { platform::HandleSentMessages(); }

int ShowMessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
  TK_UI_THREAD_ONLY();
  return platform::MessageBoxUtf8(text, caption, flags);
}

TextRenderer& SharedText() { return platform::SharedText(); }

Size ScreenSize() { return platform::ScreenSize(); }
Colour SystemColour(SystemColourIndex which) {
  return platform::SystemColour(static_cast<int>(which));
}

}  // namespace tk
