#pragma once
// The stream worker: opens an audio-library station on its own thread and reports every
// stage to the main window with synchronous status messages.
#include <cstdint>
#include <string>

#include "audio/bass.h"

namespace playback {

// The status message and its codes (first parameter); the second parameter is the argument.
constexpr uint32_t kPlayerStatusMessage = 0x0400 + 101;  // 1125
enum StatusCode : uint32_t {
  kStatusConnecting = 0,  // before opening
  kStatusFailed = 1,      // the stream could not be opened
  kStatusBuffering = 2,   // argument: the buffer fill in percent
  kStatusTitle = 7,       // argument: address of the title, Windows-1251, zero-terminated
  kStatusHeaders = 8,     // argument: address of the response head
  kStatusPlaying = 9,     // playing without a title yet
  kStatusLost = 10,       // the connection ended and reconnecting did not bring it back
};

// The first parameter also carries the number of the start that sent the report: the code
// in its low 8 bits, the start's number (1 and up, 24 bits, wrapping) above them; 0 there
// marks a report tied to no start. The main window drops reports of any start but its
// latest, so an overtaken worker cannot overwrite the newer station's texts.
constexpr uintptr_t StatusParam(uint32_t code, uint32_t start) {
  return static_cast<uintptr_t>(code & 0xFFu) | (static_cast<uintptr_t>(start & 0xFFFFFFu) << 8);
}
constexpr uint32_t StatusCodeOf(uintptr_t param) { return static_cast<uint32_t>(param & 0xFFu); }
constexpr uint32_t StatusStartOf(uintptr_t param) {
  return static_cast<uint32_t>((param >> 8) & 0xFFFFFFu);
}

extern const char kConnectingText[];
extern const char kNoSignalText[];
extern const char kOnAirText[];
// "Буферизация... 42%".
std::string BufferingText(int32_t percent);

// Starts a new worker thread for the address (it keeps its own copy) and returns at once
// with the start's number. The newest start wins: an older worker frees its stream and
// ends without playing.
uint32_t StartStreamWorker(const std::string& url);
// A start on the other engine: running workers are overtaken as by a new worker. Returns
// the start's number.
uint32_t SupersedeWorkers();
// Workers still running (for orderly test ends).
int RunningWorkers();

// Sends the stream's current title, if its metadata has one, as a report of start `start`.
void ReadStreamTitle(uint32_t stream, uint32_t start = 0);
void CALLBACK MetaSyncProc(HSYNC sync, DWORD channel, DWORD data, void* user);
void CALLBACK LostSyncProc(HSYNC sync, DWORD channel, DWORD data, void* user);
void CALLBACK DownloadStatusProc(const void* buffer, DWORD length, void* user);

// One buffering pass's fill in percent: ((download - current) x 100) / end in signed 64-bit
// arithmetic, its low 32 bits. Only the low 32 bits of end count; all ones there is the
// library's failure value (the stream has gone: `gone` is set); 0 counts as a full buffer.
int32_t BufferProgress(uint64_t end, uint64_t download, uint64_t current, bool* gone);

}  // namespace playback
