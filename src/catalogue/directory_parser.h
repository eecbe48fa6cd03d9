#pragma once
#include <string>

#include "app/player_state.h"

namespace catalogue {

// Markers of a station block on the directory's root page.
inline constexpr char kBlockStart[] = "<div class=\"st\">";
inline constexpr char kBlockEnd[] = "</div></div></div>";
inline constexpr char kLogoPathStart[] = "popup=\"500 400\"><img src=\"/";
inline constexpr char kLogoPathEnd[] = "\" class=\"logo\"";
inline constexpr char kIdentifierEnd[] = "\"><img src=\"";
inline constexpr char kTitleStart[] = "class=\"logo\" alt=\"";
inline constexpr char kTitleEnd[] = "\" width=\"";

// Fills entries 1..n of the parsed tables from the station blocks of `section`, in page
// order, and sets ParsedCount to n. A block is a station when the text after
// `playlist_prefix` (up to the identifier end) begins with "=". The section is consumed: the
// "<" of every block start visited becomes "#". Blocks beyond the tables' 1000 entries are
// visited but not stored.
void ParseStationBlocks(std::string& section, app::PlayerState& state, const std::string& playlist_prefix);

}  // namespace catalogue
