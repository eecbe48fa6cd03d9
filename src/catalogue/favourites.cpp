#include "catalogue/favourites.h"

#include "base/errors.h"
#include "base/intconv.h"
#include "base/paths.h"
#include "base/textfile.h"

namespace catalogue {

std::filesystem::path FavouritesPath() { return base::BesideExe("favs.txt"); }
std::filesystem::path FavouritesTempPath() { return base::BesideExe("favs2.txt"); }

bool FavouritesContain(int32_t number) {
  if (!base::FileExists(FavouritesPath())) return false;
  base::TextReader r = base::OpenTextFile(FavouritesPath());
  bool found = false;
  while (!r.AtEnd())
    if (base::StrToInt(r.ReadLine()) == number) found = true;  // read to the end regardless
  return found;
}

void AddFavourite(int32_t number) {
  std::filesystem::path p = FavouritesPath();
  std::vector<std::string> lines;
  if (base::FileExists(p)) {
    std::string bytes = base::ReadFileBytes(p);
    // A last line without its line end would glue two numbers together.
    if (!bytes.empty() && bytes.back() != '\n') lines.push_back("");
  }
  lines.push_back(base::IntToStr(number));
  base::AppendTextLines(p, lines);
}

void RemoveFavourite(int32_t number) {
  base::TextReader r = base::OpenTextFile(FavouritesPath());
  std::vector<std::string> kept;
  std::string failure;
  try {
    while (!r.AtEnd()) {
      std::string line = r.ReadLine();
      if (base::StrToInt(line) != number) kept.push_back(line);
    }
  } catch (const base::Error&) {
    base::WriteTextLines(FavouritesTempPath(), kept);  // the lines before the bad one
    throw;
  }
  base::WriteTextLines(FavouritesTempPath(), kept);
  if (!base::ReplaceFileWith(FavouritesPath(), FavouritesTempPath())) base::ThrowFileAccessDenied();
}

bool LoadFavourites(app::PlayerState& state) {
  if (!base::FileExists(FavouritesPath())) return false;
  base::TextReader r = base::OpenTextFile(FavouritesPath());
  int32_t k = 0;
  while (!r.AtEnd()) {
    std::string line = r.ReadLine();
    ++k;
    state.FavouriteNumbers.Set(k, base::StrToInt(line));
  }
  state.FavouriteCount = k;
  return true;
}

}  // namespace catalogue
