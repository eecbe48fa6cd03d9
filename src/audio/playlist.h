// Playlist recognition (M3U, PLS, ASX, bare URL lists) and entry extraction.
#pragma once
#include <string>
#include <vector>

namespace audio {

enum class PlaylistKind { kNone, kM3u, kPls, kAsx, kUrlList };

// Kind implied by a Content-Type value (parameters and case ignored), or None.
PlaylistKind PlaylistKindFromType(const std::string& content_type);

// Kind recognised from the first bytes of a body, or None.
PlaylistKind PlaylistKindFromBody(const std::string& body);

// Entries in playlist order (not yet resolved against the playlist's address).
std::vector<std::string> ParsePlaylist(PlaylistKind kind, const std::string& body);

}  // namespace audio
