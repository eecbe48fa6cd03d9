// The hint window, pop-up menus, notification-area icons, the clipboard and the shell.
#include <algorithm>
#include <vector>

#include "base/codepage.h"
#include "toolkit/platform.h"
#include "toolkit/skin.h"
#include "toolkit/win32/win32.h"

#include <shellapi.h>

namespace tk {
namespace win32 {
namespace {

// --- hint window ---

const wchar_t kHintClass[] = L"TkHint";
HWND g_hint = nullptr;
std::string g_hint_text;

LRESULT CALLBACK HintWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PaintScope ps(hwnd);
      RECT rc;
      GetClientRect(hwnd, &rc);
      PaintBuffered(ps.Dc(), ps.Area(), rc.right, rc.bottom, [&](Canvas& c) {
        skin::DrawHint(c, {0, 0, rc.right, rc.bottom}, g_hint_text);
      });
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_NCHITTEST: return HTTRANSPARENT;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

// --- menus ---

const PopupMenu* g_menu = nullptr;  // the menu being shown

// --- tray ---

struct TrayEntry {
  TrayIcon* icon;
  bool shown = false;
};
std::map<uintptr_t, TrayEntry> g_trays;
uintptr_t g_next_tray = 1;

NOTIFYICONDATAW TrayData(uintptr_t id) {
  NOTIFYICONDATAW d{};
  d.cbSize = sizeof(d);
  d.hWnd = UtilityWindow();
  d.uID = static_cast<UINT>(id);
  return d;
}

}  // namespace

void HintInit() { RegisterWindowClass(kHintClass, HintWndProc, CS_DROPSHADOW | CS_SAVEBITS); }

bool MenuMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (!g_menu) return false;
  const auto& items = g_menu->Items();
  switch (msg) {
    case WM_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (mi->CtlType != ODT_MENU || mi->itemID < 1 || mi->itemID > items.size()) return false;
      mi->itemWidth =
          static_cast<UINT>(skin::MenuItemWidth(SharedText(), items[mi->itemID - 1]->caption));
      mi->itemHeight = skin::kMenuItemHeight;
      *result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (di->CtlType != ODT_MENU || di->itemID < 1 || di->itemID > items.size()) return false;
      const MenuItem& item = *items[di->itemID - 1];
      Rect r{di->rcItem.left, di->rcItem.top, di->rcItem.right - di->rcItem.left,
             di->rcItem.bottom - di->rcItem.top};
      Surface& s = Scratch();
      if (!s.Ensure(r.width, r.height)) return false;
      GdiText text(s.Dc());
      Canvas c(s.View(), &text);
      c.SetOpaqueTarget(true);
      Rect local{0, 0, r.width, r.height};
      c.SetClip(local);
      // The item's share of the menu's face and picture column, then the item.
      skin::DrawMenuFrame(c,
                          {-skin::kMenuBorder, -1, r.width + 2 * skin::kMenuBorder, r.height + 2});
      bool enabled = !(di->itemState & (ODS_GRAYED | ODS_DISABLED));
      skin::DrawMenuItem(c, local, item.caption, item.picture, (di->itemState & ODS_SELECTED) != 0,
                         enabled, (di->itemState & ODS_NOACCEL) == 0);
      GdiFlush();
      BitBlt(di->hDC, r.left, r.top, r.width, r.height, s.Dc(), 0, 0, SRCCOPY);
      *result = TRUE;
      return true;
    }
    case WM_MENUCHAR: {
      // Owner-drawn items carry no text for the system: their access keys are matched here.
      std::wstring typed(1, static_cast<wchar_t>(LOWORD(wp)));
      std::string key = AccessKeyOf("&" + base::WideToUtf8(typed));
      for (size_t i = 0; i < items.size(); ++i)
        if (!key.empty() && AccessKeyOf(items[i]->caption) == key) {
          *result = MAKELRESULT(i, MNC_EXECUTE);
          return true;
        }
      *result = MAKELRESULT(0, MNC_IGNORE);
      return true;
    }
    default: return false;
  }
}

void TrayMessage(WPARAM wp, LPARAM lp) {
  auto it = g_trays.find(static_cast<uintptr_t>(wp));
  if (it == g_trays.end()) return;
  TrayIcon* icon = it->second.icon;
  switch (static_cast<UINT>(lp)) {
    case WM_LBUTTONUP: icon->LeftClick(); break;
    case WM_RBUTTONUP: {
      POINT pt;
      GetCursorPos(&pt);
      icon->RightClick(pt.x, pt.y);
      break;
    }
    default: break;  // double clicks do no more than their first click
  }
}

void TrayShellRestarted() {
  for (auto& [id, e] : g_trays) {
    e.shown = false;
    e.icon->Restore();
  }
}

}  // namespace win32

namespace platform {

using namespace win32;

void ShowHint(const std::string& utf8, Point screen) {
  if (!g_hint)
    g_hint =
        CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kHintClass, L"",
                        WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!g_hint) return;
  g_hint_text = utf8;
  SetWindowTextW(g_hint, base::Utf8ToWide(utf8).c_str());  // readable by accessibility tools
  Size sz = skin::HintSize(SharedText(), utf8);
  Size scr = ScreenSize();
  int x = std::clamp(screen.x, 0, std::max(0, scr.width - sz.width));
  int y = screen.y + sz.height > scr.height ? screen.y - sz.height - 24 : screen.y;
  SetWindowPos(g_hint, HWND_TOPMOST, x, std::max(0, y), sz.width, sz.height,
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(g_hint, nullptr, FALSE);
}

void HideHint() {
  if (g_hint) ShowWindow(g_hint, SW_HIDE);
}

int TrackMenu(const PopupMenu& menu, int x, int y) {
  MenuHandle h(CreatePopupMenu());
  if (!h) return -1;
  const auto& items = menu.Items();
  for (size_t i = 0; i < items.size(); ++i) {
    UINT flags = MF_OWNERDRAW | (items[i]->enabled ? 0 : MF_GRAYED);
    AppendMenuW(h.Get(), flags, i + 1, reinterpret_cast<LPCWSTR>(items[i].get()));
  }
  MENUINFO mi{};
  mi.cbSize = sizeof(mi);
  mi.fMask = MIM_BACKGROUND;
  GdiObject brush(CreateSolidBrush(RGB(251, 252, 254)));
  mi.hbrBack = static_cast<HBRUSH>(brush.Get());
  SetMenuInfo(h.Get(), &mi);
  HWND owner = UtilityWindow();
  g_menu = &menu;
  // The owner must be in front, or the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(owner);
  int cmd = TrackPopupMenuEx(h.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, owner,
                             nullptr);
  PostMessageW(owner, WM_NULL, 0, 0);
  g_menu = nullptr;
  return cmd > 0 ? cmd - 1 : -1;
}

uintptr_t TrayRegister(TrayIcon* icon) {
  uintptr_t id = g_next_tray++;
  g_trays[id] = {icon, false};
  return id;
}

void TrayUnregister(uintptr_t id) { g_trays.erase(id); }

void TraySet(uintptr_t id, bool active, const std::string& hint) {
  auto it = g_trays.find(id);
  if (it == g_trays.end()) return;
  NOTIFYICONDATAW d = TrayData(id);
  if (!active) {
    if (it->second.shown) Shell_NotifyIconW(NIM_DELETE, &d);
    it->second.shown = false;
    return;
  }
  d.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
  d.uCallbackMessage = kMsgTray;
  d.hIcon = ProductIcon(GetSystemMetrics(SM_CXSMICON));
  std::wstring tip = base::Utf8ToWide(hint);
  wcsncpy(d.szTip, tip.c_str(), sizeof(d.szTip) / sizeof(d.szTip[0]) - 1);
  if (it->second.shown && Shell_NotifyIconW(NIM_MODIFY, &d)) return;
  it->second.shown = Shell_NotifyIconW(NIM_ADD, &d) != FALSE;
}

bool ClipboardOpen() { return OpenClipboard(UtilityWindow()) != FALSE; }

void ClipboardClose() { CloseClipboard(); }

void ClipboardEmpty() { EmptyClipboard(); }

bool ClipboardSet(uint32_t format, const void* data, size_t size) {
  GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size));
  if (!block) return false;
  void* p = GlobalLock(block.Get());
  if (!p) return false;
  memcpy(p, data, size);
  GlobalUnlock(block.Get());
  if (!SetClipboardData(format, block.Get())) return false;  // the block is freed here
  block.Release();                                           // the clipboard owns it now
  return true;
}

bool ClipboardGet(uint32_t format, std::string* bytes) {
  HANDLE h = GetClipboardData(format);
  if (!h) return false;
  const void* p = GlobalLock(h);
  if (!p) return false;
  bytes->assign(static_cast<const char*>(p), GlobalSize(h));
  GlobalUnlock(h);
  return true;
}

void ShellOpen(const std::string& ansi) {
  ShellExecuteA(nullptr, "open", ansi.c_str(), nullptr, nullptr, SW_SHOW);
}

uintptr_t RegistryOpen(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, base::Utf8ToWide(path).c_str(), 0, KEY_ALL_ACCESS, &key) !=
      ERROR_SUCCESS)
    return 0;
  return reinterpret_cast<uintptr_t>(key);
}

void RegistryClose(uintptr_t key) { RegCloseKey(reinterpret_cast<HKEY>(key)); }

bool RegistrySetString(uintptr_t key, const std::string& name, const std::string& value) {
  std::wstring n = base::Utf8ToWide(name), v = base::Utf8ToWide(value);
  DWORD bytes = static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t));  // with the terminating zero
  return RegSetValueExW(reinterpret_cast<HKEY>(key), n.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(v.c_str()), bytes) == ERROR_SUCCESS;
}

bool RegistryDelete(uintptr_t key, const std::string& name) {
  return RegDeleteValueW(reinterpret_cast<HKEY>(key), base::Utf8ToWide(name).c_str()) ==
         ERROR_SUCCESS;
}

}  // namespace platform
}  // namespace tk
