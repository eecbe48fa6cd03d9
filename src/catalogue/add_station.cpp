#include "catalogue/add_station.h"

#include <algorithm>
#include <fstream>

#include "audio/playlist.h"
#include "base/codepage.h"
#include "base/errors.h"
#include "base/paths.h"
#include "base/textfile.h"
#include "catalogue/station_store.h"
#include "catalogue/station_text.h"
#include "net/text.h"

namespace catalogue {
namespace {

using text::IsHttpAddress;
using text::Lower;
using text::StripBom;

// Files bigger than this are not playlists anyone drops.
constexpr uintmax_t kMaxPlaylistFileBytes = 1 << 20;

const char kNoAddresses[] = "в нём нет ни одного адреса потока";
const char kNotPlaylist[] = "это не плей-лист и не ярлык адреса";
const char kUnreadable[] = "файл не читается";
const char kTooBig[] = "файл слишком велик для плей-листа";
const char kSegmented[] = "это плей-лист из отрезков (HLS), такие потоки не поддерживаются";

bool EndsWithCi(const std::string& s, const char* suffix) {
  std::string l = Lower(s), x = suffix;
  return l.size() >= x.size() && l.compare(l.size() - x.size(), x.size(), x) == 0;
}

bool DecimalNumber(const std::string& s, int32_t* n) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  *n = std::stoi(s);
  return true;
}

void WriteBytesWhole(const std::filesystem::path& target, const std::filesystem::path& temp,
                     const std::vector<unsigned char>& bytes) {
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      base::DeleteFileAt(temp);
      base::ThrowFileAccessDenied();
    }
  }
  if (!base::ReplaceFileWith(target, temp)) {
    base::DeleteFileAt(temp);
    base::ThrowFileAccessDenied();
  }
}

}  // namespace

void AddCandidatesFromFile(const std::filesystem::path& file, Candidates& out) {
  std::string shown = base::AnsiFromPath(file.filename());
  std::error_code ec;
  uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec || !std::filesystem::is_regular_file(file, ec)) {
    out.rejected.push_back({shown, kUnreadable});
    return;
  }
  if (size > kMaxPlaylistFileBytes) {
    out.rejected.push_back({shown, kTooBig});
    return;
  }
  std::string body;
  try {
    body = base::ReadFileBytes(file);
  } catch (const base::Error&) {
    out.rejected.push_back({shown, kUnreadable});
    return;
  }
  std::string name = file.filename().string();
  if (EndsWithCi(name, ".url")) {
    std::string url = ShortcutAddress(body);
    if (!IsHttpAddress(url)) {
      out.rejected.push_back({shown, kNoAddresses});
      return;
    }
    // A shortcut's own name is the title its owner gave it.
    std::string stem = base::AnsiFromPath(file.stem());
    out.items.push_back({url, AnyTextToUtf8(stem)});
    return;
  }
  if (Lower(body).find("#ext-x-") != std::string::npos) {
    out.rejected.push_back({shown, kSegmented});
    return;
  }
  if (audio::PlaylistKindFromBody(StripBom(body)) == audio::PlaylistKind::kNone) {
    out.rejected.push_back({shown, kNotPlaylist});
    return;
  }
  std::vector<Candidate> entries = PlaylistEntries(body);
  if (entries.empty()) {
    out.rejected.push_back({shown, kNoAddresses});
    return;
  }
  out.items.insert(out.items.end(), entries.begin(), entries.end());
}

int32_t FindStationByAddress(const std::string& url) {
  int32_t found = 0;
  for (const std::string& name : base::ListFolder(StationsFolder())) {
    int32_t n;
    if (name.size() < 9 || name.compare(0, 4, "play") != 0 || !EndsWithCi(name, ".txt")) continue;
    if (!DecimalNumber(name.substr(4, name.size() - 8), &n)) continue;
    if (found != 0 && n >= found) continue;  // the lowest number wins
    try {
      if (SameAddress(ReadStationFile(n).url, url)) found = n;
    } catch (const base::Error&) {}
  }
  return found;
}

int32_t NextStationNumber() {
  int32_t highest = 0;
  for (const std::string& name : base::ListFolder(StationsFolder())) {
    std::string stem = name.substr(0, name.find('.'));
    if (stem.compare(0, 4, "play") == 0) stem = stem.substr(4);
    int32_t n;
    if (DecimalNumber(stem, &n)) highest = std::max(highest, n);
  }
  return highest + 1;
}

void WriteNewStation(int32_t n, const std::string& url, const std::string& name_ansi,
                     const std::vector<unsigned char>& png) {
  std::filesystem::create_directories(StationsFolder());
  WriteStationFile(n, url, name_ansi, nullptr);
  try {
    if (png.empty()) {
      WriteBytesWhole(LogoFilePath(n, ".txt"), base::BesideExe("station2.logo"), {});
    } else {
      WriteBytesWhole(LogoFilePath(n, ".png"), base::BesideExe("station2.logo"), png);
    }
  } catch (...) {
    base::DeleteFileAt(StationFilePath(n));
    throw;
  }
}

}  // namespace catalogue
