#pragma once
// The pictures that ship as files: what each file holds, drawn by the program's artwork code.
#include <string>
#include <utility>
#include <vector>

#include "tools/artwork/image_files.h"
#include "ui/artwork.h"

namespace artwork_files {

// PNG files beside the exe, by their path in the repository.
inline std::vector<std::pair<std::string, tk::Bitmap>> ShippedPictures() {
  return {{"assets/dist/fav.png", ui::art::FavouriteMark(true)},
          {"assets/dist/notfav.png", ui::art::FavouriteMark(false)},
          {"assets/dist/vol.png", ui::art::Speaker(false)},
          {"assets/dist/voloff.png", ui::art::Speaker(true)}};
}

constexpr char kIconPath[] = "assets/icon/tivolna.ico";

inline std::string ProductIconFile() {
  std::vector<tk::Bitmap> images;
  for (int size : {16, 20, 24, 32, 40, 48, 64}) images.push_back(ui::art::ProductIcon(size));
  return EncodeIco(images);
}

}  // namespace artwork_files
