#pragma once
// Name cards for the stations a catalogue build leaves without a picture.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/rebuild.h"

namespace catalogue_tool {

// Twice the player's tile, so the grid shrinks it smoothly.
constexpr int kDrawnLogoWidth = 176;
constexpr int kDrawnLogoHeight = 164;

// Station n of the folder being built gets a drawn N.png in place of its no-logo file (N.txt
// or a bare N); `title` in Windows-1251. Throws base::Error when the picture cannot be written.
void DrawLogo(const std::filesystem::path& folder, int32_t n, const std::string& title, const std::string& tags);

// Makes a build of `folder` draw a logo for every station that ends up without a JPEG, GIF or
// PNG one; `tags` runs parallel to `stations` (or is empty). *drawn counts them.
void DrawMissingLogos(catalogue::BuildOptions& options, const std::filesystem::path& folder,
                      const std::vector<catalogue::NewStation>& stations, const std::vector<std::string>& tags,
                      size_t* drawn);

}  // namespace catalogue_tool
