#pragma once
#include <memory>
#include <optional>
#include <vector>

#include "playback/media_player.h"
#include "toolkit/components.h"
#include "toolkit/grid.h"
#include "toolkit/http_client.h"
#include "toolkit/toolkit.h"

namespace catalogue {
struct Candidates;
}

namespace ui {

class StationAdder;

// The main window. Its code is split by concern: form1.cpp (creation and messages),
// form1_playback.cpp, form1_grids.cpp, form1_catalogue.cpp, form1_tray.cpp and form1_add.cpp.
class TForm1 : public tk::Form {
 public:
  TForm1();
  ~TForm1() override;

  void FormCreate() override;
  void FormActivate() override;
  void FormDestroy() override;
  // The form's own handling, then the stream worker's status reports.
  void WndProc(tk::Message& m) override;

  // Hidden button "<>": the catalogue rebuild.
  void Button1Click();
  void RebuildCatalogue(const std::string& root_url, const std::string& playlist_prefix);
  // Hidden button "||": the station folder scan.
  void Button2Click();
  void StationFolderScan() { Button2Click(); }
  void FillStationGrid();
  void FillFavouritesGrid();

  // Moving the window by its face, background and title.
  void FormMouseDown(const tk::MouseArgs& a);
  void Image1MouseDown(const tk::MouseArgs& a);
  void RxLabel6MouseDown(const tk::MouseArgs& a);
  // Notification area and its menu.
  void Image5Click();
  void RxTrayIcon1Click();
  void PopupMenu1Popup();
  void N1Click();
  void N9Click();
  void N2Click();
  void Stop1Click();
  void N3Click();
  void N7Click();
  void N4Click();
  // The product's web site.
  void Image6Click();
  void RxLabel1Click();
  // The status label: hover underline, and a press copies its text.
  void RxLabel7MouseEnter();
  void RxLabel7MouseLeave();
  void RxLabel7MouseDown(const tk::MouseArgs& a);
  // Close: save the settings and end.
  void Image4Click();
  // Reads config.txt at start-up: the settings, the update timer, the last station.
  void LoadConfig();
  // Playback: start a station from its file, play the current one, stop, volume, mute.
  void StartStation(int32_t n);
  void Button3Click();
  void sBitBtn2Click();
  void sBitBtn3Click();
  void sTrackBar1Change();
  void Image2Click();
  // Volume keys for every window: true keeps the key from being dispatched.
  bool VolumeKeyHook(const tk::QueuedMessage& m);
  void WindowsMediaPlayer1StatusChange();
  // Restarts the audio library after a failed connection; ends the process when it cannot.
  void ResetAudio();
  void LockPlaybackControls();
  void UnlockPlaybackControls();
  // The keyboard's media keys.
  void MediaPlayPause();
  void MediaStop();
  // The logo grids, the views and the favourite mark.
  void NextGrid1SelectCell(int col, int row);
  void NextGrid2SelectCell(int col, int row);
  void NextGrid1MouseEnter();
  void NextGrid2MouseEnter();
  void RxLabel3Click();
  void RxLabel2Click();
  void Image3Click();
  // The favourite mark for a station: "fav.png" and its remove hint, or "notfav.png" and
  // the given add hint.
  void SetFavouriteMark(int32_t n, const char* add_hint);
  // The settings window and the station editor.
  void Image7Click();
  void Image8Click();
  // Ten seconds after start-up, with updates on: the version file of the product's site.
  void Timer1Timer();
  // The check itself, against a version file's address.
  void CheckVersion(const std::string& url);

  // Adding stations: Ctrl+V (or Shift+Insert) with addresses on the clipboard, addresses or
  // playlist files dropped on the window (form1_add.cpp).
  void FormKeyDown(int vk, uint8_t shift);
  void FormDrop(const tk::DropData& d);
  void AddStations(const catalogue::Candidates& c);
  // Additions whose addresses are still being opened.
  static int AddingStations();

  // Controls, in drawing order.
  tk::Image Image1;           // background picture, the window's shape; a press moves the window
  tk::Image Image3;           // favourite mark of the current station; a click toggles it
  tk::Image Image4;           // close: saves the settings and ends the program
  tk::Image Image5;           // sends the window to the notification area
  tk::Image Image2;           // speaker: mute and unmute
  tk::Image Image8;           // opens the station editor
  tk::Image Image7;           // opens the settings window
  tk::Image Image6;           // opens the product's web site; its hint names the version
  tk::Label RxLabel6;         // title: the current station's name; a press moves the window
  tk::Label RxLabel7;         // status and track title; underlined on hover, a press copies it
  tk::Label RxLabel5;         // volume number
  tk::Label RxLabel2;         // "РАДИОСТАНЦИИ": shows the all-stations grid
  tk::Label RxLabel3;         // "ИЗБРАННОЕ": shows the favourites grid
  tk::Label RxLabel1;         // the product's site name; a click does nothing
  tk::Button sBitBtn2;        // play the current station
  tk::Button sBitBtn3;        // stop
  tk::TrackBar sTrackBar1;    // volume, 0 to 100
  tk::PictureGrid NextGrid1;  // logo tiles of every station
  tk::PictureGrid NextGrid2;  // logo tiles of the favourites, over NextGrid1 while that view is on
  // Never shown.
  tk::Button Button1;  // "<>": rebuilds the catalogue from the station directory
  tk::Button Button2;  // "||": scans the station folder and fills the grids
  tk::Button Button3;  // plays the current station on its engine
  tk::Memo Memo1;      // a rebuild's logo addresses
  tk::Memo Memo2;      // a rebuild's logo file names (station numbers), row by row with Memo1
  tk::Panel Panel1;    // holds the media player control, outside the client area
  // Without a face.
  tk::PopupMenu PopupMenu1;  // the notification-area icon's menu
  tk::TrayIcon RxTrayIcon1;  // notification-area icon; its hint follows the title
  tk::Timer Timer1;          // the update check, ten seconds after start-up
  tk::HttpClient IdHTTP1;    // the catalogue rebuild's and the update check's requests
  // The media player control inside Panel1 (or the built-in player).
  std::unique_ptr<playback::MediaPlayer> WindowsMediaPlayer1;

 private:
  // A report of the stream worker (the status message).
  void StatusReport(const tk::Message& m);
  void ResetAudioStep(bool nested);
  // Adds or removes the status label's underline; its other style bits stay.
  void UnderlineStatus(bool on);
  // The settings window, the editor and the notice, in that order (null when not made).
  std::vector<tk::Form*> OtherForms() const;
  // Shows the main window and the windows that went into the notification area with it.
  void ShowFromTray();
  bool hidden_with_main_[3] = {false, false, false};
  // The window-text colour on the labels that follow the scheme, the window colour on the
  // grids' cells.
  void ApplySystemColours(bool both_grids);
  [[noreturn]] void EndWithoutAudio();
  void SetGridColumnsEnabled(bool enabled);
  // Fills a grid with the logos of stations (tags: what a press on the tile starts).
  void FillGrid(tk::PictureGrid& grid,
                const std::vector<std::pair<int32_t, int32_t>>& station_and_tag);
  // The steps of a selection that reach the settings window and the station editor.
  void SelectionSettingsStep();
  void SelectionEditorStep();
  void StartSelected(int32_t n, const char* add_hint);
  // A press on a tile of either grid: starts station n (none: nothing starts), then brings the
  // status label, the settings window, the editor and the tray hint in line.
  void SelectTile(std::optional<int32_t> n, const char* add_hint);
  struct Probed;
  void FinishAdding(const std::vector<Probed>& probed,
                    const std::vector<std::pair<std::string, std::string>>& rejected);
  void ShowAndPlay(int32_t n);
  void DetachAdder();
  std::shared_ptr<StationAdder> adder_;
  tk::HotKey media_play_pause_;
  tk::HotKey media_stop_;
  bool playing_ = false;    // a station was started and not stopped since
  uint32_t start_ = 0;      // number of the latest start; reports of others are dropped
  bool resetting_ = false;  // ResetAudio is under way
};

// Texts of the main window.
extern const char kDefaultTitle[];            // the title label before a station is chosen
extern const char kCopiedMessage[];           // after the status label was copied
extern const char kMuteHint[];                // the mute picture's hint while the sound is on
extern const char kUnmuteHint[];              // ... while it is muted
extern const char kAddFavouriteHint[];        // "Добавить в избранное"
extern const char kAddFavouriteHintLatinE[];  // the same with a Latin "e" at its end
extern const char kAddFavouriteHintToggle[];  // "Добавить в избранного", after a removal
extern const char kRemoveFavouriteHint[];
extern const char kEmptyCatalogueText[];  // the station grid's note while it has no tile
// The release number the version file is compared with.
constexpr int32_t kReleaseNumber = 5;

}  // namespace ui
