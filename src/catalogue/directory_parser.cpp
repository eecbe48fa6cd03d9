#include "catalogue/directory_parser.h"

#include "app/marker_text.h"
#include "base/codepage.h"

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

const char kSectionStart[] = "<h3>\xD0\xE0\xE4\xE8\xEE\xF1\xF2\xE0\xED\xF6\xE8\xE8</h3>";  // Радиостанции
const char kSectionEnd[] = "<div id=\"footer-spacer\">";

std::string CleanTitle(const std::string& title) {
  std::string t = app::ReplaceAll(title, "&laquo;", "");
  t = app::ReplaceAll(t, "&raquo;", "");
  return app::ReplaceAll(t, "&#1110;", "i");
}

std::string DecodePage(const std::string& body) {
  return base::IsValidUtf8(body) ? base::Utf8ToCp1251(body) : std::string();
}

std::vector<NewStation> StationsFromDirectoryPage(const std::string& page, app::PlayerState& state,
                                                  const std::string& root_url, const std::string& playlist_prefix) {
  std::string section = app::TextBetween(kSectionStart, kSectionEnd, page);
  ParseStationBlocks(section, state, playlist_prefix);
  std::vector<NewStation> out;
  for (int32_t k = 1; k <= state.ParsedCount; ++k)
    out.push_back({playlist_prefix + state.ParsedStationIds.Get(k), CleanTitle(state.ParsedTitles.Get(k)),
                   root_url + state.ParsedLogoPaths.Get(k)});
  return out;
}

}  // namespace catalogue
