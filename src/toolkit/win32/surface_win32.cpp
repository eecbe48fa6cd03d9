// Drawing surfaces and GDI text.
#include <algorithm>
#include <tuple>

#include "base/codepage.h"
#include "toolkit/win32/win32.h"

namespace tk::win32 {

bool Surface::Ensure(int w, int h) {
  if (w <= width_ && h <= height_ && bits_) return true;
  w = std::max(w, width_);
  h = std::max(h, height_);
  if (!dc_) dc_.Reset(CreateCompatibleDC(nullptr));
  if (!dc_) return false;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc_.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp) return false;
  if (old_) SelectObject(dc_.Get(), old_);  // let go of the old bitmap before it is freed
  old_ = SelectObject(dc_.Get(), bmp);
  bitmap_.Reset(bmp);
  bits_ = bits;
  width_ = w;
  height_ = h;
  return true;
}

Surface& Scratch() {
  static Surface* s = new Surface();  // user-interface thread only
  return *s;
}

HFONT FontHandle(const Font& f) {
  using Key = std::tuple<std::string, int, int>;
  static auto* cache = new std::map<Key, GdiObject>();
  Key key{f.name, f.height, f.style};
  auto it = cache->find(key);
  if (it != cache->end()) return static_cast<HFONT>(it->second.Get());
  LOGFONTW lf{};
  lf.lfHeight = -f.height;  // character height in pixels
  lf.lfWeight = (f.style & kBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (f.style & kItalic) ? TRUE : FALSE;
  lf.lfUnderline = (f.style & kUnderline) ? TRUE : FALSE;
  lf.lfStrikeOut = (f.style & kStrikeOut) ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = ANTIALIASED_QUALITY;  // grey smoothing: no colour fringes on skinned faces
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  std::wstring name = base::Utf8ToWide(f.name);
  wcsncpy(lf.lfFaceName, name.c_str(), LF_FACESIZE - 1);
  HFONT h = CreateFontIndirectW(&lf);
  (*cache)[key] = GdiObject(h);
  return h;
}

Size GdiText::Measure(const std::string& utf8, const Font& font) {
  Selected sel(dc_, FontHandle(font));
  std::wstring w = base::Utf8ToWide(utf8);
  SIZE sz{0, 0};
  if (!w.empty()) GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &sz);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc_, &tm);
  return {static_cast<int>(sz.cx), static_cast<int>(tm.tmHeight)};
}

void GdiText::Draw(const std::string& utf8, const Font& font, Colour colour, int x, int y,
                   const Rect& clip) {
  if (utf8.empty() || clip.Empty()) return;
  Selected sel(dc_, FontHandle(font));
  std::wstring w = base::Utf8ToWide(utf8);
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, RGB(RedOf(colour), GreenOf(colour), BlueOf(colour)));
  SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  RECT rc{clip.left, clip.top, clip.Right(), clip.Bottom()};
  ExtTextOutW(dc_, x, y, ETO_CLIPPED, &rc, w.c_str(), static_cast<UINT>(w.size()), nullptr);
}

}  // namespace tk::win32
