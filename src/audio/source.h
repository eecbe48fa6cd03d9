// Opening of an HTTP/ICY audio source: request, redirects, playlists, format recognition.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "audio/format.h"
#include "audio/icy.h"
#include "net/deadline.h"
#include "net/socket.h"

namespace audio {

struct Timeouts {
  int connect_ms;  // TCP connect, per attempt
  int read_ms;     // response head, and each wait for body bytes while opening
  int stall_ms;    // no data while streaming: the download ends
  int open_ms;     // the whole opening: lookups, redirects, playlist entries
};

struct OpenParams {
  std::string user_agent;
  bool follow_playlists = false;
  Timeouts timeouts{};
  net::Deadline deadline;  // the opening ends by then
  const std::atomic<bool>* abort = nullptr;
  // Receives the response head of the audio response in the customary form
  // (lines zero-terminated, an extra zero at the end).
  std::function<void(const std::string&)> on_head;
};

// An opened audio response, positioned after the bytes already read.
struct AudioSource {
  net::Socket sock;
  IcyDemux icy;
  std::string audio;  // audio bytes read so far (metadata removed)
  std::string meta;   // the latest metadata text read so far, if any
  Format format = Format::kUnknown;
  int bitrate_kbps = 0;  // from icy-br, else from the first frames, else 0
  bool ended = false;    // the body has already ended
  std::string url;       // final address
};

// Limits of the opening stage.
constexpr int kMaxRedirects = 5;
constexpr int kMaxPlaylistDepth = 3;
constexpr size_t kMaxPlaylistBytes = 64 * 1024;
constexpr size_t kMaxPlaylistEntries = 16;
constexpr size_t kMaxHeadBytes = 16 * 1024;
constexpr size_t kMaxHeadLines = 100;
constexpr size_t kProbeBytes = 64 * 1024;  // frames or a page must show up within this much audio
constexpr size_t kMaxOpenBytes =
    1 << 20;  // body bytes (metadata included) read per response while opening

// Opens url; BASS_OK, or the error code of the failure (bass.h). For a playlist whose
// entries all fail, the code is that of the last entry tried.
int OpenAudioSource(const std::string& url, const OpenParams& params, AudioSource& out);

}  // namespace audio
