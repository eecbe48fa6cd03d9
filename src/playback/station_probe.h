#pragma once
// Opening an address the way a station is opened, only to learn whether it plays and what the
// stream calls itself.
#include <string>

namespace playback {

struct ProbeResult {
  bool ok = false;
  int error = 0;          // the audio library's reason when not ok
  std::string icy_name;   // the stream's icy-name header, raw bytes ("" when none)
  std::string icy_genre;  // its icy-genre header
};

// Blocks until the library has opened the address (playlists followed) or given up; the
// stream is freed again at once. Any thread.
ProbeResult ProbeStation(const std::string& url);

// A response head block (lines each ended by a zero, a zero at the end) searched for a
// header, case-insensitively; the value trimmed, or "".
std::string HeaderValue(const char* head_block, const std::string& name);

// The library's reason code in words, in Russian.
std::string ReasonText(int error);

}  // namespace playback
