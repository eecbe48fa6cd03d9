// What the window takes from pasted text and dropped files: addresses, playlist entries with
// their titles, shortcut addresses, and the station names made from them.
#include "catalogue/add_station.h"
#include "split.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  const std::string body(reinterpret_cast<const char*>(data), size);
  std::vector<catalogue::Candidate> all = catalogue::PlaylistEntries(body);
  for (const catalogue::Candidate& c : catalogue::CandidatesFromText(body)) all.push_back(c);
  std::string shortcut = catalogue::ShortcutAddress(body);
  if (!shortcut.empty()) all.push_back({shortcut, body.substr(0, 40)});
  for (const catalogue::Candidate& c : all) {
    FUZZ_CHECK(!c.url.empty());
    std::string name = catalogue::StationName(body.substr(0, 100), c.title, c.url);
    FUZZ_CHECK(name.size() <= catalogue::kMaxStationNameLength);
    FUZZ_CHECK(name.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(catalogue::SameAddress(c.url, c.url));
  }
  catalogue::Deduplicate(all);
  FUZZ_CHECK(all.size() <= catalogue::kMaxAddedStations);
  return 0;
}
