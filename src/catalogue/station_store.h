#pragma once
#include <filesystem>
#include <string>

#include "app/player_state.h"

namespace catalogue {

// The Stations folder beside the executable.
std::filesystem::path StationsFolder();
std::filesystem::path StationFilePath(int32_t number);  // Stations\playN.txt
std::filesystem::path LogoFilePath(int32_t number, const std::string& extension);

// Lines 1..3 of a station file; missing lines read as empty, a missing third line as "0".
struct StationFile {
  std::string url;
  std::string title;
  std::string engine;
};
// Throws "File not found" when the station file is missing.
StationFile ReadStationFile(int32_t number);
// Replaces the whole file in one step: two lines, or three when `engine` is given. A failure
// leaves the old file as it was.
void WriteStationFile(int32_t number, const std::string& url, const std::string& title,
                      const std::string* engine);

// Counts the folder's entries into state.StationCount and records each logo's extension in
// state.LogoExtensions. A logo name whose stem is not an integer throws
// "'<stem>' is not a valid integer value"; extensions stored before it stay and StationCount
// keeps its earlier value. Logo numbers outside 1..1000 are counted but not stored.
void ScanStationFolder(app::PlayerState& state);

// Deletes every file of the folder; failures are ignored entry by entry.
void ClearStationFolder();

// Deletes a stray thumbnail cache "thumbs.db" from the folder, if there is one.
void RemoveThumbsDb();

}  // namespace catalogue
