#pragma once
// Building a whole new Stations folder: station files, logos fetched one at a time, logo
// types, and the swap that puts the new folder in the old one's place only once complete.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "base/errors.h"
#include "catalogue/directory_parser.h"
#include "net/http_get.h"

namespace catalogue {

enum class LogoKind { kJpeg, kGif, kPng, kUnknown, kEmpty, kMissing, kTooLarge };
const char* LogoKindName(LogoKind kind);

// How a fetched logo is named.
enum class LogoRule {
  kFirstByte,  // the directory's rule: by the first byte alone; anything else keeps a bare name
  kSignature,  // only complete JPEG, GIF and PNG signatures are kept; anything else is no logo
};

// Renames folder/N by its first byte (an empty file reads as byte 26): N.txt, N.gif, N.png,
// N.jpg, or the bare name. A missing file becomes the empty N.txt. A failed rename is ignored.
LogoKind DetectLogoType(const std::filesystem::path& folder, int32_t n,
                        LogoRule rule = LogoRule::kFirstByte);
// The extension a kind leaves on the logo file ("" for the bare name).
std::string LogoExtension(LogoKind kind);

// One logo fits a tile: a larger one is dropped (its station gets N.txt, no tile), and so
// are the logos that would take the catalogue's logos past their total.
inline constexpr size_t kMaxLogoBytes = 512 * 1024;
inline constexpr uint64_t kMaxLogoTotalBytes = 64ull << 20;

struct BuildOptions {
  LogoRule rule = LogoRule::kFirstByte;
  net::HttpGetOptions http;  // each logo fetch; its body limit is at most kMaxLogoBytes
  // When set, a logo it refuses (the file, its kind) becomes no logo, as Empty.
  std::function<bool(const std::filesystem::path& file, LogoKind kind)> check_logo;
  // Before each logo fetch, and after it with its kind.
  std::function<void(size_t index, const NewStation& station)> on_fetch;
  std::function<void(size_t index, LogoKind kind)> on_logo;
};

struct BuildReport {
  std::vector<LogoKind> logos;  // per station, in order
  size_t Count(LogoKind kind) const;
  // "" or a line naming the stations whose logos were dropped for their size.
  std::string DroppedLogos() const;
};

// A target that is not a catalogue folder: base::Error with the reason; nothing was changed.
class UnsafeTarget : public base::Error {
 public:
  using base::Error::Error;
};

// A station file's name: playN.txt, N, N.jpg, N.gif, N.png, N.txt (any case), or the
// thumbs.db that Windows' Explorer leaves.
bool IsStationFileName(const std::string& name);
// The folder holds nothing but station files (regular files, or links, which are removed as
// links). A missing folder holds none.
bool HoldsStationFilesOnly(const std::filesystem::path& folder);
// Throws UnsafeTarget for a root, ".", "..", a path that is not a folder, or a folder (or
// one beside it that a build uses) holding anything but station files.
void CheckTarget(const std::filesystem::path& folder);

// Writes station N = index + 1 of `stations` (two lines) and its logo into a new folder
// beside `folder`, then puts that folder in `folder`'s place. On any failure (a logo that
// cannot be written among them) the new folder is dropped, `folder` is left as it was and
// base::Error is thrown; UnsafeTarget before anything is touched (CheckTarget). A swap
// interrupted by the end of the process is completed or undone by the next build.
BuildReport BuildCatalogue(const std::filesystem::path& folder,
                           const std::vector<NewStation>& stations, const BuildOptions& options);

// What a build cut off by the end of its process left: a swap in the middle is undone (the
// old folder whole again) or, when only the leftovers' removal was missing, completed, and
// the folders beside `folder` go. Folders holding anything but station files are left
// alone. Throws nothing.
void RestoreInterruptedSwap(const std::filesystem::path& folder);

// The folders a build uses beside `folder`: the new catalogue, the old one moved aside, and
// the new one while its files are being moved in one by one (when `folder` itself cannot be
// renamed).
std::filesystem::path NewFolderOf(const std::filesystem::path& folder);
std::filesystem::path OldFolderOf(const std::filesystem::path& folder);
std::filesystem::path SwapFolderOf(const std::filesystem::path& folder);

namespace test_hooks {
// Called before each rename of the swap and its recovery; an error it sets stands for the
// rename's own.
using MoveHook = std::function<void(const std::filesystem::path& from,
                                    const std::filesystem::path& to, std::error_code& ec)>;
void SetMoveHook(MoveHook hook);
}  // namespace test_hooks

}  // namespace catalogue
