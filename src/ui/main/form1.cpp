#include "ui/main/form1.h"

#include <cstring>

#include "app/player_state.h"
#include "audio/bass.h"
#include "catalogue/station_store.h"
#include "ui/artwork.h"

namespace ui {

TForm1::TForm1() : tk::Form("Form1", "Тиволна") {
  SetBounds(372, 133, 501, 373);
  SetBackground(MainBackground(501, 373));
}

void TForm1::FormCreate() {
  app::PlayerState& st = app::State();
  st.CheckUpdates = 0;
  st.AutorunEnabled = 0;
  st.OpenLast = false;
  catalogue::RemoveThumbsDb();
  st.CurrentStation = 0;
  std::memcpy(st.UserAgentText, app::kUserAgent, sizeof(app::kUserAgent));
  st.ParsedCount = 1;
  StationFolderScan();
  st.IsMuted = 0;
  st.IsFavourite = 1;
  st.FavouritesViewActive = 0;
  st.StatusTarget = GetHandle();
  if (!BASS_Init(-1, 44100, 0, reinterpret_cast<HWND>(st.StatusTarget.load()), nullptr))
    AudioInitFailed();
  BASS_SetConfig(21, 1);
  BASS_SetConfig(15, 0);
  BASS_SetConfigPtr(16, st.UserAgentText);
}

void TForm1::AudioInitFailed() {
  // Without an output device the player cannot work: say so, then end.
  tk::ShowMessageBox("Ошибка инициализации аудио", tk::Application::Get().Title,
                     tk::kMbOk | tk::kMbIconError);
  tk::Application::Get().Halt(0);
}

void TForm1::FormDestroy() { BASS_Free(); }

void TForm1::WndProc(tk::Message& m) { tk::Form::WndProc(m); }

void TForm1::Button2Click() {
  catalogue::ScanStationFolder(app::State());
  FillStationGrid();
  FillFavouritesGrid();
}

// The logo grids are filled here once they exist on the window.
void TForm1::FillStationGrid() {}
void TForm1::FillFavouritesGrid() {}

}  // namespace ui
