// Real windows: borderless layered forms with the lime colour key, self-drawn child controls,
// the message loop, cross-thread send and post, timers.
#include <windowsx.h>

#include <deque>
#include <memory>
#include <mutex>

#include "base/codepage.h"
#include "toolkit/platform.h"
#include "toolkit/win32/win32.h"

namespace tk {
namespace win32 {
namespace {

const wchar_t kFormClass[] = L"TkForm";
const wchar_t kControlClass[] = L"TkControl";
const wchar_t kControlDblClass[] = L"TkControlDbl";  // tells double clicks apart
const wchar_t kUtilityClass[] = L"TkUtility";

HWND g_utility = nullptr;
UINT g_taskbar_created = 0;

std::mutex g_post_mu;
std::deque<std::function<void()>> g_posts;

// A running Windows timer; killed with its owner.
class WinTimer {
 public:
  WinTimer(UINT_PTR id, Timer* t, int ms) : id_(id), timer_(t) {
    SetTimer(g_utility, id_, static_cast<UINT>(ms), nullptr);
  }
  ~WinTimer() { KillTimer(g_utility, id_); }
  WinTimer(const WinTimer&) = delete;
  WinTimer& operator=(const WinTimer&) = delete;
  Timer* Target() const { return timer_; }

 private:
  UINT_PTR id_;
  Timer* timer_;
};
std::map<UINT_PTR, std::unique_ptr<WinTimer>> g_timers;
UINT_PTR g_next_timer = 1;

std::map<int, HotKey*> g_hot_keys;  // by hot key id
int g_next_hot_key = 1;

WindowedControl* ControlOf(HWND hwnd);

// Tab and Shift+Tab move the focus through the form's tab order.
bool TabNavigate(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB) return false;
  for (HWND w = msg.hwnd; w; w = GetParent(w)) {
    wchar_t cls[32] = {};
    GetClassNameW(w, cls, 32);
    if (wcscmp(cls, L"TkControl") != 0 && wcscmp(cls, L"TkControlDbl") != 0) continue;
    WindowedControl* c = ControlOf(w);
    if (!c || !c->Owner()) return false;
    WindowedControl* next = c->Owner()->NextInTabOrder(c, GetKeyState(VK_SHIFT) < 0);
    if (!next) return false;
    next->SetFocus();
    return true;
  }
  return false;
}

// One message from the queue: through the application's hook, then to its window.
void Pump(MSG& msg) {
  QueuedMessage q{reinterpret_cast<Handle>(msg.hwnd), msg.message, msg.wParam, msg.lParam};
  if (Application::Get().RunMessageHook(q)) return;
  if (TabNavigate(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

int g_wheel_rest = 0;  // wheel movement below one notch, kept for the next message

Form* FormOf(HWND hwnd) { return reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }
WindowedControl* ControlOf(HWND hwnd) {  // the TkControl windows' own
  return reinterpret_cast<WindowedControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void RunPosted() {
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard<std::mutex> lock(g_post_mu);
      if (g_posts.empty()) return;
      work = std::move(g_posts.front());
      g_posts.pop_front();
    }
    work();
  }
}

// Whole wheel notches of a WM_MOUSEWHEEL, keeping the remainder of smooth wheels.
int WheelNotches(WPARAM wp) {
  g_wheel_rest += GET_WHEEL_DELTA_WPARAM(wp);
  int n = g_wheel_rest / WHEEL_DELTA;
  g_wheel_rest -= n * WHEEL_DELTA;
  return n;
}

// The wheel goes to the control under the pointer, not to the one with the focus.
bool RouteWheel(WPARAM wp, LPARAM lp) {
  POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  HWND under = WindowFromPoint(pt);
  wchar_t cls[32] = {};
  if (!under || !GetClassNameW(under, cls, 32) ||
      (wcscmp(cls, kControlClass) != 0 && wcscmp(cls, kControlDblClass) != 0))
    return false;
  WindowedControl* c = ControlOf(under);
  if (!c || !c->Enabled()) return false;
  int n = WheelNotches(wp);
  if (n) Application::Get().Dispatch([&] { c->MouseWheel(n); });
  return true;
}

void SetCursorFor(Cursor c) {
  LPCWSTR id = MAKEINTRESOURCEW(c == Cursor::kHand ? 32649 : c == Cursor::kIBeam ? 32513 : 32512);
  SetCursor(LoadCursorW(nullptr, id));
}

LRESULT CALLBACK FormWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    form->Bind(reinterpret_cast<Handle>(hwnd));
  }
  Form* form = FormOf(hwnd);
  if (!form) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    form->WindowGone();
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  Message m{msg, wp, lp, 0};
  form->Deliver(m);
  return m.result;
}

// The system's edit field inside an Edit: pastes become one line, clicks reach the control.
LRESULT CALLBACK FieldProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* e = reinterpret_cast<Edit*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, L"TkFieldProc"));
  if (!old) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_PASTE: {
      if (!OpenClipboard(hwnd)) return 0;
      std::wstring text;
      if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
          text = p;
          GlobalUnlock(h);
        }
      }
      CloseClipboard();
      std::wstring one = base::Utf8ToWide(Edit::OneLine(base::WideToUtf8(text)));
      SendMessageW(hwnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(one.c_str()));
      return 0;
    }
    case WM_CHAR:
      if (wp == '\r' || wp == '\n' || wp == '\t') return 0;  // one line; Tab moves on
      break;
    case WM_LBUTTONUP: {
      LRESULT r = CallWindowProcW(old, hwnd, msg, wp, lp);
      if (e) Application::Get().Dispatch([e] { e->Click(); });
      return r;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      LRESULT r = CallWindowProcW(old, hwnd, msg, wp, lp);
      if (e) {
        HWND other = reinterpret_cast<HWND>(wp);
        HWND frame = GetParent(hwnd);
        // Focus moving between the field and its own frame changes nothing for the control.
        if (other != frame) e->FocusChanged(msg == WM_SETFOCUS);
      }
      return r;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
      RemovePropW(hwnd, L"TkFieldProc");
      break;
    default: break;
  }
  return CallWindowProcW(old, hwnd, msg, wp, lp);
}

LRESULT ControlProc(HWND hwnd, WindowedControl* c, UINT msg, WPARAM wp, LPARAM lp) {
  Application& app = Application::Get();
  switch (msg) {
    case WM_PAINT: {
      PaintScope ps(hwnd);
      Form* form = c->Owner();
      const Rect b = c->Bounds();
      PaintBuffered(ps.Dc(), ps.Area(), b.width, b.height, [&](Canvas& cv) {
        // What lies below shows through: the form's surface first, then the control.
        cv.SetOrigin({-b.left, -b.top});
        if (form) form->PaintSurface(cv, b);
        cv.SetOrigin({0, 0});
        app.Dispatch([&] { c->Paint(cv); });
      });
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) SetCapture(hwnd);
      c->MouseDown(MouseArgsOf(msg, wp, lp));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      c->MouseUp(MouseArgsOf(msg, wp, lp));
      if (msg == WM_LBUTTONUP && GetCapture() == hwnd) ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lp) != hwnd && c->Pressed())
        c->MouseUp({MouseButton::kLeft, 0, kReleasedOutside, kReleasedOutside});
      return 0;
    case WM_MOUSEMOVE: {
      if (!c->Hot()) {
        TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&t);
        c->MouseEnter();
      }
      int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
      c->MouseMove(x, y, ShiftState());
      POINT pt{x, y};
      ClientToScreen(hwnd, &pt);
      app.HintHover(c, {pt.x, pt.y});
      return 0;
    }
    case WM_MOUSELEAVE:
      c->MouseLeave();
      app.HintHover(nullptr, {});
      return 0;
    case WM_MOUSEWHEEL:
      if (!RouteWheel(wp, lp) && c->Enabled()) {
        int n = WheelNotches(wp);
        if (n) app.Dispatch([&] { c->MouseWheel(n); });
      }
      return 0;
    case WM_KEYDOWN: {
      bool used = false;
      app.CancelHint();
      app.Dispatch([&] { used = c->KeyDown(static_cast<int>(wp), ShiftState()); });
      if (used) return 0;
      if (c->Owner() && !dynamic_cast<Edit*>(c))
        c->Owner()->UnusedKey(static_cast<int>(wp), ShiftState());
      break;
    }
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS: c->FocusChanged(true); return 0;
    case WM_KILLFOCUS: c->FocusChanged(false); return 0;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_COMMAND:
      if (HIWORD(wp) == EN_CHANGE) {
        HWND field = reinterpret_cast<HWND>(lp);
        int n = GetWindowTextLengthW(field);
        std::wstring text(static_cast<size_t>(n) + 1, L'\0');
        GetWindowTextW(field, text.data(), n + 1);
        text.resize(static_cast<size_t>(n));
        if (auto* e = dynamic_cast<Edit*>(c)) e->TextChanged(base::WideToUtf8(text));
        return 0;
      }
      break;
    case WM_CTLCOLOREDIT: {
      auto* e = dynamic_cast<Edit*>(c);
      tk::Colour col = e ? e->GetFont().colour : Rgb(0, 0, 0);
      SetTextColor(reinterpret_cast<HDC>(wp), RGB(RedOf(col), GreenOf(col), BlueOf(col)));
      SetBkColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT) {
        SetCursorFor(c->GetCursor());
        return TRUE;
      }
      break;
    default: break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ControlWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE)
    SetWindowLongPtrW(
        hwnd, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  WindowedControl* c = ControlOf(hwnd);
  if (!c) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    c->HandleGone();
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  return ControlProc(hwnd, c, msg, wp, lp);
}

LRESULT CALLBACK UtilityWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = 0;
  switch (msg) {
    case WM_TIMER: {
      auto it = g_timers.find(wp);
      if (it != g_timers.end()) it->second->Target()->Fire();
      return 0;
    }
    case kMsgPost: RunPosted(); return 0;
    case kMsgTray: TrayMessage(wp, lp); return 0;
    case WM_HOTKEY: {
      auto it = g_hot_keys.find(static_cast<int>(wp));
      if (it != g_hot_keys.end()) it->second->Press();
      return 0;
    }
    default:
      if (msg == g_taskbar_created && msg != 0) {
        TrayShellRestarted();
        return 0;
      }
      if (MenuMessage(msg, wp, lp, &r)) return r;
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

// The form's own surface: background, graphic controls and their mouse input.
intptr_t FormDefault(HWND hwnd, Form* form, Message& m) {
  Application& app = Application::Get();
  switch (m.msg) {
    case WM_PAINT: {
      PaintScope ps(hwnd);
      PaintBuffered(ps.Dc(), ps.Area(), form->ClientWidth(), form->ClientHeight(),
                    [&](Canvas& c) { form->PaintSurface(c, ps.Area()); });
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      MouseArgs a = MouseArgsOf(m.msg, m.wparam, m.lparam);
      if (m.msg == WM_LBUTTONDOWN && form->ControlAt({a.x, a.y}, false)) SetCapture(hwnd);
      form->SurfaceMouseDown(a);
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      MouseArgs a = MouseArgsOf(m.msg, m.wparam, m.lparam);
      form->SurfaceMouseUp(a);
      if (m.msg == WM_LBUTTONUP && GetCapture() == hwnd) ReleaseCapture();
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(m.lparam) != hwnd) form->CaptureLost();
      return 0;
    case WM_MOUSEMOVE: {
      TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, hwnd, 0};
      TrackMouseEvent(&t);
      form->SurfaceMouseMove(GET_X_LPARAM(m.lparam), GET_Y_LPARAM(m.lparam), ShiftState());
      return 0;
    }
    case WM_MOUSELEAVE: form->SurfaceMouseLeave(); return 0;
    case WM_MOUSEWHEEL: RouteWheel(m.wparam, m.lparam); return 0;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(m.wparam) == hwnd && LOWORD(m.lparam) == HTCLIENT) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd, &pt);
        SetCursorFor(form->CursorAt({pt.x, pt.y}));
        return TRUE;
      }
      break;
    case WM_MOVE: {
      RECT rc;
      GetWindowRect(hwnd, &rc);
      form->Moved(rc.left, rc.top);
      break;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      app.CancelHint();
      if (m.msg == WM_KEYDOWN) form->UnusedKey(static_cast<int>(m.wparam), ShiftState());
      break;
    case WM_DROPFILES: return DropFilesMessage(hwnd, m.wparam) ? 0 : 1;
    default: break;
  }
  return DefWindowProcW(hwnd, m.msg, m.wparam, m.lparam);
}

}  // namespace

MouseArgs MouseArgsOf(UINT msg, WPARAM wp, LPARAM lp) {
  MouseArgs a;
  a.button = (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP || msg == WM_RBUTTONDBLCLK)
                 ? MouseButton::kRight
             : (msg == WM_MBUTTONDOWN || msg == WM_MBUTTONUP || msg == WM_MBUTTONDBLCLK)
                 ? MouseButton::kMiddle
                 : MouseButton::kLeft;
  a.double_click = msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
  a.x = GET_X_LPARAM(lp);
  a.y = GET_Y_LPARAM(lp);
  a.shift =
      static_cast<uint8_t>(((wp & MK_SHIFT) ? kShiftKey : 0) | ((wp & MK_CONTROL) ? kCtrlKey : 0) |
                           (GetKeyState(VK_MENU) < 0 ? kAltKey : 0));
  return a;
}

uint8_t ShiftState() {
  return static_cast<uint8_t>((GetKeyState(VK_SHIFT) < 0 ? kShiftKey : 0) |
                              (GetKeyState(VK_CONTROL) < 0 ? kCtrlKey : 0) |
                              (GetKeyState(VK_MENU) < 0 ? kAltKey : 0));
}

HWND UtilityWindow() { return g_utility; }

HICON ProductIcon(int size) {
  static auto* icons = new std::map<int, IconHandle>();
  auto it = icons->find(size);
  if (it != icons->end()) return it->second.Get();
  HICON h = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  (*icons)[size] = IconHandle(h);
  return h;
}

void RegisterWindowClass(const wchar_t* name, WNDPROC proc, UINT style, bool arrow, HICON icon,
                         HICON small_icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = arrow ? LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)) : nullptr;
  wc.hIcon = icon;
  wc.hIconSm = small_icon;
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

}  // namespace win32

namespace platform {

using namespace win32;

void Initialize() {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  RegisterWindowClass(kFormClass, FormWndProc, 0, true, ProductIcon(GetSystemMetrics(SM_CXICON)),
                      ProductIcon(GetSystemMetrics(SM_CXSMICON)));
  RegisterWindowClass(kControlClass, ControlWndProc);
  RegisterWindowClass(kControlDblClass, ControlWndProc, CS_DBLCLKS);
  RegisterWindowClass(kUtilityClass, UtilityWndProc, 0, false);
  if (!g_utility)
    g_utility = CreateWindowExW(WS_EX_TOOLWINDOW, kUtilityClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, inst, nullptr);
  g_taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
  HintInit();
  // Work posted before the window existed.
  PostMessageW(g_utility, kMsgPost, 0, 0);
}

Handle CreateFormWindow(Form* form) {
  Form* main = Application::Get().MainForm();
  HWND owner = nullptr;
  if (main && main != form && main->HandleAllocated()) owner = Hwnd(main->GetHandle());
  DWORD ex = WS_EX_LAYERED | (owner ? 0 : WS_EX_APPWINDOW);
  std::wstring caption = base::Utf8ToWide(form->Caption());
  HWND hwnd =
      CreateWindowExW(ex, kFormClass, caption.c_str(), WS_POPUP | WS_SYSMENU | WS_CLIPCHILDREN,
                      form->Left(), form->Top(), form->ClientWidth(), form->ClientHeight(), owner,
                      nullptr, GetModuleHandleW(nullptr), form);
  if (hwnd) SetLayeredWindowAttributes(hwnd, RGB(0, 255, 0), 0, LWA_COLORKEY);
  return reinterpret_cast<Handle>(hwnd);
}

Handle CreateControlWindow(WindowedControl* control, Handle parent) {
  const Rect& b = control->Bounds();
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (control->Visible() ? WS_VISIBLE : 0) |
                (control->Enabled() ? 0 : WS_DISABLED);
  std::wstring name = base::Utf8ToWide(control->Name());
  HWND hwnd = CreateWindowExW(0, control->WantsDoubleClicks() ? kControlDblClass : kControlClass,
                              name.c_str(), style, b.left, b.top, b.width, b.height, Hwnd(parent),
                              nullptr, GetModuleHandleW(nullptr), control);
  return reinterpret_cast<Handle>(hwnd);
}

void DestroyWindowOf(Handle h) { DestroyWindow(Hwnd(h)); }

void ShowWindowOf(Handle h, bool visible) {
  HWND w = Hwnd(h);
  // A child shown lies above its siblings (a grid shown over another grid).
  if (visible && (GetWindowLongW(w, GWL_STYLE) & WS_CHILD))
    SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ShowWindow(w, visible ? SW_SHOW : SW_HIDE);
}

void EnableWindowOf(Handle h, bool enabled) { EnableWindow(Hwnd(h), enabled); }

void BringToFront(Handle h) {
  HWND w = Hwnd(h);
  SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(w);
}

void SetFormBounds(Handle h, int left, int top, int cw, int ch) {
  // Borderless: the window rectangle is the client rectangle.
  SetWindowPos(Hwnd(h), nullptr, left, top, cw, ch, SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetControlBounds(Handle h, const Rect& r) {
  SetWindowPos(Hwnd(h), nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetFormCaption(Handle h, const std::string& caption) {
  SetWindowTextW(Hwnd(h), base::Utf8ToWide(caption).c_str());
}

void Invalidate(Handle h, const Rect* r) {
  if (!r) {
    InvalidateRect(Hwnd(h), nullptr, FALSE);
    return;
  }
  RECT rc{r->left, r->top, r->Right(), r->Bottom()};
  InvalidateRect(Hwnd(h), &rc, FALSE);
}

void SetFocusTo(Handle h) { SetFocus(Hwnd(h)); }

Handle CreateEditField(Edit* edit, Handle frame, const Rect& r) {
  HWND f = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_LEFT,
                           r.left, r.top, r.width, r.height, Hwnd(frame), nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  if (!f) return 0;
  SetWindowLongPtrW(f, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(edit));
  SetPropW(f, L"TkFieldProc", reinterpret_cast<HANDLE>(GetWindowLongPtrW(f, GWLP_WNDPROC)));
  SetWindowLongPtrW(f, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FieldProc));
  return reinterpret_cast<Handle>(f);
}

void SetEditFieldText(Handle field, const std::string& utf8) {
  SetWindowTextW(Hwnd(field), base::Utf8ToWide(utf8).c_str());
}

void SetEditFieldFont(Handle field, const Font& font) {
  SendMessageW(Hwnd(field), WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle(font)), TRUE);
}

void ReleaseMouseCapture() { ReleaseCapture(); }

intptr_t DefaultProc(Handle h, Message& m) {
  HWND hwnd = Hwnd(h);
  if (Form* f = FormOf(hwnd)) return FormDefault(hwnd, f, m);
  return DefWindowProcW(hwnd, m.msg, m.wparam, m.lparam);
}

void RunLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) Pump(msg);
}

void QuitLoop() { PostQuitMessage(0); }

void ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    Pump(msg);
  }
}

void WaitForMessages(int ms) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(ms), QS_ALLINPUT);
}

void HandleSentMessages() {
  // Peeking dispatches the messages sent by other threads; nothing is taken from the queue.
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void ExitProcessNow(int code) { ExitProcess(static_cast<UINT>(code)); }

intptr_t Send(Handle h, uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  return SendMessageW(Hwnd(h), msg, wparam, lparam);
}

void Post(std::function<void()> work) {
  {
    std::lock_guard<std::mutex> lock(g_post_mu);
    g_posts.push_back(std::move(work));
  }
  if (g_utility) PostMessageW(g_utility, kMsgPost, 0, 0);
}

int MessageBoxUtf8(const std::string& text, const std::string& caption, uint32_t flags) {
  HideHint();
  return MessageBoxW(GetActiveWindow(), base::Utf8ToWide(text).c_str(),
                     base::Utf8ToWide(caption).c_str(), flags);
}

bool KeyState(int vk) { return GetKeyState(vk) < 0; }

uintptr_t RegisterHotKeyFor(HotKey* key, int vk) {
  int id = g_next_hot_key++;
  if (!g_utility || !RegisterHotKey(g_utility, id, 0, static_cast<UINT>(vk))) return 0;
  g_hot_keys[id] = key;
  return static_cast<uintptr_t>(id);
}

void UnregisterHotKeyId(uintptr_t id) {
  UnregisterHotKey(g_utility, static_cast<int>(id));
  g_hot_keys.erase(static_cast<int>(id));
}

TextRenderer& SharedText() {
  static Surface* s = [] {
    auto* x = new Surface();
    x->Ensure(1, 1);
    return x;
  }();
  static GdiText* t = new GdiText(s->Dc());
  return *t;
}

Size ScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

Colour SystemColour(int index) { return FromBgr(GetSysColor(index)); }

Point CursorPos() {
  POINT pt{0, 0};
  GetCursorPos(&pt);
  return {pt.x, pt.y};
}

uintptr_t StartTimer(Timer* timer, int interval_ms) {
  UINT_PTR id = g_next_timer++;
  g_timers[id] = std::make_unique<WinTimer>(id, timer, interval_ms);
  return id;
}

void StopTimer(uintptr_t id) { g_timers.erase(id); }

}  // namespace platform
}  // namespace tk
