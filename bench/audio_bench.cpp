// Measures the audio library on a loopback stream: CPU per minute of 128 kbps MP3 against
// the mpg123 command-line decoder and of 96 kbps AAC against the ffmpeg command line, time to a buffer fill above 75 %, and the
// peak memory of a playing stream.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "audio/test_hooks.h"
#include "audio/bass.h"

namespace {

using Clock = std::chrono::steady_clock;
const QWORD kBad = ~static_cast<QWORD>(0);
constexpr int kBytesPerSecond = 16000;  // 128 kbps

std::string g_base;
std::atomic<uint64_t> g_frames{0};

void CALLBACK count_frames(const int16_t*, size_t count, void*) { g_frames += count; }

double cpu_seconds(int who) {
  rusage ru{};
  getrusage(who, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

double ms_since(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

long status_kib(const char* field) {
  std::ifstream f("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(f, line))
    if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
  return -1;
}

void reset_peak_rss() {
  std::ofstream f("/proc/self/clear_refs");
  f << "5";
}

int fill_percent(HSTREAM h) {
  const QWORD end = BASS_StreamGetFilePosition(h, BASS_FILEPOS_END);
  if (end == kBad || end == 0) return -1000;
  const QWORD dl = BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD);
  const QWORD cur = BASS_StreamGetFilePosition(h, BASS_FILEPOS_CURRENT);
  return static_cast<int>((static_cast<int64_t>(dl) - static_cast<int64_t>(cur)) * 100 /
                          static_cast<int64_t>(end));
}

// A stream of the loopback server: `seconds` of the file, unpaced.
struct Source {
  const char* file;
  long bytes_per_second;
  std::string url(int seconds) const {
    return g_base + "/stream/" + file +
           "?pace=0&limit=" + std::to_string(seconds * bytes_per_second);
  }
};
const Source kMp3{"tone440_128k_44100_s.mp3", kBytesPerSecond};
const Source kAac{"tone1000_96k_44100_s.aac",
                  246343 / 20};  // the file's average: 20 s in its bytes

// CPU seconds of our decoding of `seconds` of audio, unpaced, to the null output.
bool ours_cpu(const Source& src, int seconds, double& cpu, double& audio_seconds) {
  const std::string url = src.url(seconds);
  audio::test_hooks::SetFastPacing(true);
  audio::test_hooks::SetCapture(&count_frames, nullptr);
  g_frames = 0;
  const double c0 = cpu_seconds(RUSAGE_SELF);
  HSTREAM h = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
  if (!h) return false;
  BASS_ChannelPlay(h, FALSE);
  const auto start = Clock::now();
  uint64_t last = 0;
  int idle = 0;
  while (ms_since(start) < 120000 && idle < 20) {  // ends once nothing came out for 200 ms
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const uint64_t f = g_frames;
    idle = f == last ? idle + 1 : 0;
    last = f;
  }
  cpu = cpu_seconds(RUSAGE_SELF) - c0;
  audio_seconds = static_cast<double>(g_frames.load()) / 44100.0;
  BASS_StreamFree(h);
  audio::test_hooks::SetCapture(nullptr, nullptr);
  audio::test_hooks::SetFastPacing(false);
  return audio_seconds > 0;
}

// CPU seconds of a command-line decoder on the same stream: `mpg123 -q -t` (decode only)
// for MPEG, `ffmpeg -f null` for AAC.
bool peer_cpu(const Source& src, int seconds, double& cpu) {
  const std::string url = src.url(seconds);
  pid_t pid = fork();
  if (pid == 0) {
    if (&src == &kMp3)
      execlp("mpg123", "mpg123", "-q", "-t", url.c_str(), static_cast<char*>(nullptr));
    else
      execlp("ffmpeg", "ffmpeg", "-nostdin", "-v", "fatal", "-threads", "1", "-i", url.c_str(),
             "-f", "null", "-", static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid < 0) return false;
  int status = 0;
  rusage ru{};
  if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return false;
  cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
        static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  return true;
}

// Milliseconds from the create call to a fill above 75 %; also when create returned.
bool time_to_fill(const std::string& query, double& created_ms, double& filled_ms) {
  const std::string url = g_base + "/stream/tone440_128k_44100_s.mp3?" + query;
  const auto start = Clock::now();
  HSTREAM h = BASS_StreamCreateURL(url.c_str(), 0, BASS_STREAM_STATUS, nullptr, nullptr);
  if (!h) return false;
  created_ms = ms_since(start);
  while (fill_percent(h) <= 75 && ms_since(start) < 15000)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  filled_ms = ms_since(start);
  const bool ok = fill_percent(h) > 75;
  BASS_StreamFree(h);
  return ok;
}

// Peak resident memory while one stream plays, over the level before it.
bool peak_memory(int seconds, long& base_kib, long& peak_kib) {
  const std::string url =
      g_base +
      "/stream/tone440_128k_44100_s.mp3?burst=65536&metaint=16000&titles=A|B&title_every=0.5";
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  reset_peak_rss();
  base_kib = status_kib("VmHWM:");
  HSTREAM h = BASS_StreamCreateURL(url.c_str(), 0, BASS_STREAM_STATUS, nullptr, nullptr);
  if (!h) return false;
  BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.8f);
  BASS_ChannelPlay(h, FALSE);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  peak_kib = status_kib("VmHWM:");
  BASS_StreamFree(h);
  return base_kib > 0 && peak_kib > 0;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  bool smoke = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--port") && i + 1 < argc)
      port = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--smoke"))
      smoke = true;
  }
  if (port <= 0) {
    std::fprintf(stderr, "usage: audio_bench --port N [--smoke]\n");
    return 2;
  }
  g_base = "http://127.0.0.1:" + std::to_string(port);
  if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
    std::fprintf(stderr, "BASS_Init failed\n");
    return 1;
  }
  BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
  BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
  int failures = 0;

  long base = 0, peak = 0;
  if (peak_memory(smoke ? 2 : 10, base, peak))
    std::printf(
        "memory: peak RSS while playing %ld KiB, before the stream %ld KiB, library part %.2f MiB (goal < 16)\n",
        peak, base, (peak - base) / 1024.0);
  else {
    std::printf("memory: FAILED\n");
    ++failures;
  }

  double created = 0, filled = 0;
  if (time_to_fill("burst=65536", created, filled))
    std::printf(
        "fill>75%% with a 64 KiB burst: %.1f ms after the create call (create returned after %.1f ms; goal < 50)\n",
        filled, created);
  else {
    std::printf("fill with burst: FAILED\n");
    ++failures;
  }
  if (time_to_fill("burst=0", created, filled))
    std::printf(
        "fill>75%% without a burst: %.1f ms after the create call (create returned after %.1f ms)\n",
        filled, created);
  else {
    std::printf("fill without burst: FAILED\n");
    ++failures;
  }

  const int seconds = smoke ? 30 : 300;
  for (const Source* src : {&kMp3, &kAac}) {
    const char* peer_name = src == &kMp3 ? "mpg123 -t" : "ffmpeg -f null";
    double ours = 0, audio_s = 0, peer = 0;
    if (ours_cpu(*src, seconds, ours, audio_s) && peer_cpu(*src, seconds, peer)) {
      const double ours_min = ours / (audio_s / 60.0), peer_min = peer / (seconds / 60.0);
      std::printf(
          "cpu %s: ours %.3f s for %.1f s of audio = %.3f s per minute; %s %.3f s for %d s = %.3f s per minute\n",
          src->file, ours, audio_s, ours_min, peer_name, peer, seconds, peer_min);
      std::printf("cpu ratio ours/peer (%s): %.2f (goal <= 1.2)\n", src->file,
                  peer_min > 0 ? ours_min / peer_min : 0.0);
    } else {
      std::printf("cpu %s: FAILED\n", src->file);
      ++failures;
    }
  }
  BASS_Free();
  return failures ? 1 : 0;
}
