// Writes the artwork that ships as files (the pictures beside the exe and the product icon)
// into the repository: export_artwork <repository folder>.
#include <fstream>
#include <iostream>

#include "tools/artwork/shipped.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: export_artwork <repository folder>\n";
    return 2;
  }
  std::string root = argv[1];
  auto write = [&](const std::string& rel, const std::string& bytes) {
    std::ofstream out(root + "/" + rel, std::ios::binary);
    out << bytes;
    if (!out) {
      std::cerr << "cannot write " << rel << "\n";
      return false;
    }
    std::cout << rel << " (" << bytes.size() << " bytes)\n";
    return true;
  };
  for (const auto& [rel, bmp] : artwork_files::ShippedPictures())
    if (!write(rel, artwork_files::EncodePng(bmp))) return 1;
  return write(artwork_files::kIconPath, artwork_files::ProductIconFile()) ? 0 : 1;
}
