#pragma once
// The audio library as the program uses it: named operations instead of option numbers.
#include <cstdint>

#include "toolkit/controls.h"

namespace playback::library {

using Stream = uint32_t;

// Starts the library on the default device at 44100 Hz for the window; false: no output.
bool Init(tk::Handle window);
// Frees every stream and the output.
void Free();
// What every initialisation sets: playlist addresses are followed, no pre-buffering (the
// stream worker buffers and reports itself).
void ApplyOptions();
// The user agent of every later connection; the text must outlive the library.
void SetUserAgent(const char* text);
// The integer form of the user-agent option, as the stream worker sets it.
void SetUserAgentNumber(uint32_t value);

void StopStream(Stream s);
void FreeStream(Stream s);
// The volume slider's position, 0..100: the one value the stream worker starts each new
// stream at (from its own thread), and the volume of the current stream from now on.
void SetVolume(int position);

}  // namespace playback::library
