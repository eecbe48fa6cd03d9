// Lists the program's windows for the end-to-end tests: run under the same wine prefix as the
// player. Prints one line per window, UTF-8, tab-separated:
//   top|child <hwnd> <parent> <pid> <visible> <enabled> <left>,<top>,<width>,<height> <class> <text>
// Top-level windows come by ascending handle (not creation order: handle slots are reused),
// each followed by its children.
// With an argument, only top-level windows of that class are listed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  for (char& c : s)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return s;
}

std::wstring ClassOf(HWND h) {
  wchar_t buf[256] = {};
  GetClassNameW(h, buf, 255);
  return buf;
}

std::wstring TextOf(HWND h) {
  // WM_GETTEXT through SendMessageTimeout, so a hung window does not hang the probe.
  wchar_t buf[1024] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, 1023, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000,
                      &got);
  return buf;
}

void Print(const char* kind, HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  if (std::string(kind) == "child")
    MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  std::printf("%s\t%llu\t%llu\t%lu\t%d\t%d\t%ld,%ld,%ld,%ld\t%s\t%s\n", kind,
              static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)),
              static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(GetParent(h))),
              static_cast<unsigned long>(pid), IsWindowVisible(h) ? 1 : 0,
              IsWindowEnabled(h) ? 1 : 0, r.left, r.top, r.right - r.left, r.bottom - r.top,
              Utf8(ClassOf(h)).c_str(), Utf8(TextOf(h)).c_str());
}

BOOL CALLBACK CollectTop(HWND h, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  return TRUE;
}

BOOL CALLBACK PrintChild(HWND h, LPARAM) {
  Print("child", h);
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<HWND> tops;
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&tops));
  std::sort(tops.begin(), tops.end());
  for (HWND h : tops) {
    if (argc > 1 && ClassOf(h) != argv[1]) continue;
    Print("top", h);
    EnumChildWindows(h, PrintChild, 0);
  }
  std::fflush(stdout);
  return 0;
}
