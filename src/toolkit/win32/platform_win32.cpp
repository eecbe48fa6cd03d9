// Real windows: borderless layered popups with the lime colour key.
#include <windows.h>

#include "base/codepage.h"
#include "toolkit/platform.h"

namespace tk {
namespace {

const wchar_t kFormClass[] = L"TivolnaForm";

Form* FormOf(HWND hwnd) { return reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

LRESULT CALLBACK FormWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  Form* form = FormOf(hwnd);
  if (!form || !form->HandleAllocated()) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    form->WindowGone();
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  Message m{msg, wp, lp, 0};
  form->Deliver(m);
  return m.result;
}

void PaintBackground(HWND hwnd, Form* form) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  const Bitmap& bmp = form->Background();
  if (bmp.width > 0 && bmp.height > 0) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = bmp.width;
    bi.bmiHeader.biHeight = -bmp.height;  // top-down rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(bmp.width), static_cast<DWORD>(bmp.height), 0,
                      0, 0, static_cast<UINT>(bmp.height), bmp.pixels.data(), &bi, DIB_RGB_COLORS);
  }
  EndPaint(hwnd, &ps);
}

}  // namespace

namespace platform {

void Initialize() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = FormWndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hIcon = LoadIconW(wc.hInstance, L"MAINICON");
  wc.lpszClassName = kFormClass;
  RegisterClassExW(&wc);
}

Handle CreateFormWindow(Form* form) {
  Form* main = Application::Get().MainForm();
  HWND owner = nullptr;
  if (main && main != form && main->HandleAllocated()) owner = reinterpret_cast<HWND>(main->GetHandle());
  DWORD ex = WS_EX_LAYERED | (owner ? 0 : WS_EX_APPWINDOW);
  std::wstring caption = base::Utf8ToWide(form->Caption());
  HWND hwnd = CreateWindowExW(ex, kFormClass, caption.c_str(), WS_POPUP | WS_SYSMENU | WS_CLIPCHILDREN,
                              form->Left(), form->Top(), form->ClientWidth(), form->ClientHeight(),
                              owner, nullptr, GetModuleHandleW(nullptr), form);
  if (hwnd) SetLayeredWindowAttributes(hwnd, RGB(0, 255, 0), 0, LWA_COLORKEY);
  return reinterpret_cast<Handle>(hwnd);
}

void DestroyFormWindow(Handle h) { DestroyWindow(reinterpret_cast<HWND>(h)); }

void ShowFormWindow(Handle h, bool visible) {
  ShowWindow(reinterpret_cast<HWND>(h), visible ? SW_SHOW : SW_HIDE);
}

void BringToFront(Handle h) { SetForegroundWindow(reinterpret_cast<HWND>(h)); }

void SetFormBounds(Handle h, int left, int top, int cw, int ch) {
  // Borderless: the window rectangle is the client rectangle.
  SetWindowPos(reinterpret_cast<HWND>(h), nullptr, left, top, cw, ch, SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetFormCaption(Handle h, const std::string& caption) {
  SetWindowTextW(reinterpret_cast<HWND>(h), base::Utf8ToWide(caption).c_str());
}

void InvalidateForm(Handle h) { InvalidateRect(reinterpret_cast<HWND>(h), nullptr, FALSE); }

intptr_t DefaultProc(Handle h, Message& m) {
  HWND hwnd = reinterpret_cast<HWND>(h);
  switch (m.msg) {
    case WM_PAINT:
      if (Form* f = FormOf(hwnd)) {
        PaintBackground(hwnd, f);
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    default:
      break;
  }
  return DefWindowProcW(hwnd, m.msg, m.wparam, m.lparam);
}

void RunLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void QuitLoop() { PostQuitMessage(0); }

void ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void HandleSentMessages() {
  // Peeking dispatches the messages sent by other threads; nothing is taken from the queue.
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void ExitProcessNow(int code) { ExitProcess(static_cast<UINT>(code)); }

intptr_t Send(Handle h, uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  return SendMessageW(reinterpret_cast<HWND>(h), msg, wparam, lparam);
}

int MessageBoxUtf8(const std::string& text, const std::string& caption, uint32_t flags) {
  return MessageBoxW(GetActiveWindow(), base::Utf8ToWide(text).c_str(),
                     base::Utf8ToWide(caption).c_str(), flags);
}

}  // namespace platform
}  // namespace tk
