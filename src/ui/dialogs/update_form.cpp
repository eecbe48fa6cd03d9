#include "ui/dialogs/dialogs.h"

#include "app/build_config.h"
#include "toolkit/components.h"
#include "toolkit/skin.h"
#include "ui/dialogs/dialog_layout.h"
#include "ui/forms.h"

namespace ui {

using tk::Cursor;

TForm4::TForm4()
    : tk::Form("Form4", "Обновление Тиволны"), Image1(this, "Image1", {}),
      Image2(this, "Image2", notice_layout::kImage2),
      sLabel1(this, "sLabel1", notice_layout::kSLabel1,
              tk::skin::MakeFont(kDialogFace, 19, 0, tk::Rgb(0, 128, 0))),
      sButton1(this, "sButton1", notice_layout::kSButton1),
      sButton2(this, "sButton2", notice_layout::kSButton2) {
  PlaceDialog(*this, Image1, notice_layout::kWidth, notice_layout::kHeight,
              notice_layout::kPictureHeight);
  Image1.SetCursor(Cursor::kHand);
  Image1.OnMouseDown = [this](const tk::MouseArgs& a) { Image1MouseDown(a); };
  Image2.SetCursor(Cursor::kHand);
  Image2.OnClick = [this] { Image2Click(); };
  sLabel1.SetAlignment(tk::Align::kCentre);
  sLabel1.SetCaption("Тиволна\nДоступно обновление");
  sLabel1.OnMouseDown = [this](const tk::MouseArgs& a) { sLabel1MouseDown(a); };
  sButton1.SetCaption("Страница обновления");
  sButton1.SetCursor(Cursor::kHand);
  sButton2.SetCaption("Закрыть");
  for (tk::Button* b : {&sButton1, &sButton2})
    b->SetFont(tk::skin::MakeFont(kDialogFace, kDialogFontHeight));
  sButton1.OnClick = [this] { sButton1Click(); };
  sButton2.OnClick = [this] { sButton2Click(); };
  SetTabOrder({&sButton1, &sButton2});
}

// The process-wide pointer never outlives its window.
TForm4::~TForm4() {
  if (Form4 == this) Form4 = nullptr;
}

void TForm4::FormShow() {
  tk::Size scr = tk::ScreenSize();
  SetPosition(scr.width / 2 - notice_layout::kHalfWidthLess,
              scr.height / 2 - notice_layout::kHalfHeightLess);
}

void TForm4::sButton1Click() {
  tk::ShellOpen(std::string(app::kProductSiteUrl) + "/download.html");
}
void TForm4::sButton2Click() { Hide(); }
void TForm4::Image2Click() { Hide(); }
void TForm4::Image1MouseDown(const tk::MouseArgs&) { DragMove(); }
void TForm4::sLabel1MouseDown(const tk::MouseArgs&) { DragMove(); }

}  // namespace ui
