#pragma once
// Station logos for the grids, decoded in parallel and scaled to the tile size.
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/graphics.h"

namespace ui {

struct LogoRequest {
  int32_t station;
  std::string extension;  // ".jpg", ".gif" or ".png"
};
struct Logo {
  tk::Bitmap picture;  // the tile; empty when the file could not be read
  std::string error;   // why, naming the file
};

// The results come in the order of the requests, the same as a sequential load's.
std::vector<Logo> LoadLogos(const std::vector<LogoRequest>& requests, tk::Size tile);

}  // namespace ui
