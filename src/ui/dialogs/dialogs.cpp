#include "ui/dialogs/dialogs.h"

#include "app/build_config.h"
#include "app/player_state.h"
#include "app/settings.h"
#include "base/codepage.h"
#include "catalogue/station_store.h"
#include "imaging/picture.h"
#include "toolkit/components.h"
#include "ui/artwork.h"
#include "ui/forms.h"
#include "ui/main/form1.h"
#include "ui/main/layout.h"

namespace ui {
namespace {

using layout::kForm1;
using tk::Cursor;

// The secondary windows' default font: MS Sans Serif, 8 points.
tk::Font DialogFont(int height = 11, uint8_t style = 0, tk::Colour colour = tk::Rgb(0, 0, 0),
                    const char* name = "MS Sans Serif") {
  tk::Font f;
  f.name = name;
  f.height = height;
  f.style = style;
  f.colour = colour;
  return f;
}

// Secondary windows open centred over the main window's opening place; the background
// picture may be taller than the window, which shows its top rows.
void PlaceDialog(tk::Form& f, tk::Image& background, int w, int h, int picture_h) {
  f.SetBounds(kForm1.left + (kForm1.width - w) / 2, kForm1.top + (kForm1.height - h) / 2, w, h);
  background.SetBounds({0, 0, w, h});
  background.SetPicture(art::DialogBackground(w, picture_h));
  background.OnMouseDown = [&f](const tk::MouseArgs&) { f.DragMove(); };
}

}  // namespace

// --- Settings window ---

namespace settings_layout {
constexpr tk::Rect kImage2{264, 4, 32, 26};
constexpr tk::Rect kSLabel1{41, 12, 158, 19};
constexpr tk::Rect kImage3{11, 10, 26, 26};
constexpr tk::Rect kRbPanel1{6, 38, 294, 120};
// The check boxes reach the panel's inner edge (x 296), so captions in wider stand-in fonts
// still fit.
constexpr int kPanelInnerRight = 296;
constexpr tk::Rect kSCheckBox3{33, 48, kPanelInnerRight - 33, 19};
constexpr tk::Rect kSCheckBox2{56, 73, kPanelInnerRight - 56, 19};
constexpr tk::Rect kSCheckBox1{37, 98, kPanelInnerRight - 37, 19};
constexpr tk::Rect kSButton1{16, 123, 69, 25};
constexpr tk::Rect kSButton3{156, 125, 65, 25};
constexpr tk::Rect kSBitBtn1{226, 125, 68, 25};
// Beside the main window: to its right, or to its left in the right half of the screen.
constexpr int kRightOfMain = 497, kLeftOfMain = -301, kBelowMainTop = 208;
}  // namespace settings_layout

TForm2::TForm2()
    : tk::Form("Form2", "Настройка"),
      Image1(this, "Image1", {}),
      Image3(this, "Image3", settings_layout::kImage3),
      Image2(this, "Image2", settings_layout::kImage2),
      sLabel1(this, "sLabel1", settings_layout::kSLabel1, DialogFont(16, tk::kBold, tk::Rgb(0, 0, 0), "Century Gothic")),
      RbPanel1(this, "RbPanel1", settings_layout::kRbPanel1, 10, 2),
      sCheckBox3(this, "sCheckBox3", settings_layout::kSCheckBox3, "Запускать Тиволну при старте системы"),
      sCheckBox2(this, "sCheckBox2", settings_layout::kSCheckBox2, "Автоматически проверять обновления"),
      sCheckBox1(this, "sCheckBox1", settings_layout::kSCheckBox1, "Включать последнюю выбранную станцию"),
      sButton1(this, "sButton1", settings_layout::kSButton1),
      sButton3(this, "sButton3", settings_layout::kSButton3),
      sBitBtn1(this, "sBitBtn1", settings_layout::kSBitBtn1) {
  PlaceDialog(*this, Image1, 305, 164, 164);
  Image1.OnMouseDown = [this](const tk::MouseArgs& a) { Image1MouseDown(a); };
  Image3.SetPicture(art::DialogIcon(art::DialogPicture::kSettings));
  Image3.OnMouseDown = [this](const tk::MouseArgs& a) { Image3MouseDown(a); };
  Image2.SetCursor(Cursor::kHand);  // an empty area over the artwork's close mark
  Image2.OnClick = [this] { Image2Click(); };
  sLabel1.SetCaption("Запуск Тиволны");
  sLabel1.OnMouseDown = [this](const tk::MouseArgs& a) { sLabel1MouseDown(a); };
  sCheckBox2.SetFont(DialogFont(12));
  for (tk::CheckBox* b : {&sCheckBox3, &sCheckBox1}) b->SetFont(DialogFont());
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
    x.b->SetFont(DialogFont());
    x.b->SetCursor(Cursor::kHand);
  }
  sButton1.OnClick = [this] { sButton1Click(); };
  sButton3.OnClick = [this] { sButton3Click(); };
  sBitBtn1.OnClick = [this] { sBitBtn1Click(); };
  sBitBtn1.SetEnabled(false);
  // The boxes top to bottom, then the buttons left to right.
  SetTabOrder({&sCheckBox3, &sCheckBox2, &sCheckBox1, &sButton1, &sButton3, &sBitBtn1});
}

// The process-wide pointers never outlive their windows.
TForm2::~TForm2() {
  if (Form2 == this) Form2 = nullptr;
}
TForm3::~TForm3() {
  if (Form3 == this) Form3 = nullptr;
}
TForm4::~TForm4() {
  if (Form4 == this) Form4 = nullptr;
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

// --- Station editor ---

const char kNamePlaceholder[] = "Название радиостанции";
const char kAddressPlaceholder[] = "Ссылка на трансляцию";

namespace editor_layout {
constexpr tk::Rect kImage2{459, 8, 32, 25};
constexpr tk::Rect kSLabel1{40, 13, 214, 19};
constexpr tk::Rect kImage4{13, 10, 25, 26};
constexpr tk::Rect kRbPanel1{5, 37, 488, 122};
constexpr tk::Rect kImage3{10, 41, 85, 82};
constexpr tk::Rect kSCheckBox1{98, 107, 333, 19};
constexpr tk::Rect kSEdit1{100, 41, 390, 28};
constexpr tk::Rect kSEdit2{100, 74, 390, 28};
constexpr tk::Rect kSButton1{280, 129, 102, 27};
constexpr tk::Rect kSButton2{388, 129, 102, 27};
// Below the main window, or above it in the screen's lower half.
constexpr int kRightOfMainLeft = 2, kBelowMain = 369, kAboveMain = -158;
}  // namespace editor_layout

TForm3::TForm3()
    : tk::Form("Form3", "Редактор радиостанции"),
      Image1(this, "Image1", {}),
      Image4(this, "Image4", editor_layout::kImage4),
      Image2(this, "Image2", editor_layout::kImage2),
      sLabel1(this, "sLabel1", editor_layout::kSLabel1, DialogFont(17, tk::kBold, tk::Rgb(0, 0, 0), "Century Gothic")),
      RbPanel1(this, "RbPanel1", editor_layout::kRbPanel1, 10, 2),
      Image3(this, "Image3", editor_layout::kImage3),
      sEdit1(this, "sEdit1", editor_layout::kSEdit1),
      sEdit2(this, "sEdit2", editor_layout::kSEdit2),
      sButton1(this, "sButton1", editor_layout::kSButton1),
      sButton2(this, "sButton2", editor_layout::kSButton2),
      sCheckBox1(this, "sCheckBox1", editor_layout::kSCheckBox1, "Использовать альтернативный способ подключения (WMP)") {
  PlaceDialog(*this, Image1, 497, 164, 165);
  Image1.OnMouseDown = [this](const tk::MouseArgs& a) { Image1MouseDown(a); };
  Image4.SetPicture(art::DialogIcon(art::DialogPicture::kEditor));
  Image2.SetCursor(Cursor::kHand);
  Image2.OnClick = [this] { Image2Click(); };
  sLabel1.SetCaption("Редактор радиостанции");
  sLabel1.OnMouseDown = [this](const tk::MouseArgs& a) { sLabel1MouseDown(a); };
  Image3.SetStretch(true);
  for (tk::Edit* e : {&sEdit1, &sEdit2}) e->SetFont(DialogFont(16));
  sEdit1.SetText(kNamePlaceholder);
  sEdit2.SetText(kAddressPlaceholder);
  sEdit1.OnClick = [this] { sEdit1Click(); };
  sEdit2.OnClick = [this] { sEdit2Click(); };
  sCheckBox1.SetFont(DialogFont(12));
  sCheckBox1.SetWordWrap(true);
  sButton1.SetCaption("Сохранить");
  sButton2.SetCaption("ОК");
  for (tk::Button* b : {&sButton1, &sButton2}) {
    b->SetFont(DialogFont(13));
    b->SetCursor(Cursor::kHand);
  }
  sButton1.OnClick = [this] { sButton1Click(); };
  sButton2.OnClick = [this] { sButton2Click(); };
  SetTabOrder({&sEdit1, &sEdit2, &sButton1, &sButton2, &sCheckBox1});
}

void TForm3::Open() {
  using namespace editor_layout;
  int half = tk::ScreenSize().height / 2;
  SetPosition(Form1->Left() + kRightOfMainLeft, Form1->Top() < half ? Form1->Top() + kBelowMain : Form1->Top() + kAboveMain);
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
    Image3.SetPicture(imaging::LoadPicture(catalogue::LogoFilePath(st.CurrentStation, ext), kind,
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

// --- Update notice ---

namespace notice_layout {
constexpr tk::Rect kImage2{260, 4, 32, 25};
constexpr tk::Rect kSLabel1{53, 22, 201, 48};
constexpr tk::Rect kSButton1{150, 88, 129, 25};
constexpr tk::Rect kSButton2{32, 88, 105, 25};
// Centred: half the screen less these.
constexpr int kHalfWidthLess = 150, kHalfHeightLess = 100;
}  // namespace notice_layout

TForm4::TForm4()
    : tk::Form("Form4", "Обновление Тиволны"),
      Image1(this, "Image1", {}),
      Image2(this, "Image2", notice_layout::kImage2),
      sLabel1(this, "sLabel1", notice_layout::kSLabel1, DialogFont(19, 0, tk::Rgb(0, 128, 0))),
      sButton1(this, "sButton1", notice_layout::kSButton1),
      sButton2(this, "sButton2", notice_layout::kSButton2) {
  PlaceDialog(*this, Image1, 302, 135, 136);
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
  for (tk::Button* b : {&sButton1, &sButton2}) b->SetFont(DialogFont());
  sButton1.OnClick = [this] { sButton1Click(); };
  sButton2.OnClick = [this] { sButton2Click(); };
  SetTabOrder({&sButton1, &sButton2});
}

void TForm4::FormShow() {
  tk::Size scr = tk::ScreenSize();
  SetPosition(scr.width / 2 - notice_layout::kHalfWidthLess, scr.height / 2 - notice_layout::kHalfHeightLess);
}

void TForm4::sButton1Click() { tk::ShellOpen(std::string(app::kProductSiteUrl) + "/download.html"); }
void TForm4::sButton2Click() { Hide(); }
void TForm4::Image2Click() { Hide(); }
void TForm4::Image1MouseDown(const tk::MouseArgs&) { DragMove(); }
void TForm4::sLabel1MouseDown(const tk::MouseArgs&) { DragMove(); }

}  // namespace ui
