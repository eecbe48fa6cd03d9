#include "catalogue/directory_parser.h"

#include "app/marker_text.h"
#include "base/codepage.h"

#include <utility>
#include <vector>

namespace catalogue {

namespace {

// The first occurrence of a marker at or after a position, for positions that never go
// back: each part of the text is searched at most once, so a whole parse stays linear.
class Finder {
 public:
  Finder(const std::string& text, std::string marker) : text_(text), marker_(std::move(marker)) {}
  size_t Find(size_t from) {
    if (!searched_ || (hit_ != std::string::npos && hit_ < from)) {
      hit_ = text_.find(marker_, from);
      searched_ = true;
    }
    return hit_;
  }
  size_t Size() const { return marker_.size(); }

 private:
  const std::string& text_;
  std::string marker_;
  size_t hit_ = std::string::npos;
  bool searched_ = false;
};

// TextBetween of two markers within text[from, to): the field's bounds, or false.
bool FieldBetween(Finder& start, Finder& end, size_t from, size_t to, size_t* a, size_t* b) {
  size_t p = start.Find(from);
  if (p == std::string::npos || p + start.Size() > to) return false;
  size_t q = end.Find(p + start.Size());
  if (q == std::string::npos || q + end.Size() > to) return false;
  *a = p + start.Size();
  *b = q;
  return true;
}

// A field longer than this is no station's: the block is skipped.
constexpr size_t kMaxField = 4096;

}  // namespace

void ParseStationBlocks(std::string& section, app::PlayerState& state,
                        const std::string& playlist_prefix) {
  Finder block_start(section, kBlockStart), block_end(section, kBlockEnd);
  Finder logo_start(section, kLogoPathStart), logo_end(section, kLogoPathEnd);
  Finder id_start(section, playlist_prefix), id_end(section, kIdentifierEnd);
  Finder title_start(section, kTitleStart), title_end(section, kTitleEnd);
  int32_t k = 0;
  std::vector<size_t> visited;
  for (size_t pos = block_start.Find(0); pos != std::string::npos;
       pos = block_start.Find(pos + 1)) {
    visited.push_back(pos);
    if (!app::Table1000<std::string>::InRange(k + 1)) continue;  // the tables are full
    size_t from = pos + block_start.Size();
    size_t end = block_end.Find(from);
    size_t to = end == std::string::npos ? from : end;  // no end: an empty block
    size_t ia = 0, ib = 0;
    if (!FieldBetween(id_start, id_end, from, to, &ia, &ib) || ib == ia || section[ia] != '=' ||
        ib - ia > kMaxField)
      continue;
    std::string fields[2];  // logo path, title
    Finder* markers[2][2] = {{&logo_start, &logo_end}, {&title_start, &title_end}};
    bool fits = true;
    for (int f = 0; f < 2; ++f) {
      size_t a = 0, b = 0;
      if (!FieldBetween(*markers[f][0], *markers[f][1], from, to, &a, &b)) continue;
      fits = fits && b - a <= kMaxField;
      if (fits) fields[f] = section.substr(a, b - a);
    }
    if (!fits) continue;
    ++k;
    state.ParsedStationIds.Set(k, section.substr(ia, ib - ia));
    state.ParsedLogoPaths.Set(k, fields[0]);
    state.ParsedTitles.Set(k, fields[1]);
  }
  // Consumed as a visit one block at a time would leave it.
  for (size_t pos : visited) section[pos] = '#';
  state.ParsedCount = k;
}

std::string OneLine(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

const char kSectionStart[] =
    "<h3>\xD0\xE0\xE4\xE8\xEE\xF1\xF2\xE0\xED\xF6\xE8\xE8</h3>";  // Радиостанции
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
                                                  const std::string& root_url,
                                                  const std::string& playlist_prefix) {
  std::string section = app::TextBetween(kSectionStart, kSectionEnd, page);
  ParseStationBlocks(section, state, playlist_prefix);
  std::vector<NewStation> out;
  for (int32_t k = 1; k <= state.ParsedCount; ++k)
    out.push_back({OneLine(playlist_prefix + state.ParsedStationIds.Get(k)),
                   OneLine(CleanTitle(state.ParsedTitles.Get(k))),
                   OneLine(root_url + state.ParsedLogoPaths.Get(k))});
  return out;
}

}  // namespace catalogue
