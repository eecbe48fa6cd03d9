#pragma once
// Adding a station from an address or a playlist file the user hands the window: the
// addresses found in what was handed over, the station's name, its number, and writing it.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace catalogue {

// At most this many addresses are taken from one paste or drop.
constexpr size_t kMaxAddedStations = 50;
// Longest station name written, in bytes of Windows-1251.
constexpr size_t kMaxStationNameLength = 60;

// An address to add, with the title its playlist entry gave (UTF-8, may be empty).
struct Candidate {
  std::string url;
  std::string title;
};

// What was handed over and could not be used: the file (or address) and why, in words.
struct Rejected {
  std::string what;
  std::string reason;
};

struct Candidates {
  std::vector<Candidate> items;
  std::vector<Rejected> rejected;
};

// The http:// and https:// addresses in a text (one per line or separated by blanks).
std::vector<Candidate> CandidatesFromText(const std::string& utf8);
// The entries of a playlist file (.m3u, .m3u8, .pls, .asx) or the address of an internet
// shortcut (.url); appends to `out`, or records why the file gives nothing.
void AddCandidatesFromFile(const std::filesystem::path& file, Candidates& out);
// Several files and texts at once: duplicates dropped, at most kMaxAddedStations kept.
void Deduplicate(std::vector<Candidate>& items);

// Titles of a playlist's entries (UTF-8 or the file's own bytes), by entry address.
std::vector<Candidate> PlaylistEntries(const std::string& body);
// The address of an internet shortcut file, or "".
std::string ShortcutAddress(const std::string& body);

// Text of unknown encoding made UTF-8: well-formed UTF-8 stays, anything else is read as
// Windows-1251.
std::string AnyTextToUtf8(const std::string& bytes);

// The station's name in Windows-1251, from the best source there is: the stream's icy-name,
// else the playlist entry's title (both UTF-8), else the address's host. One
// line, blanks collapsed, trimmed, at most kMaxStationNameLength bytes.
std::string StationName(const std::string& icy_name, const std::string& entry_title,
                        const std::string& url);

// Addresses compare equal when they differ only in blanks around them, in the case of the
// scheme and host, or in a default port.
bool SameAddress(const std::string& a, const std::string& b);
// The number of the station whose address is `url`, or 0 (station files read from the folder).
int32_t FindStationByAddress(const std::string& url);
// One above the highest station number in the folder (station files and logos alike).
int32_t NextStationNumber();

// Writes Stations\playN.txt (address, name; no engine line) and, when `png` is not empty,
// Stations\N.png (else the empty N.txt, the mark of a station without a logo), each put in
// place whole. On failure nothing of the station stays and base::Error is thrown.
void WriteNewStation(int32_t n, const std::string& url, const std::string& name_ansi,
                     const std::vector<unsigned char>& png);

}  // namespace catalogue
