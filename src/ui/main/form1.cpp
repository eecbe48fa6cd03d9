#include "ui/main/form1.h"

#include <cstring>

#include "app/build_config.h"
#include "app/player_state.h"
#include "catalogue/rebuild.h"
#include "catalogue/station_store.h"
#include "playback/audio_library.h"
#include "playback/stream_worker.h"
#include "toolkit/skin.h"
#include "ui/artwork.h"
#include "ui/forms.h"
#include "ui/main/layout.h"

namespace ui {

const char kDefaultTitle[] = "Тиволна - Бесплатное радио!";
const char kCopiedMessage[] = "Название композиции сохранено в буфер.";
const char kMuteHint[] = "Выключить звук";
const char kUnmuteHint[] = "Включить звук";
const char kAddFavouriteHint[] = "Добавить в избранное";
const char kAddFavouriteHintLatinE[] = "Добавить в избранноe";
const char kAddFavouriteHintToggle[] = "Добавить в избранного";
const char kRemoveFavouriteHint[] = "Убрать из избранного";
const char kEmptyCatalogueText[] =
    "Каталог радиостанций пуст\n"
    "В папке Stations рядом с программой нет ни одной станции с логотипом.\n"
    "Добавьте станцию: вставьте её адрес (Ctrl+V) или перетащите сюда\n"
    "адрес либо файл плейлиста (.m3u, .pls, .asx, .url).\n"
    "Чтобы вернуть весь каталог, установите Тиволну заново.";

namespace {

using namespace layout;
using tk::Cursor;
using tk::Font;
using tk::skin::MakeFont;

constexpr tk::Colour kBlack = tk::Rgb(0, 0, 0);
constexpr int kVkAdd = 0x6B, kVkSubtract = 0x6D;
constexpr int kVkMediaPlayPause = 0xB3, kVkMediaStop = 0xB2;

tk::Colour WindowText() { return tk::SystemColour(tk::SystemColourIndex::kWindowText); }

void Picture(tk::Image& img, tk::Bitmap bmp, const char* hint, Cursor cursor = Cursor::kHand) {
  img.SetPicture(std::move(bmp));
  img.SetHint(hint);
  img.SetCursor(cursor);
}

void Shadowed(tk::Label& l, const char* caption, const char* hint, Cursor cursor) {
  l.SetShadow(true, tk::skin::kHighlight);
  l.SetCaption(caption);
  l.SetHint(hint);
  l.SetCursor(cursor);
}

}  // namespace

TForm1::TForm1()
    : tk::Form("Form1", kProductTitle), Image1(this, "Image1", kImage1),
      Image3(this, "Image3", kImage3), Image4(this, "Image4", kImage4),
      Image5(this, "Image5", kImage5), Image2(this, "Image2", kImage2),
      Image8(this, "Image8", kImage8), Image7(this, "Image7", kImage7),
      Image6(this, "Image6", kImage6),
      RxLabel6(this, "RxLabel6", kRxLabel6, MakeFont("Century Gothic", 20, tk::kBold, kBlack)),
      RxLabel7(this, "RxLabel7", kRxLabel7, MakeFont("Arial Narrow", 12, 0, WindowText())),
      RxLabel5(this, "RxLabel5", kRxLabel5, MakeFont("Century Gothic", 15, 0, WindowText())),
      RxLabel2(this, "RxLabel2", kRxLabel2, MakeFont("Century Gothic", 12, 0, kBlack)),
      RxLabel3(this, "RxLabel3", kRxLabel3, MakeFont("Century Gothic", 12, 0, kBlack)),
      RxLabel1(this, "RxLabel1", kRxLabel1, MakeFont("Century Gothic", 13, 0, WindowText())),
      sBitBtn2(this, "sBitBtn2", kSBitBtn2), sBitBtn3(this, "sBitBtn3", kSBitBtn3),
      sTrackBar1(this, "sTrackBar1", kSTrackBar1, 0, 100, 25),
      NextGrid1(this, "NextGrid1", kGrid, kGridColumns, kGrid1ColumnWidth, kGridRowHeight),
      NextGrid2(this, "NextGrid2", kGrid, kGridColumns, kGrid2ColumnWidth, kGridRowHeight),
      Button1(this, "Button1", kHiddenButton), Button2(this, "Button2", kHiddenButton),
      Button3(this, "Button3", kHiddenButton), Memo1(this, "Memo1", kHiddenMemo),
      Memo2(this, "Memo2", kHiddenMemo), Panel1(this, "Panel1", kPanel1), Timer1(10000, false),
      media_play_pause_(kVkMediaPlayPause), media_stop_(kVkMediaStop) {
  SetBounds(kForm1.left, kForm1.top, kForm1.width, kForm1.height);
  OnMouseDown = [this](const tk::MouseArgs& a) { FormMouseDown(a); };

  Picture(Image1, art::MainBackground(), "", Cursor::kArrow);
  Image1.OnMouseDown = [this](const tk::MouseArgs& a) { Image1MouseDown(a); };
  Picture(Image3, art::FavouriteMark(false), "Избранное");
  Image3.OnClick = [this] { Image3Click(); };
  Picture(Image4, art::CloseButton(false), "Закрыть тиволну");
  Image4.SetHotPicture(art::CloseButton(true));
  Image4.OnClick = [this] { Image4Click(); };
  Picture(Image5, art::TrayButton(false), "Свернуть тиволну в трей");
  Image5.SetHotPicture(art::TrayButton(true));
  Image5.OnClick = [this] { Image5Click(); };
  Picture(Image2, art::Speaker(false), kMuteHint);
  Image2.OnClick = [this] { Image2Click(); };
  Picture(Image8, art::EditIcon(), "Редактировать радиостанцию");
  Image8.OnClick = [this] { Image8Click(); };
  Picture(Image7, art::SettingsIcon(), "Настройки");
  Image7.OnClick = [this] { Image7Click(); };
  Picture(Image6, art::SiteIcon(),
          ("Тиволна " + std::string(app::kVersionText) + "\nНажмите для перехода на сайт").c_str());
  Image6.OnClick = [this] { Image6Click(); };

  RxLabel6.SetAutoSize(true, kTitleMaxWidth);
  Shadowed(RxLabel6, kDefaultTitle, "", Cursor::kArrow);
  RxLabel6.OnMouseDown = [this](const tk::MouseArgs& a) { RxLabel6MouseDown(a); };
  RxLabel7.SetAutoSize(true, kStatusMaxWidth);
  Shadowed(RxLabel7, "", "", Cursor::kHand);
  RxLabel7.OnMouseEnter = [this] { RxLabel7MouseEnter(); };
  RxLabel7.OnMouseLeave = [this] { RxLabel7MouseLeave(); };
  RxLabel7.OnMouseDown = [this](const tk::MouseArgs& a) { RxLabel7MouseDown(a); };
  // The volume number grows with its text ("100" is wider than the design's "25").
  RxLabel5.SetAutoSize(true);
  Shadowed(RxLabel5, "25", "Уровень звука", Cursor::kArrow);
  // Fonts that stand in for a missing one may be wider: the labels grow rather than clip.
  for (tk::Label* l : {&RxLabel2, &RxLabel3, &RxLabel1}) l->SetAutoSize(true);
  Shadowed(RxLabel2, "РАДИОСТАНЦИИ", "Все радиостанции", Cursor::kHand);
  RxLabel2.OnClick = [this] { RxLabel2Click(); };
  Shadowed(RxLabel3, "ИЗБРАННОЕ", "Избранные радиостанции", Cursor::kHand);
  RxLabel3.OnClick = [this] { RxLabel3Click(); };
  Shadowed(RxLabel1, app::kProductSiteName, "", Cursor::kArrow);
  RxLabel1.OnClick = [this] { RxLabel1Click(); };

  sBitBtn2.SetGlyph(art::PlayGlyph());
  sBitBtn2.SetHint("Включить радиостанцию");
  sBitBtn2.SetCursor(Cursor::kHand);
  sBitBtn2.SetEnabled(false);
  sBitBtn2.OnClick = [this] { sBitBtn2Click(); };
  sBitBtn3.SetGlyph(art::StopGlyph());
  sBitBtn3.SetHint("Выключить радиостанцию");
  sBitBtn3.SetCursor(Cursor::kHand);
  sBitBtn3.SetEnabled(false);
  sBitBtn3.OnClick = [this] { sBitBtn3Click(); };
  sTrackBar1.SetThumbLength(26);
  sTrackBar1.SetHint("Громкость");
  sTrackBar1.SetCursor(Cursor::kHand);
  sTrackBar1.OnChange = [this] { sTrackBar1Change(); };
  playback::library::SetVolume(
      sTrackBar1.Position());  // the worker's value starts at the design position

  for (tk::PictureGrid* g : {&NextGrid1, &NextGrid2}) {
    g->SetCursor(Cursor::kHand);
    g->SetLineColour(tk::Rgb(255, 255, 255));
  }
  ApplySystemColours(true);
  NextGrid1.SetEmptyText(kEmptyCatalogueText);
  NextGrid1.OnSelectCell = [this](int c, int r) { NextGrid1SelectCell(c, r); };
  NextGrid1.OnMouseEnter = [this] { NextGrid1MouseEnter(); };
  NextGrid2.OnSelectCell = [this](int c, int r) { NextGrid2SelectCell(c, r); };
  NextGrid2.OnMouseEnter = [this] { NextGrid2MouseEnter(); };
  NextGrid2.SetScrollBar(tk::PictureGrid::ScrollBar::kAlways);
  NextGrid2.Hide();

  Button1.SetCaption("<>");
  Button2.SetCaption("||");
  Button2.OnClick = [this] { Button2Click(); };
  for (tk::Control* c :
       std::initializer_list<tk::Control*>{&Button1, &Button2, &Button3, &Memo1, &Memo2, &Panel1})
    c->Hide();

  using art::MenuPicture;
  PopupMenu1.Add("N1", "&Открыть Тиволну").OnClick = [this] { N1Click(); };
  PopupMenu1.Add("N9", "Настройка...", art::MenuIcon(MenuPicture::kSettings)).OnClick = [this] {
    N9Click();
  };
  PopupMenu1.Add("N2", "&Включить радиостанцию", art::MenuIcon(MenuPicture::kPlay)).OnClick =
      [this] { N2Click(); };
  PopupMenu1.Add("Stop1", "В&ыключить радиостанцию", art::MenuIcon(MenuPicture::kStop)).OnClick =
      [this] { Stop1Click(); };
  PopupMenu1.Add("N3", kMuteHint, art::MenuIcon(MenuPicture::kSound)).OnClick = [this] {
    N3Click();
  };
  PopupMenu1.Add("N7", "Онлайн справка (FAQ)", art::MenuIcon(MenuPicture::kHelp)).OnClick = [this] {
    N7Click();
  };
  PopupMenu1.Add("N4", "&Выход", art::MenuIcon(MenuPicture::kExit)).OnClick = [this] { N4Click(); };
  PopupMenu1.OnPopup = [this] { PopupMenu1Popup(); };

  // The icon is in the notification area from the start, beside the window.
  RxTrayIcon1.SetHint(kProductTitle);
  RxTrayIcon1.SetMenu(&PopupMenu1);
  RxTrayIcon1.OnClick = [this] { RxTrayIcon1Click(); };
  RxTrayIcon1.SetActive(true);

  WindowsMediaPlayer1 = playback::CreateMediaPlayer(Panel1.GetHandle());
  WindowsMediaPlayer1->OnStatusChange = [this] {
    tk::Application::Get().Dispatch([this] { WindowsMediaPlayer1StatusChange(); });
  };
  Timer1.OnTimer = [this] { Timer1Timer(); };
  media_play_pause_.OnPress = [this] { MediaPlayPause(); };
  media_stop_.OnPress = [this] { MediaStop(); };
  OnKeyDown = [this](int vk, uint8_t shift) { FormKeyDown(vk, shift); };
  OnDrop = [this](const tk::DropData& d) { FormDrop(d); };
  AcceptDrops();
}

TForm1::~TForm1() {
  if (Form1 == this) Form1 = nullptr;
  DetachAdder();
}

void TForm1::FormCreate() {
  app::PlayerState& st = app::State();
  st.CheckUpdates = 0;
  st.AutorunEnabled = 0;
  st.OpenLast = false;
  catalogue::RestoreInterruptedSwap(catalogue::StationsFolder());
  catalogue::RemoveThumbsDb();
  st.CurrentStation = 0;
  std::memcpy(st.UserAgentText, app::kUserAgent, sizeof(app::kUserAgent));
  st.ParsedCount = 1;
  // A stray file in the catalogue ends the scan and the grid fills with the error box, not
  // the start-up: without the steps below the player would have no sound all run long.
  tk::Application::Get().Dispatch([this] { StationFolderScan(); });
  st.IsMuted = 0;
  NextGrid1.SetColours(tk::FromBgr(16448251), tk::FromBgr(16448251));
  st.IsFavourite = 1;
  st.FavouritesViewActive = 0;
  st.StatusTarget = GetHandle();
  if (!playback::library::Init(st.StatusTarget)) {
    ResetAudio();  // a second try, as after a failed connection
    EndWithoutAudio();
  }
  playback::library::ApplyOptions();
  LoadConfig();  // a failure here ends the start-up: the slider and the user agent stay as they are
  sTrackBar1.SetPosition(st.StartVolume);
  playback::library::SetUserAgent(st.UserAgentText);
}

void TForm1::FormActivate() {
  tk::Application::Get().SetMessageHook(
      [this](const tk::QueuedMessage& m) { return VolumeKeyHook(m); });
}

void TForm1::FormDestroy() {
  RxTrayIcon1.SetActive(false);  // no icon may outlive the program
  playback::library::Free();
}

void TForm1::ApplySystemColours(bool both_grids) {
  for (tk::Label* l : {&RxLabel7, &RxLabel5, &RxLabel1}) {
    tk::Font f = l->GetFont();
    f.colour = WindowText();
    l->SetFont(f);
  }
  // Grid white, cells the window colour; start-up gives the first grid its own colour.
  const tk::Colour window = tk::SystemColour(tk::SystemColourIndex::kWindow);
  if (both_grids) NextGrid1.SetColours(tk::Rgb(255, 255, 255), window);
  NextGrid2.SetColours(tk::Rgb(255, 255, 255), window);
}

void TForm1::WndProc(tk::Message& m) {
  tk::Form::WndProc(m);
  if (m.msg == tk::kWmSysColorChange) ApplySystemColours(false);
  if (m.msg == playback::kPlayerStatusMessage) StatusReport(m);
}

// --- Moving the window ---

void TForm1::FormMouseDown(const tk::MouseArgs&) { DragMove(); }
void TForm1::Image1MouseDown(const tk::MouseArgs&) { DragMove(); }
void TForm1::RxLabel6MouseDown(const tk::MouseArgs&) { DragMove(); }

}  // namespace ui
