// Playlist recognition and the M3U, PLS, ASX and URL-list parsers, with each entry resolved
// against the playlist's address as the opening does.
#include "audio/playlist.h"
#include "net/url.h"
#include "split.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;  // the opening never parses more
  const std::string body(reinterpret_cast<const char*>(data), size);
  net::Url base;
  FUZZ_CHECK(net::ParseUrl("http://radio.example:8000/lists/a.m3u?x=1", base));
  const audio::PlaylistKind kinds[] = {audio::PlaylistKindFromBody(body), audio::PlaylistKind::kM3u,
                                       audio::PlaylistKind::kPls, audio::PlaylistKind::kAsx,
                                       audio::PlaylistKind::kUrlList};
  for (audio::PlaylistKind k : kinds) {
    for (const std::string& e : audio::ParsePlaylist(k, body)) {
      FUZZ_CHECK(!e.empty());
      net::Url u;
      if (net::ResolveUrl(base, e, u)) {
        FUZZ_CHECK(!u.host.empty() && !u.target.empty() && u.target[0] == '/');
        FUZZ_CHECK(u.target.find(' ') == std::string::npos);
      }
    }
  }
  return 0;
}
