// Builds a Stations folder for the player: from the station directory's root page, or from
// the community radio directory's JSON station list.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "app/build_config.h"
#include "app/player_state.h"
#include "base/codepage.h"
#include "base/errors.h"
#include "catalogue/rebuild.h"
#include "drawn_logos.h"
#include "json_import.h"
#include "net/http_get.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  tivolna-catalogue directory [--root URL] [--prefix PREFIX] STATIONS\n"
    "      rebuilds STATIONS from the station directory's root page\n"
    "      (default root %s, playlist prefix %s)\n"
    "  tivolna-catalogue json FILE|URL [--country CC] [--tag TAG] [--top N] [--no-drawn-logos] STATIONS\n"
    "      builds STATIONS from a JSON station list (name, url_resolved, favicon);\n"
    "      at most 999 stations; a station without a picture gets a drawn name card\n"
    "      unless --no-drawn-logos is given\n"
    "The new folder is built beside STATIONS and replaces it only when complete.\n";

const char* const kHeaders[][2] = {{"Accept", "text/html, */*"},
                                   {"User-Agent", "Mozilla/3.0 (compatible; Indy Library)"}};

struct Usage {};

net::HttpGetOptions Options(int connect_ms, int read_ms, size_t max_body) {
  net::HttpGetOptions o;
  for (auto& h : kHeaders) o.headers.push_back({h[0], h[1]});
  o.connect_ms = connect_ms;
  o.read_ms = read_ms;
  o.total_ms = connect_ms + read_ms;
  o.max_body = max_body;
  return o;
}

std::string Fetch(const std::string& url, int max_redirects) {
  net::HttpGetOptions o = Options(10000, 60000, 64u << 20);
  o.max_redirects = max_redirects;
  net::HttpGetResult r;
  if (!net::HttpGet(url, o, r)) throw base::Error("cannot fetch " + url);
  if (r.status < 200 || r.status > 299)
    throw base::Error("cannot fetch " + url + ": status " + std::to_string(r.status));
  return r.body;
}

std::string ReadSource(const std::string& source) {
  if (source.compare(0, 7, "http://") == 0 || source.compare(0, 8, "https://") == 0)
    return Fetch(source, 5);
  std::ifstream in(source, std::ios::binary);
  if (!in) throw base::Error("cannot read " + source);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Shown(const std::string& ansi) { return base::Cp1251ToUtf8(catalogue::OneLine(ansi)); }

int Build(const std::string& folder, const std::vector<catalogue::NewStation>& stations,
          catalogue::LogoRule rule, const std::vector<std::string>* draw_tags = nullptr) {
  catalogue::BuildOptions options;
  options.rule = rule;
  if (rule == catalogue::LogoRule::kSignature) options.check_logo = catalogue_tool::LogoDecodes;
  options.http = Options(10000, 30000, 16u << 20);
  size_t n = stations.size();
  int width = static_cast<int>(std::to_string(n).size());
  options.on_fetch = [&](size_t i, const catalogue::NewStation& s) {
    std::printf("[%*zu/%zu] %s ... ", width, i + 1, n, Shown(s.title).c_str());
    std::fflush(stdout);
  };
  options.on_logo = [&](size_t i, catalogue::LogoKind kind) {
    if (stations[i].logo_url.empty()) return;
    std::printf("%s\n", catalogue::LogoKindName(kind));
    std::fflush(stdout);
  };
  size_t drawn = 0;
  if (draw_tags)
    catalogue_tool::DrawMissingLogos(options, std::filesystem::u8path(folder), stations, *draw_tags,
                                     &drawn);
  catalogue::BuildReport report =
      catalogue::BuildCatalogue(std::filesystem::u8path(folder), stations, options);
  using K = catalogue::LogoKind;
  size_t no_address = 0;
  for (const auto& s : stations) no_address += s.logo_url.empty();
  std::printf("stations: %zu\n", n);
  std::printf("logos: JPEG %zu, GIF %zu, PNG %zu, other kinds %zu\n", report.Count(K::kJpeg),
              report.Count(K::kGif), report.Count(K::kPng), report.Count(K::kUnknown));
  std::printf("no logo: %zu error answers or not pictures, %zu no answer, %zu no address\n",
              report.Count(K::kEmpty), report.Count(K::kMissing) - no_address, no_address);
  if (report.Count(K::kTooLarge) > 0) std::printf("%s\n", report.DroppedLogos().c_str());
  if (draw_tags) std::printf("drawn logos: %zu (for the stations without a picture)\n", drawn);
  return 0;
}

int Directory(std::vector<std::string> args) {
  std::string root = app::kDirectoryRootUrl, prefix = app::kPlaylistUrlPrefix, folder;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--root" && i + 1 < args.size())
      root = args[++i];
    else if (args[i] == "--prefix" && i + 1 < args.size())
      prefix = args[++i];
    else if (folder.empty() && args[i].compare(0, 2, "--") != 0)
      folder = args[i];
    else
      throw Usage();
  }
  if (folder.empty()) throw Usage();
  catalogue::CheckTarget(std::filesystem::u8path(folder));
  std::printf("fetching %s\n", root.c_str());
  std::string page = catalogue::DecodePage(Fetch(root, 0));
  auto state = std::make_unique<app::PlayerState>();
  std::vector<catalogue::NewStation> stations =
      catalogue::StationsFromDirectoryPage(page, *state, root, prefix);
  if (stations.empty())
    throw base::Error("the page lists no station; " + folder + " was not changed");
  return Build(folder, stations, catalogue::LogoRule::kFirstByte);
}

size_t Count(const std::string& text) {
  char* end = nullptr;
  unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  if (text.empty() || *end || v == 0) throw Usage();
  return static_cast<size_t>(v);
}

int Json(std::vector<std::string> args) {
  catalogue_tool::JsonFilter filter;
  std::string source, folder;
  bool draw = true;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--country" && i + 1 < args.size())
      filter.country = args[++i];
    else if (args[i] == "--tag" && i + 1 < args.size())
      filter.tag = args[++i];
    else if (args[i] == "--top" && i + 1 < args.size())
      filter.top = Count(args[++i]);
    else if (args[i] == "--no-drawn-logos")
      draw = false;
    else if (args[i].compare(0, 2, "--") == 0)
      throw Usage();
    else if (source.empty())
      source = args[i];
    else if (folder.empty())
      folder = args[i];
    else
      throw Usage();
  }
  if (folder.empty()) throw Usage();
  catalogue::CheckTarget(std::filesystem::u8path(folder));
  catalogue_tool::JsonImport in = catalogue_tool::StationsFromJson(ReadSource(source), filter);
  std::printf(
      "station list: %zu taken, %zu filtered out, %zu bad, %zu duplicate names, %zu over the limit\n",
      in.stations.size(), in.filtered_out, in.skipped_bad, in.skipped_duplicate, in.over_limit);
  if (in.stations.empty()) throw base::Error("no station is left; " + folder + " was not changed");
  return Build(folder, in.stations, catalogue::LogoRule::kSignature, draw ? &in.tags : nullptr);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.empty()) throw Usage();
    std::string mode = args[0];
    args.erase(args.begin());
    if (mode == "directory") return Directory(args);
    if (mode == "json") return Json(args);
    throw Usage();
  } catch (const Usage&) {
    std::fprintf(stderr, kUsage, app::kDirectoryRootUrl, app::kPlaylistUrlPrefix);
    return 2;
  } catch (const catalogue::UnsafeTarget& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "tivolna-catalogue: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "\ntivolna-catalogue: error: %s\n", e.what());
    return 1;
  }
}
