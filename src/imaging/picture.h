#pragma once
// Pictures from JPEG, PNG and GIF files (the first frame of a GIF), into 32-bit bitmaps.
#include <filesystem>
#include <string>

#include "toolkit/graphics.h"

namespace imaging {

enum class Kind { kJpeg, kPng, kGif };

// The largest picture decoded: wider, taller or bigger ones are refused as invalid.
constexpr int kMaxSide = 4096;
constexpr long long kMaxPixels = 16LL * 1024 * 1024;
constexpr unsigned long long kMaxFileBytes = 64ULL * 1024 * 1024;
// A JPEG picture of more scans is refused as invalid (a progressive one has about ten).
constexpr int kMaxJpegScans = 100;

// Decodes a whole file; throws base::Error: "File not found" when it is missing, and the
// decoder's complaint ("JPEG image is not valid", ...) when it is not a picture of its kind.
tk::Bitmap LoadPicture(const std::filesystem::path& path, Kind kind);
tk::Bitmap Decode(const std::string& bytes, Kind kind);
// For a picture that will be shown at `fit`: JPEG pictures are decoded at the smallest
// scale (1/8 to 1/1) that still covers it; others at full size.
tk::Bitmap LoadPicture(const std::filesystem::path& path, Kind kind, tk::Size fit);
tk::Bitmap Decode(const std::string& bytes, Kind kind, tk::Size fit);

// Kind by a file extension as written (".jpg", ".gif", ".png", case included); false for
// any other.
bool KindOfExtension(const std::string& ext, Kind* kind);

}  // namespace imaging
