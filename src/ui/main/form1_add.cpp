// The main window's additions to the catalogue: addresses pasted or dropped, playlist files
// dropped. Each address is opened on a worker thread as a station would be; what plays is
// written as a new station with a drawn logo, shown, and started.
#include <algorithm>
#include <atomic>
#include <thread>

#include "app/player_state.h"
#include "base/codepage.h"
#include "base/paths.h"
#include "catalogue/add_station.h"
#include "catalogue/station_store.h"
#include "imaging/namecard.h"
#include "playback/station_probe.h"
#include "playback/stream_worker.h"
#include "playback/title.h"
#include "ui/main/form1.h"
#include "ui/main/layout.h"

namespace ui {
namespace {

constexpr int kVkInsert = 0x2D;
constexpr size_t kProbesAtOnce = 4;
constexpr size_t kReasonsShown = 8;
constexpr int32_t kHighestStationNumber = 1000;  // the catalogue tables' size

const char kNotAddedOne[] = "Не удалось добавить радиостанцию.";
const char kNotAddedSome[] = "Не удалось добавить радиостанции:";
const char kCatalogueFull[] = "в каталоге уже 1000 радиостанций";

std::atomic<int> g_adding{0};

// The picture of a new station's tile, as PNG bytes, twice the tile's size; empty: the
// station has no logo.
std::vector<unsigned char> DrawStationLogo(const std::string& name_utf8,
                                           const std::string& genre_utf8) {
  const tk::Size tile{layout::kGrid1ColumnWidth - 2 * tk::PictureGrid::kMargin,
                      layout::kGridRowHeight - 2 * tk::PictureGrid::kMargin};
  return imaging::DrawNameCard(name_utf8, genre_utf8, 2 * tile.width, 2 * tile.height);
}

// Long addresses are cut for the message box.
std::string Shown(const std::string& what) {
  std::string utf8 = catalogue::AnyTextToUtf8(what);
  if (utf8.size() <= 80) return utf8;
  size_t cut = 77;
  while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
  return utf8.substr(0, cut) + "...";
}

}  // namespace

// Shared between the window and the threads that open addresses: the window may be gone when
// they finish.
class StationAdder {
 public:
  explicit StationAdder(TForm1* f) : form(f) {}
  TForm1* form;  // null once the window is gone; read and cleared on the UI thread only
};

struct TForm1::Probed {
  catalogue::Candidate candidate;
  playback::ProbeResult probe;
};

int TForm1::AddingStations() { return g_adding.load(); }

void TForm1::DetachAdder() {
  if (adder_) adder_->form = nullptr;
}

void TForm1::FormKeyDown(int vk, uint8_t shift) {
  bool ctrl_v = vk == 'V' && (shift & tk::kCtrlKey) && !(shift & tk::kAltKey);
  bool shift_insert =
      vk == kVkInsert && (shift & tk::kShiftKey) && !(shift & (tk::kCtrlKey | tk::kAltKey));
  if (!ctrl_v && !shift_insert) return;
  catalogue::Candidates c;
  c.items = catalogue::CandidatesFromText(tk::TheClipboard().AsText());
  if (c.items.empty()) return;  // no address on the clipboard: nothing to add
  AddStations(c);
}

void TForm1::FormDrop(const tk::DropData& d) {
  catalogue::Candidates c;
  for (const std::filesystem::path& f : d.files) catalogue::AddCandidatesFromFile(f, c);
  if (!d.text.empty()) {
    std::vector<catalogue::Candidate> found = catalogue::CandidatesFromText(d.text);
    c.items.insert(c.items.end(), found.begin(), found.end());
  }
  AddStations(c);
}

void TForm1::AddStations(const catalogue::Candidates& given) {
  std::vector<catalogue::Candidate> items = given.items;
  catalogue::Deduplicate(items);
  std::vector<std::pair<std::string, std::string>> rejected;
  for (const catalogue::Rejected& r : given.rejected) rejected.push_back({r.what, r.reason});
  // Addresses the catalogue has already are not added again; the first of them plays.
  int32_t existing = 0;
  std::vector<catalogue::Candidate> fresh;
  for (catalogue::Candidate& c : items) {
    int32_t n = catalogue::FindStationByAddress(c.url);
    if (n == 0)
      fresh.push_back(std::move(c));
    else if (existing == 0)
      existing = n;
  }
  if (fresh.empty()) {
    if (existing) ShowAndPlay(existing);
    FinishAdding({}, rejected);
    return;
  }
  RxLabel7.SetCaption(playback::kConnectingText);
  if (!adder_) adder_ = std::make_shared<StationAdder>(this);
  ++g_adding;
  std::thread([adder = adder_, fresh = std::move(fresh), rejected = std::move(rejected)] {
    std::vector<Probed> probed(fresh.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
      for (size_t i; (i = next++) < fresh.size();)
        probed[i] = {fresh[i], playback::ProbeStation(fresh[i].url)};
    };
    std::vector<std::thread> helpers;
    for (size_t k = 1; k < std::min(kProbesAtOnce, fresh.size()); ++k) helpers.emplace_back(work);
    work();
    for (std::thread& t : helpers) t.join();
    tk::Application::Get().Post([adder, probed = std::move(probed), rejected] {
      if (adder->form) adder->form->FinishAdding(probed, rejected);
    });
    --g_adding;
  }).detach();
}

void TForm1::FinishAdding(const std::vector<Probed>& probed,
                          const std::vector<std::pair<std::string, std::string>>& rejected) {
  std::vector<std::pair<std::string, std::string>> failed = rejected;
  std::vector<int32_t> added;
  int32_t existing = 0;
  for (const Probed& p : probed) {
    const std::string& url = p.candidate.url;
    if (!p.probe.ok) {
      failed.push_back({url, playback::ReasonText(p.probe.error)});
      continue;
    }
    // Another addition may have written it meanwhile.
    if (int32_t n = catalogue::FindStationByAddress(url)) {
      if (existing == 0) existing = n;
      continue;
    }
    int32_t n = catalogue::NextStationNumber();
    if (n > kHighestStationNumber) {
      failed.push_back({url, kCatalogueFull});
      continue;
    }
    std::string icy_name = base::Cp1251ToUtf8(playback::TitleToAnsi(p.probe.icy_name));
    std::string name = catalogue::StationName(icy_name, p.candidate.title, url);
    std::vector<unsigned char> logo =
        DrawStationLogo(base::Cp1251ToUtf8(name), catalogue::AnyTextToUtf8(p.probe.icy_genre));
    try {
      catalogue::WriteNewStation(n, url, name, logo);
      added.push_back(n);
    } catch (const std::exception& e) {
      failed.push_back({url, e.what()});
    }
  }
  if (!added.empty()) {
    NextGrid1.ClearRows();
    NextGrid2.ClearRows();
    StationFolderScan();
  }
  int32_t play = !added.empty() ? added.front() : existing;
  if (play) {
    ShowAndPlay(play);
  } else if (!probed.empty()) {
    RxLabel7.SetCaption(playback::kNoSignalText);
  }
  if (failed.empty()) return;
  std::string text =
      failed.size() == 1 && probed.size() + rejected.size() <= 1 ? kNotAddedOne : kNotAddedSome;
  for (size_t i = 0; i < failed.size() && i < kReasonsShown; ++i)
    text += "\n" + Shown(failed[i].first) + ": " + failed[i].second + ".";
  if (failed.size() > kReasonsShown)
    text += "\n... (" + std::to_string(failed.size() - kReasonsShown) + ")";
  tk::ShowMessageBox(text, tk::Application::Get().Title, tk::kMbOk | tk::kMbIconError);
}

// The station's tile is brought into view and pressed; a station without a tile is started
// as a press would start it.
void TForm1::ShowAndPlay(int32_t n) {
  if (app::State().FavouritesViewActive == 1) RxLabel2Click();
  for (int row = 0; row < NextGrid1.RowCount(); ++row) {
    for (int col = 0; col < NextGrid1.Columns(); ++col) {
      if (NextGrid1.Tag(col, row) != n) continue;
      NextGrid1.ScrollTo(row * NextGrid1.RowHeight());
      NextGrid1SelectCell(col, row);
      return;
    }
  }
  SelectionSettingsStep();
  RxLabel7.SetFontStyle(static_cast<uint8_t>(RxLabel7.FontStyle() & ~tk::kUnderline));
  if (base::FileExists(catalogue::StationFilePath(n))) StartSelected(n, kAddFavouriteHint);
  if (RxLabel6.Caption() != kDefaultTitle) SelectionEditorStep();
  RxTrayIcon1.SetHint(RxLabel6.Caption());
}

}  // namespace ui
