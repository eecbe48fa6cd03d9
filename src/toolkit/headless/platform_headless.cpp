// State-only platform: windows are records; messages are handled on the user-interface
// thread, the thread that initialised the platform; time passes only when a test says so.
#include <algorithm>
#include <cmath>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "toolkit/headless/headless.h"
#include "toolkit/platform.h"

namespace tk {
namespace {

struct PendingSend {
  Handle target;
  Message msg;
  bool done = false;
};

struct Window {
  Form* form = nullptr;
  WindowedControl* control = nullptr;
  headless::WindowRecord rec;
};

struct TimerRec {
  Timer* timer;
  int interval;
  long long due;
};

struct TrayRec {
  TrayIcon* icon;
  headless::TrayRecord rec;
};

// Text sizes without fonts: a fixed share of the height per character.
class ApproxText : public TextRenderer {
 public:
  Size Measure(const std::string& utf8, const Font& font) override {
    int chars = 0;
    for (unsigned char ch : utf8)
      if ((ch & 0xC0) != 0x80) ++chars;
    double per = font.height * ((font.style & kBold) ? 0.62 : 0.55);
    return {static_cast<int>(std::lround(chars * per)), font.height + font.height / 5};
  }
  void Draw(const std::string&, const Font&, Colour, int, int, const Rect&) override {}
};

std::map<int, Colour> DefaultSystemColours() {
  return {{5, Rgb(255, 255, 255)}, {8, Rgb(0, 0, 0)}};
}

struct HeadlessState {
  std::map<int, Colour> system_colours = DefaultSystemColours();
  std::mutex mu;
  std::condition_variable cv;
  std::thread::id ui_thread = std::this_thread::get_id();
  std::map<Handle, Window> windows;
  std::vector<Handle> created;
  std::deque<PendingSend*> sends;
  std::deque<std::function<void()>> posts;
  std::vector<headless::MessageBoxRecord> boxes;
  Handle next_handle = 0x10000;
  bool quit = false;
  // UI-thread-only state below.
  Handle focus = 0;
  int capture_releases = 0;
  std::vector<Handle> drag_moves;
  WindowedControl* captured = nullptr;  // windowed control that got a left press
  WindowedControl* hovered = nullptr;
  long long now = 0;
  uintptr_t next_timer = 1;
  std::map<uintptr_t, TimerRec> timers;
  headless::HintRecord hint;
  std::vector<std::string> menu_choices;
  std::vector<headless::MenuRecord> menus;
  uintptr_t next_tray = 1;
  std::map<uintptr_t, TrayRec> trays;
  bool clip_held = false, clip_open = false;
  std::set<Handle> drop_targets;
  std::vector<std::string> clip_log;
  std::map<uint32_t, std::string> clip;
  std::vector<std::string> shell_opens;
  std::map<int, bool> keys;
  std::map<std::string, std::map<std::string, std::string>> registry{
      {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", {}}};
  std::vector<std::string> open_keys;  // by handle - 1
  bool registry_fails = false;
  std::map<uintptr_t, HotKey*> hot_keys;
  std::vector<int> hot_keys_taken;
  uintptr_t next_hot_key = 1;
  ApproxText text;
};

HeadlessState& S() {
  static HeadlessState* s = new HeadlessState();
  return *s;
}

Window* Find(Handle h) {
  auto it = S().windows.find(h);
  return it == S().windows.end() ? nullptr : &it->second;
}

// Runs one message on the user-interface thread.
intptr_t DeliverNow(Handle h, uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  Form* form = nullptr;
  {
    std::lock_guard<std::mutex> lock(S().mu);
    Window* w = Find(h);
    if (!w || !w->rec.exists || !w->form) return 0;
    form = w->form;
  }
  Message m{msg, wparam, lparam, 0};
  form->Deliver(m);
  return m.result;
}

// Handles the queued sends (and, unless sends_only, the posted work); with `wait` blocks
// until something arrives or the loop is quit.
bool HandleQueued(bool wait, bool sends_only = false) {
  std::unique_lock<std::mutex> lock(S().mu);
  if (wait) S().cv.wait(lock, [] { return !S().sends.empty() || !S().posts.empty() || S().quit; });
  bool any = false;
  for (;;) {
    if (!S().sends.empty()) {
      PendingSend* p = S().sends.front();
      S().sends.pop_front();
      lock.unlock();
      p->msg.result = DeliverNow(p->target, p->msg.msg, p->msg.wparam, p->msg.lparam);
      lock.lock();
      p->done = true;
      S().cv.notify_all();
      any = true;
    } else if (!sends_only && !S().posts.empty()) {
      auto work = std::move(S().posts.front());
      S().posts.pop_front();
      lock.unlock();
      work();
      lock.lock();
      any = true;
    } else {
      break;
    }
  }
  return any;
}

Handle NewWindow(Window w) {
  std::lock_guard<std::mutex> lock(S().mu);
  Handle h = S().next_handle;
  S().next_handle += 4;
  w.rec.exists = true;
  S().windows[h] = w;
  S().created.push_back(h);
  return h;
}

std::string Hex(const void* data, size_t size) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    unsigned char b = static_cast<const unsigned char*>(data)[i];
    out += d[b >> 4];
    out += d[b & 15];
  }
  return out;
}

}  // namespace

namespace platform {

void Initialize() {
  std::lock_guard<std::mutex> lock(S().mu);
  S().ui_thread = std::this_thread::get_id();
}

Handle CreateFormWindow(Form* form) {
  Window w;
  w.form = form;
  w.rec.caption = form->Caption();
  w.rec.left = form->Left();
  w.rec.top = form->Top();
  w.rec.width = form->ClientWidth();
  w.rec.height = form->ClientHeight();
  return NewWindow(w);
}

Handle CreateControlWindow(WindowedControl* control, Handle parent) {
  Window w;
  w.control = control;
  w.rec.is_control = true;
  w.rec.parent = parent;
  w.rec.caption = control->Name();
  w.rec.visible = control->Visible();
  w.rec.enabled = control->Enabled();
  const Rect& b = control->Bounds();
  w.rec.left = b.left, w.rec.top = b.top, w.rec.width = b.width, w.rec.height = b.height;
  return NewWindow(w);
}

void DestroyWindowOf(Handle h) {
  std::lock_guard<std::mutex> lock(S().mu);
  std::vector<Handle> gone{h};
  for (auto& [k, w] : S().windows)
    if (w.rec.parent == h) gone.push_back(k);
  for (Handle g : gone) {
    Window* w = Find(g);
    if (!w) continue;
    if (S().captured == w->control) S().captured = nullptr;
    if (S().hovered == w->control) S().hovered = nullptr;
    if (S().focus == g) S().focus = 0;
    w->rec.exists = false;
    w->rec.visible = false;
    w->form = nullptr;
    w->control = nullptr;
  }
  // Senders waiting on a destroyed window get 0, as the platform does.
  for (auto it = S().sends.begin(); it != S().sends.end();) {
    if ((*it)->target == h) {
      (*it)->done = true;
      it = S().sends.erase(it);
    } else {
      ++it;
    }
  }
  S().cv.notify_all();
}

void ShowWindowOf(Handle h, bool visible) {
  std::lock_guard<std::mutex> lock(S().mu);
  if (Window* w = Find(h)) w->rec.visible = visible;
}

void EnableWindowOf(Handle h, bool enabled) {
  std::lock_guard<std::mutex> lock(S().mu);
  if (Window* w = Find(h)) w->rec.enabled = enabled;
}

void BringToFront(Handle) {}

void SetFormBounds(Handle h, int left, int top, int cw, int ch) {
  std::lock_guard<std::mutex> lock(S().mu);
  if (Window* w = Find(h)) {
    w->rec.left = left;
    w->rec.top = top;
    w->rec.width = cw;
    w->rec.height = ch;
  }
}

void SetControlBounds(Handle h, const Rect& r) {
  SetFormBounds(h, r.left, r.top, r.width, r.height);
}

void SetFormCaption(Handle h, const std::string& caption) {
  std::lock_guard<std::mutex> lock(S().mu);
  if (Window* w = Find(h)) w->rec.caption = caption;
}

void Invalidate(Handle, const Rect*) {}

void SetFocusTo(Handle h) {
  Handle old = S().focus;
  if (old == h) return;
  S().focus = h;
  Window* ow = Find(old);
  if (ow && ow->control) ow->control->FocusChanged(false);
  Window* nw = Find(h);
  if (nw && nw->control) nw->control->FocusChanged(true);
}

Handle CreateEditField(Edit* edit, Handle frame, const Rect& r) {
  Window w;
  w.rec.is_control = true;
  w.rec.parent = frame;
  w.rec.caption = edit->Name() + ".field";
  w.rec.visible = true;
  w.rec.left = r.left, w.rec.top = r.top, w.rec.width = r.width, w.rec.height = r.height;
  return NewWindow(w);
}

void SetEditFieldText(Handle, const std::string&) {}
void SetEditFieldFont(Handle, const Font&) {}

void ReleaseMouseCapture() {
  ++S().capture_releases;
  if (WindowedControl* c = S().captured) {
    S().captured = nullptr;
    c->MouseUp({MouseButton::kLeft, 0, kReleasedOutside, kReleasedOutside});
  }
}

intptr_t DefaultProc(Handle h, Message& m) {
  if (m.msg == kWmSysCommand && (m.wparam & 0xFFF0) == (kScDragMove & 0xFFF0))
    S().drag_moves.push_back(h);
  return 0;
}

void RunLoop() {
  {
    std::lock_guard<std::mutex> lock(S().mu);
    S().quit = false;
  }
  for (;;) {
    HandleQueued(true);
    std::lock_guard<std::mutex> lock(S().mu);
    if (S().quit) break;
  }
}

void QuitLoop() {
  std::lock_guard<std::mutex> lock(S().mu);
  S().quit = true;
  S().cv.notify_all();
}

void ProcessMessages() { HandleQueued(false); }

void WaitForMessages(int ms) {
  std::unique_lock<std::mutex> lock(S().mu);
  S().cv.wait_for(lock, std::chrono::milliseconds(ms),
                  [] { return !S().sends.empty() || !S().posts.empty(); });
}

void HandleSentMessages() {
  if (std::this_thread::get_id() == S().ui_thread) HandleQueued(false, true);
}

void ExitProcessNow(int code) { throw headless::HaltSignal{code}; }

intptr_t Send(Handle h, uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  std::unique_lock<std::mutex> lock(S().mu);
  Window* w = Find(h);
  if (!w || !w->rec.exists) return 0;
  if (std::this_thread::get_id() == S().ui_thread) {
    lock.unlock();
    return DeliverNow(h, msg, wparam, lparam);
  }
  PendingSend p{h, Message{msg, wparam, lparam, 0}};
  S().sends.push_back(&p);
  S().cv.notify_all();
  S().cv.wait(lock, [&] { return p.done; });
  return p.msg.result;
}

void Post(std::function<void()> work) {
  std::lock_guard<std::mutex> lock(S().mu);
  S().posts.push_back(std::move(work));
  S().cv.notify_all();
}

int MessageBoxUtf8(const std::string& text, const std::string& caption, uint32_t flags) {
  std::lock_guard<std::mutex> lock(S().mu);
  S().boxes.push_back({text, caption, flags});
  return 1;
}

bool KeyState(int vk) { return S().keys[vk]; }

uintptr_t RegisterHotKeyFor(HotKey* key, int vk) {
  for (int taken : S().hot_keys_taken)
    if (taken == vk) return 0;
  for (auto& [id, k] : S().hot_keys)
    if (k->Key() == vk) return 0;  // like the system: one owner per key
  uintptr_t id = S().next_hot_key++;
  S().hot_keys[id] = key;
  return id;
}

void UnregisterHotKeyId(uintptr_t id) { S().hot_keys.erase(id); }

TextRenderer& SharedText() { return S().text; }

Size ScreenSize() { return {1024, 768}; }

Colour SystemColour(int index) {
  std::lock_guard<std::mutex> lock(S().mu);
  auto it = S().system_colours.find(index);
  return it != S().system_colours.end() ? it->second : Rgb(0, 0, 0);
}

Point CursorPos() { return {0, 0}; }

uintptr_t StartTimer(Timer* timer, int interval_ms) {
  uintptr_t id = S().next_timer++;
  S().timers[id] = {timer, interval_ms, S().now + interval_ms};
  return id;
}

void StopTimer(uintptr_t id) { S().timers.erase(id); }

void ShowHint(const std::string& utf8, Point screen) { S().hint = {true, utf8, screen}; }

void HideHint() { S().hint.shown = false; }

int TrackMenu(const PopupMenu& menu, int x, int y) {
  headless::MenuRecord rec;
  rec.at = {x, y};
  for (const auto& item : menu.Items()) {
    rec.captions.push_back(item->caption);
    rec.has_picture.push_back(!item->picture.Empty());
  }
  S().menus.push_back(rec);
  if (S().menu_choices.empty()) return -1;
  std::string name = S().menu_choices.front();
  S().menu_choices.erase(S().menu_choices.begin());
  for (size_t i = 0; i < menu.Items().size(); ++i)
    if (menu.Items()[i]->name == name) return static_cast<int>(i);
  return -1;
}

uintptr_t TrayRegister(TrayIcon* icon) {
  uintptr_t id = S().next_tray++;
  S().trays[id] = {icon, {true, false, ""}};
  return id;
}

void TrayUnregister(uintptr_t id) { S().trays.erase(id); }

void TraySet(uintptr_t id, bool active, const std::string& hint) {
  auto it = S().trays.find(id);
  if (it == S().trays.end()) return;
  it->second.rec.shown = active;
  it->second.rec.hint = hint;
}

bool ClipboardOpen() {
  if (S().clip_held || S().clip_open) return false;
  S().clip_open = true;
  S().clip_log.push_back("open");
  return true;
}

void ClipboardClose() {
  S().clip_open = false;
  S().clip_log.push_back("close");
}

void ClipboardEmpty() {
  S().clip.clear();
  S().clip_log.push_back("empty");
}

bool ClipboardSet(uint32_t format, const void* data, size_t size) {
  if (!S().clip_open) return false;
  S().clip[format] = std::string(static_cast<const char*>(data), size);
  S().clip_log.push_back("set " + std::to_string(format) + " " + Hex(data, size));
  return true;
}

bool ClipboardGet(uint32_t format, std::string* bytes) {
  if (!S().clip_open) return false;
  auto it = S().clip.find(format);
  if (it == S().clip.end()) return false;
  *bytes = it->second;
  return true;
}

void AcceptDrops(Handle h) { S().drop_targets.insert(h); }

void ShellOpen(const std::string& ansi) { S().shell_opens.push_back(ansi); }

uintptr_t RegistryOpen(const std::string& path) {
  if (!S().registry.count(path)) return 0;
  S().open_keys.push_back(path);
  return S().open_keys.size();
}

void RegistryClose(uintptr_t key) {
  if (key >= 1 && key <= S().open_keys.size()) S().open_keys[key - 1].clear();
}

bool RegistrySetString(uintptr_t key, const std::string& name, const std::string& value) {
  if (S().registry_fails || key < 1 || key > S().open_keys.size() || S().open_keys[key - 1].empty())
    return false;
  S().registry[S().open_keys[key - 1]][name] = value;
  return true;
}

bool RegistryDelete(uintptr_t key, const std::string& name) {
  if (key < 1 || key > S().open_keys.size() || S().open_keys[key - 1].empty()) return false;
  return S().registry[S().open_keys[key - 1]].erase(name) > 0;
}

}  // namespace platform

namespace headless {

std::vector<MessageBoxRecord> MessageBoxes() {
  std::lock_guard<std::mutex> lock(S().mu);
  return S().boxes;
}

void ClearMessageBoxes() {
  std::lock_guard<std::mutex> lock(S().mu);
  S().boxes.clear();
}

WindowRecord Window(Handle h) {
  std::lock_guard<std::mutex> lock(S().mu);
  auto* w = Find(h);
  return w ? w->rec : WindowRecord{};
}

std::vector<Handle> CreatedWindows() {
  std::lock_guard<std::mutex> lock(S().mu);
  std::vector<Handle> out;
  for (Handle h : S().created)
    if (!S().windows[h].rec.is_control) out.push_back(h);
  return out;
}

void Reset() {
  std::lock_guard<std::mutex> lock(S().mu);
  HeadlessState& s = S();
  s.windows.clear();
  s.created.clear();
  s.boxes.clear();
  s.posts.clear();
  s.quit = false;
  s.ui_thread = std::this_thread::get_id();
  s.focus = 0;
  s.capture_releases = 0;
  s.drag_moves.clear();
  s.drop_targets.clear();
  s.captured = s.hovered = nullptr;
  s.timers.clear();
  s.hint = {};
  s.menu_choices.clear();
  s.menus.clear();
  s.clip_held = s.clip_open = false;
  s.clip_log.clear();
  s.clip.clear();
  s.shell_opens.clear();
  s.keys.clear();
  s.registry = {{"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", {}}};
  s.open_keys.clear();
  s.registry_fails = false;
  s.hot_keys_taken.clear();
  s.system_colours = DefaultSystemColours();
}

void SetSystemColour(int index, Colour c) {
  std::lock_guard<std::mutex> lock(S().mu);
  S().system_colours[index] = c;
}

namespace {

WindowedControl* WindowedAt(Form& f, int x, int y) {
  Control* c = f.ControlAt({x, y}, true);
  return c && c->IsWindowed() && c->Enabled() ? static_cast<WindowedControl*>(c) : nullptr;
}

MouseArgs Local(const Control& c, int x, int y, MouseButton b, uint8_t shift) {
  return {b, shift, x - c.Left(), y - c.Top()};
}

void Hover(Form& f, WindowedControl* c, int x, int y) {
  if (S().hovered != c) {
    WindowedControl* old = S().hovered;
    S().hovered = c;
    if (old) {
      old->MouseLeave();
      if (Application::Get().HintControl() == old) Application::Get().HintHover(nullptr, {});
    }
    if (c) c->MouseEnter();
  }
  if (c) Application::Get().HintHover(c, {f.Left() + x, f.Top() + y});
}

}  // namespace

void MouseMove(Form& f, int x, int y, uint8_t shift) {
  if (WindowedControl* cap = S().captured) {
    cap->MouseMove(x - cap->Left(), y - cap->Top(), shift);
    return;
  }
  WindowedControl* c = WindowedAt(f, x, y);
  if (c) {
    f.SurfaceMouseLeave();  // a child window lies over the surface here
    Hover(f, c, x, y);
    c->MouseMove(x - c->Left(), y - c->Top(), shift);
  } else {
    Hover(f, nullptr, x, y);
    f.SurfaceMouseMove(x, y, shift);
  }
}

namespace {
void Press(Form& f, int x, int y, MouseButton b, uint8_t shift, bool double_click) {
  Control* any = f.ControlAt({x, y}, true);
  if (any && any->IsWindowed() && !any->Enabled()) return;  // a disabled window takes no input
  if (WindowedControl* c = WindowedAt(f, x, y)) {
    if (b == MouseButton::kLeft) S().captured = c;
    MouseArgs a = Local(*c, x, y, b, shift);
    // Only windows that ask for double clicks see them as such.
    a.double_click = double_click && c->WantsDoubleClicks();
    c->MouseDown(a);
  } else {
    f.SurfaceMouseDown({b, shift, x, y});
  }
}
}  // namespace

void MouseDown(Form& f, int x, int y, MouseButton b, uint8_t shift) {
  Press(f, x, y, b, shift, false);
}

void DoubleClick(Form& f, int x, int y, MouseButton b) {
  Click(f, x, y, b);
  Press(f, x, y, b, 0, true);
  MouseUp(f, x, y, b);
}

void MouseUp(Form& f, int x, int y, MouseButton b, uint8_t shift) {
  if (WindowedControl* cap = S().captured; cap && b == MouseButton::kLeft) {
    S().captured = nullptr;
    cap->MouseUp(Local(*cap, x, y, b, shift));
    return;
  }
  if (WindowedControl* c = WindowedAt(f, x, y))
    c->MouseUp(Local(*c, x, y, b, shift));
  else
    f.SurfaceMouseUp({b, shift, x, y});
}

void Click(Form& f, int x, int y, MouseButton b) {
  MouseMove(f, x, y);
  MouseDown(f, x, y, b);
  MouseUp(f, x, y, b);
}

void MouseLeave(Form& f) {
  Hover(f, nullptr, 0, 0);
  f.SurfaceMouseLeave();
}

void Wheel(Form& f, int x, int y, int notches) {
  if (WindowedControl* c = WindowedAt(f, x, y)) c->MouseWheel(notches);
}

bool KeyDown(WindowedControl& c, int vk, uint8_t shift) {
  bool was = S().keys[kVkShift];
  S().keys[kVkShift] = (shift & kShiftKey) != 0;
  bool used = false;
  if (!Queue({c.GetHandle(), kWmKeyDown, static_cast<uintptr_t>(vk), 0})) {
    Application::Get().Dispatch([&] { used = c.KeyDown(vk, shift); });
    if (!used && c.Owner() && !dynamic_cast<Edit*>(&c)) c.Owner()->UnusedKey(vk, shift);
  }
  S().keys[kVkShift] = was;
  return used;
}

void FormKeyDown(Form& f, int vk, uint8_t shift) {
  if (!Queue({f.GetHandle(), kWmKeyDown, static_cast<uintptr_t>(vk), 0})) f.UnusedKey(vk, shift);
}

void PutOnClipboard(uint32_t format, const std::string& bytes) {
  S().clip.clear();
  S().clip[format] = bytes;
}

bool AcceptsDrops(Form& f) {
  return f.HandleAllocated() && S().drop_targets.count(f.GetHandle()) > 0;
}

bool Drop(Form& f, const DropData& d) {
  if (!AcceptsDrops(f)) return false;
  f.Dropped(d);
  return true;
}

bool Queue(const QueuedMessage& m) { return Application::Get().RunMessageHook(m); }

void TypeText(Edit& e, const std::string& utf8) { e.TextChanged(e.Text() + utf8); }
void Paste(Edit& e, const std::string& utf8) { e.TextChanged(e.Text() + Edit::OneLine(utf8)); }

void SetKeyDown(int vk, bool down) { S().keys[vk] = down; }

void TakeHotKeyElsewhere(int vk) { S().hot_keys_taken.push_back(vk); }

bool HotKeyRegistered(int vk) {
  for (auto& [id, k] : S().hot_keys)
    if (k->Key() == vk) return true;
  return false;
}

void PressHotKey(int vk) {
  for (auto& [id, k] : S().hot_keys)
    if (k->Key() == vk) {
      k->Press();
      return;
    }
}

Handle FocusedWindow() { return S().focus; }
int CaptureReleases() { return S().capture_releases; }
std::vector<Handle> DragMoves() { return S().drag_moves; }

void AdvanceTime(int ms) {
  long long end = S().now + ms;
  for (;;) {
    // The earliest due timer within the step fires next.
    uintptr_t id = 0;
    long long due = end + 1;
    for (auto& [k, t] : S().timers)
      if (t.due < due) id = k, due = t.due;
    if (!id) break;
    S().now = due;
    TimerRec& t = S().timers[id];
    t.due += t.interval;
    t.timer->Fire();
  }
  S().now = end;
}

int ActiveTimers() { return static_cast<int>(S().timers.size()); }

HintRecord Hint() { return S().hint; }

void ChooseInNextMenu(const std::string& name) { S().menu_choices.push_back(name); }
std::vector<MenuRecord> Menus() { return S().menus; }

TrayRecord Tray(const TrayIcon& icon) {
  for (auto& [id, t] : S().trays)
    if (t.icon == &icon) return t.rec;
  return {};
}

void HoldClipboardElsewhere(bool held) { S().clip_held = held; }
std::vector<std::string> ClipboardLog() { return S().clip_log; }
void ClearClipboardLog() { S().clip_log.clear(); }
std::map<uint32_t, std::string> ClipboardContents() { return S().clip; }
bool ClipboardIsOpen() { return S().clip_open; }

std::vector<std::string> ShellOpens() { return S().shell_opens; }

std::map<std::string, std::string> RegistryValues(const std::string& path) {
  return S().registry[path];
}
void SetRegistryValue(const std::string& path, const std::string& name, const std::string& value) {
  S().registry[path][name] = value;
}
void FailRegistryWrites(bool fail) { S().registry_fails = fail; }

Bitmap Render(Form& f) {
  Bitmap b(f.ClientWidth(), f.ClientHeight(), kColourKeyLime);
  Canvas c(ViewOf(b), &S().text);
  c.SetOpaqueTarget(true);
  f.PaintAll(c);
  return b;
}

}  // namespace headless
}  // namespace tk
