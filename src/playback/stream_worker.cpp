#include "playback/stream_worker.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "app/player_state.h"
#include "playback/title.h"
#include "toolkit/toolkit.h"

namespace playback {

const char kConnectingText[] = "Подключение...";
const char kNoSignalText[] = "Нет сигнала";
const char kOnAirText[] = "В эфире";

namespace {

constexpr auto kPassPause = std::chrono::milliseconds(20);  // between buffering passes

std::atomic<uint64_t> g_generation{0};  // one more for every start; the newest wins
std::atomic<int> g_running{0};
std::mutex g_store_mu;  // storing a new stream and freeing the one it replaces

// The number a start's reports carry: never 0, which marks reports tied to no start.
uint32_t StartNumber(uint64_t gen) { return static_cast<uint32_t>((gen - 1) % 0xFFFFFFu) + 1; }

void Report(uint32_t code, intptr_t arg, uint32_t start) {
  tk::SendMessageTo(app::State().StatusTarget.load(), kPlayerStatusMessage,
                    StatusParam(code, start), arg);
}

// Syncs and the download procedure get the start's number as their user value.
void* UserOf(uint32_t start) { return reinterpret_cast<void*>(static_cast<uintptr_t>(start)); }
uint32_t StartOfUser(void* user) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(user));
}

bool Superseded(uint64_t gen) { return gen != g_generation.load(); }

bool SendTitle(uint32_t stream, uint32_t start) {
  const char* tags = BASS_ChannelGetTags(stream, BASS_TAG_META);
  if (!tags) return false;
  std::optional<std::string> title = TitleOfMetadata(tags);
  if (!title) return false;
  std::string ansi = TitleToAnsi(*title);  // lives until the send returns
  Report(kStatusTitle, reinterpret_cast<intptr_t>(ansi.c_str()), start);
  return true;
}

void Work(const std::string& url, uint64_t gen) {
  app::PlayerState& st = app::State();
  const uint32_t start = StartNumber(gen);
  BASS_StreamFree(st.AudioChannel.load());
  Report(kStatusConnecting, 0, start);
  HSTREAM stream =
      BASS_StreamCreateURL(url.c_str(), 0, BASS_STREAM_STATUS, DownloadStatusProc, UserOf(start));
  {
    std::lock_guard<std::mutex> lock(g_store_mu);
    if (Superseded(gen)) {  // a newer start has taken over while this one connected
      if (stream) BASS_StreamFree(stream);
      return;
    }
    uint32_t old = st.AudioChannel.exchange(stream);
    if (old && old != stream) BASS_StreamFree(old);
  }
  if (!stream) {
    Report(kStatusFailed, 0, start);
    return;
  }
  for (bool first = true;; first = false) {
    if (Superseded(gen)) break;
    if (!first) std::this_thread::sleep_for(kPassPause);
    uint64_t end = BASS_StreamGetFilePosition(stream, BASS_FILEPOS_END);
    uint64_t download = BASS_StreamGetFilePosition(stream, BASS_FILEPOS_DOWNLOAD);
    uint64_t current = BASS_StreamGetFilePosition(stream, BASS_FILEPOS_CURRENT);
    bool gone = false;
    int32_t progress = BufferProgress(end, download, current, &gone);
    if (gone) break;
    Report(kStatusBuffering, progress, start);
    if (static_cast<uint32_t>(progress) > 75) break;
  }
  if (Superseded(gen)) {
    BASS_StreamFree(stream);
    return;
  }
  bool titled = SendTitle(stream, start);
  BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, MetaSyncProc, UserOf(start));
  BASS_ChannelSetSync(stream, BASS_SYNC_DOWNLOAD, 0, LostSyncProc, UserOf(start));
  BASS_SetConfig(BASS_CONFIG_NET_AGENT, 0);
  BASS_ChannelPlay(stream, FALSE);
  BASS_ChannelSetAttribute(stream, BASS_ATTRIB_VOL,
                           static_cast<float>(st.SliderPosition.load()) / 100.0f);
  if (Superseded(gen)) return;
  // A download that ended while buffering: what arrived plays, and the window says so.
  if (BASS_StreamGetFilePosition(stream, BASS_FILEPOS_CONNECTED) == 0) {
    Report(kStatusLost, 0, start);
    return;
  }
  // Without a title the window would stay locked in its buffering text.
  if (!titled) Report(kStatusPlaying, 0, start);
}

}  // namespace

std::string BufferingText(int32_t percent) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "Буферизация... %d%%", static_cast<int>(percent));
  return buf;
}

int32_t BufferProgress(uint64_t end, uint64_t download, uint64_t current, bool* gone) {
  uint32_t end32 = static_cast<uint32_t>(end);
  *gone = end32 == 0xFFFFFFFFu;
  if (*gone) return 0;
  if (end32 == 0) return 100;
  int64_t q = (static_cast<int64_t>(download) - static_cast<int64_t>(current)) * 100 /
              static_cast<int64_t>(end32);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(q)));
}

uint32_t StartStreamWorker(const std::string& url) {
  uint64_t gen = ++g_generation;
  ++g_running;
  std::thread([url, gen] {
    Work(url, gen);
    --g_running;
  }).detach();
  return StartNumber(gen);
}

uint32_t SupersedeWorkers() { return StartNumber(++g_generation); }

int RunningWorkers() { return g_running.load(); }

void ReadStreamTitle(uint32_t stream, uint32_t start) { SendTitle(stream, start); }

void CALLBACK MetaSyncProc(HSYNC, DWORD, DWORD, void* user) {
  ReadStreamTitle(app::State().AudioChannel.load(), StartOfUser(user));
}

void CALLBACK LostSyncProc(HSYNC, DWORD channel, DWORD, void* user) {
  if (channel == app::State().AudioChannel.load()) Report(kStatusLost, 0, StartOfUser(user));
}

void CALLBACK DownloadStatusProc(const void* buffer, DWORD length, void* user) {
  if (buffer && length == 0)
    Report(kStatusHeaders, reinterpret_cast<intptr_t>(buffer), StartOfUser(user));
}

}  // namespace playback
