#include "ui/dialogs/dialogs.h"

#include "app/build_config.h"
#include "app/player_state.h"
#include "app/settings.h"
#include "toolkit/components.h"
#include "toolkit/skin.h"
#include "ui/artwork.h"
#include "ui/dialogs/dialog_layout.h"
#include "ui/forms.h"
#include "ui/main/form1.h"

namespace ui {

using tk::Cursor;

TForm2::TForm2()
    : tk::Form("Form2", "Настройка"), Image1(this, "Image1", {}),
      Image3(this, "Image3", settings_layout::kImage3),
      Image2(this, "Image2", settings_layout::kImage2),
      sLabel1(this, "sLabel1", settings_layout::kSLabel1,
              tk::skin::MakeFont(kTitleFace, 16, tk::kBold)),
      RbPanel1(this, "RbPanel1", settings_layout::kRbPanel1, 10, 2),
      sCheckBox3(this, "sCheckBox3", settings_layout::kSCheckBox3,
                 "Запускать Тиволну при старте системы"),
      sCheckBox2(this, "sCheckBox2", settings_layout::kSCheckBox2,
                 "Автоматически проверять обновления"),
      sCheckBox1(this, "sCheckBox1", settings_layout::kSCheckBox1,
                 "Включать последнюю выбранную станцию"),
      sButton1(this, "sButton1", settings_layout::kSButton1),
      sButton3(this, "sButton3", settings_layout::kSButton3),
      sBitBtn1(this, "sBitBtn1", settings_layout::kSBitBtn1) {
  PlaceDialog(*this, Image1, settings_layout::kWidth, settings_layout::kHeight,
              settings_layout::kPictureHeight);
  Image1.OnMouseDown = [this](const tk::MouseArgs& a) { Image1MouseDown(a); };
  Image3.SetPicture(art::DialogIcon(art::DialogPicture::kSettings));
  Image3.OnMouseDown = [this](const tk::MouseArgs& a) { Image3MouseDown(a); };
  Image2.SetCursor(Cursor::kHand);  // an empty area over the artwork's close mark
  Image2.OnClick = [this] { Image2Click(); };
  sLabel1.SetCaption("Запуск Тиволны");
  sLabel1.OnMouseDown = [this](const tk::MouseArgs& a) { sLabel1MouseDown(a); };
  sCheckBox2.SetFont(tk::skin::MakeFont(kDialogFace, 12));
  for (tk::CheckBox* b : {&sCheckBox3, &sCheckBox1})
    b->SetFont(tk::skin::MakeFont(kDialogFace, kDialogFontHeight));
  for (tk::CheckBox* b : {&sCheckBox3, &sCheckBox2, &sCheckBox1}) b->SetCursor(Cursor::kHand);
  sCheckBox3.OnClick = [this] { sCheckBox3Click(); };
  sCheckBox2.OnClick = [this] { sCheckBox2Click(); };
  sCheckBox1.OnClick = [this] { sCheckBox1Click(); };
  struct {
    tk::Button* b;
    const char* caption;
  } buttons[] = {{&sButton1, "ОК"}, {&sButton3, "Справка"}, {&sBitBtn1, "Применить"}};
  for (auto& x : buttons) {
    x.b->SetCaption(x.caption);
    x.b->SetFont(tk::skin::MakeFont(kDialogFace, kDialogFontHeight));
    x.b->SetCursor(Cursor::kHand);
  }
  sButton1.OnClick = [this] { sButton1Click(); };
  sButton3.OnClick = [this] { sButton3Click(); };
  sBitBtn1.OnClick = [this] { sBitBtn1Click(); };
  sBitBtn1.SetEnabled(false);
  // The boxes top to bottom, then the buttons left to right.
  SetTabOrder({&sCheckBox3, &sCheckBox2, &sCheckBox1, &sButton1, &sButton3, &sBitBtn1});
}

// The process-wide pointer never outlives its window.
TForm2::~TForm2() {
  if (Form2 == this) Form2 = nullptr;
}

void TForm2::Open() {
  using namespace settings_layout;
  const app::PlayerState& st = app::State();
  // Ticks the boxes of settings that are on; never clears one.
  if (st.AutorunEnabled == 1) sCheckBox3.SetChecked(true);
  if (st.CheckUpdates == 1) sCheckBox2.SetChecked(true);
  if (st.OpenLast) sCheckBox1.SetChecked(true);
  int half = tk::ScreenSize().width / 2;
  int left = Form1->Left() < half ? Form1->Left() + kRightOfMain : Form1->Left() + kLeftOfMain;
  SetPosition(left, Form1->Top() + kBelowMainTop);
  if (Visible())
    Hide();
  else
    Show();
  sBitBtn1.SetEnabled(false);
}

void TForm2::Image1MouseDown(const tk::MouseArgs&) { DragMove(); }
void TForm2::sLabel1MouseDown(const tk::MouseArgs&) { DragMove(); }
void TForm2::Image3MouseDown(const tk::MouseArgs&) { DragMove(); }
void TForm2::Image2Click() { Hide(); }
void TForm2::sButton1Click() { Hide(); }
void TForm2::sButton3Click() { tk::ShellOpen(std::string(app::kProductSiteUrl) + "/help.html"); }

void TForm2::sCheckBox3Click() {
  sBitBtn1.SetEnabled(true);
  app::State().AutorunEnabled = sCheckBox3.Checked() ? 1 : 0;
}

void TForm2::sCheckBox2Click() {
  sBitBtn1.SetEnabled(true);
  app::State().CheckUpdates = sCheckBox2.Checked() ? 1 : 0;
}

void TForm2::sCheckBox1Click() { sBitBtn1.SetEnabled(true); }

void TForm2::sBitBtn1Click() {
  sBitBtn1.SetEnabled(false);
  app::PlayerState& st = app::State();
  app::ConfigValues v;
  v.check_updates = sCheckBox2.Checked();
  v.open_last = sCheckBox1.Checked();
  v.start_volume = Form1->sTrackBar1.Position();
  v.last_number = st.CurrentStation > 0 ? st.CurrentStation : -1;
  v.autorun = sCheckBox3.Checked();
  app::WriteConfig(v, [&] {
    st.CheckUpdates = v.check_updates ? 1 : 0;
    st.OpenLast = v.open_last;
  });
}

}  // namespace ui
