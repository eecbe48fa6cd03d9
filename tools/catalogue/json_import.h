#pragma once
// Stations from the JSON station list of the community radio directory: an array of station
// objects with "name", "url_resolved", "favicon", "countrycode", "tags" and "votes".
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/rebuild.h"

namespace catalogue_tool {

struct JsonFilter {
  std::string country;  // two-letter code, any case; empty: every country
  std::string tag;      // one of the comma-separated tags, any case; empty: any
  size_t top = 0;       // the N with the most votes; 0: all
  size_t limit = 999;   // never more than this many stations
};

struct JsonImport {
  std::vector<catalogue::NewStation> stations;  // texts in Windows-1251
  std::vector<std::string> tags;                // each station's "tags" (UTF-8), in the same order
  size_t skipped_bad = 0;                       // not an object, no name, no usable address
  size_t skipped_duplicate = 0;                 // a name seen before (case ignored)
  size_t filtered_out = 0;                      // by country or tag
  size_t over_limit = 0;                        // beyond top or limit
};

// Throws base::Error when the text is not a JSON array.
JsonImport StationsFromJson(const std::string& json_text, const JsonFilter& filter);

// The logo file decodes as a picture of its kind (within the decoders' limits).
bool LogoDecodes(const std::filesystem::path& file, catalogue::LogoKind kind);

}  // namespace catalogue_tool
