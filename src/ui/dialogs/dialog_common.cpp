#include "ui/dialogs/dialog_layout.h"

#include "ui/artwork.h"
#include "ui/main/layout.h"

namespace ui {

void PlaceDialog(tk::Form& f, tk::Image& background, int w, int h, int picture_h) {
  using layout::kForm1;
  f.SetBounds(kForm1.left + (kForm1.width - w) / 2, kForm1.top + (kForm1.height - h) / 2, w, h);
  background.SetBounds({0, 0, w, h});
  background.SetPicture(art::DialogBackground(w, picture_h));
  background.OnMouseDown = [&f](const tk::MouseArgs&) { f.DragMove(); };
}

}  // namespace ui
