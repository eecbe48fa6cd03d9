// Plays one stream through the audio library as the player does, for the end-to-end tests
// of the Windows builds: audioprobe <url> <seconds> [volume]
// Prints "opened <ms>" (the creation's time), "headers <first line>", "fill <percent>" per
// buffering pass, "tags <text>", "title <text>" per metadata change, "playing", then "done";
// exit code 0, or 2 when the library cannot start and 3 when the stream cannot be opened
// ("open failed <error code>").
//
// audioprobe --free-while-sending <url>: a sync callback sends every title synchronously to
// a window of the main thread, which frees the stream (then the library) while such a send
// waits. Prints "free <ms> <callbacks running after it>" for each; exit code 0.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/bass.h"

namespace {

char g_agent[] = "Tivolna-Probe/1.0";

void CALLBACK OnDownload(const void* buffer, DWORD length, void*) {
  if (buffer && length == 0) std::printf("headers %s\n", static_cast<const char*>(buffer));
  std::fflush(stdout);
}

HSTREAM g_stream = 0;

// --free-while-sending
HWND g_window = nullptr;
volatile LONG g_sends = 0;    // sends started
volatile LONG g_inside = 0;   // callbacks running
volatile LONG g_handled = 0;  // titles the window took

LRESULT CALLBACK WindowProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_APP) {
    InterlockedIncrement(&g_handled);
    return 1;
  }
  return DefWindowProcW(h, msg, w, l);
}

void CALLBACK SendTitle(HSYNC, DWORD, DWORD, void*) {
  InterlockedIncrement(&g_inside);
  InterlockedIncrement(&g_sends);
  SendMessageW(g_window, WM_APP, 0, 0);
  InterlockedDecrement(&g_inside);
}

// Handles messages until the window has taken `count` titles (at most 10 s).
bool PumpUntil(LONG count) {
  for (int i = 0; i < 5000 && g_handled < count; ++i) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    Sleep(2);
  }
  return g_handled >= count;
}

// Without handling messages: until a new send has started (and so waits for this thread).
bool UntilASendWaits() {
  LONG before = g_sends;
  for (int i = 0; i < 3000 && g_sends == before; ++i) Sleep(1);
  Sleep(5);
  return g_sends != before;
}

int FreeWhileSending(const char* url) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"AudioProbeTitles";
  RegisterClassW(&wc);
  g_window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           wc.hInstance, nullptr);
  if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
    std::printf("init failed %d\n", BASS_ErrorGetCode());
    return 2;
  }
  BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
  for (int round = 0; round < 2; ++round) {
    HSTREAM h = BASS_StreamCreateURL(url, 0, 0, nullptr, nullptr);
    if (!h) {
      std::printf("open failed %d\n", BASS_ErrorGetCode());
      return 3;
    }
    BASS_ChannelSetSync(h, BASS_SYNC_META, 0, SendTitle, nullptr);
    BASS_ChannelPlay(h, FALSE);
    if (!PumpUntil(g_handled + 2) || !UntilASendWaits()) {
      std::printf("no titles\n");
      return 4;
    }
    DWORD start = GetTickCount();
    BOOL ok = round == 0 ? BASS_StreamFree(h) : BASS_Free();
    std::printf("free %lu %ld %d\n", static_cast<unsigned long>(GetTickCount() - start),
                static_cast<long>(g_inside), ok);
    std::fflush(stdout);
  }
  return 0;
}

void CALLBACK OnMeta(HSYNC, DWORD, DWORD, void*) {
  const char* tags = BASS_ChannelGetTags(g_stream, BASS_TAG_META);
  std::printf("title %s\n", tags ? tags : "(none)");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--free-while-sending") == 0)
    return FreeWhileSending(argv[2]);
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: audioprobe <url> <seconds> [volume] | --free-while-sending <url>\n");
    return 1;
  }
  const int seconds = std::atoi(argv[2]);
  const float volume = argc > 3 ? static_cast<float>(std::atof(argv[3])) : 1.0f;
  if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
    std::printf("init failed %d\n", BASS_ErrorGetCode());
    return 2;
  }
  BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
  BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
  BASS_SetConfigPtr(BASS_CONFIG_NET_AGENT, g_agent);
  const DWORD opening = GetTickCount();
  g_stream = BASS_StreamCreateURL(argv[1], 0, BASS_STREAM_STATUS, OnDownload, nullptr);
  if (!g_stream) {
    std::printf("open failed %d\n", BASS_ErrorGetCode());
    BASS_Free();
    return 3;
  }
  std::printf("opened %lu\n", static_cast<unsigned long>(GetTickCount() - opening));
  for (int pass = 0; pass < 100000; ++pass) {
    QWORD end = BASS_StreamGetFilePosition(g_stream, BASS_FILEPOS_END);
    if (static_cast<DWORD>(end) == 0xFFFFFFFFu || static_cast<DWORD>(end) == 0) break;
    long long fill =
        (static_cast<long long>(BASS_StreamGetFilePosition(g_stream, BASS_FILEPOS_DOWNLOAD)) -
         static_cast<long long>(BASS_StreamGetFilePosition(g_stream, BASS_FILEPOS_CURRENT))) *
        100 / static_cast<DWORD>(end);
    std::printf("fill %lld\n", fill);
    if (fill > 75 || fill < 0) break;
    Sleep(20);
  }
  const char* tags = BASS_ChannelGetTags(g_stream, BASS_TAG_META);
  std::printf("tags %s\n", tags ? tags : "(none)");
  BASS_ChannelSetSync(g_stream, BASS_SYNC_META, 0, OnMeta, nullptr);
  BASS_ChannelPlay(g_stream, FALSE);
  BASS_ChannelSetAttribute(g_stream, BASS_ATTRIB_VOL, volume);
  std::printf("playing\n");
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(seconds) * 1000);
  BASS_ChannelStop(g_stream);
  BASS_StreamFree(g_stream);
  BASS_Free();
  std::printf("done\n");
  return 0;
}
