#pragma once
// Internals shared by the Win32 backend: owners of Windows handles, drawing surfaces, GDI
// text, and the hidden utility window.
#include <windows.h>

#include <map>
#include <string>
#include <utility>

#include "toolkit/canvas.h"
#include "toolkit/toolkit.h"

namespace tk::win32 {

// Owns a handle and frees it with F; moves only.
template <typename H, BOOL(WINAPI* F)(H)>
class Owned {
 public:
  Owned() = default;
  explicit Owned(H h) : h_(h) {}
  ~Owned() { Reset(); }
  Owned(Owned&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  Owned& operator=(Owned&& o) noexcept {
    if (this != &o) {
      Reset();
      h_ = std::exchange(o.h_, nullptr);
    }
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  H Get() const { return h_; }
  H Release() { return std::exchange(h_, nullptr); }
  void Reset(H h = nullptr) {
    if (h_) F(h_);
    h_ = h;
  }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  H h_ = nullptr;
};

inline BOOL WINAPI FreeGlobal(HGLOBAL g) { return GlobalFree(g) == nullptr; }

using GdiObject = Owned<HGDIOBJ, DeleteObject>;
using MemoryDc = Owned<HDC, DeleteDC>;
using IconHandle = Owned<HICON, DestroyIcon>;
using MenuHandle = Owned<HMENU, DestroyMenu>;
using GlobalBlock = Owned<HGLOBAL, FreeGlobal>;

// A device context borrowed from a window.
class WindowDc {
 public:
  explicit WindowDc(HWND w) : w_(w), dc_(GetDC(w)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(w_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND w_;
  HDC dc_;
};

// Selects an object into a device context for the scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
  ~Selected() { SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// BeginPaint / EndPaint.
class PaintScope {
 public:
  explicit PaintScope(HWND w) : w_(w) { dc_ = BeginPaint(w, &ps_); }
  ~PaintScope() { EndPaint(w_, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC Dc() const { return dc_; }
  Rect Area() const {
    return {ps_.rcPaint.left, ps_.rcPaint.top, ps_.rcPaint.right - ps_.rcPaint.left,
            ps_.rcPaint.bottom - ps_.rcPaint.top};
  }

 private:
  HWND w_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// A 32-bit top-down DIB section with its own memory DC: pixels and GDI on the same memory.
class Surface {
 public:
  // Grows (never shrinks) to hold w x h.
  bool Ensure(int w, int h);
  HDC Dc() const { return dc_.Get(); }
  PixelView View() const { return {static_cast<Colour*>(bits_), width_, height_}; }

 private:
  GdiObject bitmap_;  // declared before the DC: the DC goes first
  MemoryDc dc_;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
  int width_ = 0, height_ = 0;
};

// GDI text on a device context; fonts are cached for the run.
class GdiText : public TextRenderer {
 public:
  explicit GdiText(HDC dc) : dc_(dc) {}
  Size Measure(const std::string& utf8, const Font& font) override;
  void Draw(const std::string& utf8, const Font& font, Colour colour, int x, int y,
            const Rect& clip) override;
  void Flush() override { GdiFlush(); }

 private:
  HDC dc_;
};
HFONT FontHandle(const Font& f);

// Renders into the shared scratch surface and copies the area to a device context:
// `draw` gets a canvas whose target pixels map 1:1 to the window's client area.
template <typename Draw>
void PaintBuffered(HDC target, const Rect& area, int client_w, int client_h, Draw draw);
Surface& Scratch();

// The hidden window behind timers, posted work, tray icons, menus and the clipboard.
HWND UtilityWindow();
HICON ProductIcon(int size);

// Menus and tray callbacks handled by the utility window.
bool MenuMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
void TrayMessage(WPARAM wp, LPARAM lp);
void TrayShellRestarted();
void HintInit();
// WM_DROPFILES on a form's window.
bool DropFilesMessage(HWND hwnd, WPARAM wp);

// The toolkit's handles are the window handles.
inline HWND Hwnd(Handle h) { return reinterpret_cast<HWND>(h); }

// Registers a window class of the program's module: the arrow cursor unless told otherwise;
// icons only where given.
void RegisterWindowClass(const wchar_t* name, WNDPROC proc, UINT style = 0, bool arrow = true,
                         HICON icon = nullptr, HICON small_icon = nullptr);

constexpr UINT kMsgPost = WM_APP + 1;
constexpr UINT kMsgTray = WM_APP + 2;

MouseArgs MouseArgsOf(UINT msg, WPARAM wp, LPARAM lp);
uint8_t ShiftState();

template <typename Draw>
void PaintBuffered(HDC target, const Rect& area, int client_w, int client_h, Draw draw) {
  Surface& s = Scratch();
  if (area.Empty() || !s.Ensure(client_w, client_h)) return;
  GdiText text(s.Dc());
  Canvas c(s.View(), &text);
  c.SetOpaqueTarget(true);
  c.SetClip(area);
  draw(c);
  GdiFlush();
  BitBlt(target, area.left, area.top, area.width, area.height, s.Dc(), area.left, area.top,
         SRCCOPY);
}

}  // namespace tk::win32
