// Grid fill benchmark: from the start of the folder scan to both grids filled, and the peak
// memory, for a catalogue made by make_catalogue.sh. One mode per process:
//   grid_bench <catalogue folder> ours    the program's fill (scaled decoding, worker pool)
//   grid_bench <catalogue folder> naive   every logo decoded at full size and kept, in order
// Prints "RESULT <mode> <tiles> <seconds> <peak MiB> <MiB before the fill>".
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/player_state.h"
#include "audio/bass.h"
#include "base/paths.h"
#include "catalogue/favourites.h"
#include "catalogue/station_store.h"
#include "imaging/picture.h"
#include "toolkit/headless/headless.h"
#include "ui/forms.h"
#include "ui/main/form1.h"

namespace {

double PeakMiB() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss / 1024.0;
}

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// What a fill without care does: decodes every logo at full size, keeps it, scales it.
size_t NaiveFill() {
  app::PlayerState& st = app::State();
  catalogue::ScanStationFolder(st);
  std::vector<tk::Bitmap> kept, tiles;
  for (int n = 1; n < st.StationCount; ++n) {
    imaging::Kind kind;
    std::string ext = st.LogoExtensions.Get(n);
    if (!imaging::KindOfExtension(ext, &kind)) continue;
    kept.push_back(imaging::LoadPicture(catalogue::LogoFilePath(n, ext), kind));
    tiles.push_back(tk::Resample(kept.back(), 88, 82));
  }
  catalogue::LoadFavourites(st);
  for (int p = 1; p <= st.FavouriteCount; ++p) {
    int n = st.FavouriteNumbers.Get(p);
    imaging::Kind kind;
    std::string ext = st.LogoExtensions.Get(n);
    if (!imaging::KindOfExtension(ext, &kind)) continue;
    kept.push_back(imaging::LoadPicture(catalogue::LogoFilePath(n, ext), kind));
    tiles.push_back(tk::Resample(kept.back(), 85, 82));
  }
  return tiles.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: grid_bench <catalogue folder> ours|naive\n");
    return 2;
  }
  std::string mode = argv[2];
  // The window is made over an empty catalogue; then the fill of the real one is measured.
  std::string empty = std::string(argv[1]) + "/../empty-catalogue";
  std::filesystem::create_directories(empty + "/Stations");
  base::test_hooks::SetExeFolder(mode == "naive" ? argv[1] : empty);
  double before = PeakMiB();
  if (mode == "naive") {
    auto t0 = std::chrono::steady_clock::now();
    size_t tiles = NaiveFill();
    double s = Seconds(t0);
    std::printf("RESULT naive %zu %.4f %.1f %.1f\n", tiles, s, PeakMiB(), before);
    return 0;
  }
  tk::Application& app = tk::Application::Get();
  app.Initialize();
  ui::TForm1* form = app.CreateForm<ui::TForm1>();
  form->NextGrid1.ClearRows();
  form->NextGrid2.ClearRows();
  base::test_hooks::SetExeFolder(argv[1]);
  before = PeakMiB();
  auto t0 = std::chrono::steady_clock::now();
  form->StationFolderScan();  // the scan, then both fills
  double s = Seconds(t0);
  int tiles = 0;
  for (tk::PictureGrid* g : {&form->NextGrid1, &form->NextGrid2})
    for (int r = 0; r < g->RowCount(); ++r)
      for (int c = 0; c < g->Columns(); ++c) tiles += g->HasPicture(c, r);
  std::printf("RESULT ours %d %.4f %.1f %.1f\n", tiles, s, PeakMiB(), before);
  if (!tk::headless::MessageBoxes().empty())
    std::printf("error box: %s\n", tk::headless::MessageBoxes()[0].text.c_str());
  app.DestroyAllForms();
  BASS_Free();
  return 0;
}
