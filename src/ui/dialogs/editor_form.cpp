#include "ui/dialogs/dialogs.h"

#include "app/player_state.h"
#include "base/codepage.h"
#include "catalogue/station_store.h"
#include "imaging/picture.h"
#include "toolkit/skin.h"
#include "ui/artwork.h"
#include "ui/dialogs/dialog_layout.h"
#include "ui/forms.h"
#include "ui/main/form1.h"

namespace ui {

using tk::Cursor;

const char kNamePlaceholder[] = "Название радиостанции";
const char kAddressPlaceholder[] = "Ссылка на трансляцию";

TForm3::TForm3()
    : tk::Form("Form3", "Редактор радиостанции"), Image1(this, "Image1", {}),
      Image4(this, "Image4", editor_layout::kImage4),
      Image2(this, "Image2", editor_layout::kImage2),
      sLabel1(this, "sLabel1", editor_layout::kSLabel1,
              tk::skin::MakeFont(kTitleFace, 17, tk::kBold)),
      RbPanel1(this, "RbPanel1", editor_layout::kRbPanel1, 10, 2),
      Image3(this, "Image3", editor_layout::kImage3),
      sEdit1(this, "sEdit1", editor_layout::kSEdit1),
      sEdit2(this, "sEdit2", editor_layout::kSEdit2),
      sButton1(this, "sButton1", editor_layout::kSButton1),
      sButton2(this, "sButton2", editor_layout::kSButton2),
      sCheckBox1(this, "sCheckBox1", editor_layout::kSCheckBox1,
                 "Использовать альтернативный способ подключения (WMP)") {
  PlaceDialog(*this, Image1, editor_layout::kWidth, editor_layout::kHeight,
              editor_layout::kPictureHeight);
  Image1.OnMouseDown = [this](const tk::MouseArgs& a) { Image1MouseDown(a); };
  Image4.SetPicture(art::DialogIcon(art::DialogPicture::kEditor));
  Image2.SetCursor(Cursor::kHand);
  Image2.OnClick = [this] { Image2Click(); };
  sLabel1.SetCaption("Редактор радиостанции");
  sLabel1.OnMouseDown = [this](const tk::MouseArgs& a) { sLabel1MouseDown(a); };
  Image3.SetStretch(true);
  for (tk::Edit* e : {&sEdit1, &sEdit2}) e->SetFont(tk::skin::MakeFont(kDialogFace, 16));
  sEdit1.SetText(kNamePlaceholder);
  sEdit2.SetText(kAddressPlaceholder);
  sEdit1.OnClick = [this] { sEdit1Click(); };
  sEdit2.OnClick = [this] { sEdit2Click(); };
  sCheckBox1.SetFont(tk::skin::MakeFont(kDialogFace, 12));
  sCheckBox1.SetWordWrap(true);
  sButton1.SetCaption("Сохранить");
  sButton2.SetCaption("ОК");
  for (tk::Button* b : {&sButton1, &sButton2}) {
    b->SetFont(tk::skin::MakeFont(kDialogFace, 13));
    b->SetCursor(Cursor::kHand);
  }
  sButton1.OnClick = [this] { sButton1Click(); };
  sButton2.OnClick = [this] { sButton2Click(); };
  SetTabOrder({&sEdit1, &sEdit2, &sButton1, &sButton2, &sCheckBox1});
}

// The process-wide pointer never outlives its window.
TForm3::~TForm3() {
  if (Form3 == this) Form3 = nullptr;
}

void TForm3::Open() {
  using namespace editor_layout;
  int half = tk::ScreenSize().height / 2;
  SetPosition(Form1->Left() + kRightOfMainLeft,
              Form1->Top() < half ? Form1->Top() + kBelowMain : Form1->Top() + kAboveMain);
  if (Form1->RxLabel6.Caption() == kDefaultTitle) return;  // no station chosen yet
  if (Visible())
    Hide();
  else
    Show();
  FillStationEditor();
}

void TForm3::FillStationEditor() {
  const app::PlayerState& st = app::State();
  sEdit1.SetText(Form1->RxLabel6.Caption());
  sEdit2.SetText(base::Cp1251ToUtf8(st.CurrentStreamUrl));
  sCheckBox1.SetChecked(st.CurrentEngine == "1");
  std::string ext = st.LogoExtensions.Get(st.CurrentStation);
  imaging::Kind kind;
  if (imaging::KindOfExtension(ext, &kind))
    Image3.SetPicture(
        imaging::LoadPicture(catalogue::LogoFilePath(st.CurrentStation, ext), kind,
                             {editor_layout::kImage3.width, editor_layout::kImage3.height}));
}

void TForm3::sEdit1Click() {
  if (sEdit1.Text() == kNamePlaceholder) sEdit1.SetText("");
}

void TForm3::sEdit2Click() {
  if (sEdit2.Text() == kAddressPlaceholder) sEdit2.SetText("");
}

void TForm3::sButton1Click() {
  app::PlayerState& st = app::State();
  // Texts as typed (one line each); the file is replaced whole or not at all.
  std::string url = base::Utf8ToCp1251(tk::Edit::OneLine(sEdit2.Text()));
  std::string name = tk::Edit::OneLine(sEdit1.Text());
  std::string engine = sCheckBox1.Checked() ? "1" : "0";
  catalogue::WriteStationFile(st.CurrentStation, url, base::Utf8ToCp1251(name), &engine);
  st.CurrentStreamUrl = url;
  Form1->RxLabel6.SetCaption(base::Cp1251ToUtf8(base::Utf8ToCp1251(name)));
}

void TForm3::sButton2Click() { Hide(); }
void TForm3::Image2Click() { Hide(); }
void TForm3::Image1MouseDown(const tk::MouseArgs&) { DragMove(); }
void TForm3::sLabel1MouseDown(const tk::MouseArgs&) { DragMove(); }

}  // namespace ui
