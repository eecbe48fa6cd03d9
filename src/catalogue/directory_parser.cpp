#include "catalogue/directory_parser.h"

#include "app/marker_text.h"

namespace catalogue {

void ParseStationBlocks(std::string& section, app::PlayerState& state, const std::string& playlist_prefix) {
  using app::TextBetween;
  const std::string start = kBlockStart;
  int32_t k = 0;
  // Every block start before `pos` has been consumed, so searching on from there finds what a
  // search from the beginning would.
  for (size_t pos = section.find(start); pos != std::string::npos; pos = section.find(start, pos + 1)) {
    size_t from = pos + start.size();
    size_t end = section.find(kBlockEnd, from);
    std::string block = end == std::string::npos ? std::string() : section.substr(from, end - from);
    std::string logo = TextBetween(kLogoPathStart, kLogoPathEnd, block);
    std::string id = TextBetween(playlist_prefix, kIdentifierEnd, block);
    std::string title = TextBetween(kTitleStart, kTitleEnd, block);
    if (!id.empty() && id[0] == '=' && app::Table1000<std::string>::InRange(k + 1)) {
      ++k;
      state.ParsedStationIds.Set(k, id);
      state.ParsedLogoPaths.Set(k, logo);
      state.ParsedTitles.Set(k, title);
    }
    section[pos] = '#';
  }
  state.ParsedCount = k;
}

}  // namespace catalogue
