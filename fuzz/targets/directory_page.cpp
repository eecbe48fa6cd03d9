// The directory's root page as a server might send it: decoding, the section cut and the
// block parse.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "catalogue/directory_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto state = std::make_unique<app::PlayerState>();
  std::string body(reinterpret_cast<const char*>(data), size);
  // Either as sent (UTF-8) or with the section markers already in place.
  for (const std::string& page : {catalogue::DecodePage(body), std::string(catalogue::kSectionStart) + body})
    for (const auto& s : catalogue::StationsFromDirectoryPage(page, *state, "http://d/", "http://p/?station"))
      if (s.url.compare(0, 17, "http://p/?station") != 0 || s.url.size() < 18 || s.url[17] != '=') __builtin_trap();
  return 0;
}
