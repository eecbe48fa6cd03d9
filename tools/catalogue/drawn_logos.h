#pragma once
// Name cards for the stations a catalogue build leaves without a picture.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/rebuild.h"
#include "toolkit/grid.h"
#include "ui/main/layout.h"

namespace catalogue_tool {

// The tile of the player's station grid (88 x 82), so the grid shows it as drawn; twice the
// size looked the same there at 2.6 times the bytes.
constexpr int kDrawnLogoWidth = ui::layout::kGrid1ColumnWidth - 2 * tk::PictureGrid::kMargin;
constexpr int kDrawnLogoHeight = ui::layout::kGridRowHeight - 2 * tk::PictureGrid::kMargin;

// Station n of the folder being built gets a drawn N.png in place of its no-logo file (N.txt
// or a bare N); `title` in Windows-1251. Throws base::Error when the picture cannot be written.
void DrawLogo(const std::filesystem::path& folder, int32_t n, const std::string& title,
              const std::string& tags);

// Makes a build of `folder` draw a logo for every station that ends up without a JPEG, GIF or
// PNG one; `tags` runs parallel to `stations` (or is empty). *drawn counts them.
void DrawMissingLogos(catalogue::BuildOptions& options, const std::filesystem::path& folder,
                      const std::vector<catalogue::NewStation>& stations,
                      const std::vector<std::string>& tags, size_t* drawn);

}  // namespace catalogue_tool
