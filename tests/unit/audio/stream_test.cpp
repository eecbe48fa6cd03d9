// The library's twelve functions against the loopback HTTP/ICY server of tools/.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <thread>

#include "audio/test_hooks.h"
#include "audio/bass.h"
#include "audio/config.h"
#include "server_environment.h"
#include "net/test_hooks.h"
#include "../net/local_server.h"

namespace {

using loopback::Clock;
using loopback::enc;
using loopback::ms_since;
using loopback::sleep_ms;

const QWORD kBad = ~static_cast<QWORD>(0);
constexpr int kRate = 44100;

std::string media(const std::string& name) { return std::string(TIVOLNA_MEDIA_DIR) + "/" + name; }

class AudioStream : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(g_server_error.empty()) << g_server_error;
    audio::test_hooks::Reset();
    audio::test_hooks::SetTimeouts(2000, 1500, 1500);
    audio::test_hooks::SetFastPacing(true);
    audio::test_hooks::SetCapture(&loopback::Capture::hook, &cap_);
    ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
    BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
    BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
    BASS_SetConfig(BASS_CONFIG_NET_BUFFER, 5000);
  }
  void TearDown() override {
    BASS_Free();
    audio::test_hooks::SetCapture(nullptr, nullptr);
    audio::test_hooks::Reset();
  }

  static std::string url(const std::string& path) { return g_server.url(path); }
  static HSTREAM open(const std::string& path, DOWNLOADPROC* proc = nullptr, void* user = nullptr) {
    return BASS_StreamCreateURL(url(path).c_str(), 0, BASS_STREAM_STATUS, proc, user);
  }
  static int fill(HSTREAM h) {
    const QWORD end = BASS_StreamGetFilePosition(h, BASS_FILEPOS_END);
    const QWORD dl = BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD);
    const QWORD cur = BASS_StreamGetFilePosition(h, BASS_FILEPOS_CURRENT);
    if (end == kBad || end == 0) return -1000;
    return static_cast<int>((static_cast<int64_t>(dl) - static_cast<int64_t>(cur)) * 100 /
                            static_cast<int64_t>(end));
  }
  // Plays h and returns `frames` captured frames after skipping `skip`.
  std::vector<int16_t> play_and_capture(HSTREAM h, size_t frames, size_t skip = 4410) {
    cap_.restart(skip, frames);
    EXPECT_TRUE(BASS_ChannelPlay(h, FALSE));
    std::vector<int16_t> s = cap_.wait(frames, 8000);
    EXPECT_GE(s.size(), frames * 2) << "not enough audio came out";
    return s;
  }
  // Paths of the requests the server has seen, in order.
  static std::string requests() { return loopback::http_get(url("/_requests")); }

  loopback::Capture cap_;
};

// ---- initialisation ---------------------------------------------------------------

TEST_F(AudioStream, InitOnlyOnceUntilFree) {
  EXPECT_FALSE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
  EXPECT_TRUE(BASS_Free());
  EXPECT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
}

TEST_F(AudioStream, InitFailsWithoutOutputDevice) {
  ASSERT_TRUE(BASS_Free());
  audio::test_hooks::SetNoOutputDevice(true);
  EXPECT_FALSE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
  EXPECT_EQ(open("/stream/tone440_128k_44100_s.mp3?pace=0"), 0u);
  audio::test_hooks::SetNoOutputDevice(false);
  EXPECT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
}

// ---- decoding and output ------------------------------------------------------------

TEST_F(AudioStream, PlaysTheStreamsTone) {
  for (int freq : {440, 880}) {
    HSTREAM h =
        open("/stream/tone" + std::to_string(freq) + "_128k_44100_s.mp3?pace=0&burst=65536");
    ASSERT_NE(h, 0u);
    std::vector<int16_t> s = play_and_capture(h, kRate / 2);
    EXPECT_NEAR(loopback::tone_frequency(s, kRate), freq, freq * 0.02);
    EXPECT_GT(loopback::rms_left(s), 3000);  // about -6 dBFS sine: ~11600
    EXPECT_TRUE(BASS_StreamFree(h));
  }
}

TEST_F(AudioStream, DecodesEveryMpegFlavourToTheOutputRate) {
  struct Case {
    const char* file;
    int freq;
  } cases[] = {
      {"tone1000_32k_22050_m.mp3", 1000},  // mono, 22.05 kHz
      {"tone660_320k_48000_s.mp3", 660},   // 48 kHz
      {"tone550_64k_24000_s.mp3", 550},    // MPEG-2
      {"tone440_8k_8000_m.mp3", 440},      // MPEG-2.5
      {"tone770_192k_44100_s.mp2", 770},   // layer 2
  };
  for (const Case& c : cases) {
    if (access(media(c.file).c_str(), R_OK) != 0) {
      ADD_FAILURE() << "missing media " << c.file;
      continue;
    }
    HSTREAM h = open(std::string("/stream/") + c.file + "?pace=0&burst=65536");
    ASSERT_NE(h, 0u) << c.file;
    std::vector<int16_t> s = play_and_capture(h, kRate / 2, kRate / 5);
    EXPECT_NEAR(loopback::tone_frequency(s, kRate), c.freq, c.freq * 0.03) << c.file;
    EXPECT_GT(loopback::rms_left(s), 2000) << c.file;
    // mono goes to both sides
    size_t differ = 0;
    for (size_t i = 0; i + 1 < s.size(); i += 2) differ += std::abs(s[i] - s[i + 1]) > 200;
    EXPECT_LT(differ, s.size() / 200) << c.file;
    EXPECT_TRUE(BASS_StreamFree(h));
  }
}

TEST_F(AudioStream, VolumeScalesTheSamples) {
  HSTREAM h = open("/stream/tone440_128k_44100_s.mp3?pace=0&burst=65536");
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 1.0f));
  const double full = loopback::rms_left(play_and_capture(h, 8820));
  ASSERT_GT(full, 3000);

  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.5f));
  cap_.restart(4410, 8820);  // the change glides over a few ms
  const double half = loopback::rms_left(cap_.wait(8820, 5000));
  EXPECT_NEAR(half / full, 0.5, 0.05);

  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.0f));
  cap_.restart(4410, 8820);
  std::vector<int16_t> silent = cap_.wait(8820, 5000);
  ASSERT_GE(silent.size(), 8820u * 2);
  EXPECT_EQ(loopback::peak(silent), 0);

  // and back up without a jump: the first sound after the change starts small
  audio::test_hooks::SetFastPacing(false);
  sleep_ms(100);
  cap_.restart(0, 4410);
  sleep_ms(30);
  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 1.0f));
  std::vector<int16_t> rise = cap_.wait(4410, 5000);
  size_t first = 0;
  while (first < rise.size() && rise[first] == 0) ++first;
  ASSERT_LT(first + 40, rise.size());
  EXPECT_LT(loopback::peak(std::vector<int16_t>(rise.begin() + static_cast<long>(first),
                                                rise.begin() + static_cast<long>(first) + 40)),
            6000);
  EXPECT_GT(loopback::peak(rise), 8000);
}

TEST_F(AudioStream, StopHaltsOutputAndPlayResumes) {
  HSTREAM h = open("/stream/tone440_128k_44100_s.mp3?pace=0&burst=65536");
  ASSERT_NE(h, 0u);
  play_and_capture(h, 4410);
  ASSERT_TRUE(BASS_ChannelStop(h));
  sleep_ms(100);
  const size_t before = cap_.total();
  sleep_ms(300);
  EXPECT_EQ(cap_.total(), before);
  EXPECT_NE(BASS_StreamGetFilePosition(h, BASS_FILEPOS_END), kBad);  // the stream stays
  std::vector<int16_t> s = play_and_capture(h, 4410, 0);
  EXPECT_NEAR(loopback::tone_frequency(s, kRate), 440, 10);
}

// Power of one frequency in the left channel (Goertzel).
double tone_power(const std::vector<int16_t>& stereo, double freq) {
  const double k = 2 * std::cos(2 * M_PI * freq / kRate);
  double s1 = 0, s2 = 0;
  for (size_t i = 0; i < stereo.size(); i += 2) {
    const double s0 = stereo[i] + k * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - k * s1 * s2;
}

// A stream alone and two streams mixed: each at its own volume, the two summed.
TEST_F(AudioStream, TwoStreamsMixAndOneAloneKeepsItsVolume) {
  HSTREAM a = open("/stream/tone440_128k_44100_s.mp3?pace=0&burst=65536");
  HSTREAM b = open("/stream/tone880_128k_44100_s.mp3?pace=0&burst=65536");
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  ASSERT_TRUE(BASS_ChannelSetAttribute(a, BASS_ATTRIB_VOL, 0.5f));
  ASSERT_TRUE(BASS_ChannelSetAttribute(b, BASS_ATTRIB_VOL, 0.5f));
  const double alone = loopback::rms_left(play_and_capture(a, 8820));
  ASSERT_GT(alone, 2000);
  EXPECT_LT(alone, 7000);  // about -6 dBFS at half volume: ~5800

  std::vector<int16_t> both = play_and_capture(b, 8820);
  const double p440 = tone_power(both, 440), p880 = tone_power(both, 880);
  EXPECT_GT(p440, p880 * 0.5);
  EXPECT_GT(p880, p440 * 0.5);
  EXPECT_NEAR(loopback::rms_left(both) / alone, std::sqrt(2.0), 0.15);

  ASSERT_TRUE(BASS_StreamFree(b));
  cap_.restart(4410, 8820);
  std::vector<int16_t> again = cap_.wait(8820, 5000);
  ASSERT_GE(again.size(), 8820u * 2);
  EXPECT_NEAR(loopback::rms_left(again) / alone, 1.0, 0.05);
  EXPECT_NEAR(loopback::tone_frequency(again, kRate), 440, 10);
}

// Nothing playing, the output thread hands its sink nothing (no silence kept flowing) and
// sleeps; a play wakes it, and so does a fault asked for meanwhile.
TEST_F(AudioStream, OutputSleepsWhileNothingPlays) {
  audio::test_hooks::SetFastPacing(false);  // the paced sink wrote silence every 20 ms before
  sleep_ms(100);
  uint64_t blocks = audio::test_hooks::OutputBlocks();
  sleep_ms(300);
  EXPECT_EQ(audio::test_hooks::OutputBlocks(), blocks) << "blocks went out with no stream";
  HSTREAM h = open("/stream/tone440_128k_44100_s.mp3?burst=65536");
  ASSERT_NE(h, 0u);
  sleep_ms(200);
  EXPECT_EQ(audio::test_hooks::OutputBlocks(), blocks)
      << "blocks went out for a stream that does not play";
  EXPECT_NEAR(loopback::tone_frequency(play_and_capture(h, 8820), kRate), 440, 10);
  ASSERT_TRUE(BASS_ChannelStop(h));
  sleep_ms(100);
  blocks = audio::test_hooks::OutputBlocks();
  sleep_ms(300);
  EXPECT_EQ(audio::test_hooks::OutputBlocks(), blocks) << "blocks went out after the stop";
  audio::test_hooks::FailOutput(1);
  const auto start = Clock::now();
  while (BASS_GetOutputFailures() < 1 && ms_since(start) < 2000) sleep_ms(5);
  EXPECT_EQ(BASS_GetOutputFailures(), 1u);
  EXPECT_NEAR(loopback::tone_frequency(play_and_capture(h, 4410, 0), kRate), 440, 10);
}

// A playing stream with plenty buffered reads its socket a few times a second, however small
// the server's packets (the test server paces in packets of a few dozen bytes), and keeps up
// with real time.
TEST_F(AudioStream, PlayingStreamGathersItsReads) {
  audio::test_hooks::SetFastPacing(false);
  HSTREAM h = open("/stream/tone440_128k_44100_s.mp3?burst=65536");
  ASSERT_NE(h, 0u);
  uint64_t reads = audio::test_hooks::DownloadReads();
  sleep_ms(300);
  EXPECT_GT(audio::test_hooks::DownloadReads() - reads, 30u)
      << "the server no longer sends small packets";
  play_and_capture(h, 4410, 0);
  reads = audio::test_hooks::DownloadReads();
  const QWORD from = BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD);
  const auto start = Clock::now();
  sleep_ms(1500);
  const double seconds = ms_since(start) / 1000.0;
  const double most = seconds * 1000.0 / audio::kGatherPauseMs + 3;
  EXPECT_LE(static_cast<double>(audio::test_hooks::DownloadReads() - reads), most);
  EXPECT_GT(BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD) - from,
            static_cast<QWORD>(seconds * 12000));
  EXPECT_GT(fill(h), 50);
}

// ---- metadata -----------------------------------------------------------------------

struct SyncLog {
  std::mutex mu;
  std::vector<std::string> texts;
  std::set<std::thread::id> threads;
  std::vector<HSYNC> syncs;
  std::vector<DWORD> channels;
  int calls = 0;

  static void CALLBACK proc(HSYNC sync, DWORD channel, DWORD, void* user) {
    SyncLog* log = static_cast<SyncLog*>(user);
    const char* t = BASS_ChannelGetTags(channel, BASS_TAG_META);  // the library may be called back
    std::lock_guard<std::mutex> lk(log->mu);
    ++log->calls;
    log->texts.push_back(t ? t : "(null)");
    log->threads.insert(std::this_thread::get_id());
    log->syncs.push_back(sync);
    log->channels.push_back(channel);
  }
};

TEST_F(AudioStream, TitlesAndASyncOnEveryChange) {
  HSTREAM h = open(
      "/stream/tone440_128k_44100_s.mp3?metaint=2000&burst=8000&titles=First|Second&title_every=0.35");
  ASSERT_NE(h, 0u);
  SyncLog log;
  HSYNC sync = BASS_ChannelSetSync(h, BASS_SYNC_META, 0, &SyncLog::proc, &log);
  ASSERT_NE(sync, 0u);
  BASS_ChannelPlay(h, FALSE);
  const auto start = Clock::now();
  while (ms_since(start) < 4000) {
    {
      std::lock_guard<std::mutex> lk(log.mu);
      if (log.calls >= 4) break;
    }
    sleep_ms(20);
  }
  std::lock_guard<std::mutex> lk(log.mu);
  ASSERT_GE(log.calls, 4);
  const std::string first = "StreamTitle='First';StreamUrl='';",
                    second = "StreamTitle='Second';StreamUrl='';";
  for (size_t i = 0; i < log.texts.size(); ++i) {
    EXPECT_TRUE(log.texts[i] == first || log.texts[i] == second) << log.texts[i];
    if (i > 0) {
      EXPECT_NE(log.texts[i], log.texts[i - 1]) << "sync without a change at " << i;
    }
    EXPECT_EQ(log.syncs[i], sync);
    EXPECT_EQ(log.channels[i], h);
  }
  EXPECT_EQ(log.threads.count(std::this_thread::get_id()), 0u);
}

TEST_F(AudioStream, RepeatedTitleFiresNoSync) {
  HSTREAM h = open("/stream/tone440_128k_44100_s.mp3?metaint=1000&pace=0&titles=Solo");
  ASSERT_NE(h, 0u);
  const auto start = Clock::now();
  while (!BASS_ChannelGetTags(h, BASS_TAG_META) && ms_since(start) < 3000) sleep_ms(10);
  ASSERT_NE(BASS_ChannelGetTags(h, BASS_TAG_META), nullptr);
  EXPECT_STREQ(BASS_ChannelGetTags(h, BASS_TAG_META), "StreamTitle='Solo';StreamUrl='';");
  SyncLog log;
  ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_META, 0, &SyncLog::proc, &log), 0u);
  const QWORD from = BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD);
  play_and_capture(h, 3 * kRate);  // the server repeats the title every ~10 blocks
  // a playing stream with plenty buffered gathers its reads for a moment
  const auto played = Clock::now();
  while (BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD) <= from + 30 * 1000 &&
         ms_since(played) < 3000)
    sleep_ms(10);
  EXPECT_GT(BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD), from + 30 * 1000);
  std::lock_guard<std::mutex> lk(log.mu);
  EXPECT_EQ(log.calls, 0);
}

TEST_F(AudioStream, TagsKeepTheServersBytes) {
  HSTREAM plain = open("/stream/tone440_128k_44100_s.mp3?metaint=4000&pace=0");
  ASSERT_NE(plain, 0u);
  EXPECT_EQ(BASS_ChannelGetTags(plain, BASS_TAG_META), nullptr);  // no title sent

  HSTREAM h = open(
      "/stream/tone440_128k_44100_s.mp3?metaint=1000&pace=0&titles=%C0%F0%F2%E8%F1%F2%20-%20%CF%E5%F1%ED%FF");
  ASSERT_NE(h, 0u);
  const auto start = Clock::now();
  while (!BASS_ChannelGetTags(h, BASS_TAG_META) && ms_since(start) < 3000) sleep_ms(10);
  const char* t = BASS_ChannelGetTags(h, BASS_TAG_META);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::string(t),
            "StreamTitle='\xC0\xF0\xF2\xE8\xF1\xF2 - \xCF\xE5\xF1\xED\xFF';StreamUrl='';");
  EXPECT_EQ(BASS_ChannelGetTags(h, 0), nullptr);  // other tag kinds are not offered
  EXPECT_EQ(BASS_ChannelGetTags(h, 99), nullptr);
}

// A reader on another thread keeps using the text while titles change and the stream is freed.
TEST_F(AudioStream, TagTextStaysReadableWhileTitlesChange) {
  HSTREAM h = open(
      "/stream/tone440_128k_44100_s.mp3?metaint=500&pace=0&titles=Alpha|Beta|Gamma&title_every=0.02");
  ASSERT_NE(h, 0u);
  BASS_ChannelPlay(h, FALSE);
  std::atomic<bool> stop{false};
  std::atomic<size_t> reads{0};
  std::thread reader([&] {
    while (!stop) {
      const char* t = BASS_ChannelGetTags(h, BASS_TAG_META);
      if (t) {
        volatile size_t n = std::strlen(t);  // ASan reports a freed text
        (void)n;
        ++reads;
      }
    }
  });
  sleep_ms(600);
  EXPECT_TRUE(BASS_StreamFree(h));
  sleep_ms(50);
  stop = true;
  reader.join();
  EXPECT_GT(reads.load(), 0u);
  EXPECT_EQ(BASS_ChannelGetTags(h, BASS_TAG_META), nullptr);
}

// ---- connection headers -------------------------------------------------------------

struct HeaderLog {
  std::mutex mu;
  std::vector<std::string> lines;
  std::thread::id thread;
  int header_calls = 0;
  static void CALLBACK proc(const void* buffer, DWORD length, void* user) {
    HeaderLog* log = static_cast<HeaderLog*>(user);
    if (!buffer || length != 0) return;
    std::lock_guard<std::mutex> lk(log->mu);
    ++log->header_calls;
    log->thread = std::this_thread::get_id();
    const char* p = static_cast<const char*>(buffer);
    for (int i = 0; *p && i < 200; ++i) {  // zero-terminated lines, an empty one ends the block
      log->lines.emplace_back(p);
      p += std::strlen(p) + 1;
    }
  }
};

TEST_F(AudioStream, HeaderBlockGoesToTheDownloadProcOnALibraryThread) {
  for (const char* status : {"icy", "http10", "http11"}) {
    HeaderLog log;
    HSTREAM h = open(std::string("/stream/tone440_128k_44100_s.mp3?metaint=16000&status=") + status,
                     &HeaderLog::proc, &log);
    ASSERT_NE(h, 0u) << status;
    sleep_ms(50);
    std::lock_guard<std::mutex> lk(log.mu);
    ASSERT_GE(log.header_calls, 1) << status;
    ASSERT_GE(log.lines.size(), 3u);
    const std::string expect = std::string(status) == "icy"      ? "ICY 200"
                               : std::string(status) == "http10" ? "HTTP/1.0 200"
                                                                 : "HTTP/1.1 200";
    EXPECT_EQ(log.lines[0].rfind(expect, 0), 0u) << log.lines[0];
    bool metaint = false, ctype = false;
    for (const std::string& l : log.lines) {
      std::string low = l;
      for (char& c : low) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      metaint |= low.rfind("icy-metaint:", 0) == 0 && low.find("16000") != std::string::npos;
      ctype |= low.rfind("content-type:", 0) == 0 && low.find("audio/mpeg") != std::string::npos;
    }
    EXPECT_TRUE(metaint);
    EXPECT_TRUE(ctype);
    EXPECT_NE(log.thread, std::this_thread::get_id());
    EXPECT_TRUE(BASS_StreamFree(h));
  }
}

// ---- buffer positions ---------------------------------------------------------------

TEST_F(AudioStream, FillPassesThreeQuartersAtOnceWithABurst) {
  const auto start = Clock::now();
  HSTREAM h = open("/stream/tone440_128k_44100_s.mp3?burst=65536");
  ASSERT_NE(h, 0u);
  const QWORD end = BASS_StreamGetFilePosition(h, BASS_FILEPOS_END);
  EXPECT_GE(end, 60000u);  // five seconds at 128 kbps: 80000 bytes
  EXPECT_LE(end, 100000u);
  while (fill(h) <= 75 && ms_since(start) < 2000) sleep_ms(2);
  EXPECT_GT(fill(h), 75);
  EXPECT_LT(ms_since(start), 1000);
  EXPECT_EQ(BASS_StreamGetFilePosition(h, BASS_FILEPOS_END), end);
  EXPECT_EQ(BASS_StreamGetFilePosition(h, BASS_FILEPOS_CURRENT), 0u);  // not playing yet
}

TEST_F(AudioStream, FillGrowsInRealTimeWithoutABurst) {
  const auto start = Clock::now();
  HSTREAM h = open("/stream/tone440_128k_44100_s.mp3");
  ASSERT_NE(h, 0u);
  sleep_ms(500);
  const int early = fill(h);
  EXPECT_GE(early, 0);
  EXPECT_LT(early, 40);  // 16000 bytes per second into 80000
  QWORD last = 0;
  while (fill(h) <= 75 && ms_since(start) < 7000) {
    QWORD dl = BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD);
    EXPECT_GE(dl, last);
    last = dl;
    sleep_ms(50);
  }
  EXPECT_GT(fill(h), 75);
  EXPECT_GT(ms_since(start), 2500);
}

TEST_F(AudioStream, BufferLengthFollowsTheOption) {
  BASS_SetConfig(BASS_CONFIG_NET_BUFFER, 2000);
  HSTREAM h = open("/stream/tone440_128k_44100_s.mp3?pace=0");
  BASS_SetConfig(BASS_CONFIG_NET_BUFFER, 5000);
  HSTREAM g = open("/stream/tone440_128k_44100_s.mp3?pace=0");
  ASSERT_NE(h, 0u);
  ASSERT_NE(g, 0u);
  const QWORD small = BASS_StreamGetFilePosition(h, BASS_FILEPOS_END),
              big = BASS_StreamGetFilePosition(g, BASS_FILEPOS_END);
  EXPECT_NEAR(static_cast<double>(small) / static_cast<double>(big), 0.4, 0.02);
}

TEST_F(AudioStream, DownloadStopsWhenTheBufferIsFull) {
  HSTREAM h = open("/stream/tone440_128k_44100_s.mp3?pace=0");
  ASSERT_NE(h, 0u);
  sleep_ms(700);
  const QWORD end = BASS_StreamGetFilePosition(h, BASS_FILEPOS_END);
  const QWORD a = BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD);
  sleep_ms(300);
  const QWORD b = BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD);
  EXPECT_EQ(a, b);
  EXPECT_LE(b, end + 64 * 1024);
  EXPECT_GE(b, end * 9 / 10);

  // playing consumes and the download follows, never behind the decoder
  play_and_capture(h, kRate);
  const QWORD cur = BASS_StreamGetFilePosition(h, BASS_FILEPOS_CURRENT);
  const QWORD dl = BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD);
  EXPECT_GT(cur, 15000u);  // a second of 128 kbps is 16000 bytes
  EXPECT_GT(dl, b);
  EXPECT_LE(cur, dl);
}

// ---- playlists ----------------------------------------------------------------------

TEST_F(AudioStream, FollowsPlaylistsOfEveryKind) {
  const std::string target = "/stream/tone880_128k_44100_s.mp3?pace=0&burst=65536";
  const std::string dead = "http://127.0.0.1:1/nothing-listens-here";
  const std::string q = "?to=" + enc(dead) + "&to=" + enc("/status/404") + "&to=" + enc(target);
  const std::string lists[] = {"/playlist.m3u" + q, "/playlist.m3u" + q + "&ext=1",
                               "/playlist.pls" + q, "/playlist.asx" + q};
  for (const std::string& p : lists) {
    for (const char* ctype : {"", "&ctype=text/plain"}) {
      HSTREAM h = open(p + ctype);
      ASSERT_NE(h, 0u) << p << ctype;
      if (p == lists[2] && *ctype) {  // one of them all the way to the sound
        std::vector<int16_t> s = play_and_capture(h, kRate / 4);
        EXPECT_NEAR(loopback::tone_frequency(s, kRate), 880, 15);
      }
      EXPECT_TRUE(BASS_StreamFree(h));
    }
  }
  const std::string log = requests();
  EXPECT_NE(log.find("/status/404"), std::string::npos);  // the dead entries were tried first
}

TEST_F(AudioStream, PlaylistsNestAFewLevelsDeep) {
  const std::string target = "/stream/tone440_128k_44100_s.mp3?pace=0";
  const std::string two = "/playlist.pls?to=" + enc("/playlist.m3u?to=" + enc(target));
  HSTREAM h = open(two);
  EXPECT_NE(h, 0u);

  std::string deep = target;
  for (int i = 0; i < 8; ++i) deep = "/playlist.m3u?to=" + enc(deep);
  const auto start = Clock::now();
  EXPECT_EQ(open(deep), 0u);
  EXPECT_LT(ms_since(start), 3000);
}

TEST_F(AudioStream, PlaylistsNeedTheOption) {
  BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 0);
  EXPECT_EQ(open("/playlist.m3u?to=" + enc("/stream/tone440_128k_44100_s.mp3?pace=0")), 0u);
  BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
  EXPECT_NE(open("/playlist.m3u?to=" + enc("/stream/tone440_128k_44100_s.mp3?pace=0")), 0u);
}

// Relative entries resolve against the playlist's address (here a second local server
// whose stream answer redirects to the loopback server).
TEST_F(AudioStream, RelativePlaylistEntries) {
  const std::string target = url("/stream/tone880_128k_44100_s.mp3?pace=0");
  std::mutex mu;
  std::vector<std::string> seen;
  LocalServer srv(
      [&](int fd) {
        const std::string req = LocalServer::read_request(fd);
        const std::string line = req.substr(0, req.find("\r\n"));
        {
          std::lock_guard<std::mutex> lk(mu);
          seen.push_back(line);
        }
        if (line.rfind("GET /lists/radio.m3u ", 0) == 0)
          LocalServer::send_text(
              fd,
              "HTTP/1.0 200 OK\r\nContent-Type: audio/x-mpegurl\r\n\r\n"
              "#EXTM3U\r\n#EXTINF:-1,Dead\r\nmissing.mp3\r\n#EXTINF:-1,Live\r\n../live/stream.mp3\r\n");
        else if (line.rfind("GET /live/stream.mp3 ", 0) == 0)
          LocalServer::send_text(fd, "HTTP/1.0 302 Found\r\nLocation: " + target + "\r\n\r\n");
        else
          LocalServer::send_text(fd, "HTTP/1.0 404 Not Found\r\n\r\n");
      },
      3);
  const std::string list = "http://127.0.0.1:" + std::to_string(srv.port()) + "/lists/radio.m3u";
  HSTREAM h = BASS_StreamCreateURL(list.c_str(), 0, 0, nullptr, nullptr);
  ASSERT_NE(h, 0u);
  std::vector<int16_t> s = play_and_capture(h, kRate / 4);
  EXPECT_NEAR(loopback::tone_frequency(s, kRate), 880, 15);
  std::lock_guard<std::mutex> lk(mu);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1].rfind("GET /lists/missing.mp3 ", 0), 0u) << seen[1];
  EXPECT_EQ(seen[2].rfind("GET /live/stream.mp3 ", 0), 0u) << seen[2];
}

// One body whose MPEG format changes: 44.1 kHz stereo, then 22.05 kHz mono.
TEST_F(AudioStream, FormatChangeInsideTheStream) {
  auto read_file = [](const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  };
  const std::string a = read_file(media("tone440_128k_44100_s.mp3")).substr(0, 3 * 16000);
  const std::string b = read_file(media("tone1000_32k_22050_m.mp3")).substr(0, 3 * 4000);
  ASSERT_EQ(a.size(), 48000u);
  ASSERT_EQ(b.size(), 12000u);
  LocalServer srv([&](int fd) {
    LocalServer::read_request(fd);
    LocalServer::send_text(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + a + b);
  });
  const std::string u = "http://127.0.0.1:" + std::to_string(srv.port()) + "/mixed.mp3";
  HSTREAM h = BASS_StreamCreateURL(u.c_str(), 0, 0, nullptr, nullptr);
  ASSERT_NE(h, 0u);
  cap_.restart(0, 8 * kRate);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  std::vector<int16_t> s;
  size_t last = 0;
  for (int idle = 0; idle < 10;) {  // until the output runs dry
    sleep_ms(50);
    s = cap_.wait(8 * kRate, 0);
    idle = s.size() == last ? idle + 1 : 0;
    last = s.size();
  }
  const size_t frames = s.size() / 2;
  EXPECT_NEAR(static_cast<double>(frames) / kRate, 6.0, 0.3);  // both parts, at the output rate
  ASSERT_GT(frames, static_cast<size_t>(5 * kRate));
  std::vector<int16_t> head(s.begin() + kRate, s.begin() + 2 * kRate),
      tail(s.end() - 2 * kRate, s.end() - kRate);
  EXPECT_NEAR(loopback::tone_frequency(head, kRate), 440, 9);
  EXPECT_NEAR(loopback::tone_frequency(tail, kRate), 1000, 20);
}

// ---- AAC and Ogg stations --------------------------------------------------------------

TEST_F(AudioStream, AacAndOggStationsPlayWhateverTheirType) {
  const struct {
    const char* file;
    const char* ctype;  // nullptr: the server's own (audio/aac, audio/ogg)
    int freq;
    const char* title;  // from the Ogg comments, else none
  } cases[] = {
      {"tone1000_96k_44100_s.aac", nullptr, 1000, nullptr},
      {"tone1000_96k_44100_s.aac", "", 1000, nullptr},            // no type
      {"he1_tone1100_44100_s.aac", "audio/aacp", 1100, nullptr},  // HE-AAC
      {"tone660_32k_22050_m.aac", "audio/mpeg", 660, nullptr},    // a wrong type
      {"tone550_96k_44100_s.ogg", nullptr, 550, "StreamTitle='Тиволна - Ворбис 550';"},
      {"tone1320_64k_48000_s.opus", "application/octet-stream", 1320,
       "StreamTitle='Тиволна - Опус 1320';"},
      {"tone440_128k_44100_s.mp3", "audio/aacp", 440, nullptr},
  };
  for (const auto& c : cases) {
    std::string path = std::string("/stream/") + c.file + "?pace=0&burst=65536&metaint=3000";
    if (c.ctype) path += std::string("&ctype=") + enc(c.ctype);
    HSTREAM h = open(path);
    ASSERT_NE(h, 0u) << c.file << " " << (c.ctype ? c.ctype : "");
    std::vector<int16_t> s = play_and_capture(h, kRate / 2, kRate / 5);
    EXPECT_NEAR(loopback::tone_frequency(s, kRate), c.freq, c.freq * 0.02) << c.file;
    EXPECT_GT(loopback::rms_left(s), 6000) << c.file;
    const char* tag = BASS_ChannelGetTags(h, BASS_TAG_META);
    if (c.title) {
      EXPECT_STREQ(tag, c.title);
    } else {
      EXPECT_EQ(tag, nullptr) << tag;
    }
    EXPECT_TRUE(BASS_StreamFree(h));
  }
}

TEST_F(AudioStream, ChainedOggChangesTitleWithASync) {
  // 10 s of Vorbis (about 27 kB), then 10 s of Opus; a short buffer keeps the download
  // inside the first part until playback starts
  BASS_SetConfig(BASS_CONFIG_NET_BUFFER, 1000);
  HSTREAM h = open("/stream/chain770v_990o.ogg?pace=0");
  ASSERT_NE(h, 0u);
  const auto start = Clock::now();
  while (!BASS_ChannelGetTags(h, BASS_TAG_META) && ms_since(start) < 3000) sleep_ms(10);
  EXPECT_STREQ(BASS_ChannelGetTags(h, BASS_TAG_META), "StreamTitle='Тиволна - Первая часть';");
  SyncLog log;
  ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_META, 0, &SyncLog::proc, &log), 0u);
  std::vector<int16_t> s = play_and_capture(h, 15 * kRate, 0);
  // Read the log without holding its lock across the free: a sync still running then
  // would wait for the lock while the free waits for the sync.
  int calls;
  std::string first;
  bool on_this_thread;
  {
    std::lock_guard<std::mutex> lk(log.mu);
    calls = log.calls;
    first = log.texts.empty() ? std::string() : log.texts[0];
    on_this_thread = log.threads.count(std::this_thread::get_id()) != 0;
  }
  EXPECT_TRUE(BASS_StreamFree(h));
  ASSERT_GE(calls, 1);
  EXPECT_EQ(first, "StreamTitle='Тиволна - Вторая часть';");
  EXPECT_FALSE(on_this_thread);
  ASSERT_GE(s.size(), static_cast<size_t>(28 * kRate));
  EXPECT_NEAR(loopback::tone_frequency(
                  std::vector<int16_t>(s.begin() + 2 * kRate, s.begin() + 18 * kRate), kRate),
              770, 5);
  EXPECT_NEAR(loopback::tone_frequency(
                  std::vector<int16_t>(s.begin() + 24 * kRate, s.begin() + 28 * kRate), kRate),
              990, 5);
}

// ---- redirects ----------------------------------------------------------------------

TEST_F(AudioStream, FollowsRedirects) {
  const std::string to = enc("/stream/tone440_128k_44100_s.mp3?pace=0");
  for (const char* code : {"301", "302", "303", "307", "308"})
    EXPECT_NE(open("/redirect?hops=1&code=" + std::string(code) + "&to=" + to), 0u) << code;
  EXPECT_NE(open("/redirect?hops=3&relative=1&to=" + to), 0u);
  EXPECT_NE(open("/redirect?hops=5&to=" + to), 0u);
  const auto start = Clock::now();
  EXPECT_EQ(open("/redirect?hops=6&to=" + to), 0u);
  EXPECT_EQ(open("/redirect?hops=40&relative=1&to=" + to), 0u);
  EXPECT_LT(ms_since(start), 3000);
}

// ---- request headers ----------------------------------------------------------------

TEST_F(AudioStream, SendsTheUserAgentAndAsksForMetadata) {
  static const char agent[] = "TivolnaUnitTest/3.1 (agent check)";
  BASS_SetConfigPtr(BASS_CONFIG_NET_AGENT, agent);
  ASSERT_NE(open("/stream/tone440_128k_44100_s.mp3?pace=0&mark=ua-first"), 0u);
  BASS_SetConfig(BASS_CONFIG_NET_AGENT, 0);  // the program does this before playing
  ASSERT_NE(open("/stream/tone440_128k_44100_s.mp3?pace=0&mark=ua-second"), 0u);
  const std::string log = requests();
  for (const char* mark : {"mark=ua-first", "mark=ua-second"}) {
    size_t at = log.find(mark);
    ASSERT_NE(at, std::string::npos) << mark;
    const std::string entry = log.substr(at, log.find('}', at) - at);
    EXPECT_NE(entry.find("\"user-agent\": \"TivolnaUnitTest/3.1 (agent check)\""),
              std::string::npos)
        << entry;
    EXPECT_NE(entry.find("\"icy-metadata\": \"1\""), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"host\": \"127.0.0.1:" + std::to_string(g_server.port()) + "\""),
              std::string::npos)
        << entry;
  }
}

// ---- handles ------------------------------------------------------------------------

void expect_rejected(HSTREAM h) {
  EXPECT_EQ(BASS_StreamGetFilePosition(h, BASS_FILEPOS_END), kBad) << h;
  EXPECT_EQ(BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD), kBad) << h;
  EXPECT_EQ(BASS_StreamGetFilePosition(h, BASS_FILEPOS_CURRENT), kBad) << h;
  EXPECT_EQ(BASS_ChannelGetTags(h, BASS_TAG_META), nullptr) << h;
  EXPECT_FALSE(BASS_ChannelPlay(h, FALSE)) << h;
  EXPECT_FALSE(BASS_ChannelStop(h)) << h;
  EXPECT_FALSE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.5f)) << h;
  EXPECT_EQ(BASS_ChannelSetSync(h, BASS_SYNC_META, 0, &SyncLog::proc, nullptr), 0u) << h;
  EXPECT_FALSE(BASS_StreamFree(h)) << h;
}

TEST_F(AudioStream, StaleHandlesAreRejected) {
  expect_rejected(0);
  const std::string path = "/stream/tone440_128k_44100_s.mp3?pace=0&metaint=1000&titles=T";
  HSTREAM freed = open(path);
  ASSERT_NE(freed, 0u);
  EXPECT_TRUE(BASS_StreamFree(freed));
  expect_rejected(freed);

  HSTREAM old = open(path);
  ASSERT_NE(old, 0u);
  BASS_ChannelPlay(old, FALSE);
  ASSERT_TRUE(BASS_Free());
  expect_rejected(old);
  ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
  expect_rejected(old);
  HSTREAM fresh = open(path);
  ASSERT_NE(fresh, 0u);
  EXPECT_NE(fresh, old);
  EXPECT_NE(fresh, freed);
  expect_rejected(old);
  EXPECT_NE(BASS_StreamGetFilePosition(fresh, BASS_FILEPOS_END), kBad);
}

TEST_F(AudioStream, FreeWithStreamsPlayingAndStalled) {
  std::vector<HSTREAM> hs;
  for (const char* p : {"/stream/tone440_128k_44100_s.mp3?burst=16000",
                        "/stream/tone880_128k_44100_s.mp3?pace=0", "/bad/stall-body?after=30000"}) {
    HSTREAM h = open(p);
    ASSERT_NE(h, 0u) << p;
    BASS_ChannelPlay(h, FALSE);
    hs.push_back(h);
  }
  sleep_ms(200);
  const auto start = Clock::now();
  EXPECT_TRUE(BASS_Free());
  EXPECT_LT(ms_since(start), 1500);
  for (HSTREAM h : hs) expect_rejected(h);
  EXPECT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
  HSTREAM h = open("/stream/tone440_128k_44100_s.mp3?pace=0");
  ASSERT_NE(h, 0u);
  play_and_capture(h, 4410);
}

// Free while another thread is still connecting: the creation gives up, nothing hangs.
TEST_F(AudioStream, FreeDuringCreation) {
  std::atomic<HSTREAM> got{123};
  std::thread t([&] { got = open("/bad/stall-header"); });
  sleep_ms(200);
  const auto start = Clock::now();
  EXPECT_TRUE(BASS_Free());
  t.join();
  EXPECT_LT(ms_since(start), 1400);
  EXPECT_EQ(got.load(), 0u);
  ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
}

struct SelfFree {
  std::atomic<int> calls{0};
  std::atomic<int> freed{-1};
  static void CALLBACK proc(HSYNC, DWORD channel, DWORD, void* user) {
    SelfFree* s = static_cast<SelfFree*>(user);
    if (s->calls++ == 0) s->freed = BASS_StreamFree(channel);
  }
};

TEST_F(AudioStream, SyncCallbackMayFreeItsOwnStream) {
  HSTREAM h =
      open("/stream/tone440_128k_44100_s.mp3?metaint=2000&burst=8000&titles=A|B&title_every=0.2");
  ASSERT_NE(h, 0u);
  SelfFree s;
  ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_META, 0, &SelfFree::proc, &s), 0u);
  BASS_ChannelPlay(h, FALSE);
  const auto start = Clock::now();
  while (s.freed < 0 && ms_since(start) < 4000) sleep_ms(10);
  EXPECT_EQ(s.freed.load(), TRUE);
  expect_rejected(h);
  sleep_ms(300);
  EXPECT_EQ(s.calls.load(), 1);  // no syncs after the stream was freed
}

TEST_F(AudioStream, CallsFromManyThreadsWhileFreeing) {
  SyncLog log;
  for (int round = 0; round < 3; ++round) {
    HSTREAM h = open(
        "/stream/tone440_128k_44100_s.mp3?burst=16000&metaint=700&titles=X|Y&title_every=0.05");
    ASSERT_NE(h, 0u);
    BASS_ChannelPlay(h, FALSE);
    std::atomic<bool> stop{false};
    std::vector<std::thread> ts;
    for (int k = 0; k < 4; ++k)
      ts.emplace_back([&, k] {
        while (!stop) {
          switch (k) {
            case 0:
              BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.3f);
              BASS_ChannelStop(h);
              BASS_ChannelPlay(h, FALSE);
              sleep_ms(20);
              break;
            case 1:
              BASS_StreamGetFilePosition(h, BASS_FILEPOS_CURRENT);
              BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD);
              break;
            case 2:
              if (const char* t = BASS_ChannelGetTags(h, BASS_TAG_META)) {
                volatile size_t n = std::strlen(t);
                (void)n;
              }
              break;
            default:
              BASS_ChannelSetSync(h, BASS_SYNC_META, 0, &SyncLog::proc, &log);
              sleep_ms(5);
              break;
          }
        }
      });
    sleep_ms(300);
    const BOOL freed = round == 2 ? BASS_Free() : BASS_StreamFree(h);
    EXPECT_TRUE(freed);
    sleep_ms(50);
    stop = true;
    for (auto& t : ts) t.join();
    expect_rejected(h);
    if (round == 2) {
      ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
    }
  }
  std::lock_guard<std::mutex> lk(log.mu);
  EXPECT_GT(log.calls, 0);
}

// ---- misbehaving servers ------------------------------------------------------------

TEST_F(AudioStream, BrokenServersFailQuickly) {
  const char* paths[] = {"/status/404",       "/status/500",           "/status/403",
                         "/bad/drop",         "/bad/endless-header",   "/bad/huge-header",
                         "/bad/html",         "/bad/random",           "/bad/stall-header",
                         "/bad/huge-metaint", "/bad/overflow-metaint", "/bad/negative-metaint",
                         "/no/such/path"};
  for (const char* p : paths) {
    const auto start = Clock::now();
    EXPECT_EQ(open(p), 0u) << p;
    EXPECT_LT(ms_since(start), 3500) << p;  // read time-out in this suite: 1.5 s
  }
  const auto start = Clock::now();
  EXPECT_EQ(BASS_StreamCreateURL("http://127.0.0.1:1/", 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_StreamCreateURL("not a url", 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_StreamCreateURL("https://127.0.0.1/", 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_StreamCreateURL(nullptr, 0, 0, nullptr, nullptr), 0u);
  EXPECT_LT(ms_since(start), 1000);
}

// Why a stream failed is kept in the error code.
TEST_F(AudioStream, FailureReasons) {
  const std::string stall = url("/bad/stall-header");
  struct Case {
    std::string url;
    int code;
  } cases[] = {
      {"http://127.0.0.1:1/", BASS_ERROR_NONET},
      {"http://no-such-host.invalid/", BASS_ERROR_LOOKUP},
      {url("/status/404"), BASS_ERROR_HTTP + 404},
      {url("/status/503"), BASS_ERROR_HTTP + 503},
      {url("/bad/html"), BASS_ERROR_FILEFORM},
      {url("/bad/random"), BASS_ERROR_FILEFORM},
      {url("/bad/huge-header"), BASS_ERROR_TOOLARGE},
      {url("/bad/endless-header"), BASS_ERROR_TOOLARGE},
      {stall, BASS_ERROR_TIMEOUT},
      {url("/bad/negative-metaint"), BASS_ERROR_PROTOCOL},
      {url("/redirect?hops=6&to=" + enc("/stream/tone440_128k_44100_s.mp3?pace=0")),
       BASS_ERROR_REDIRECTS},
      {url("/playlist.m3u?to=" + enc("/status/410")),
       BASS_ERROR_HTTP + 410},                      // the last entry's reason
      {url("/playlist.pls"), BASS_ERROR_FILEFORM},  // no entries
      {"not a url", BASS_ERROR_FILEOPEN},
      {"ftp://127.0.0.1/", BASS_ERROR_FILEOPEN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BASS_StreamCreateURL(c.url.c_str(), 0, 0, nullptr, nullptr), 0u) << c.url;
    EXPECT_EQ(BASS_ErrorGetCode(), c.code) << c.url;
  }
  EXPECT_EQ(BASS_StreamCreateURL(nullptr, 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
  HSTREAM h = open("/stream/tone440_128k_44100_s.mp3?pace=0");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
  EXPECT_EQ(BASS_ChannelGetTags(h, BASS_TAG_META), nullptr);  // no title sent
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  EXPECT_FALSE(BASS_ChannelSetAttribute(h, 99, 1.0f));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
  EXPECT_TRUE(BASS_StreamFree(h));
  EXPECT_FALSE(BASS_StreamFree(h));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  int other = -2;
  std::thread([&] { other = BASS_ErrorGetCode(); }).join();  // the code is the thread's own
  EXPECT_EQ(other, BASS_OK);
  ASSERT_TRUE(BASS_Free());
  EXPECT_EQ(open("/stream/tone440_128k_44100_s.mp3?pace=0"), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
  ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
  EXPECT_FALSE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
}

// Play, stop and free check the library first, then the handle; the attribute call reports
// every miss as a bad handle.
TEST_F(AudioStream, HandleCallsCheckLibraryThenHandle) {
  struct Call {
    const char* name;
    BOOL (*call)(DWORD);
    int after_free;
  } calls[] = {
      {"play", [](DWORD h) { return BASS_ChannelPlay(h, FALSE); }, BASS_ERROR_INIT},
      {"stop", [](DWORD h) { return BASS_ChannelStop(h); }, BASS_ERROR_INIT},
      {"free", [](DWORD h) { return BASS_StreamFree(h); }, BASS_ERROR_INIT},
      {"volume", [](DWORD h) { return BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.5f); },
       BASS_ERROR_HANDLE},
  };
  const HSTREAM live = open("/stream/tone440_128k_44100_s.mp3?pace=0");
  ASSERT_NE(live, 0u);
  for (const Call& c : calls) {
    for (DWORD h : {DWORD{0}, live + 1000}) {
      EXPECT_FALSE(c.call(h)) << c.name;
      EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE) << c.name << " " << h;
    }
  }
  EXPECT_TRUE(BASS_ChannelPlay(live, FALSE));
  EXPECT_TRUE(BASS_ChannelStop(live));
  ASSERT_TRUE(BASS_Free());
  for (const Call& c : calls) {
    EXPECT_FALSE(c.call(live)) << c.name;
    EXPECT_EQ(BASS_ErrorGetCode(), c.after_free) << c.name;
  }
  ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
}

// Lookups, connects, redirects and playlist entries all count against one deadline.
TEST_F(AudioStream, OpeningHasOneDeadline) {
  audio::test_hooks::SetOpenTimeout(1200);
  std::string list = "/playlist.m3u?x=1";
  for (int i = 0; i < 16; ++i) list += "&to=" + enc("/bad/stall-header?n=" + std::to_string(i));
  auto start = Clock::now();
  EXPECT_EQ(open(list), 0u);  // each entry alone may take the read time-out, 1.5 s here
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_TIMEOUT);
  EXPECT_GE(ms_since(start), 1100);
  EXPECT_LT(ms_since(start), 1700);

  net::test_hooks::SetHost("slow-name.test", {"127.0.0.1"});
  net::test_hooks::SetLookupDelayMs(20000);
  const std::string slow = "http://slow-name.test:" + std::to_string(g_server.port()) +
                           "/stream/tone440_128k_44100_s.mp3";
  start = Clock::now();
  EXPECT_EQ(BASS_StreamCreateURL(slow.c_str(), 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_TIMEOUT);
  EXPECT_LT(ms_since(start), 1700);
  net::test_hooks::Reset();
}

// A name lookup that hangs holds neither the creation nor a BASS_Free from another thread.
TEST_F(AudioStream, FreeLeavesAHangingLookupBehind) {
  net::test_hooks::SetHost("slow-name.test", {"127.0.0.1"});
  net::test_hooks::SetLookupDelayMs(20000);
  const std::string slow = "http://slow-name.test:" + std::to_string(g_server.port()) +
                           "/stream/tone440_128k_44100_s.mp3";
  std::atomic<HSTREAM> got{123};
  std::atomic<int> code{0};
  std::atomic<long> create_ms{0};
  std::thread t([&] {
    const auto start = Clock::now();
    got = BASS_StreamCreateURL(slow.c_str(), 0, 0, nullptr, nullptr);
    code = BASS_ErrorGetCode();
    create_ms = ms_since(start);
  });
  sleep_ms(300);
  const auto start = Clock::now();
  EXPECT_TRUE(BASS_Free());
  EXPECT_LT(ms_since(start), 200);
  t.join();
  EXPECT_EQ(got.load(), 0u);
  EXPECT_EQ(code.load(), BASS_ERROR_ABORTED);
  EXPECT_LT(create_ms.load(), 600);
  net::test_hooks::Reset();
  ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
}

// Metadata read while opening: only the latest text is kept, and the opening reads a
// bounded amount. The server sends a metadata block of 4080 bytes after every audio byte.
TEST_F(AudioStream, MetadataWhileOpeningStaysSmall) {
  std::atomic<bool> stop{false};
  LocalServer srv([&](int fd) {
    LocalServer::read_request(fd);
    LocalServer::send_text(fd,
                           "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-metaint: 1\r\n\r\n");
    std::string unit(1 + 1 + 4080, 'T');
    unit[1] = static_cast<char>(255);
    std::string batch;
    for (int i = 0; i < 64; ++i) batch += unit;
    for (size_t sent = 0; !stop && sent < (512u << 20); sent += batch.size())
      if (::send(fd, batch.data(), batch.size(), MSG_NOSIGNAL) <= 0) break;
  });
  const std::string u = "http://127.0.0.1:" + std::to_string(srv.port()) + "/meta";
  loopback::HeapWatch watch;
  EXPECT_EQ(BASS_StreamCreateURL(u.c_str(), 0, 0, nullptr, nullptr), 0u);
  const size_t peak = watch.stop();
  stop = true;
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_TOOLARGE);
  EXPECT_LT(peak, 8u << 20) << "heap grew by " << (peak >> 20) << " MiB while opening";
}

// A failure of the output thread is counted, and the output comes back.
TEST_F(AudioStream, OutputRestartsAfterAFailure) {
  HSTREAM h = open("/stream/tone440_128k_44100_s.mp3?pace=0&burst=65536");
  ASSERT_NE(h, 0u);
  play_and_capture(h, 4410);
  EXPECT_EQ(BASS_GetOutputFailures(), 0u);
  audio::test_hooks::FailOutput(3);
  const auto start = Clock::now();
  while (BASS_GetOutputFailures() < 3 && ms_since(start) < 3000) sleep_ms(5);
  EXPECT_EQ(BASS_GetOutputFailures(), 3u);
  std::vector<int16_t> s = play_and_capture(h, kRate / 4, 0);
  EXPECT_NEAR(loopback::tone_frequency(s, kRate), 440, 10);
  EXPECT_EQ(BASS_StreamGetFilePosition(h, BASS_FILEPOS_CONNECTED), 1u);
  ASSERT_TRUE(BASS_Free());
  EXPECT_EQ(BASS_GetOutputFailures(), 0u);  // nothing to report without an output
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
  ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_GetOutputFailures(), 0u);  // counted per initialisation
}

// These open, play, and then the download ends: silence, the handle stays valid.
TEST_F(AudioStream, StreamsThatEndOrStallGoSilent) {
  HSTREAM plain = open("/bad/zero-metaint?pace=0");  // icy-metaint 0: a stream without metadata
  ASSERT_NE(plain, 0u);
  EXPECT_GT(loopback::rms_left(play_and_capture(plain, 4410)), 3000);
  EXPECT_TRUE(BASS_StreamFree(plain));

  const char* paths[] = {"/bad/meta-overrun?pace=0", "/bad/short?bytes=40000&pace=0",
                         "/bad/stall-body?after=30000&pace=0"};
  for (const char* p : paths) {
    HSTREAM h = open(p);
    ASSERT_NE(h, 0u) << p;
    BASS_ChannelPlay(h, FALSE);
    const auto start = Clock::now();
    QWORD last = kBad;
    int same = 0;
    while (ms_since(start) < 6000 && same < 5) {  // until everything downloaded was decoded
      const QWORD cur = BASS_StreamGetFilePosition(h, BASS_FILEPOS_CURRENT);
      const QWORD dl = BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD);
      same = (cur == dl && dl == last) ? same + 1 : 0;
      last = dl;
      sleep_ms(100);
    }
    EXPECT_EQ(same, 5) << p << " never ran dry";
    EXPECT_NE(BASS_StreamGetFilePosition(h, BASS_FILEPOS_END), kBad) << p;
    EXPECT_TRUE(BASS_ChannelPlay(h, FALSE)) << p;
    EXPECT_TRUE(BASS_StreamFree(h)) << p;
  }
}

}  // namespace
