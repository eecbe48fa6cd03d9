#pragma once
#include <string>
#include <vector>

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
// visited but not stored; a block with a field over 4 KiB is no station. The parse takes
// time linear in the section's length.
void ParseStationBlocks(std::string& section, app::PlayerState& state,
                        const std::string& playlist_prefix);

// Section markers of the directory's root page (Windows-1251).
extern const char kSectionStart[];
extern const char kSectionEnd[];

// One station of a new catalogue; texts in Windows-1251.
struct NewStation {
  std::string url;
  std::string title;
  std::string logo_url;  // empty: no logo
};

// Control characters (below 0x20, and 0x7F) as spaces: text from the network never adds a
// line to a station file.
std::string OneLine(std::string text);

// The directory's title replacements: guillemet entities dropped, &#1110; as a Latin i.
std::string CleanTitle(const std::string& title);

// The page body (UTF-8) decoded to Windows-1251 with "?" for what it lacks; an invalid body
// gives the empty text.
std::string DecodePage(const std::string& body);

// Cuts the station section out of the decoded page, parses it into the state's parsed
// tables and gives their stations: the stream address (prefix + identifier), the cleaned
// title and the logo address (root + path), each as one line.
std::vector<NewStation> StationsFromDirectoryPage(const std::string& page, app::PlayerState& state,
                                                  const std::string& root_url,
                                                  const std::string& playlist_prefix);

}  // namespace catalogue
