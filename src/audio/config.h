// Library-wide settings and time-outs.
#pragma once
#include "audio/source.h"

namespace audio {

constexpr int kConnectTimeoutMs = 5000;    // TCP connect, per attempt
constexpr int kReadTimeoutMs = 10000;      // response head, and body bytes while opening
constexpr int kStallTimeoutMs = 15000;     // no bytes while streaming: the download ends
constexpr int kOpenTimeoutMs = 30000;      // the whole of BASS_StreamCreateURL's opening
constexpr int kDefaultBufferMs = 5000;     // download buffer length (option 12)
constexpr int kDefaultPrebufPercent = 75;  // option 15
constexpr int kFallbackBitrateKbps = 128;  // buffer sizing when the bitrate is unknown
constexpr size_t kMinBufferBytes = 4096;
constexpr size_t kMaxBufferBytes = 8u * 1024 * 1024;
// A playing stream whose connection ends or stalls connects again by itself: this many tries,
// the pause before each doubling from the first to the longest.
constexpr int kReconnectTries = 5;
constexpr int kReconnectFirstPauseMs = 1000;
constexpr int kReconnectLongestPauseMs = 8000;
// A playing stream holding more than 1/kGatherLowDivisor of its buffer reads its socket at
// most once per kGatherPauseMs (unless a read fills the whole read block).
constexpr int kGatherPauseMs = 250;
constexpr int kGatherLowDivisor = 4;

// The pause before the first reconnect (the test hook may shorten it).
int ReconnectFirstPauseMs();

// Current time-outs (the test hook may shorten them).
Timeouts CurrentTimeouts();

}  // namespace audio
