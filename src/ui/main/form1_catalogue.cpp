// The main window's catalogue: the station folder scan, the rebuild from the station
// directory, and the current station's favourite mark.
#include "app/build_config.h"
#include "app/player_state.h"
#include "base/errors.h"
#include "base/intconv.h"
#include "base/paths.h"
#include "catalogue/favourites.h"
#include "catalogue/rebuild.h"
#include "catalogue/station_store.h"
#include "imaging/picture.h"
#include "ui/main/form1.h"

namespace ui {

const char kNoStationsOnPage[] = "На странице каталога нет ни одной станции. Каталог не изменён.";

namespace {

// The favourite mark's picture, from the program's folder.
tk::Bitmap FavouriteMarkPicture(bool favourite) {
  return imaging::LoadPicture(base::BesideExe(favourite ? "fav.png" : "notfav.png"),
                              imaging::Kind::kPng);
}

}  // namespace

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
    tk::Application::Get().RunAside([&] {
      report = catalogue::BuildCatalogue(catalogue::StationsFolder(), stations, options);
    });
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
  if (!dropped.empty())
    throw base::Error(dropped);  // the new catalogue stands; the box says what it lacks
}

// --- The favourite mark ---

void TForm1::SetFavouriteMark(int32_t n, const char* add_hint) {
  app::PlayerState& st = app::State();
  if (catalogue::FavouritesContain(n)) {
    Image3.SetPicture(FavouriteMarkPicture(true));
    st.IsFavourite = 1;
    Image3.SetHint(kRemoveFavouriteHint);
  } else {
    Image3.SetPicture(FavouriteMarkPicture(false));
    st.IsFavourite = 0;
    Image3.SetHint(add_hint);
  }
}

void TForm1::Image3Click() {
  app::PlayerState& st = app::State();
  if (st.CurrentStation <= 0) return;
  if (st.IsFavourite == 0 && !catalogue::FavouritesContain(st.CurrentStation)) {
    Image3.SetPicture(FavouriteMarkPicture(true));
    catalogue::AddFavourite(st.CurrentStation);
    st.IsFavourite = 1;
    Image3.SetHint(kRemoveFavouriteHint);
  } else {
    Image3.SetPicture(FavouriteMarkPicture(false));
    catalogue::RemoveFavourite(st.CurrentStation);
    if (st.FavouritesViewActive == 1) RxLabel3Click();
    st.IsFavourite = 0;
    Image3.SetHint(kAddFavouriteHintToggle);
  }
}

}  // namespace ui
