#include "drawn_logos.h"

#include <fstream>

#include "base/codepage.h"
#include "base/errors.h"
#include "base/intconv.h"
#include "base/paths.h"
#include "imaging/namecard.h"

namespace catalogue_tool {

namespace fs = std::filesystem;

void DrawLogo(const fs::path& folder, int32_t n, const std::string& title,
              const std::string& tags) {
  std::vector<unsigned char> png =
      imaging::DrawNameCard(base::Cp1251ToUtf8(title), tags, kDrawnLogoWidth, kDrawnLogoHeight);
  if (png.empty()) throw base::Error("Cannot draw a logo for station " + base::IntToStr(n));
  std::string stem = base::IntToStr(n);
  std::error_code ec;
  fs::remove(folder / base::PathFromAnsi(stem + ".txt"), ec);
  fs::remove(folder / base::PathFromAnsi(stem), ec);
  fs::path file = folder / base::PathFromAnsi(stem + ".png");
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  out.close();
  if (!out) throw base::Error("Cannot write " + file.u8string());
}

void DrawMissingLogos(catalogue::BuildOptions& options, const fs::path& folder,
                      const std::vector<catalogue::NewStation>& stations,
                      const std::vector<std::string>& tags, size_t* drawn) {
  using K = catalogue::LogoKind;
  fs::path fresh = catalogue::NewFolderOf(folder);
  auto next = options.on_logo;
  options.on_logo = [=, &stations, &tags](size_t i, K kind) {
    if (kind != K::kJpeg && kind != K::kGif && kind != K::kPng) {
      DrawLogo(fresh, static_cast<int32_t>(i + 1), stations[i].title,
               i < tags.size() ? tags[i] : std::string());
      ++*drawn;
    }
    if (next) next(i, kind);
  };
}

}  // namespace catalogue_tool
