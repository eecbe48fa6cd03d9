// Plays one stream through the audio library as the player does, for the end-to-end tests
// of the Windows builds: audioprobe <url> <seconds> [volume]
// Prints "headers <first line>", "fill <percent>" per buffering pass, "tags <text>",
// "title <text>" per metadata change, "playing", then "done"; exit code 0, or 2 when the
// library cannot start and 3 when the stream cannot be opened.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "audio/bass.h"

namespace {

char g_agent[] = "Tivolna-Probe/1.0";

void CALLBACK OnDownload(const void* buffer, DWORD length, void*) {
  if (buffer && length == 0) std::printf("headers %s\n", static_cast<const char*>(buffer));
  std::fflush(stdout);
}

HSTREAM g_stream = 0;

void CALLBACK OnMeta(HSYNC, DWORD, DWORD, void*) {
  const char* tags = BASS_ChannelGetTags(g_stream, BASS_TAG_META);
  std::printf("title %s\n", tags ? tags : "(none)");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: audioprobe <url> <seconds> [volume]\n");
    return 1;
  }
  const int seconds = std::atoi(argv[2]);
  const float volume = argc > 3 ? static_cast<float>(std::atof(argv[3])) : 1.0f;
  if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
    std::printf("init failed\n");
    return 2;
  }
  BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
  BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
  BASS_SetConfigPtr(BASS_CONFIG_NET_AGENT, g_agent);
  g_stream = BASS_StreamCreateURL(argv[1], 0, BASS_STREAM_STATUS, OnDownload, nullptr);
  if (!g_stream) {
    std::printf("open failed\n");
    BASS_Free();
    return 3;
  }
  for (int pass = 0; pass < 100000; ++pass) {
    QWORD end = BASS_StreamGetFilePosition(g_stream, BASS_FILEPOS_END);
    if (static_cast<DWORD>(end) == 0xFFFFFFFFu || static_cast<DWORD>(end) == 0) break;
    long long fill = (static_cast<long long>(BASS_StreamGetFilePosition(g_stream, BASS_FILEPOS_DOWNLOAD)) -
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
