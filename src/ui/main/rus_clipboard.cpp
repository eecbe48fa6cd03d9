#include "ui/main/rus_clipboard.h"

namespace ui {

void TRusClipboard::Open() {
  tk::Clipboard::Open();
  SetLocale();
}

void TRusClipboard::Close() {
  SetLocale();
  tk::Clipboard::Close();
}

void TRusClipboard::SetLocale() {
  // A failed hand-over frees the block again; nothing is reported.
  const uint32_t lcid = kRussianLocale;
  PutData(tk::kCfLocale, &lcid, sizeof(lcid));
}

}  // namespace ui
