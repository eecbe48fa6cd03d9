#include "ui/dialogs/dialogs.h"

#include "ui/artwork.h"

namespace ui {
namespace {
// Secondary windows open centred over the main window's opening place.
void PlaceDialog(tk::Form& f, int w, int h, int bitmap_h) {
  f.SetBounds(372 + (501 - w) / 2, 133 + (373 - h) / 2, w, h);
  tk::Bitmap bmp = DialogBackground(w, bitmap_h);
  bmp.height = h;  // the window shows the top rows only
  bmp.pixels.resize(static_cast<size_t>(w) * h);
  f.SetBackground(std::move(bmp));
}
}  // namespace

TForm2::TForm2() : tk::Form("Form2", "Настройка") { PlaceDialog(*this, 305, 164, 164); }
TForm3::TForm3() : tk::Form("Form3", "Редактор радиостанции") { PlaceDialog(*this, 497, 164, 165); }
TForm4::TForm4() : tk::Form("Form4", "Обновление Тиволны") { PlaceDialog(*this, 302, 135, 136); }

}  // namespace ui
