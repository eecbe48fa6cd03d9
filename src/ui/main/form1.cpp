#include "ui/main/form1.h"

#include <cstring>
#include <optional>

#include "app/build_config.h"
#include "app/player_state.h"
#include "app/settings.h"
#include "base/codepage.h"
#include "base/errors.h"
#include "base/intconv.h"
#include "base/paths.h"
#include "base/textfile.h"
#include "catalogue/favourites.h"
#include "catalogue/rebuild.h"
#include "catalogue/station_store.h"
#include "imaging/picture.h"
#include "playback/audio_library.h"
#include "playback/stream_worker.h"
#include "app/marker_text.h"
#include "toolkit/skin.h"
#include "ui/artwork.h"
#include "ui/dialogs/dialogs.h"
#include "ui/forms.h"
#include "ui/main/layout.h"
#include "ui/main/logos.h"

namespace ui {

const char kDefaultTitle[] = "Тиволна - Бесплатное радио!";
const char kNoStationsOnPage[] = "На странице каталога нет ни одной станции. Каталог не изменён.";
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

constexpr tk::Colour kBlack = tk::Rgb(0, 0, 0);
constexpr int kVkAdd = 0x6B, kVkSubtract = 0x6D;
constexpr int kVkMediaPlayPause = 0xB3, kVkMediaStop = 0xB2;

tk::Colour WindowText() { return tk::SystemColour(tk::SystemColourIndex::kWindowText); }

Font MakeFont(const char* name, int height, uint8_t style, tk::Colour colour) {
  Font f;
  f.name = name;
  f.height = height;
  f.style = style;
  f.colour = colour;
  return f;
}

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
    : tk::Form("Form1", kProductTitle),
      Image1(this, "Image1", kImage1),
      Image3(this, "Image3", kImage3),
      Image4(this, "Image4", kImage4),
      Image5(this, "Image5", kImage5),
      Image2(this, "Image2", kImage2),
      Image8(this, "Image8", kImage8),
      Image7(this, "Image7", kImage7),
      Image6(this, "Image6", kImage6),
      RxLabel6(this, "RxLabel6", kRxLabel6, MakeFont("Century Gothic", 20, tk::kBold, kBlack)),
      RxLabel7(this, "RxLabel7", kRxLabel7, MakeFont("Arial Narrow", 12, 0, WindowText())),
      RxLabel5(this, "RxLabel5", kRxLabel5, MakeFont("Century Gothic", 15, 0, WindowText())),
      RxLabel2(this, "RxLabel2", kRxLabel2, MakeFont("Century Gothic", 12, 0, kBlack)),
      RxLabel3(this, "RxLabel3", kRxLabel3, MakeFont("Century Gothic", 12, 0, kBlack)),
      RxLabel1(this, "RxLabel1", kRxLabel1, MakeFont("Century Gothic", 13, 0, WindowText())),
      sBitBtn2(this, "sBitBtn2", kSBitBtn2),
      sBitBtn3(this, "sBitBtn3", kSBitBtn3),
      sTrackBar1(this, "sTrackBar1", kSTrackBar1, 0, 100, 25),
      NextGrid1(this, "NextGrid1", kGrid, kGridColumns, kGrid1ColumnWidth, kGridRowHeight),
      NextGrid2(this, "NextGrid2", kGrid, kGridColumns, kGrid2ColumnWidth, kGridRowHeight),
      Button1(this, "Button1", kHiddenButton),
      Button2(this, "Button2", kHiddenButton),
      Button3(this, "Button3", kHiddenButton),
      Memo1(this, "Memo1", kHiddenMemo),
      Memo2(this, "Memo2", kHiddenMemo),
      Panel1(this, "Panel1", kPanel1),
      Timer1(10000, false),
      media_play_pause_(kVkMediaPlayPause),
      media_stop_(kVkMediaStop) {
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
  Picture(Image6, art::SiteIcon(), ("Тиволна " + std::string(app::kVersionText) + "\nНажмите для перехода на сайт").c_str());
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
  playback::library::SetVolume(sTrackBar1.Position());  // the worker's value starts at the design position

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
  for (tk::Control* c : std::initializer_list<tk::Control*>{&Button1, &Button2, &Button3, &Memo1, &Memo2, &Panel1})
    c->Hide();

  using art::MenuPicture;
  PopupMenu1.Add("N1", "&Открыть Тиволну").OnClick = [this] { N1Click(); };
  PopupMenu1.Add("N9", "Настройка...", art::MenuIcon(MenuPicture::kSettings)).OnClick = [this] { N9Click(); };
  PopupMenu1.Add("N2", "&Включить радиостанцию", art::MenuIcon(MenuPicture::kPlay)).OnClick = [this] { N2Click(); };
  PopupMenu1.Add("Stop1", "В&ыключить радиостанцию", art::MenuIcon(MenuPicture::kStop)).OnClick = [this] { Stop1Click(); };
  PopupMenu1.Add("N3", kMuteHint, art::MenuIcon(MenuPicture::kSound)).OnClick = [this] { N3Click(); };
  PopupMenu1.Add("N7", "Онлайн справка (FAQ)", art::MenuIcon(MenuPicture::kHelp)).OnClick = [this] { N7Click(); };
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

void TForm1::LoadConfig() {
  app::PlayerState& st = app::State();
  base::TextReader f = base::OpenTextFile(base::BesideExe("config.txt"));
  // Lines by position; the key lines are read and thrown away. Only "0" turns a flag off.
  f.ReadLine();
  st.CheckUpdates = f.ReadLine() == "0" ? 0 : 1;
  f.ReadLine();
  st.OpenLast = f.ReadLine() != "0";
  f.ReadLine();
  st.StartVolume = base::StrToInt(f.ReadLine());
  f.ReadLine();
  std::string last = f.ReadLine();
  st.CurrentStation = st.OpenLast ? base::StrToInt(last) : -1;
  Timer1.SetEnabled(st.CheckUpdates == 1);
  f.ReadLine();
  st.AutorunEnabled = f.ReadLine() == "0" ? 0 : 1;
  if (st.OpenLast && st.CurrentStation != -1) {
    StartStation(st.CurrentStation);
    sBitBtn2.SetEnabled(true);
    sBitBtn3.SetEnabled(true);
    SetFavouriteMark(st.CurrentStation, kAddFavouriteHintLatinE);
  }
}

void TForm1::FormActivate() {
  tk::Application::Get().SetMessageHook([this](const tk::QueuedMessage& m) { return VolumeKeyHook(m); });
}

void TForm1::EndWithoutAudio() {
  // Without an output device the player cannot work: say so, then end.
  RxTrayIcon1.SetActive(false);
  tk::ShowMessageBox("Ошибка инициализации аудио", tk::Application::Get().Title,
                     tk::kMbOk | tk::kMbIconError);
  tk::Application::Get().Halt(0);
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
  if (m.msg != playback::kPlayerStatusMessage) return;
  // Reports of an overtaken start are old news (a stop is no start: a worker still
  // buffering when the user stopped goes on reporting).
  uint32_t start = playback::StatusStartOf(static_cast<uintptr_t>(m.wparam));
  if (start != 0 && start != start_) return;
  switch (playback::StatusCodeOf(static_cast<uintptr_t>(m.wparam))) {
    case playback::kStatusConnecting:
      RxLabel7.SetCaption(playback::kConnectingText);
      LockPlaybackControls();
      break;
    case playback::kStatusFailed:
      playing_ = false;
      ResetAudio();
      UnlockPlaybackControls();
      break;
    case playback::kStatusBuffering:
      RxLabel7.SetCaption(playback::BufferingText(static_cast<int32_t>(m.lparam)));
      LockPlaybackControls();
      break;
    case playback::kStatusTitle:
      RxLabel7.SetCaption(base::Cp1251ToUtf8(reinterpret_cast<const char*>(m.lparam)));
      UnlockPlaybackControls();
      break;
    case playback::kStatusPlaying:
      RxLabel7.SetCaption(playback::kOnAirText);
      UnlockPlaybackControls();
      break;
    case playback::kStatusLost:
      if (!playing_) break;  // stopped by the user: the end of its connection is no news
      playing_ = false;
      RxLabel7.SetCaption(playback::kNoSignalText);
      UnlockPlaybackControls();
      break;
    default:
      break;  // the response head (8) and anything else change nothing
  }
}

void TForm1::ResetAudio() {
  // While the release waits, sent reports keep being handled: a failure reported then is
  // folded into the reset under way, which releases and starts the library anyway. A
  // second reset inside the first would leave the first's start "already initialised".
  if (resetting_) return;
  resetting_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{resetting_};
  ResetAudioStep(false);
}

void TForm1::ResetAudioStep(bool nested) {
  app::PlayerState& st = app::State();
  RxLabel7.SetCaption(playback::kNoSignalText);
  playback::library::StopStream(st.AudioChannel.load());
  WindowsMediaPlayer1->Stop();
  playback::library::Free();
  st.StatusTarget = GetHandle();
  if (!playback::library::Init(st.StatusTarget)) {
    if (!nested) ResetAudioStep(true);
    EndWithoutAudio();
  }
  playback::library::ApplyOptions();
}

void TForm1::LockPlaybackControls() {
  sBitBtn2.SetEnabled(false);
  SetGridColumnsEnabled(false);
}

void TForm1::UnlockPlaybackControls() {
  sBitBtn2.SetEnabled(true);
  SetGridColumnsEnabled(true);
}

void TForm1::SetGridColumnsEnabled(bool enabled) {
  for (int c = 0; c < kGridColumns; ++c) {
    NextGrid1.SetColumnEnabled(c, enabled);
    NextGrid2.SetColumnEnabled(c, enabled);
  }
}

void TForm1::Button2Click() {
  catalogue::ScanStationFolder(app::State());
  FillStationGrid();
  FillFavouritesGrid();
}

// Hidden button "<>": the catalogue rebuilt from the station directory. The new catalogue is
// built beside the old one and takes its place only when complete; on any failure the old one
// stays and is shown again.
void TForm1::Button1Click() { RebuildCatalogue(app::kDirectoryRootUrl, app::kPlaylistUrlPrefix); }

void TForm1::RebuildCatalogue(const std::string& root_url, const std::string& playlist_prefix) {
  app::PlayerState& st = app::State();
  NextGrid1.ClearRows();
  NextGrid2.ClearRows();
  std::string dropped;
  try {
    std::string page = catalogue::DecodePage(IdHTTP1.Get(root_url));
    std::vector<catalogue::NewStation> stations =
        catalogue::StationsFromDirectoryPage(page, st, root_url, playlist_prefix);
    if (stations.empty()) throw base::Error(kNoStationsOnPage);
    Memo1.Lines.clear();
    Memo2.Lines.clear();
    for (size_t i = 0; i < stations.size(); ++i) {
      Memo1.Lines.push_back(stations[i].logo_url);
      Memo2.Lines.push_back(base::IntToStr(static_cast<int64_t>(i + 1)));
    }
    catalogue::BuildOptions options;
    options.http.headers = {{"Accept", IdHTTP1.Accept}, {"User-Agent", IdHTTP1.UserAgent}};
    catalogue::BuildReport report;
    tk::Application::Get().RunAside(
        [&] { report = catalogue::BuildCatalogue(catalogue::StationsFolder(), stations, options); });
    for (size_t i = 0; i < report.logos.size(); ++i) {
      std::string ext = catalogue::LogoExtension(report.logos[i]);
      if (ext != ".txt" && !ext.empty()) st.LogoExtensions.Set(static_cast<int64_t>(i + 1), ext);
    }
    dropped = report.DroppedLogos();
  } catch (...) {
    StationFolderScan();
    throw;
  }
  StationFolderScan();
  if (!dropped.empty()) throw base::Error(dropped);  // the new catalogue stands; the box says what it lacks
}

// --- The logo grids ---

void TForm1::FillGrid(tk::PictureGrid& grid, const std::vector<std::pair<int32_t, int32_t>>& station_and_tag) {
  app::PlayerState& st = app::State();
  std::vector<LogoRequest> requests;
  std::vector<int32_t> tags;
  for (auto [n, tag] : station_and_tag) {
    imaging::Kind kind;
    std::string ext = st.LogoExtensions.Get(n);
    if (!imaging::KindOfExtension(ext, &kind)) continue;  // no picture logo: no tile
    requests.push_back({n, ext});
    tags.push_back(tag);
  }
  std::vector<Logo> logos = LoadLogos(requests, grid.TileSize());
  std::string first_error;
  int col = 0, row = 0;
  for (size_t i = 0; i < logos.size(); ++i) {
    // A logo that cannot be read gets a placeholder: the station stays reachable and the
    // tiles after it stay where they belong.
    if (logos[i].picture.Empty()) {
      if (first_error.empty()) first_error = logos[i].error;
      logos[i].picture = art::PlaceholderLogo(grid.TileSize().width, grid.TileSize().height);
    }
    grid.SetCell(col, row, std::move(logos[i].picture), tags[i]);
    if (++col == kGridColumns) {
      col = 0;
      ++row;
      grid.AddRow();
    }
  }
  if (!first_error.empty()) tk::Application::Get().ShowException(base::Error(first_error));
}

void TForm1::FillStationGrid() {
  NextGrid1.AddRow();
  int32_t n = app::State().StationCount - 1;
  std::vector<std::pair<int32_t, int32_t>> items;
  for (int32_t i = 1; i <= n; ++i) items.push_back({i, i});
  FillGrid(NextGrid1, items);
}

void TForm1::FillFavouritesGrid() {
  app::PlayerState& st = app::State();
  if (!catalogue::LoadFavourites(st)) return;
  NextGrid2.ClearRows();
  NextGrid2.AddRow();
  std::vector<std::pair<int32_t, int32_t>> items;
  int32_t count = std::min<int32_t>(st.FavouriteCount, app::Table1000<int32_t>::kSize);
  for (int32_t p = 1; p <= count; ++p) items.push_back({st.FavouriteNumbers.Get(p), p});
  FillGrid(NextGrid2, items);
}

void TForm1::SelectionSettingsStep() {
  // Ticks the settings window's boxes of settings that are on (never clears one).
  if (!Form2) return;
  const app::PlayerState& st = app::State();
  if (st.CheckUpdates == 1) Form2->sCheckBox2.SetChecked(true);
  if (st.OpenLast) Form2->sCheckBox1.SetChecked(true);
}
void TForm1::SelectionEditorStep() {
  // An open editor follows the selection; its visibility stays as it is.
  if (!Form3) return;
  Form3->FillStationEditor();
  Form3->Image3.Invalidate();
}

void TForm1::StartSelected(int32_t n, const char* add_hint) {
  app::PlayerState& st = app::State();
  WindowsMediaPlayer1->Stop();
  playback::library::StopStream(st.AudioChannel.load());
  StartStation(n);
  st.CurrentStation = n;
  sBitBtn2.SetEnabled(true);
  sBitBtn3.SetEnabled(true);
  SetFavouriteMark(n, add_hint);
}

void TForm1::NextGrid1SelectCell(int col, int row) {
  SelectionSettingsStep();
  RxLabel7.SetFontStyle(static_cast<uint8_t>(RxLabel7.FontStyle() & ~tk::kUnderline));
  // The tile's own station: a press on an empty cell starts nothing.
  int32_t n = NextGrid1.Tag(col, row);
  if (n > 0 && base::FileExists(catalogue::StationFilePath(n))) StartSelected(n, kAddFavouriteHint);
  if (RxLabel6.Caption() != kDefaultTitle) SelectionEditorStep();
  RxTrayIcon1.SetHint(RxLabel6.Caption());
}

void TForm1::NextGrid2SelectCell(int col, int row) {
  app::PlayerState& st = app::State();
  SelectionSettingsStep();
  RxLabel7.SetFontStyle(static_cast<uint8_t>(RxLabel7.FontStyle() & ~tk::kUnderline));
  int32_t p = NextGrid2.Tag(col, row);
  if (p >= 1 && p <= st.FavouriteCount) StartSelected(st.FavouriteNumbers.Get(p), kAddFavouriteHintLatinE);
  if (RxLabel6.Caption() != kDefaultTitle) SelectionEditorStep();
  RxTrayIcon1.SetHint(RxLabel6.Caption());
}

void TForm1::NextGrid1MouseEnter() { NextGrid1.SetFocus(); }
void TForm1::NextGrid2MouseEnter() { NextGrid2.SetFocus(); }

void TForm1::SetFavouriteMark(int32_t n, const char* add_hint) {
  app::PlayerState& st = app::State();
  if (catalogue::FavouritesContain(n)) {
    Image3.SetPicture(imaging::LoadPicture(base::BesideExe("fav.png"), imaging::Kind::kPng));
    st.IsFavourite = 1;
    Image3.SetHint(kRemoveFavouriteHint);
  } else {
    Image3.SetPicture(imaging::LoadPicture(base::BesideExe("notfav.png"), imaging::Kind::kPng));
    st.IsFavourite = 0;
    Image3.SetHint(add_hint);
  }
}

void TForm1::RxLabel3Click() {
  NextGrid2.Show();
  FillFavouritesGrid();
  app::State().FavouritesViewActive = 1;
}

void TForm1::RxLabel2Click() {
  NextGrid2.Hide();
  app::State().FavouritesViewActive = 0;
}

void TForm1::Image3Click() {
  app::PlayerState& st = app::State();
  if (st.CurrentStation <= 0) return;
  if (st.IsFavourite == 0 && !catalogue::FavouritesContain(st.CurrentStation)) {
    Image3.SetPicture(imaging::LoadPicture(base::BesideExe("fav.png"), imaging::Kind::kPng));
    catalogue::AddFavourite(st.CurrentStation);
    st.IsFavourite = 1;
    Image3.SetHint(kRemoveFavouriteHint);
  } else {
    Image3.SetPicture(imaging::LoadPicture(base::BesideExe("notfav.png"), imaging::Kind::kPng));
    catalogue::RemoveFavourite(st.CurrentStation);
    if (st.FavouritesViewActive == 1) RxLabel3Click();
    st.IsFavourite = 0;
    Image3.SetHint(kAddFavouriteHintToggle);
  }
}

// --- Moving the window ---

void TForm1::FormMouseDown(const tk::MouseArgs&) { DragMove(); }
void TForm1::Image1MouseDown(const tk::MouseArgs&) { DragMove(); }
void TForm1::RxLabel6MouseDown(const tk::MouseArgs&) { DragMove(); }

// --- Notification area ---

// The other windows have no taskbar button of their own: they go into the notification
// area with the main window and come back with it, as owned windows do when their owner is
// minimised, so none is left showing where only the icon leads to it.
std::vector<tk::Form*> TForm1::OtherForms() const { return {Form2, Form3, Form4}; }

void TForm1::Image5Click() {
  std::vector<tk::Form*> others = OtherForms();
  for (size_t i = 0; i < others.size(); ++i) {
    hidden_with_main_[i] = others[i] && others[i]->Visible();
    if (hidden_with_main_[i]) others[i]->Hide();
  }
  Hide();
  RxTrayIcon1.SetActive(true);
  RxTrayIcon1.SetHint(RxLabel6.Caption());
}

void TForm1::ShowFromTray() {
  Show();
  BringToFront();
  std::vector<tk::Form*> others = OtherForms();
  for (size_t i = 0; i < others.size(); ++i) {
    if (hidden_with_main_[i] && others[i]) others[i]->Show();
    hidden_with_main_[i] = false;
  }
}

void TForm1::RxTrayIcon1Click() { ShowFromTray(); }

void TForm1::PopupMenu1Popup() { PopupMenu1.Find("N3")->caption = Image2.Hint(); }

void TForm1::N1Click() {
  ShowFromTray();
  RxTrayIcon1.SetActive(false);
}

void TForm1::N9Click() { Image7Click(); }
void TForm1::N2Click() { sBitBtn2Click(); }
void TForm1::Stop1Click() { sBitBtn3Click(); }
void TForm1::N3Click() { Image2Click(); }
void TForm1::N7Click() { tk::ShellOpen(std::string(app::kProductSiteUrl) + "/help.html"); }
void TForm1::N4Click() { Close(); }

// --- Web site ---

void TForm1::Image6Click() { tk::ShellOpen(app::kProductSiteUrl); }
void TForm1::RxLabel1Click() {}

// --- Status label ---

void TForm1::RxLabel7MouseEnter() { RxLabel7.SetFontStyle(RxLabel7.FontStyle() | tk::kUnderline); }

void TForm1::RxLabel7MouseLeave() {
  RxLabel7.SetFontStyle(static_cast<uint8_t>(RxLabel7.FontStyle() & ~tk::kUnderline));
}

void TForm1::RxLabel7MouseDown(const tk::MouseArgs&) {
  tk::TheClipboard().SetTextBuf(base::Utf8ToCp1251(RxLabel7.Caption()));
  tk::Application::Get().ShowMessage(kCopiedMessage);
}

// --- Close ---

void TForm1::Image4Click() {
  const app::PlayerState& st = app::State();
  app::ConfigValues v;
  v.check_updates = st.CheckUpdates == 1;
  v.open_last = st.OpenLast;
  v.start_volume = sTrackBar1.Position();
  v.last_number = st.CurrentStation;
  v.autorun = st.AutorunEnabled == 1;
  app::WriteConfig(v);
  Close();
}

// --- Playback ---

void TForm1::StartStation(int32_t n) {
  app::PlayerState& st = app::State();
  base::TextReader f = base::OpenTextFile(catalogue::StationFilePath(n));
  st.CurrentEngine = "0";
  st.CurrentStreamUrl = f.ReadLine();
  st.CurrentStationTitle = f.ReadLine();
  RxLabel6.SetCaption(base::Cp1251ToUtf8(st.CurrentStationTitle));
  if (!f.AtEnd()) st.CurrentEngine = f.ReadLine();
  WindowsMediaPlayer1->Stop();
  playback::library::StopStream(st.AudioChannel.load());
  if (st.CurrentEngine == "1") {
    start_ = playback::SupersedeWorkers();
    WindowsMediaPlayer1->SetUrl(st.CurrentStreamUrl);
    WindowsMediaPlayer1->Play();
    playing_ = true;
  } else if (st.CurrentEngine == "0") {
    Button3Click();
  }
}

void TForm1::Button3Click() {
  app::PlayerState& st = app::State();
  if (st.CurrentEngine == "1") {
    start_ = playback::SupersedeWorkers();
    WindowsMediaPlayer1->SetUrl(st.CurrentStreamUrl);
    WindowsMediaPlayer1->Play();
  } else {
    start_ = playback::StartStreamWorker(st.CurrentStreamUrl);
  }
  playing_ = true;
}

void TForm1::sBitBtn2Click() { Button3Click(); }

void TForm1::sBitBtn3Click() {
  WindowsMediaPlayer1->Stop();
  playback::library::StopStream(app::State().AudioChannel.load());
  playing_ = false;
}

void TForm1::sTrackBar1Change() {
  int position = sTrackBar1.Position();
  WindowsMediaPlayer1->SetVolume(position);
  playback::library::SetVolume(position);
  RxLabel5.SetCaption(base::IntToStr(position));
  if (position > 0) app::State().IsMuted = 0;
}

void TForm1::Image2Click() {
  app::PlayerState& st = app::State();
  if (st.IsMuted == 0) {
    st.SavedVolume = base::StrToInt(base::Utf8ToCp1251(RxLabel5.Caption()));
    sTrackBar1.SetPosition(0);
    Image2.SetPicture(imaging::LoadPicture(base::BesideExe("voloff.png"), imaging::Kind::kPng));
    st.IsMuted = 1;
    Image2.SetHint(kUnmuteHint);
  } else {
    sTrackBar1.SetPosition(st.SavedVolume);
    Image2.SetPicture(imaging::LoadPicture(base::BesideExe("vol.png"), imaging::Kind::kPng));
    Image2.SetHint(kMuteHint);
    st.IsMuted = 0;
  }
}

bool TForm1::VolumeKeyHook(const tk::QueuedMessage& m) {
  if (m.msg != tk::kWmKeyDown) return false;
  int step;
  switch (static_cast<int>(m.wparam)) {
    case tk::kVkUp:
    case kVkAdd:
      step = 1;
      break;
    case tk::kVkDown:
    case kVkSubtract:
      step = -1;
      break;
    default:
      return false;
  }
  if (tk::IsKeyDown(tk::kVkShift)) step *= 10;
  sTrackBar1.SetPosition(sTrackBar1.Position() + step);
  return true;
}

void TForm1::WindowsMediaPlayer1StatusChange() {
  if (WindowsMediaPlayer1->PlayState() == playback::MediaPlayer::kStopped) return;
  // The label holds ANSI text: characters Windows-1251 lacks become "?".
  std::string status = base::Cp1251ToUtf8(base::Utf8ToCp1251(WindowsMediaPlayer1->Status()));
  RxLabel7.SetCaption(status);
  static const std::string kRate = "/с";
  if (status.find(kRate) != std::string::npos) {
    std::string t = app::TextBetween(": ", kRate, status) + kRate;
    RxLabel6.SetHint(t);
    RxLabel7.SetCaption(t);
  }
}

void TForm1::MediaPlayPause() {
  if (playing_) {
    sBitBtn3Click();
  } else if (!app::State().CurrentStreamUrl.empty()) {
    sBitBtn2Click();
  }
}

void TForm1::MediaStop() { sBitBtn3Click(); }

// --- Filled in by the settings and editor parts ---

// A window the user opens or closes himself no longer follows the main window back.
void TForm1::Image7Click() {
  hidden_with_main_[0] = false;
  if (Form2) Form2->Open();
}
void TForm1::Image8Click() {
  hidden_with_main_[1] = false;
  if (Form3) Form3->Open();
}

void TForm1::Timer1Timer() {
  Timer1.SetEnabled(false);
  IdHTTP1.ConnectTimeout = 2000;  // kept on the shared client for the rest of the run
  IdHTTP1.ReadTimeout = 2000;
  CheckVersion(std::string(app::kProductSiteUrl) + "/version.txt");
}

void TForm1::CheckVersion(const std::string& url) {
  std::string body;
  try {
    body = IdHTTP1.Get(url);
  } catch (const tk::HttpError&) {
    return;  // no network, no site: silent
  }
  std::optional<int32_t> release = base::TryStrToInt(body);
  // A captive portal answers with a whole page: the box shows its start.
  if (!release) base::ThrowNotAnInteger(body.size() > 200 ? body.substr(0, 200) + "\x85" : body);  // "…"
  if (*release > kReleaseNumber && Form4) {
    hidden_with_main_[2] = false;
    Form4->Show();
  }
}

}  // namespace ui
