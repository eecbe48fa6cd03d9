#include "catalogue/rebuild.h"

#include <fstream>
#include <system_error>

#include "base/errors.h"
#include "base/intconv.h"
#include "base/paths.h"
#include "base/textfile.h"
#include "net/list_download.h"

namespace catalogue {

namespace fs = std::filesystem;

const char* LogoKindName(LogoKind kind) {
  switch (kind) {
    case LogoKind::Jpeg: return "JPEG";
    case LogoKind::Gif: return "GIF";
    case LogoKind::Png: return "PNG";
    case LogoKind::Unknown: return "unknown";
    case LogoKind::Empty: return "empty";
    case LogoKind::Missing: return "missing";
  }
  return "";
}

std::string LogoExtension(LogoKind kind) {
  switch (kind) {
    case LogoKind::Jpeg: return ".jpg";
    case LogoKind::Gif: return ".gif";
    case LogoKind::Png: return ".png";
    case LogoKind::Unknown: return "";
    case LogoKind::Empty:
    case LogoKind::Missing: return ".txt";
  }
  return "";
}

namespace {

fs::path Numbered(const fs::path& folder, int32_t n, const std::string& ext) {
  return folder / base::PathFromAnsi(base::IntToStr(n) + ext);
}

// The first bytes of a file; false when it cannot be opened.
bool ReadHead(const fs::path& file, std::string& head) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  char buf[8];
  in.read(buf, sizeof buf);
  head.assign(buf, static_cast<size_t>(in.gcount()));
  return true;
}

LogoKind KindBySignature(const std::string& h) {
  if (h.size() >= 3 && h.compare(0, 3, "\xFF\xD8\xFF") == 0) return LogoKind::Jpeg;
  if (h.size() >= 6 && (h.compare(0, 6, "GIF87a") == 0 || h.compare(0, 6, "GIF89a") == 0)) return LogoKind::Gif;
  if (h.size() >= 8 && h.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0) return LogoKind::Png;
  return h.empty() ? LogoKind::Empty : LogoKind::Unknown;
}

LogoKind KindByFirstByte(const std::string& h) {
  switch (h.empty() ? 26 : static_cast<unsigned char>(h[0])) {
    case 26: return LogoKind::Empty;
    case 71: return LogoKind::Gif;
    case 137: return LogoKind::Png;
    case 255: return LogoKind::Jpeg;
    default: return LogoKind::Unknown;
  }
}

void CreateEmpty(const fs::path& file) { std::ofstream(file, std::ios::binary | std::ios::trunc); }

}  // namespace

LogoKind DetectLogoType(const fs::path& folder, int32_t n, LogoRule rule) {
  fs::path bare = Numbered(folder, n, "");
  std::string head;
  if (!ReadHead(bare, head)) {
    // No answer came, so no file: the same as an error answer.
    CreateEmpty(Numbered(folder, n, ".txt"));
    return LogoKind::Missing;
  }
  LogoKind kind = rule == LogoRule::FirstByte ? KindByFirstByte(head) : KindBySignature(head);
  if (rule == LogoRule::Signature && kind == LogoKind::Unknown) {
    CreateEmpty(bare);  // not a picture the player shows: no logo
    kind = LogoKind::Empty;
  }
  if (kind != LogoKind::Unknown) {
    std::error_code ec;
    fs::rename(bare, Numbered(folder, n, LogoExtension(kind)), ec);  // a failure is ignored
  }
  return kind;
}

size_t BuildReport::Count(LogoKind kind) const {
  size_t c = 0;
  for (LogoKind k : logos) c += k == kind;
  return c;
}

fs::path NewFolderOf(const fs::path& folder) { return fs::path(folder.native() + fs::path(".new").native()); }
fs::path OldFolderOf(const fs::path& folder) { return fs::path(folder.native() + fs::path(".old").native()); }

void RestoreInterruptedSwap(const fs::path& folder) {
  std::error_code ec;
  fs::path old_folder = OldFolderOf(folder);
  if (!fs::exists(folder, ec) && fs::is_directory(old_folder, ec)) fs::rename(old_folder, folder, ec);
}

namespace {

// Ends what an earlier build left: the swap undone if need be, and leftover folders gone.
void Recover(const fs::path& folder) {
  RestoreInterruptedSwap(folder);
  std::error_code ec;
  fs::remove_all(NewFolderOf(folder), ec);
  fs::remove_all(OldFolderOf(folder), ec);
}

// Puts `fresh` in `folder`'s place: two renames, or, when the old folder cannot be renamed
// (a file in it is open), its files replaced one by one.
void Swap(const fs::path& folder, const fs::path& fresh) {
  std::error_code ec;
  fs::path old_folder = OldFolderOf(folder);
  bool had_old = fs::exists(folder, ec);
  if (had_old) fs::rename(folder, old_folder, ec);
  if (!had_old || !ec) {
    fs::rename(fresh, folder, ec);
    if (ec) {
      if (had_old) fs::rename(old_folder, folder, ec);
      throw base::Error("Cannot replace the folder " + folder.u8string());
    }
    fs::remove_all(old_folder, ec);
    return;
  }
  for (const auto& e : fs::directory_iterator(folder, ec)) fs::remove(e.path(), ec);
  for (const auto& e : fs::directory_iterator(fresh)) {
    fs::rename(e.path(), folder / e.path().filename(), ec);
    if (ec) throw base::Error("Cannot move " + e.path().u8string());
  }
  fs::remove_all(fresh, ec);
}

}  // namespace

BuildReport BuildCatalogue(const fs::path& folder, const std::vector<NewStation>& stations,
                           const BuildOptions& options) {
  Recover(folder);
  fs::path fresh = NewFolderOf(folder);
  struct Drop {  // the new folder goes unless it was swapped in
    fs::path path;
    ~Drop() {
      std::error_code ec;
      fs::remove_all(path, ec);
    }
  } drop{fresh};
  std::error_code ec;
  if (!fs::create_directories(fresh, ec) || ec) throw base::Error("Cannot create " + fresh.u8string());

  std::vector<std::string> urls, names;
  for (size_t i = 0; i < stations.size(); ++i) {
    int32_t n = static_cast<int32_t>(i + 1);
    base::WriteTextLines(fresh / base::PathFromAnsi("play" + base::IntToStr(n) + ".txt"),
                         {stations[i].url, stations[i].title});
    urls.push_back(stations[i].logo_url);
    names.push_back(base::IntToStr(n));
  }

  BuildReport report;
  report.logos.resize(stations.size(), LogoKind::Missing);
  net::ListDownloadOptions dl;
  dl.http = options.http;
  dl.on_start = [&](size_t row) {
    if (options.on_fetch) options.on_fetch(row, stations[row]);
  };
  dl.on_done = [&](size_t row, net::RowOutcome) {
    report.logos[row] = DetectLogoType(fresh, static_cast<int32_t>(row + 1), options.rule);
    if (options.on_logo) options.on_logo(row, report.logos[row]);
  };
  net::download_list(urls, names, fresh, dl);
  if (options.http.abort && options.http.abort->load()) throw base::Error("The rebuild was stopped");
  // Stations without a logo address get the no-logo marker as well.
  for (size_t i = 0; i < stations.size(); ++i) {
    if (!urls[i].empty()) continue;
    report.logos[i] = DetectLogoType(fresh, static_cast<int32_t>(i + 1), options.rule);
    if (options.on_logo) options.on_logo(i, report.logos[i]);
  }
  Swap(folder, fresh);
  drop.path.clear();
  return report;
}

}  // namespace catalogue
