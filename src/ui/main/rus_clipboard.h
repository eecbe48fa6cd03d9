#pragma once
#include "toolkit/components.h"

namespace ui {

// The clipboard that tags everything it writes with the Russian locale, so that programs
// asking for Unicode text get the Cyrillic of the 8-bit text, whatever the system's code page.
class TRusClipboard : public tk::Clipboard {
 public:
  static constexpr uint32_t kRussianLocale = 1049;
  void Open() override;
  void Close() override;

 private:
  void SetLocale();
};

}  // namespace ui
