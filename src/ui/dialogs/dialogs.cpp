#include "ui/dialogs/dialogs.h"

#include "ui/artwork.h"
#include "ui/main/layout.h"

namespace ui {
namespace {

using layout::kForm1;

// Secondary windows open centred over the main window's opening place; the background
// picture may be taller than the window, which shows its top rows.
void PlaceDialog(tk::Form& f, tk::Image& background, int w, int h, int picture_h) {
  f.SetBounds(kForm1.left + (kForm1.width - w) / 2, kForm1.top + (kForm1.height - h) / 2, w, h);
  background.SetBounds({0, 0, w, h});
  background.SetPicture(art::DialogBackground(w, picture_h));
  background.OnMouseDown = [&f](const tk::MouseArgs&) { f.DragMove(); };
}

}  // namespace

TForm2::TForm2() : tk::Form("Form2", "Настройка"), Image1(this, "Image1", {}) {
  PlaceDialog(*this, Image1, 305, 164, 164);
}
TForm3::TForm3() : tk::Form("Form3", "Редактор радиостанции"), Image1(this, "Image1", {}) {
  PlaceDialog(*this, Image1, 497, 164, 165);
}
TForm4::TForm4() : tk::Form("Form4", "Обновление Тиволны"), Image1(this, "Image1", {}) {
  PlaceDialog(*this, Image1, 302, 135, 136);
}

}  // namespace ui
