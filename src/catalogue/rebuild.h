#pragma once
// Building a whole new Stations folder: station files, logos fetched one at a time, logo
// types, and the swap that puts the new folder in the old one's place only once complete.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/directory_parser.h"
#include "net/http_get.h"

namespace catalogue {

enum class LogoKind { Jpeg, Gif, Png, Unknown, Empty, Missing };
const char* LogoKindName(LogoKind kind);

// How a fetched logo is named.
enum class LogoRule {
  FirstByte,  // the directory's rule: by the first byte alone; anything else keeps a bare name
  Signature,  // only complete JPEG, GIF and PNG signatures are kept; anything else is no logo
};

// Renames folder/N by its first byte (an empty file reads as byte 26): N.txt, N.gif, N.png,
// N.jpg, or the bare name. A missing file becomes the empty N.txt. A failed rename is ignored.
LogoKind DetectLogoType(const std::filesystem::path& folder, int32_t n, LogoRule rule = LogoRule::FirstByte);
// The extension a kind leaves on the logo file ("" for the bare name).
std::string LogoExtension(LogoKind kind);

struct BuildOptions {
  LogoRule rule = LogoRule::FirstByte;
  net::HttpGetOptions http;  // each logo fetch
  // Before each logo fetch, and after it with its kind.
  std::function<void(size_t index, const NewStation& station)> on_fetch;
  std::function<void(size_t index, LogoKind kind)> on_logo;
};

struct BuildReport {
  std::vector<LogoKind> logos;  // per station, in order
  size_t Count(LogoKind kind) const;
};

// Writes station N = index + 1 of `stations` (two lines) and its logo into a new folder
// beside `folder`, then puts that folder in `folder`'s place. On any failure the new folder
// is dropped, `folder` is left as it was and base::Error is thrown. A swap interrupted by the
// end of the process is completed or undone by the next build.
BuildReport BuildCatalogue(const std::filesystem::path& folder, const std::vector<NewStation>& stations,
                           const BuildOptions& options);

// A build cut off between the two renames of its swap leaves no `folder`: the old one is put
// back.
void RestoreInterruptedSwap(const std::filesystem::path& folder);

// The folders a build uses beside `folder`.
std::filesystem::path NewFolderOf(const std::filesystem::path& folder);
std::filesystem::path OldFolderOf(const std::filesystem::path& folder);

}  // namespace catalogue
