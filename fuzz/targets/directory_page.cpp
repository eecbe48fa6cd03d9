// The directory's root page as a server might send it: decoding, the section cut and the
// block parse, checked against a plain search from each block start.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "app/marker_text.h"
#include "catalogue/directory_parser.h"

namespace {

const std::string kPrefix = "http://p/?station";

// Entries as a search of each block on its own finds them (quadratic, but the inputs are small).
int Reference(std::string section, app::PlayerState& st) {
  int k = 0;
  for (size_t pos = section.find(catalogue::kBlockStart); pos != std::string::npos;
       pos = section.find(catalogue::kBlockStart, pos + 1)) {
    size_t from = pos + sizeof catalogue::kBlockStart - 1;
    size_t end = section.find(catalogue::kBlockEnd, from);
    std::string block = end == std::string::npos ? std::string() : section.substr(from, end - from);
    std::string id = app::TextBetween(kPrefix, catalogue::kIdentifierEnd, block);
    std::string logo = app::TextBetween(catalogue::kLogoPathStart, catalogue::kLogoPathEnd, block);
    std::string title = app::TextBetween(catalogue::kTitleStart, catalogue::kTitleEnd, block);
    if (id.empty() || id[0] != '=' || k == 1000) continue;
    if (id.size() > 4096 || logo.size() > 4096 || title.size() > 4096) continue;
    ++k;
    st.ParsedStationIds.Set(k, id);
    st.ParsedLogoPaths.Set(k, logo);
    st.ParsedTitles.Set(k, title);
  }
  return k;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto state = std::make_unique<app::PlayerState>();
  static auto reference = std::make_unique<app::PlayerState>();
  std::string body(reinterpret_cast<const char*>(data), size);
  // Either as sent (UTF-8) or with the section markers already in place.
  for (const std::string& page :
       {catalogue::DecodePage(body), std::string(catalogue::kSectionStart) + body}) {
    for (const auto& s : catalogue::StationsFromDirectoryPage(page, *state, "http://d/", kPrefix)) {
      if (s.url.compare(0, 17, "http://p/?station") != 0 || s.url.size() < 18 || s.url[17] != '=')
        __builtin_trap();
      for (const std::string* t : {&s.url, &s.title, &s.logo_url})
        for (char c : *t)
          if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) __builtin_trap();
    }
    std::string section = app::TextBetween(catalogue::kSectionStart, catalogue::kSectionEnd, page);
    int n = Reference(section, *reference);
    catalogue::ParseStationBlocks(section, *state, kPrefix);
    if (state->ParsedCount != n || section.find(catalogue::kBlockStart) != std::string::npos)
      __builtin_trap();
    for (int k = 1; k <= n; ++k)
      if (state->ParsedStationIds.Get(k) != reference->ParsedStationIds.Get(k) ||
          state->ParsedLogoPaths.Get(k) != reference->ParsedLogoPaths.Get(k) ||
          state->ParsedTitles.Get(k) != reference->ParsedTitles.Get(k))
        __builtin_trap();
  }
  return 0;
}
