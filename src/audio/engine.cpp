// The library's global state and its C entry points.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "audio/bass.h"
#include "audio/config.h"
#include "audio/hooks.h"
#include "audio/output.h"
#include "audio/stream.h"
#include "audio/wait.h"

namespace audio {
namespace {

constexpr const char* kDefaultAgent = "Tivolna-Audio/1.0";
constexpr size_t kMaxAgentLength = 512;
constexpr size_t kRetiredTexts = 32;
constexpr double kVolumeRampMs = 5.0;  // a volume change glides over this time

constexpr int kRestartFirstMs = 20;  // wait before the first restart of a failed output
constexpr int kRestartMaxMs = 1000;  // the wait doubles up to this while failures go on

struct Output {
  std::unique_ptr<Sink> sink;  // the output thread's, and BASS_Free's once it has ended
  std::atomic<bool> stop{false};
  std::atomic<DWORD> failures{0};
  std::thread thread;
  int rate = 44100;
  uint64_t generation = 0;
};

struct Engine {
  std::mutex m;
  bool initialized = false;
  uint64_t generation = 0;
  int out_rate = 44100;
  std::map<DWORD, std::shared_ptr<Stream>> streams;
  std::vector<std::shared_ptr<Stream>> pending;
  std::vector<std::shared_ptr<Stream>> playing;
  std::shared_ptr<Output> output;
  std::condition_variable wake;  // a stream started playing, or the output stops

  DWORD buffer_ms = kDefaultBufferMs;
  DWORD prebuf = kDefaultPrebufPercent;
  bool follow_playlists = false;
  std::string agent = kDefaultAgent;

  // tag texts of freed streams, kept a while for readers that still hold a pointer
  std::unique_ptr<char[]> retired[kRetiredTexts];
  size_t retired_next = 0;
};

Engine& Eng() {
  static Engine* e = new Engine();  // never destroyed: detached threads may outlive main
  return *e;
}

// Handles of streams and syncs: never reused within the process.
std::atomic<DWORD> g_next_handle{1};

DWORD NewHandle() {
  DWORD h;
  do h = g_next_handle.fetch_add(1);
  while (h == 0);
  return h;
}

void RetireTexts(Stream& s) {
  auto texts = s.TakeTagTexts();
  std::lock_guard<std::mutex> l(Eng().m);
  for (auto& t : texts) {
    Eng().retired[Eng().retired_next] = std::move(t);
    Eng().retired_next = (Eng().retired_next + 1) % kRetiredTexts;
  }
}

thread_local int t_error = BASS_OK;

// Sets the calling thread's error code and returns the given result.
template <typename T>
T Fail(int code, T result) {
  t_error = code;
  return result;
}
template <typename T>
T Ok(T result) {
  t_error = BASS_OK;
  return result;
}

using StreamMap = std::map<DWORD, std::shared_ptr<Stream>>;

// The entry of a live stream, for a caller that holds the engine's lock; streams.end(), with
// the thread's error code set, when the library is not started or the handle is no stream's.
StreamMap::iterator LockedFind(DWORD h) {
  StreamMap& streams = Eng().streams;
  if (!Eng().initialized) {
    t_error = BASS_ERROR_INIT;
    return streams.end();
  }
  auto it = h == 0 ? streams.end() : streams.find(h);
  if (it == streams.end()) t_error = BASS_ERROR_HANDLE;
  return it;
}

std::shared_ptr<Stream> FindStream(DWORD h) {
  std::lock_guard<std::mutex> l(Eng().m);
  auto it = LockedFind(h);
  return it == Eng().streams.end() ? nullptr : it->second;
}

// A stream's volume in Q15.
int32_t VolumeQ15(const Stream& s) {
  return static_cast<int32_t>(std::lrint(s.volume.load() * 32768.0f));
}

// One frame's step of the gain toward its target.
inline int32_t Glide(int32_t g, int32_t target, int32_t step) {
  return g < target ? std::min(target, g + step) : std::max(target, g - step);
}

// Mixes the playing streams into the sink until stopped. Throws when anything fails.
void Mix(Output& out) {
  std::vector<int32_t> acc;
  std::vector<int16_t> tmp, mix;
  std::vector<std::shared_ptr<Stream>> list;
  // volume ramp in Q15 steps per frame
  const int32_t step =
      std::max<int32_t>(1, static_cast<int32_t>(32768.0 / (out.rate * kVolumeRampMs / 1000.0)));
  Sink& sink = *out.sink;
  while (!out.stop.load()) {
    if (HookState().output_faults.load() > 0 && HookState().output_faults.fetch_sub(1) > 0)
      throw std::runtime_error("output fault (test hook)");
    {
      // Nothing plays: the device gets no silence and the thread sleeps.
      std::unique_lock<std::mutex> l(Eng().m);
      Eng().wake.wait(l, [&] {
        return out.stop.load() || HookState().output_faults.load() > 0 ||
               (Eng().generation == out.generation && !Eng().playing.empty());
      });
    }
    if (out.stop.load()) break;
    size_t n = sink.WaitReady(100);
    if (n == 0) continue;
    list.clear();
    {
      std::lock_guard<std::mutex> l(Eng().m);
      if (Eng().generation == out.generation) list = Eng().playing;
    }
    mix.resize(n * 2);
    size_t longest = 0;
    if (list.size() == 1) {
      // One stream (the usual case): decoded straight into the block, its gain applied
      // in place; the same samples as the sum below, without its two extra passes.
      Stream& s = *list[0];
      int16_t* m = mix.data();
      longest = s.Render(m, n);
      const int32_t target = VolumeQ15(s);
      int32_t g = s.gain < 0 ? target : s.gain;
      size_t i = 0;
      for (; i < longest && g != target; ++i) {
        g = Glide(g, target, step);
        m[2 * i] = static_cast<int16_t>((m[2 * i] * g) >> 15);
        m[2 * i + 1] = static_cast<int16_t>((m[2 * i + 1] * g) >> 15);
      }
      if (g != 32768)
        for (size_t k = 2 * i; k < 2 * longest; ++k) m[k] = static_cast<int16_t>((m[k] * g) >> 15);
      s.gain = g;
      std::fill(m + 2 * longest, m + 2 * n, int16_t{0});
    } else {
      acc.assign(n * 2, 0);
      tmp.resize(n * 2);
      for (auto& s : list) {
        size_t got = s->Render(tmp.data(), n);
        longest = std::max(longest, got);
        const int32_t target = VolumeQ15(*s);
        int32_t g = s->gain < 0 ? target : s->gain;
        size_t i = 0;
        for (; i < got && g != target; ++i) {
          g = Glide(g, target, step);
          acc[2 * i] += (tmp[2 * i] * g) >> 15;
          acc[2 * i + 1] += (tmp[2 * i + 1] * g) >> 15;
        }
        int32_t* a = acc.data();
        const int16_t* t = tmp.data();
        if (g == 32768) {
          for (size_t k = 2 * i; k < 2 * got; ++k) a[k] += t[k];
        } else if (g > 0) {
          for (size_t k = 2 * i; k < 2 * got; ++k) a[k] += (t[k] * g) >> 15;
        }
        s->gain = g;
      }
      for (size_t k = 0; k < n * 2; ++k)
        mix[k] = static_cast<int16_t>(std::max(-32768, std::min(32767, acc[k])));
    }
    size_t frames = n;
    if (sink.Unpaced()) {
      if (longest == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      frames = longest;
    }
    sink.Write(mix.data(), frames);
    HookState().output_blocks.fetch_add(1, std::memory_order_relaxed);
    if (!list.empty()) CallCapture(mix.data(), frames);
  }
}

// The output thread: mixes, and after a failure counts it and starts a fresh sink.
void MixerMain(std::shared_ptr<Output> out) {
  MarkLibraryThread();
  int wait_ms = kRestartFirstMs;
  while (!out->stop.load()) {
    const auto started = std::chrono::steady_clock::now();
    try {
      if (!out->sink) {
        auto sink = MakeDefaultSink();
        if (!sink->Start(out->rate)) throw std::runtime_error("the output device did not start");
        out->sink = std::move(sink);
      }
      Mix(*out);
      return;
    } catch (...) {
      out->failures.fetch_add(1);
      try {
        if (out->sink) out->sink->Stop();
      } catch (...) {}
      out->sink.reset();
    }
    if (std::chrono::steady_clock::now() - started > std::chrono::seconds(5))
      wait_ms = kRestartFirstMs;
    for (int slept = 0; slept < wait_ms && !out->stop.load(); slept += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    wait_ms = std::min(kRestartMaxMs, wait_ms * 2);
  }
}

}  // namespace

void WakeOutput() {
  { std::lock_guard<std::mutex> l(Eng().m); }
  Eng().wake.notify_all();
}

int ReconnectFirstPauseMs() {
  int h = HookState().reconnect_ms.load();
  return h > 0 ? h : kReconnectFirstPauseMs;
}

Timeouts CurrentTimeouts() {
  Hooks& h = HookState();
  Timeouts t{kConnectTimeoutMs, kReadTimeoutMs, kStallTimeoutMs, kOpenTimeoutMs};
  if (h.open_ms.load() > 0) t.open_ms = h.open_ms.load();
  if (h.connect_ms.load() > 0) t.connect_ms = h.connect_ms.load();
  if (h.read_ms.load() > 0) t.read_ms = h.read_ms.load();
  if (h.stall_ms.load() > 0) t.stall_ms = h.stall_ms.load();
  return t;
}

}  // namespace audio

using namespace audio;

extern "C" {

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void* clsid) {
  (void)device;
  (void)flags;
  (void)win;
  (void)clsid;
  try {
    if (HookState().no_device.load()) return Fail(BASS_ERROR_DRIVER, FALSE);
    int rate =
        freq == 0 ? 44100 : static_cast<int>(std::min<DWORD>(192000, std::max<DWORD>(8000, freq)));
    std::lock_guard<std::mutex> l(Eng().m);
    if (Eng().initialized) return Fail(BASS_ERROR_ALREADY, FALSE);
    auto out = std::make_shared<Output>();
    out->sink = MakeDefaultSink();
    out->rate = rate;
    if (!out->sink->Start(rate)) return Fail(BASS_ERROR_DRIVER, FALSE);
    out->generation = Eng().generation + 1;
    out->thread = std::thread(MixerMain, out);
    Eng().generation = out->generation;
    Eng().out_rate = rate;
    Eng().output = out;
    Eng().initialized = true;
    return Ok(TRUE);
  } catch (...) {
    return Fail(BASS_ERROR_MEM, FALSE);
  }
}

BOOL BASS_Free(void) {
  try {
    std::shared_ptr<Output> out;
    std::vector<std::shared_ptr<Stream>> all;
    {
      std::lock_guard<std::mutex> l(Eng().m);
      if (!Eng().initialized) return Fail(BASS_ERROR_INIT, FALSE);
      Eng().initialized = false;
      ++Eng().generation;
      for (auto& kv : Eng().streams) all.push_back(kv.second);
      all.insert(all.end(), Eng().pending.begin(), Eng().pending.end());
      Eng().streams.clear();
      Eng().pending.clear();
      Eng().playing.clear();
      out = std::move(Eng().output);
    }
    for (auto& s : all) s->SetPlaying(false);
    if (out) {
      out->stop.store(true);
      WakeOutput();
      // the output thread makes no callbacks (but the test capture) and ends within one pass
      if (out->thread.joinable()) {
        if (out->thread.get_id() == std::this_thread::get_id())
          out->thread.detach();
        else
          out->thread.join();
      }
      if (out->sink) out->sink->Stop();
    }
    for (auto& s : all) {
      s->Shutdown();
      RetireTexts(*s);
    }
    return Ok(TRUE);
  } catch (...) {
    return Fail(BASS_ERROR_UNKNOWN, FALSE);
  }
}

DWORD BASS_SetConfig(DWORD option, DWORD value) {
  try {
    std::lock_guard<std::mutex> l(Eng().m);
    switch (option) {
      case BASS_CONFIG_NET_BUFFER:
        Eng().buffer_ms = std::max<DWORD>(100, std::min<DWORD>(60000, value));
        return Ok<DWORD>(TRUE);
      case BASS_CONFIG_NET_PREBUF:
        Eng().prebuf = std::min<DWORD>(100, value);
        return Ok<DWORD>(TRUE);
      case BASS_CONFIG_NET_AGENT:
        return Ok<DWORD>(
            TRUE);  // the agent is a text, set through BASS_SetConfigPtr; kept as it is
      case BASS_CONFIG_NET_PLAYLIST: Eng().follow_playlists = value != 0; return Ok<DWORD>(TRUE);
      default: return Fail<DWORD>(BASS_ERROR_ILLTYPE, FALSE);
    }
  } catch (...) {
    return Fail<DWORD>(BASS_ERROR_UNKNOWN, FALSE);
  }
}

DWORD BASS_SetConfigPtr(DWORD option, const void* value) {
  try {
    if (option != BASS_CONFIG_NET_AGENT) return Fail<DWORD>(BASS_ERROR_ILLTYPE, FALSE);
    std::string agent = kDefaultAgent;
    if (value) {
      const char* p = static_cast<const char*>(value);
      size_t n = 0;
      while (n < kMaxAgentLength && p[n]) ++n;
      agent.assign(p, n);
      // no line breaks in a header value
      agent.erase(
          std::remove_if(agent.begin(), agent.end(), [](char c) { return c == '\r' || c == '\n'; }),
          agent.end());
    }
    std::lock_guard<std::mutex> l(Eng().m);
    Eng().agent = agent;
    return Ok<DWORD>(TRUE);
  } catch (...) {
    return Fail<DWORD>(BASS_ERROR_MEM, FALSE);
  }
}

HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc,
                             void* user) {
  (void)offset;  // live streams start where the server starts them
  try {
    if (!url) return Fail<HSTREAM>(BASS_ERROR_ILLPARAM, 0);
    StreamConfig cfg;
    uint64_t gen;
    std::shared_ptr<Stream> s;
    {
      std::lock_guard<std::mutex> l(Eng().m);
      if (!Eng().initialized) return Fail<HSTREAM>(BASS_ERROR_INIT, 0);
      cfg.url = url;
      cfg.open.user_agent = Eng().agent;
      cfg.open.follow_playlists = Eng().follow_playlists;
      cfg.open.timeouts = CurrentTimeouts();
      cfg.buffer_ms = Eng().buffer_ms;
      cfg.prebuf_percent = Eng().prebuf;
      cfg.out_rate = Eng().out_rate;
      cfg.download_proc = proc;
      cfg.download_user = user;
      cfg.status_flag = (flags & BASS_STREAM_STATUS) != 0;
      gen = Eng().generation;
      s = std::make_shared<Stream>(std::move(cfg));
      Eng().pending.push_back(s);
    }
    int error = s->Open();
    {
      std::lock_guard<std::mutex> l(Eng().m);
      auto& p = Eng().pending;
      p.erase(std::remove(p.begin(), p.end(), s), p.end());
      if (error == BASS_OK && Eng().initialized && Eng().generation == gen) {
        DWORD h = NewHandle();
        s->SetHandle(h);
        Eng().streams[h] = s;
        return Ok(h);
      }
    }
    s->Shutdown();
    return Fail<HSTREAM>(error == BASS_OK ? BASS_ERROR_ABORTED : error, 0);
  } catch (...) {
    return Fail<HSTREAM>(BASS_ERROR_MEM, 0);
  }
}

BOOL BASS_StreamFree(HSTREAM handle) {
  try {
    std::shared_ptr<Stream> s;
    {
      std::lock_guard<std::mutex> l(Eng().m);
      auto it = LockedFind(handle);
      if (it == Eng().streams.end()) return FALSE;
      s = it->second;
      Eng().streams.erase(it);
      auto& p = Eng().playing;
      p.erase(std::remove(p.begin(), p.end(), s), p.end());
    }
    s->SetPlaying(false);
    s->Shutdown();
    RetireTexts(*s);
    return Ok(TRUE);
  } catch (...) {
    return Fail(BASS_ERROR_UNKNOWN, FALSE);
  }
}

QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode) {
  const QWORD bad = ~static_cast<QWORD>(0);
  try {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE, bad);
    QWORD v = s->FilePosition(mode);
    return v == bad ? Fail(BASS_ERROR_ILLTYPE, bad) : Ok(v);
  } catch (...) {
    return Fail(BASS_ERROR_UNKNOWN, bad);
  }
}

const char* BASS_ChannelGetTags(DWORD handle, DWORD tags) {
  try {
    auto s = FindStream(handle);
    if (!s) return Fail<const char*>(BASS_ERROR_HANDLE, nullptr);
    if (tags != BASS_TAG_META) return Fail<const char*>(BASS_ERROR_ILLTYPE, nullptr);
    const char* t = s->MetaTag();
    return t ? Ok(t) : Fail<const char*>(BASS_ERROR_NOTAVAIL, nullptr);  // no title yet
  } catch (...) {
    return Fail<const char*>(BASS_ERROR_UNKNOWN, nullptr);
  }
}

HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC* proc, void* user) {
  (void)param;
  try {
    auto s = FindStream(handle);
    if (!s) return Fail<HSYNC>(BASS_ERROR_HANDLE, 0);
    // the mix-time and one-time bits are accepted and make no difference here
    DWORD kind = type & 0x00FFFFFF;
    if (kind != BASS_SYNC_META && kind != BASS_SYNC_DOWNLOAD)
      return Fail<HSYNC>(BASS_ERROR_ILLTYPE, 0);
    if (!proc) return Fail<HSYNC>(BASS_ERROR_ILLPARAM, 0);
    return Ok(s->AddSync(kind, NewHandle(), proc, user));
  } catch (...) {
    return Fail<HSYNC>(BASS_ERROR_MEM, 0);
  }
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
  (void)restart;  // a live stream cannot start over; playback goes on from the buffer
  try {
    std::lock_guard<std::mutex> l(Eng().m);
    auto it = LockedFind(handle);
    if (it == Eng().streams.end()) return FALSE;
    auto& p = Eng().playing;
    if (std::find(p.begin(), p.end(), it->second) == p.end()) {
      it->second->SetPlaying(true);
      p.push_back(it->second);
      Eng().wake.notify_all();
    }
    return Ok(TRUE);
  } catch (...) {
    return Fail(BASS_ERROR_MEM, FALSE);
  }
}

BOOL BASS_ChannelStop(DWORD handle) {
  try {
    std::lock_guard<std::mutex> l(Eng().m);
    auto it = LockedFind(handle);
    if (it == Eng().streams.end()) return FALSE;
    // the download goes on until the buffer is full, then waits
    it->second->SetPlaying(false);
    auto& p = Eng().playing;
    p.erase(std::remove(p.begin(), p.end(), it->second), p.end());
    return Ok(TRUE);
  } catch (...) {
    return Fail(BASS_ERROR_UNKNOWN, FALSE);
  }
}

BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
  try {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE, FALSE);
    if (attrib != BASS_ATTRIB_VOL) return Fail(BASS_ERROR_ILLTYPE, FALSE);
    if (std::isnan(value)) return Fail(BASS_ERROR_ILLPARAM, FALSE);
    s->volume.store(std::max(0.0f, std::min(1.0f, value)));
    return Ok(TRUE);
  } catch (...) {
    return Fail(BASS_ERROR_UNKNOWN, FALSE);
  }
}

int BASS_ErrorGetCode(void) { return t_error; }

DWORD BASS_GetOutputFailures(void) {
  std::lock_guard<std::mutex> l(Eng().m);
  if (!Eng().initialized || !Eng().output) return Fail<DWORD>(BASS_ERROR_INIT, 0);
  return Ok(Eng().output->failures.load());
}

}  // extern "C"
