#pragma once
#include "toolkit/toolkit.h"

namespace ui {

// Settings window.
class TForm2 : public tk::Form {
 public:
  TForm2();
  tk::Image Image1;
};

// Station editor.
class TForm3 : public tk::Form {
 public:
  TForm3();
  tk::Image Image1;
};

// Update notice.
class TForm4 : public tk::Form {
 public:
  TForm4();
  tk::Image Image1;
};

}  // namespace ui
