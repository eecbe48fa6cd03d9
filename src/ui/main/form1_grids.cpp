// The main window's logo grids: filling them, a press on a tile, and the two views.
#include <algorithm>
#include <optional>

#include "app/player_state.h"
#include "base/errors.h"
#include "base/paths.h"
#include "catalogue/favourites.h"
#include "catalogue/station_store.h"
#include "imaging/picture.h"
#include "playback/audio_library.h"
#include "ui/artwork.h"
#include "ui/dialogs/dialogs.h"
#include "ui/forms.h"
#include "ui/main/form1.h"
#include "ui/main/layout.h"
#include "ui/main/logos.h"

namespace ui {

using layout::kGridColumns;

void TForm1::FillGrid(tk::PictureGrid& grid,
                      const std::vector<std::pair<int32_t, int32_t>>& station_and_tag) {
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

void TForm1::SelectTile(std::optional<int32_t> n, const char* add_hint) {
  SelectionSettingsStep();
  UnderlineStatus(false);
  if (n) StartSelected(*n, add_hint);
  if (RxLabel6.Caption() != kDefaultTitle) SelectionEditorStep();
  RxTrayIcon1.SetHint(RxLabel6.Caption());
}

void TForm1::NextGrid1SelectCell(int col, int row) {
  // The tile's own station: a press on an empty cell starts nothing.
  int32_t tag = NextGrid1.Tag(col, row);
  std::optional<int32_t> n;
  if (tag > 0 && base::FileExists(catalogue::StationFilePath(tag))) n = tag;
  SelectTile(n, kAddFavouriteHint);
}

void TForm1::NextGrid2SelectCell(int col, int row) {
  const app::PlayerState& st = app::State();
  int32_t p = NextGrid2.Tag(col, row);
  std::optional<int32_t> n;
  if (p >= 1 && p <= st.FavouriteCount) n = st.FavouriteNumbers.Get(p);
  SelectTile(n, kAddFavouriteHintLatinE);
}

void TForm1::NextGrid1MouseEnter() { NextGrid1.SetFocus(); }
void TForm1::NextGrid2MouseEnter() { NextGrid2.SetFocus(); }

void TForm1::RxLabel3Click() {
  NextGrid2.Show();
  FillFavouritesGrid();
  app::State().FavouritesViewActive = 1;
}

void TForm1::RxLabel2Click() {
  NextGrid2.Hide();
  app::State().FavouritesViewActive = 0;
}

void TForm1::SetGridColumnsEnabled(bool enabled) {
  for (int c = 0; c < kGridColumns; ++c) {
    NextGrid1.SetColumnEnabled(c, enabled);
    NextGrid2.SetColumnEnabled(c, enabled);
  }
}

}  // namespace ui
