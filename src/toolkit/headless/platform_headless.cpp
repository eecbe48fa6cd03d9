// State-only platform: windows are records; messages are handled on the user-interface
// thread, the thread that initialised the platform.
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
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
  headless::WindowRecord rec;
};

struct HeadlessState {
  std::mutex mu;
  std::condition_variable cv;
  std::thread::id ui_thread = std::this_thread::get_id();
  std::map<Handle, Window> windows;
  std::vector<Handle> created;
  std::deque<PendingSend*> sends;
  std::vector<headless::MessageBoxRecord> boxes;
  Handle next_handle = 0x10000;
  bool quit = false;
};

HeadlessState& S() {
  static HeadlessState s;
  return s;
}

// Runs one message on the user-interface thread.
intptr_t DeliverNow(Handle h, uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  Form* form = nullptr;
  {
    std::lock_guard<std::mutex> lock(S().mu);
    auto it = S().windows.find(h);
    if (it == S().windows.end() || !it->second.rec.exists) return 0;
    form = it->second.form;
  }
  Message m{msg, wparam, lparam, 0};
  form->Deliver(m);
  return m.result;
}

// Handles the queued sends; with `wait` blocks until one arrives or the loop is quit.
bool HandleQueued(bool wait) {
  std::unique_lock<std::mutex> lock(S().mu);
  if (wait) S().cv.wait(lock, [] { return !S().sends.empty() || S().quit; });
  bool any = false;
  while (!S().sends.empty()) {
    PendingSend* p = S().sends.front();
    S().sends.pop_front();
    lock.unlock();
    p->msg.result = DeliverNow(p->target, p->msg.msg, p->msg.wparam, p->msg.lparam);
    lock.lock();
    p->done = true;
    S().cv.notify_all();
    any = true;
  }
  return any;
}

Window* Find(Handle h) {
  auto it = S().windows.find(h);
  return it == S().windows.end() ? nullptr : &it->second;
}

}  // namespace

namespace platform {

void Initialize() {
  std::lock_guard<std::mutex> lock(S().mu);
  S().ui_thread = std::this_thread::get_id();
}

Handle CreateFormWindow(Form* form) {
  std::lock_guard<std::mutex> lock(S().mu);
  Handle h = S().next_handle;
  S().next_handle += 4;
  Window w;
  w.form = form;
  w.rec.exists = true;
  w.rec.caption = form->Caption();
  w.rec.left = form->Left();
  w.rec.top = form->Top();
  w.rec.width = form->ClientWidth();
  w.rec.height = form->ClientHeight();
  S().windows[h] = w;
  S().created.push_back(h);
  return h;
}

void DestroyFormWindow(Handle h) {
  std::lock_guard<std::mutex> lock(S().mu);
  if (Window* w = Find(h)) {
    w->rec.exists = false;
    w->rec.visible = false;
    w->form = nullptr;
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

void ShowFormWindow(Handle h, bool visible) {
  std::lock_guard<std::mutex> lock(S().mu);
  if (Window* w = Find(h)) w->rec.visible = visible;
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

void SetFormCaption(Handle h, const std::string& caption) {
  std::lock_guard<std::mutex> lock(S().mu);
  if (Window* w = Find(h)) w->rec.caption = caption;
}

void InvalidateForm(Handle) {}

intptr_t DefaultProc(Handle, Message&) { return 0; }

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

void HandleSentMessages() { HandleQueued(false); }

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

int MessageBoxUtf8(const std::string& text, const std::string& caption, uint32_t flags) {
  std::lock_guard<std::mutex> lock(S().mu);
  S().boxes.push_back({text, caption, flags});
  return 1;
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
  return S().created;
}

void Reset() {
  std::lock_guard<std::mutex> lock(S().mu);
  S().windows.clear();
  S().created.clear();
  S().boxes.clear();
  S().quit = false;
  S().ui_thread = std::this_thread::get_id();
}

}  // namespace headless
}  // namespace tk
