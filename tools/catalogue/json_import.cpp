#include "json_import.h"

#include <algorithm>
#include <cctype>
#include <set>

#include <nlohmann/json.hpp>

#include "base/codepage.h"
#include "base/errors.h"
#include "imaging/picture.h"

namespace catalogue_tool {
namespace {

using nlohmann::json;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Windows-1251 text: Latin and Cyrillic capitals.
std::string LowerAnsi(std::string s) {
  for (char& c : s) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 0xC0 && b <= 0xDF)
      b = static_cast<unsigned char>(b + 0x20);
    else if (b == 0xA8)
      b = 0xB8;  // Ё
    else
      b = static_cast<unsigned char>(std::tolower(b));
    c = static_cast<char>(b);
  }
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string Text(const json& o, const char* key) {
  auto it = o.find(key);
  return it != o.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool IsHttp(const std::string& url) {
  std::string head = Lower(url.substr(0, 8));
  return (head.compare(0, 7, "http://") == 0 && url.size() > 7) ||
         (head == "https://" && url.size() > 8);
}

// One line of Windows-1251: control characters become spaces.
std::string OneLine(const std::string& utf8) {
  std::string s = base::Utf8ToCp1251(utf8);
  return Trim(catalogue::OneLine(s));
}

bool HasTag(const std::string& tags, const std::string& wanted) {
  std::string w = Lower(Trim(wanted));
  size_t from = 0;
  while (from <= tags.size()) {
    size_t comma = tags.find(',', from);
    if (comma == std::string::npos) comma = tags.size();
    if (Lower(Trim(tags.substr(from, comma - from))) == w) return true;
    from = comma + 1;
  }
  return false;
}

struct Candidate {
  catalogue::NewStation station;
  long long votes;
  std::string tags;
};

}  // namespace

JsonImport StationsFromJson(const std::string& json_text, const JsonFilter& filter) {
  json list = json::parse(json_text, nullptr, /*allow_exceptions=*/false);
  if (!list.is_array()) throw base::Error("The station list is not a JSON array");
  JsonImport out;
  std::vector<Candidate> candidates;
  for (const json& o : list) {
    if (!o.is_object()) {
      ++out.skipped_bad;
      continue;
    }
    std::string name = OneLine(Text(o, "name"));
    std::string url = Trim(Text(o, "url_resolved"));
    if (name.empty() || !IsHttp(url) || catalogue::OneLine(url) != url) {
      ++out.skipped_bad;
      continue;
    }
    if ((!filter.country.empty() && Lower(Text(o, "countrycode")) != Lower(filter.country)) ||
        (!filter.tag.empty() && !HasTag(Text(o, "tags"), filter.tag))) {
      ++out.filtered_out;
      continue;
    }
    std::string logo = Trim(Text(o, "favicon"));
    if (!IsHttp(logo) || catalogue::OneLine(logo) != logo) logo.clear();
    auto v = o.find("votes");
    long long votes = v != o.end() && v->is_number_integer() ? v->get<long long>() : 0;
    candidates.push_back({{url, name, logo}, votes, Text(o, "tags")});
  }
  if (filter.top > 0)
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.votes > b.votes; });
  size_t keep = filter.top > 0 ? std::min(filter.top, filter.limit) : filter.limit;
  std::set<std::string> names;
  for (Candidate& c : candidates) {
    if (!names.insert(LowerAnsi(c.station.title)).second) {
      ++out.skipped_duplicate;
      continue;
    }
    if (out.stations.size() == keep) {
      ++out.over_limit;
      continue;
    }
    out.stations.push_back(std::move(c.station));
    out.tags.push_back(std::move(c.tags));
  }
  return out;
}

bool LogoDecodes(const std::filesystem::path& file, catalogue::LogoKind kind) {
  imaging::Kind k = kind == catalogue::LogoKind::kJpeg  ? imaging::Kind::kJpeg
                    : kind == catalogue::LogoKind::kGif ? imaging::Kind::kGif
                                                        : imaging::Kind::kPng;
  try {
    imaging::LoadPicture(file, k, {80, 80});
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace catalogue_tool
