// The built-in player: what the media player control does for the program, on the audio
// library. Each play runs on a thread of its own; status changes reach the user-interface
// thread by posting, so nothing here ever waits for that thread.
#include <atomic>
#include <chrono>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "audio/bass.h"
#include "playback/media_player.h"
#include "toolkit/toolkit.h"

namespace playback {
namespace {

// Play states as the control numbers them.
constexpr int kPlaying = 3;
constexpr int kBuffering = 6;
constexpr int kTransitioning = 9;
constexpr int kReady = 10;

struct Core {
  std::mutex mu;
  int state = MediaPlayer::kStopped;
  std::string status;
  int volume = kMediaPlayerStartVolume;
  uint64_t generation = 0;  // one more for every play and stop
  uint32_t stream = 0;
  int bitrate_kbps = 0;  // from the response head
  bool alive = true;
  std::function<void()> on_change;
};

void Publish(const std::shared_ptr<Core>& core, uint64_t gen, int state,
             const std::string& status) {
  {
    std::lock_guard<std::mutex> lock(core->mu);
    if (gen != core->generation || !core->alive) return;
    core->state = state;
    if (core->status == status) return;
    core->status = status;
  }
  tk::Application::Get().Post([core] {
    std::function<void()> f;
    {
      std::lock_guard<std::mutex> lock(core->mu);
      if (!core->alive) return;
      f = core->on_change;
    }
    if (f) f();
  });
}

void CALLBACK Headers(const void* buffer, DWORD length, void* user) {
  if (!buffer || length != 0) return;
  auto* core = static_cast<Core*>(user);
  // The head: lines ending in zero, an empty one last.
  for (const char* p = static_cast<const char*>(buffer); *p; p += std::strlen(p) + 1) {
    static const char kKey[] = "icy-br:";
    bool match = true;
    for (size_t i = 0; i < 7 && match; ++i)
      match = p[i] && std::tolower(static_cast<unsigned char>(p[i])) == kKey[i];
    if (match) {
      int kbps = std::atoi(p + 7);
      std::lock_guard<std::mutex> lock(core->mu);
      core->bitrate_kbps = kbps;
    }
  }
}

void Run(std::shared_ptr<Core> core, uint64_t gen, std::string url) {
  auto current = [&] {
    std::lock_guard<std::mutex> lock(core->mu);
    return gen == core->generation && core->alive;
  };
  Publish(core, gen, kTransitioning, "Подключение...");
  HSTREAM s = BASS_StreamCreateURL(url.c_str(), 0, BASS_STREAM_STATUS, Headers, core.get());
  {
    std::lock_guard<std::mutex> lock(core->mu);
    if (gen != core->generation || !core->alive) {
      if (s) BASS_StreamFree(s);
      return;
    }
    core->stream = s;
  }
  if (!s) {
    Publish(core, gen, kReady, "Не удалось подключиться");
    return;
  }
  for (;;) {
    if (!current()) return;
    uint32_t end = static_cast<uint32_t>(BASS_StreamGetFilePosition(s, BASS_FILEPOS_END));
    if (end == 0xFFFFFFFFu) return;
    uint64_t download = BASS_StreamGetFilePosition(s, BASS_FILEPOS_DOWNLOAD);
    uint64_t played = BASS_StreamGetFilePosition(s, BASS_FILEPOS_CURRENT);
    uint64_t fill = download > played ? download - played : 0;
    int pct = end ? static_cast<int>(std::min<uint64_t>(100, fill * 100 / end)) : 100;
    if (pct >= 75) break;
    Publish(core, gen, kBuffering, "Буферизация: " + std::to_string(pct) + "%");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  int volume, kbps;
  {
    std::lock_guard<std::mutex> lock(core->mu);
    if (gen != core->generation || !core->alive) return;
    volume = core->volume;
    kbps = core->bitrate_kbps;
  }
  BASS_ChannelSetAttribute(s, BASS_ATTRIB_VOL, volume / 100.0f);
  BASS_ChannelPlay(s, FALSE);
  if (kbps <= 0) {
    // The buffer holds five seconds of the stream.
    uint32_t end = static_cast<uint32_t>(BASS_StreamGetFilePosition(s, BASS_FILEPOS_END));
    kbps = end != 0xFFFFFFFFu ? static_cast<int>(end / 625) : 0;
  }
  Publish(core, gen, kPlaying, "Воспроизведение: " + std::to_string(kbps) + " K/с");
}

class BuiltInPlayer : public MediaPlayer {
 public:
  BuiltInPlayer() : core_(std::make_shared<Core>()) {
    core_->on_change = [this] {
      if (OnStatusChange) OnStatusChange();
    };
  }
  ~BuiltInPlayer() override {
    uint32_t s;
    {
      std::lock_guard<std::mutex> lock(core_->mu);
      core_->alive = false;
      ++core_->generation;
      s = std::exchange(core_->stream, 0);
    }
    if (s) BASS_StreamFree(s);
  }

  void SetUrl(const std::string& ansi) override {
    url_ = ansi;
    Play();  // the control starts by itself when it gets an address
  }

  void Play() override {
    uint64_t gen = Reset();
    if (url_.empty()) return;
    std::thread(Run, core_, gen, url_).detach();
  }

  void Stop() override {
    uint64_t gen = Reset();
    Publish(core_, gen, kStopped, "Остановлено");
  }

  void SetVolume(int volume) override {
    uint32_t s;
    {
      std::lock_guard<std::mutex> lock(core_->mu);
      core_->volume = volume;
      s = core_->stream;
    }
    if (s) BASS_ChannelSetAttribute(s, BASS_ATTRIB_VOL, volume / 100.0f);
  }

  int Volume() override {
    std::lock_guard<std::mutex> lock(core_->mu);
    return core_->volume;
  }

  int PlayState() override {
    std::lock_guard<std::mutex> lock(core_->mu);
    return core_->state;
  }

  std::string Status() override {
    std::lock_guard<std::mutex> lock(core_->mu);
    return core_->status;
  }

  const char* Engine() const override { return "built-in"; }

 private:
  // Ends what plays now; the generation of what comes next.
  uint64_t Reset() {
    uint32_t s;
    uint64_t gen;
    {
      std::lock_guard<std::mutex> lock(core_->mu);
      gen = ++core_->generation;
      s = std::exchange(core_->stream, 0);
      core_->bitrate_kbps = 0;
    }
    if (s) BASS_StreamFree(s);
    return gen;
  }

  std::shared_ptr<Core> core_;
  std::string url_;
};

}  // namespace

std::unique_ptr<MediaPlayer> CreateBuiltInPlayer() { return std::make_unique<BuiltInPlayer>(); }

}  // namespace playback
