#include "catalogue/station_store.h"

#include "app/marker_text.h"
#include "base/intconv.h"
#include "base/paths.h"
#include "base/textfile.h"

namespace catalogue {

std::filesystem::path StationsFolder() { return base::ExeFolder() / "Stations"; }

std::filesystem::path StationFilePath(int32_t number) {
  return StationsFolder() / base::PathFromAnsi("play" + base::IntToStr(number) + ".txt");
}

std::filesystem::path LogoFilePath(int32_t number, const std::string& extension) {
  return StationsFolder() / base::PathFromAnsi(base::IntToStr(number) + extension);
}

StationFile ReadStationFile(int32_t number) {
  base::TextReader reader = base::OpenTextFile(StationFilePath(number));
  StationFile f;
  f.url = reader.ReadLine();
  f.title = reader.ReadLine();
  f.engine = reader.AtEnd() ? "0" : reader.ReadLine();
  return f;
}

void WriteStationFile(int32_t number, const std::string& url, const std::string& title,
                      const std::string* engine) {
  std::vector<std::string> lines{url, title};
  if (engine) lines.push_back(*engine);
  // Written beside the exe, not in Stations, where a leftover would count as a station.
  base::ReplacementFile file(StationFilePath(number), base::BesideExe("station2.txt"));
  file.Write(lines);
  file.Commit();
}

void ScanStationFolder(app::PlayerState& state) {
  int32_t counter = 1;
  for (const std::string& name : base::ListFolder(StationsFolder())) {
    if (name.empty() || name[0] != 'p') {
      size_t dot = name.rfind('.');
      std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
      std::string stem = app::ReplaceAll(name, ext, "");
      state.LogoExtensions.Set(base::StrToInt(stem), ext);
    }
    ++counter;
  }
  state.StationCount = counter / 2 + 1;
}

void ClearStationFolder() {
  for (const std::string& name : base::ListFolder(StationsFolder()))
    base::DeleteFileAt(StationsFolder() / base::PathFromAnsi(name));
}

void RemoveThumbsDb() {
  std::filesystem::path p = StationsFolder() / "thumbs.db";
  if (base::FileExists(p)) base::DeleteFileAt(p);
}

}  // namespace catalogue
