#include "catalogue/rebuild.h"

#include <algorithm>
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
    case LogoKind::kJpeg: return "JPEG";
    case LogoKind::kGif: return "GIF";
    case LogoKind::kPng: return "PNG";
    case LogoKind::kUnknown: return "unknown";
    case LogoKind::kEmpty: return "empty";
    case LogoKind::kMissing: return "missing";
    case LogoKind::kTooLarge: return "too large";
  }
  return "";
}

std::string LogoExtension(LogoKind kind) {
  switch (kind) {
    case LogoKind::kJpeg: return ".jpg";
    case LogoKind::kGif: return ".gif";
    case LogoKind::kPng: return ".png";
    case LogoKind::kUnknown: return "";
    case LogoKind::kEmpty:
    case LogoKind::kMissing:
    case LogoKind::kTooLarge: return ".txt";
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
  if (h.size() >= 3 && h.compare(0, 3, "\xFF\xD8\xFF") == 0) return LogoKind::kJpeg;
  if (h.size() >= 6 && (h.compare(0, 6, "GIF87a") == 0 || h.compare(0, 6, "GIF89a") == 0))
    return LogoKind::kGif;
  if (h.size() >= 8 && h.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0) return LogoKind::kPng;
  return h.empty() ? LogoKind::kEmpty : LogoKind::kUnknown;
}

LogoKind KindByFirstByte(const std::string& h) {
  switch (h.empty() ? 26 : static_cast<unsigned char>(h[0])) {
    case 26: return LogoKind::kEmpty;
    case 71: return LogoKind::kGif;
    case 137: return LogoKind::kPng;
    case 255: return LogoKind::kJpeg;
    default: return LogoKind::kUnknown;
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
    return LogoKind::kMissing;
  }
  LogoKind kind = rule == LogoRule::kFirstByte ? KindByFirstByte(head) : KindBySignature(head);
  if (rule == LogoRule::kSignature && kind == LogoKind::kUnknown) {
    CreateEmpty(bare);  // not a picture the player shows: no logo
    kind = LogoKind::kEmpty;
  }
  if (kind != LogoKind::kUnknown) {
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

std::string BuildReport::DroppedLogos() const {
  std::string list;
  for (size_t i = 0; i < logos.size(); ++i)
    if (logos[i] == LogoKind::kTooLarge)
      list += (list.empty() ? "" : ", ") + base::IntToStr(static_cast<int64_t>(i + 1));
  if (list.empty()) return list;
  return "Logos over " + base::IntToStr(kMaxLogoBytes / 1024) + " KiB, or past the catalogue's " +
         base::IntToStr(static_cast<int64_t>(kMaxLogoTotalBytes >> 20)) +
         " MiB of logos, were dropped: station " + list;
}

fs::path NewFolderOf(const fs::path& folder) {
  return fs::path(folder.native() + fs::path(".new").native());
}
fs::path OldFolderOf(const fs::path& folder) {
  return fs::path(folder.native() + fs::path(".old").native());
}
fs::path SwapFolderOf(const fs::path& folder) {
  return fs::path(folder.native() + fs::path(".swap").native());
}

bool IsStationFileName(const std::string& name) {
  std::string n;
  for (char c : name) n += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (n == "thumbs.db") return true;
  size_t at = n.compare(0, 4, "play") == 0 ? 4 : 0;
  size_t digits = at;
  while (digits < n.size() && n[digits] >= '0' && n[digits] <= '9') ++digits;
  if (digits == at) return false;
  std::string ext = n.substr(digits);
  if (at == 4) return ext == ".txt";
  return ext.empty() || ext == ".jpg" || ext == ".gif" || ext == ".png" || ext == ".txt";
}

bool HoldsStationFilesOnly(const fs::path& folder) {
  std::error_code ec;
  fs::file_status st = fs::symlink_status(folder, ec);
  if (st.type() == fs::file_type::not_found) return true;
  if (ec || st.type() != fs::file_type::directory) return false;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    fs::file_type type =
        fs::symlink_status(it->path(), ec2).type();  // a link itself, never what it names
    if ((type != fs::file_type::regular && type != fs::file_type::symlink) ||
        !IsStationFileName(it->path().filename().u8string()))
      return false;
  }
  return !ec;
}

namespace {

// The path without a trailing separator.
fs::path Trimmed(fs::path p) {
  if (!p.empty() && p.filename().empty() && !p.relative_path().empty()) p = p.parent_path();
  return p;
}

bool IsDots(const fs::path& p) { return p.filename() == "." || p.filename() == ".."; }

}  // namespace

void CheckTarget(const fs::path& folder) {
  fs::path p = Trimmed(folder.lexically_normal());
  std::string shown = folder.u8string();
  if (p.empty() || IsDots(p) || IsDots(Trimmed(folder)) || p.relative_path().empty())
    throw UnsafeTarget("'" + shown + "' cannot be a catalogue folder: name a folder of its own");
  std::error_code ec;
  fs::file_status st = fs::symlink_status(p, ec);
  if (st.type() != fs::file_type::not_found && st.type() != fs::file_type::directory)
    throw UnsafeTarget("'" + shown + "' is not a folder");
  if (!HoldsStationFilesOnly(p))
    throw UnsafeTarget("'" + shown +
                       "' holds files that are not station files; it was not changed");
  for (const fs::path& beside : {NewFolderOf(p), OldFolderOf(p), SwapFolderOf(p)})
    if (!HoldsStationFilesOnly(beside))
      throw UnsafeTarget("'" + beside.u8string() + "' holds files that are not station files; " +
                         shown + " was not changed");
}

namespace test_hooks {
namespace {
MoveHook g_move_hook;
}
void SetMoveHook(MoveHook hook) { g_move_hook = std::move(hook); }
}  // namespace test_hooks

namespace {

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(p, ec);
}

bool Move(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (test_hooks::g_move_hook) test_hooks::g_move_hook(from, to, ec);
  if (!ec) fs::rename(from, to, ec);
  return !ec;
}

// Moves every file of `from` into the folder `to`; false at the first that does not move.
bool MoveFiles(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
    files.push_back(it->path());
  if (ec) return false;
  for (const fs::path& f : files)
    if (!Move(f, to / f.filename())) return false;
  return true;
}

// Removes a folder of station files, file by file; anything else stays.
bool RemoveStationFolder(const fs::path& dir) {
  if (!Exists(dir)) return true;
  if (!HoldsStationFilesOnly(dir)) return false;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    fs::remove(it->path(), ec2);
  }
  fs::remove(dir, ec);
  return !Exists(dir);
}

// The states a swap passes through, with F the folder, O, N and S the folders beside it:
//   N being built, F old                 -> N goes
//   F renamed to O, N not yet in place   -> O back to F
//   F in place, O not yet removed        -> O goes
//   file by file: F's files moving into O (N still there)      -> O's files back to F
//                 N renamed to S, S's files moving into F      -> F's files back to S, then as above
// Each undo step leaves a state of this list, so an undo cut off is finished by the next.
bool Recover(const fs::path& folder) {
  fs::path old_folder = OldFolderOf(folder), fresh = NewFolderOf(folder),
           swap = SwapFolderOf(folder);
  for (const fs::path& p : {folder, old_folder, fresh, swap})
    if (!HoldsStationFilesOnly(p)) return false;
  bool ok = true;
  if (Exists(swap) && Exists(folder) && Exists(old_folder)) {
    ok = MoveFiles(folder, swap) && Move(swap, fresh);
  }
  if (ok && Exists(fresh) && Exists(folder) && Exists(old_folder)) {
    ok = MoveFiles(old_folder, folder);
  }
  if (ok && !Exists(folder) && Exists(old_folder)) ok = Move(old_folder, folder);
  if (!ok) return false;
  return RemoveStationFolder(swap) && RemoveStationFolder(fresh) && RemoveStationFolder(old_folder);
}

[[noreturn]] void CannotReplace(const fs::path& folder) {
  throw base::Error("Cannot replace the folder " + folder.u8string() + "; it was left as it was");
}

// Puts `fresh` in `folder`'s place: two renames, or, when the old folder cannot be renamed
// (a file in it is open), its files moved aside into the old folder's place and the new
// ones moved in; a failure moves everything back. The old folder is gone only when the new
// one is whole.
void Swap(const fs::path& folder, const fs::path& fresh) {
  fs::path old_folder = OldFolderOf(folder), swap = SwapFolderOf(folder);
  if (!Exists(folder)) {
    if (!Move(fresh, folder)) CannotReplace(folder);
    return;
  }
  if (Move(folder, old_folder)) {
    if (!Move(fresh, folder)) {
      Move(old_folder, folder);
      CannotReplace(folder);
    }
    RemoveStationFolder(old_folder);
    return;
  }
  std::error_code ec;
  if (!fs::create_directory(old_folder, ec)) CannotReplace(folder);
  if (!MoveFiles(folder, old_folder)) {
    MoveFiles(old_folder, folder);
    RemoveStationFolder(old_folder);
    CannotReplace(folder);
  }
  // From here on a recovery knows the files in `folder` are new ones.
  if (!Move(fresh, swap)) {
    MoveFiles(old_folder, folder);
    RemoveStationFolder(old_folder);
    CannotReplace(folder);
  }
  if (!MoveFiles(swap, folder)) {
    if (MoveFiles(folder, swap) && Move(swap, fresh) && MoveFiles(old_folder, folder))
      RemoveStationFolder(old_folder);
    CannotReplace(folder);
  }
  RemoveStationFolder(swap);
  RemoveStationFolder(old_folder);
}

}  // namespace

void RestoreInterruptedSwap(const fs::path& folder) { Recover(folder); }

BuildReport BuildCatalogue(const fs::path& folder, const std::vector<NewStation>& stations,
                           const BuildOptions& options) {
  CheckTarget(folder);
  if (!Recover(folder))
    throw base::Error("Cannot finish the swap of an earlier build of " + folder.u8string());
  fs::path fresh = NewFolderOf(folder);
  struct Drop {  // the new folder goes unless it was swapped in
    fs::path path;
    ~Drop() {
      if (!path.empty()) RemoveStationFolder(path);
    }
  } drop{fresh};
  std::error_code ec;
  if (!fs::create_directories(fresh, ec) || ec)
    throw base::Error("Cannot create " + fresh.u8string());

  std::vector<std::string> urls, names;
  for (size_t i = 0; i < stations.size(); ++i) {
    int32_t n = static_cast<int32_t>(i + 1);
    base::WriteTextLines(fresh / base::PathFromAnsi("play" + base::IntToStr(n) + ".txt"),
                         {OneLine(stations[i].url), OneLine(stations[i].title)});
    urls.push_back(OneLine(stations[i].logo_url));
    names.push_back(base::IntToStr(n));
  }

  BuildReport report;
  report.logos.resize(stations.size(), LogoKind::kMissing);
  auto detect = [&](size_t row) {
    int32_t n = static_cast<int32_t>(row + 1);
    LogoKind kind = DetectLogoType(fresh, n, options.rule);
    if (options.check_logo &&
        (kind == LogoKind::kJpeg || kind == LogoKind::kGif || kind == LogoKind::kPng) &&
        !options.check_logo(Numbered(fresh, n, LogoExtension(kind)), kind)) {
      std::error_code e;
      fs::remove(Numbered(fresh, n, LogoExtension(kind)), e);
      CreateEmpty(Numbered(fresh, n, ".txt"));
      kind = LogoKind::kEmpty;
    }
    return kind;
  };
  net::ListDownloadOptions dl;
  dl.http = options.http;
  dl.http.max_body = std::min(dl.http.max_body, kMaxLogoBytes);
  dl.total_max = kMaxLogoTotalBytes;
  dl.on_start = [&](size_t row) {
    if (options.on_fetch) options.on_fetch(row, stations[row]);
  };
  dl.on_done = [&](size_t row, net::RowOutcome outcome) {
    if (outcome == net::RowOutcome::kWriteFailed)
      throw base::Error("Cannot write the logo of station " +
                        base::IntToStr(static_cast<int64_t>(row + 1)) + " in " + fresh.u8string());
    report.logos[row] = detect(row);
    if (outcome == net::RowOutcome::kTooLarge) report.logos[row] = LogoKind::kTooLarge;
    if (options.on_logo) options.on_logo(row, report.logos[row]);
  };
  net::DownloadList(urls, names, fresh, dl);
  if (options.http.abort && options.http.abort->load())
    throw base::Error("The rebuild was stopped");
  // Stations without a logo address get the no-logo marker as well.
  for (size_t i = 0; i < stations.size(); ++i) {
    if (!urls[i].empty()) continue;
    report.logos[i] = detect(i);
    if (options.on_logo) options.on_logo(i, report.logos[i]);
  }
  // The no-logo markers are written unchecked above: the folder is complete only when each
  // station has its file (a logo hook may have put a picture in place of the marker).
  for (size_t i = 0; i < stations.size(); ++i) {
    int32_t n = static_cast<int32_t>(i + 1);
    bool found = false;
    for (LogoKind k :
         {report.logos[i], LogoKind::kJpeg, LogoKind::kGif, LogoKind::kPng, LogoKind::kEmpty})
      found = found || Exists(Numbered(fresh, n, LogoExtension(k)));
    if (!found)
      throw base::Error("Cannot write the logo of station " + base::IntToStr(n) + " in " +
                        fresh.u8string());
  }
  Swap(folder, fresh);
  drop.path.clear();
  return report;
}

}  // namespace catalogue
