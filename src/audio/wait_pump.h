// Lets a thread that waits inside the audio library keep handling what other threads send
// it (see bass.h, "Threads and callbacks").
#pragma once

namespace audio {
using WaitPump = void (*)();
void SetWaitPump(WaitPump pump);
}
