// Playback with the real audio library against the loopback server, the main window on the
// headless platform, real threads and the real synchronous send.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "app/player_state.h"
#include "audio/test_hooks.h"
#include "audio/bass.h"
#include "audio/wait_pump.h"
#include "base/errors.h"
#include "audio/server_environment.h"
#include "net/local_server.h"
#include "base/codepage.h"
#include "core/fresh_application.h"
#include "core/test_util.h"
#include "imaging/picture.h"
#include "playback/stream_worker.h"
#include "playback/title.h"
#include "toolkit/headless/headless.h"
#include "ui/forms.h"
#include "ui/main/form1.h"

namespace {

std::string Url(const std::string& path) { return g_server.url(path); }

struct Report {
  uint32_t code;
  std::string label;  // the status label after the report
  bool play_enabled;  // the play button after the report
  uint32_t channel;   // AudioChannel when the report came
  uint32_t start;     // the number of the start that sent it
};

// The main window, logging every status report.
class LoggingForm : public ui::TForm1 {
 public:
  void WndProc(tk::Message& m) override {
    ui::TForm1::WndProc(m);
    if (m.msg != playback::kPlayerStatusMessage) return;
    std::lock_guard<std::mutex> lock(mu);
    log.push_back({playback::StatusCodeOf(static_cast<uintptr_t>(m.wparam)), RxLabel7.Caption(),
                   sBitBtn2.Enabled(), app::State().AudioChannel.load(),
                   playback::StatusStartOf(static_cast<uintptr_t>(m.wparam))});
  }
  std::vector<Report> Log() {
    std::lock_guard<std::mutex> lock(mu);
    return log;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mu);
    log.clear();
  }
  std::vector<uint32_t> Codes() {
    std::vector<uint32_t> out;
    for (const Report& r : Log()) out.push_back(r.code);
    return out;
  }
  std::mutex mu;
  std::vector<Report> log;
};

// A stand-in for the media player control, which cannot exist here.
class FakePlayer : public playback::MediaPlayer {
 public:
  void SetUrl(const std::string& u) override { url = u, ++plays; }
  void Play() override { ++plays; }
  void Stop() override { ++stops; }
  void SetVolume(int v) override { volume = v; }
  int Volume() override { return volume; }
  int PlayState() override { return state; }
  std::string Status() override { return status; }
  const char* Engine() const override { return "fake"; }
  std::string url, status;
  int plays = 0, stops = 0, volume = 50, state = 3;
};

struct PlaybackTest : ::testing::Test {
  TempExeFolder dir;
  LoggingForm* form = nullptr;

  void SetUp() override {
    ASSERT_TRUE(g_server_error.empty()) << g_server_error;
    dir.CopyPictures();
    tk::Application& app = FreshApplication();
    audio::test_hooks::Reset();
    audio::SetWaitPump(&tk::HandleSentMessages);
    form = app.CreateForm<LoggingForm>();
    tk::headless::ClearMessageBoxes();
  }
  void TearDown() override {
    // Workers still sending must be answered before the window goes.
    BASS_Free();
    Pump([] { return playback::RunningWorkers() == 0; }, 20000);
    tk::Application::Get().DestroyAllForms();
    BASS_Free();
    audio::test_hooks::Reset();
  }
  // A station file; the text is given in UTF-8 and written in Windows-1251.
  void Station(int n, const std::string& text) {
    dir.Write("Stations/play" + std::to_string(n) + ".txt", base::Utf8ToCp1251(text));
  }
  bool LogHas(uint32_t code, const std::string& label, int ms = 20000) {
    return Pump(
        [&] {
          for (const Report& r : form->Log())
            if (r.code == code && r.label == label) return true;
          return false;
        },
        ms);
  }
};

// --- Pure parts ---

TEST(TitleTest, MetadataTitles) {
  const struct {
    const char* meta;
    const char* title;  // nullptr: none
  } cases[] = {
      {"StreamTitle='Artist - Song';StreamUrl='';", "Artist - Song"},
      {"StreamUrl='';StreamTitle='Song';", "Song"},  // the first ";" lies before the title
      {"StreamTitle='A;B';", "A;B"},
      {"StreamTitle='AB;C';", "AB;C"},
      {"StreamTitle='It''s';", "It''s"},
      {"StreamTitle='';", ""},
      {"StreamTitle='No end", "No end"},
      {"StreamTitle='Quoted end'", "Quoted end"},
      {"StreamTitle=", ""},
      {"StreamUrl='x';", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    auto t = playback::TitleOfMetadata(c.meta);
    if (!c.title) {
      EXPECT_FALSE(t.has_value()) << c.meta;
    } else {
      ASSERT_TRUE(t.has_value()) << c.meta;
      EXPECT_EQ(*t, c.title) << c.meta;
    }
  }
}

TEST(TitleTest, BytesAsTheyArrive) {
  const std::string cp = base::Utf8ToCp1251("Песня раз");
  const struct {
    std::string in, out;  // out as UTF-8 for readability
  } cases[] = {
      {"Песня раз", "Песня раз"},  // UTF-8
      {cp, "Песня раз"},           // Windows-1251 bytes
      {"&#1055;&#1077;&#1089;&#1085;&#1103; &#1088;&#1072;&#1079;", "Песня раз"},  // Icecast
      {"&#x41F;&#X435;сня", "Песня"},                      // hex, mixed with UTF-8
      {cp + " &#1088;", "Песня раз р"},                    // references in 1251 text
      {"Caf\xc3\xa9 \xe2\x80\x94 Night", "Caf? — Night"},  // é is not in 1251
      {"Plain ASCII", "Plain ASCII"},
      {"&#0; &#xD800; &#99999999; &#; &#12",
       "&#0; &#xD800; &#99999999; &#; &#12"},  // malformed stay
      {"Line\r\nbreak\tand tab", "Line  break and tab"},
      {"\xc3\x28 broken", base::Cp1251ToUtf8("\xc3\x28 broken")},  // not UTF-8: 1251
      {"\xe2\x82\xac 5", "€ 5"},                                   // euro is in 1251
  };
  for (const auto& c : cases)
    EXPECT_EQ(base::Cp1251ToUtf8(playback::TitleToAnsi(c.in)), c.out) << c.in;
}

TEST(BufferTest, ProgressAndText) {
  const struct {
    uint64_t end, download, current;
    int32_t progress;
    bool gone;
  } cases[] = {
      {80000, 60000, 0, 75, false},
      {80000, 60800, 0, 76, false},
      {80000, 1000, 3400, -3, false},
      {0, 5000, 0, 100, false},
      {~0ULL, 0, 0, 0, true},
      {0xFFFFFFFFULL, 10, 0, 0, true},
      {0x100000000ULL + 100, 50, 0, 50, false},  // only the low 32 bits of end count
  };
  for (const auto& c : cases) {
    bool gone = false;
    int32_t p = playback::BufferProgress(c.end, c.download, c.current, &gone);
    EXPECT_EQ(gone, c.gone) << c.end;
    if (!c.gone) {
      EXPECT_EQ(p, c.progress) << c.end << " " << c.download << " " << c.current;
    }
  }
  EXPECT_EQ(playback::BufferingText(42), "Буферизация... 42%");
  EXPECT_EQ(playback::BufferingText(-3), "Буферизация... -3%");
}

// --- The stream worker and the window ---

TEST_F(PlaybackTest, ConnectingBufferingTitlesAndTheLock) {
  Station(
      1,
      "http://127.0.0.1:" + std::to_string(g_server.port()) +
          "/stream/tone880_128k_44100_s.mp3?burst=65536&metaint=8000&titles=First|Second&title_every=1.5\r\n"
          "Станция\r\n");
  form->StartStation(1);
  EXPECT_EQ(form->RxLabel6.Caption(), "Станция");
  ASSERT_TRUE(LogHas(7, "Second")) << "codes so far: " << ::testing::PrintToString(form->Codes());
  auto log = form->Log();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[0].code, 0u);
  EXPECT_EQ(log[0].label, "Подключение...");
  EXPECT_FALSE(log[0].play_enabled);
  size_t i = 1;
  while (i < log.size() && log[i].code == 8) ++i;  // the response head changes nothing
  ASSERT_LT(i, log.size());
  int last_fill = -1;
  for (; i < log.size() && log[i].code == 2; ++i) {
    EXPECT_FALSE(log[i].play_enabled);
    EXPECT_EQ(log[i].label.rfind("Буферизация... ", 0), 0u) << log[i].label;
    last_fill = std::atoi(log[i].label.c_str() + std::string("Буферизация... ").size());
  }
  EXPECT_GT(last_fill, 75);
  ASSERT_LT(i, log.size());
  EXPECT_EQ(log[i].code, 7u);
  EXPECT_EQ(log[i].label, "First");
  EXPECT_TRUE(log[i].play_enabled) << "a title unlocks";
  EXPECT_NE(app::State().AudioChannel.load(), 0u);
  EXPECT_EQ(form->RxLabel7.Caption(), "Second");
}

TEST_F(PlaybackTest, DeadAddressEndsInNoSignalAndRestartsTheLibrary) {
  auto fake = std::make_unique<FakePlayer>();
  FakePlayer* player = fake.get();
  form->WindowsMediaPlayer1 = std::move(fake);
  Station(1, "http://127.0.0.1:9/dead\r\nМёртвая\r\n");
  form->StartStation(1);
  ASSERT_TRUE(LogHas(1, "Нет сигнала"));
  EXPECT_EQ(form->Codes(), (std::vector<uint32_t>{0, 1}));
  EXPECT_TRUE(form->sBitBtn2.Enabled()) << "unlocked after the reset";
  EXPECT_EQ(app::State().AudioChannel.load(), 0u);
  EXPECT_GE(player->stops, 2) << "the start and the reset stop the media player";
  // The library works again: the next station plays.
  Station(
      2, "http://127.0.0.1:" + std::to_string(g_server.port()) +
             "/stream/tone440_128k_44100_s.mp3?burst=65536&metaint=8000&titles=Alive\r\nЖивая\r\n");
  form->StartStation(2);
  EXPECT_TRUE(LogHas(7, "Alive"));
}

TEST_F(PlaybackTest, TrayPlayBeforeAnyStationTriesTheEmptyAddress) {
  form->N2Click();
  ASSERT_TRUE(LogHas(1, "Нет сигнала"));
  EXPECT_EQ(form->Codes(), (std::vector<uint32_t>{0, 1}));
}

TEST_F(PlaybackTest, StreamWithoutTitlesUnlocksOnceItPlays) {
  Station(1, "http://127.0.0.1:" + std::to_string(g_server.port()) +
                 "/stream/tone880_128k_44100_s.mp3?burst=65536&metaint=0\r\nБез названий\r\n");
  form->StartStation(1);
  ASSERT_TRUE(LogHas(9, "В эфире"));
  EXPECT_TRUE(form->sBitBtn2.Enabled());
  EXPECT_EQ(form->Log().back().code, 9u);
}

TEST_F(PlaybackTest, NewestStartWinsAndOlderStreamsAreFreed) {
  const std::string slow =
      Url("/stream/tone440_128k_44100_s.mp3?metaint=8000&titles=Slow");  // fills slowly
  const std::string fast =
      Url("/stream/tone880_128k_44100_s.mp3?burst=65536&metaint=8000&titles=Fast");
  app::State().CurrentEngine = "0";
  app::State().CurrentStreamUrl = slow;
  form->Button3Click();
  ASSERT_TRUE(Pump([&] { return !form->Log().empty() && form->Log().back().code == 2; }, 10000));
  uint32_t slow_stream = app::State().AudioChannel.load();
  app::State().CurrentStreamUrl = fast;
  form->Button3Click();
  ASSERT_TRUE(LogHas(7, "Fast"));
  ASSERT_TRUE(Pump([] { return playback::RunningWorkers() == 0; }, 10000));
  uint32_t fast_stream = app::State().AudioChannel.load();
  EXPECT_NE(fast_stream, slow_stream);
  EXPECT_EQ(BASS_StreamGetFilePosition(slow_stream, BASS_FILEPOS_END), ~0ULL)
      << "the older stream is freed";
  EXPECT_NE(BASS_StreamGetFilePosition(fast_stream, BASS_FILEPOS_END), ~0ULL);
  for (const Report& r : form->Log()) EXPECT_NE(r.label, "Slow");
  // A start that is overtaken while it connects ends without a report.
  audio::test_hooks::SetTimeouts(0, 1000, 0);
  form->Clear();
  app::State().CurrentStreamUrl = Url("/bad/stall-header");
  form->Button3Click();
  app::State().CurrentStreamUrl = fast;
  form->Button3Click();
  ASSERT_TRUE(Pump([] { return playback::RunningWorkers() == 0; }, 15000));
  for (const Report& r : form->Log())
    EXPECT_NE(r.code, 1u) << "the overtaken start reported a failure";
  EXPECT_EQ(form->RxLabel7.Caption(), "Fast");
}

// Reports that reach the window from another thread, as a worker sends them.
void SendReports(const std::vector<std::pair<uintptr_t, intptr_t>>& reports,
                 std::atomic<bool>& done) {
  for (auto [param, arg] : reports)
    tk::SendMessageTo(app::State().StatusTarget.load(), playback::kPlayerStatusMessage, param, arg);
  done = true;
}

TEST_F(PlaybackTest, ReportsOfAnOvertakenStartAreDropped) {
  using playback::StatusParam;
  const std::string slow = Url("/stream/tone440_128k_44100_s.mp3?metaint=8000&titles=Slow");
  app::State().CurrentEngine = "0";
  app::State().CurrentStreamUrl = slow;
  form->Button3Click();
  ASSERT_TRUE(Pump([&] { return !form->Log().empty() && form->Log().back().code == 2; }, 10000));
  const uint32_t old_start = form->Log().back().start;
  ASSERT_NE(old_start, 0u);
  // The next start connects to a server that never answers.
  audio::test_hooks::SetTimeouts(0, 4000, 0);
  app::State().CurrentStreamUrl = Url("/bad/stall-header");
  form->Button3Click();
  ASSERT_TRUE(
      Pump([&] { return form->Log().back().code == 0 && form->Log().back().start != old_start; },
           10000));
  const uint32_t new_start = form->Log().back().start;
  // The overtaken worker's late title and "on air" change nothing and unlock nothing.
  static const char kOld[] = "Old";
  std::atomic<bool> done{false};
  std::thread late(SendReports,
                   std::vector<std::pair<uintptr_t, intptr_t>>{
                       {StatusParam(7, old_start), reinterpret_cast<intptr_t>(kOld)},
                       {StatusParam(9, old_start), 0},
                       {StatusParam(2, new_start), 42}},
                   std::ref(done));
  Pump([&] { return done.load(); }, 5000);
  late.join();
  EXPECT_EQ(form->RxLabel7.Caption(), "Буферизация... 42%")
      << "the current start's report is shown";
  for (const Report& r : form->Log()) EXPECT_NE(r.label, "Old");
  EXPECT_FALSE(form->sBitBtn2.Enabled());
  EXPECT_FALSE(form->NextGrid1.ColumnEnabled(0));
  // A start on the media player engine overtakes the worker too.
  auto fake = std::make_unique<FakePlayer>();
  form->WindowsMediaPlayer1 = std::move(fake);
  app::State().CurrentEngine = "1";
  form->Button3Click();
  done = false;
  std::thread later(SendReports,
                    std::vector<std::pair<uintptr_t, intptr_t>>{{StatusParam(9, new_start), 0}},
                    std::ref(done));
  Pump([&] { return done.load(); }, 5000);
  later.join();
  EXPECT_NE(form->RxLabel7.Caption(), "В эфире");
}

TEST_F(PlaybackTest, StopWhileBufferingDoesNotReachTheWorker) {
  app::State().CurrentEngine = "0";
  app::State().CurrentStreamUrl = Url("/stream/tone440_128k_44100_s.mp3?metaint=8000&titles=Slow");
  form->Button3Click();
  ASSERT_TRUE(Pump([&] { return !form->Log().empty() && form->Log().back().code == 2; }, 10000));
  form->sBitBtn3Click();
  ASSERT_TRUE(LogHas(7, "Slow")) << "the worker goes on and reports its title";
  EXPECT_TRUE(form->sBitBtn2.Enabled());
}

std::atomic<int> g_sync_stage{0};  // 1: the sync runs, 2: its failure report was handled

TEST_F(PlaybackTest, AFailureReportDuringTheResetIsFoldedIntoIt) {
  Station(
      1,
      "http://127.0.0.1:" + std::to_string(g_server.port()) +
          "/stream/tone880_128k_44100_s.mp3?burst=65536&metaint=8000&titles=A|B|C&title_every=0.3\r\n"
          "Станция\r\n");
  form->StartStation(1);
  ASSERT_TRUE(LogHas(7, "A"));
  const uint32_t stream = app::State().AudioChannel.load();
  const uint32_t start = form->Log().back().start;
  g_sync_stage = 0;
  static uint32_t s_start;
  s_start = start;
  // At the next title, a sync of the stream waits until the reset's release has taken the
  // stream (the release then waits for this thread), and reports a failure from there.
  BASS_ChannelSetSync(
      stream, BASS_SYNC_META, 0,
      [](HSYNC, DWORD ch, DWORD, void*) {
        int expected = 0;
        if (!g_sync_stage.compare_exchange_strong(expected, 1)) return;
        for (int i = 0; i < 5000 && BASS_StreamGetFilePosition(ch, BASS_FILEPOS_END) != ~0ULL; ++i)
          loopback::sleep_ms(1);
        tk::SendMessageTo(app::State().StatusTarget.load(), playback::kPlayerStatusMessage,
                          playback::StatusParam(playback::kStatusFailed, s_start), 0);
        g_sync_stage = 2;
      },
      nullptr);
  ASSERT_TRUE(Pump([] { return g_sync_stage.load() >= 1; }, 10000));
  form->Clear();
  try {
    form->ResetAudio();  // as for the first failure report
  } catch (const tk::headless::HaltSignal&) {
    FAIL() << "the nested report ended the program";
  }
  EXPECT_EQ(g_sync_stage.load(), 2) << "the report came while the reset waited";
  auto codes = form->Codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 1u), 1) << ::testing::PrintToString(codes);
  EXPECT_TRUE(tk::headless::MessageBoxes().empty());
  EXPECT_EQ(form->RxLabel7.Caption(), "Нет сигнала");
  // The library works after the reset.
  form->Clear();
  form->StartStation(1);
  EXPECT_TRUE(LogHas(7, "A"));
}

TEST_F(PlaybackTest, AResetThatCannotStartTheLibraryAgainSaysSoAndEnds) {
  audio::test_hooks::SetNoOutputDevice(true);
  try {
    form->ResetAudio();
    FAIL() << "the program must end";
  } catch (const tk::headless::HaltSignal& h) {
    EXPECT_EQ(h.code, 0);
  }
  auto boxes = tk::headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u) << "one message, not one per try";
  EXPECT_EQ(boxes[0].text, "Ошибка инициализации аудио");
  EXPECT_FALSE(tk::headless::Tray(form->RxTrayIcon1).shown) << "no icon outlives the program";
}

TEST_F(PlaybackTest, EngineFromTheStationFile) {
  auto fake = std::make_unique<FakePlayer>();
  FakePlayer* player = fake.get();
  form->WindowsMediaPlayer1 = std::move(fake);
  const std::string url = "http://127.0.0.1:9/x";
  const struct {
    std::string third;  // "" with no third line at all: see `lines`
    int lines;
    bool worker, media;
  } cases[] = {{"", 2, true, false},
               {"0", 3, true, false},
               {"1", 3, false, true},
               {"", 3, false, false},
               {"yes", 3, false, false}};
  for (const auto& c : cases) {
    Station(1, url + "\r\nСтанция\r\n" + (c.lines == 3 ? c.third + "\r\n" : ""));
    player->plays = player->stops = 0;
    form->Clear();
    form->StartStation(1);
    EXPECT_EQ(player->stops, 1) << "both engines are stopped first";
    EXPECT_EQ(player->plays > 0, c.media) << c.third;
    EXPECT_EQ(app::State().CurrentEngine, c.lines == 3 ? c.third : "0");
    bool started = Pump([&] { return !form->Log().empty(); }, c.worker ? 5000 : 300);
    EXPECT_EQ(started, c.worker) << "'" << c.third << "'";
    Pump([] { return playback::RunningWorkers() == 0; }, 10000);
    Pump([] { return false; }, 50);
  }
  // With an unknown engine the play button uses the audio library.
  form->Clear();
  form->sBitBtn2Click();
  EXPECT_TRUE(LogHas(0, "Подключение..."));
}

TEST_F(PlaybackTest, MissingStationFileChangesNothing) {
  app::State().CurrentStreamUrl = "kept";
  app::State().CurrentEngine = "1";
  try {
    form->StartStation(5);
    FAIL() << "a missing station file is an error";
  } catch (const base::Error& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
  EXPECT_EQ(app::State().CurrentStreamUrl, "kept");
  EXPECT_EQ(app::State().CurrentEngine, "1");
  EXPECT_EQ(form->RxLabel6.Caption(), "Тиволна - Бесплатное радио!");
}

TEST_F(PlaybackTest, SliderVolumeGoesToBothEnginesAndMuteRoundTrips) {
  auto fake = std::make_unique<FakePlayer>();
  FakePlayer* player = fake.get();
  form->WindowsMediaPlayer1 = std::move(fake);
  form->sTrackBar1.SetPosition(40);
  EXPECT_EQ(form->RxLabel5.Caption(), "40");
  EXPECT_EQ(player->volume, 40);
  EXPECT_EQ(app::State().SliderPosition.load(), 40);
  form->Image2Click();  // mute
  EXPECT_EQ(app::State().SavedVolume, 40);
  EXPECT_EQ(form->sTrackBar1.Position(), 0);
  EXPECT_EQ(form->RxLabel5.Caption(), "0");
  EXPECT_EQ(player->volume, 0);
  EXPECT_EQ(app::State().IsMuted, 1);
  EXPECT_EQ(form->Image2.Hint(), "Включить звук");
  EXPECT_TRUE(form->Image2.Picture().pixels ==
              imaging::LoadPicture(dir.path() / "voloff.png", imaging::Kind::kPng).pixels);
  form->Image2Click();  // unmute
  EXPECT_EQ(form->sTrackBar1.Position(), 40);
  EXPECT_EQ(player->volume, 40);
  EXPECT_EQ(app::State().IsMuted, 0);
  EXPECT_EQ(form->Image2.Hint(), "Выключить звук");
  EXPECT_TRUE(form->Image2.Picture().pixels ==
              imaging::LoadPicture(dir.path() / "vol.png", imaging::Kind::kPng).pixels);
  // Muting at 0 saves 0; unmuting leaves 0.
  form->sTrackBar1.SetPosition(0);
  form->Image2Click();
  EXPECT_EQ(app::State().SavedVolume, 0);
  form->Image2Click();
  EXPECT_EQ(form->sTrackBar1.Position(), 0);
  EXPECT_EQ(app::State().IsMuted, 0);
  // Moving the slider up while muted clears the flag but keeps the muted picture.
  form->sTrackBar1.SetPosition(30);
  form->Image2Click();
  form->sTrackBar1.SetPosition(10);
  EXPECT_EQ(app::State().IsMuted, 0);
  EXPECT_EQ(form->Image2.Hint(), "Включить звук");
}

TEST_F(PlaybackTest, MutePictureMissingEndsTheHandlerHalfway) {
  std::filesystem::remove(dir.path() / "voloff.png");
  form->sTrackBar1.SetPosition(40);
  tk::Application::Get().Dispatch([&] { form->Image2Click(); });
  ASSERT_EQ(tk::headless::MessageBoxes().size(), 1u);
  EXPECT_EQ(tk::headless::MessageBoxes()[0].text, "File not found");
  EXPECT_EQ(form->sTrackBar1.Position(), 0);
  EXPECT_EQ(app::State().IsMuted, 0);
  EXPECT_EQ(form->Image2.Hint(), "Выключить звук");
}

TEST_F(PlaybackTest, VolumeKeysReachNoControl) {
  form->FormActivate();
  form->FormActivate();  // installing again changes nothing
  int changes = 0;
  auto old = form->sTrackBar1.OnChange;
  form->sTrackBar1.OnChange = [&] {
    ++changes;
    old();
  };
  const struct {
    int start, vk;
    bool shift;
    int expect;
  } cases[] = {{25, tk::kVkUp, false, 26},   {25, 0x6B, false, 26},
               {25, tk::kVkDown, false, 24}, {25, 0x6D, false, 24},
               {95, tk::kVkUp, true, 100},   {5, tk::kVkDown, true, 0},
               {100, tk::kVkUp, false, 100}, {0, 0x6D, true, 0}};
  for (const auto& c : cases) {
    form->sTrackBar1.SetPosition(c.start);
    changes = 0;
    bool used = tk::headless::KeyDown(form->sTrackBar1, c.vk, c.shift ? tk::kShiftKey : 0);
    EXPECT_FALSE(used) << "the key must not reach the slider itself";
    EXPECT_EQ(form->sTrackBar1.Position(), c.expect) << c.start << " " << c.vk;
    EXPECT_EQ(changes, c.expect != c.start ? 1 : 0);
    EXPECT_EQ(form->RxLabel5.Caption(), std::to_string(c.expect));
  }
  // Other keys pass: the slider takes Right itself.
  form->sTrackBar1.SetPosition(50);
  EXPECT_TRUE(tk::headless::KeyDown(form->sTrackBar1, tk::kVkRight));
  EXPECT_EQ(form->sTrackBar1.Position(), 51);
  // Only key-down messages are looked at.
  EXPECT_FALSE(tk::headless::Queue({form->GetHandle(), tk::kWmSysKeyDown, tk::kVkUp, 0}));
  EXPECT_FALSE(tk::headless::Queue({form->GetHandle(), 0x0101 /* key up */, tk::kVkUp, 0}));
  EXPECT_EQ(form->sTrackBar1.Position(), 51);
}

TEST_F(PlaybackTest, MediaPlayerStatusTexts) {
  auto fake = std::make_unique<FakePlayer>();
  FakePlayer* player = fake.get();
  form->WindowsMediaPlayer1 = std::move(fake);
  const struct {
    const char* status;
    int state;
    const char* label;  // nullptr: untouched
    const char* hint;   // nullptr: untouched
  } cases[] = {
      {"Подключение...", 9, "Подключение...", nullptr},
      {"Abc: 128 K/с", 3, "128 K/с", "128 K/с"},
      {"Abc: 1/с, 2/с", 3, "1/с", "1/с"},
      {"Без скорости/с", 3, "/с", "/с"},  // no ": ": the cut is empty
      {"Остановлено", 1, nullptr, nullptr},
      {"Quality: 5/s", 3, "Quality: 5/s", nullptr},  // a Latin "s" is not the marker
  };
  for (const auto& c : cases) {
    form->RxLabel7.SetCaption("before");
    form->RxLabel6.SetHint("hint before");
    player->status = c.status;
    player->state = c.state;
    form->WindowsMediaPlayer1StatusChange();
    EXPECT_EQ(form->RxLabel7.Caption(), c.label ? c.label : "before") << c.status;
    EXPECT_EQ(form->RxLabel6.Hint(), c.hint ? c.hint : "hint before") << c.status;
  }
}

TEST_F(PlaybackTest, BuiltInPlayerPlaysAndReportsItsRate) {
  std::vector<std::string> statuses;
  form->WindowsMediaPlayer1 = playback::CreateBuiltInPlayer();
  form->WindowsMediaPlayer1->OnStatusChange = [&] {
    statuses.push_back(form->WindowsMediaPlayer1->Status());
    form->WindowsMediaPlayer1StatusChange();
  };
  Station(1, Url("/stream/tone880_128k_44100_s.mp3?burst=65536") + "\r\nЧерез плеер\r\n1\r\n");
  form->StartStation(1);
  ASSERT_TRUE(Pump([&] { return form->RxLabel7.Caption() == "128 K/с"; }, 15000))
      << ::testing::PrintToString(statuses);
  // The start stops the player first; then it connects.
  auto connecting = std::find(statuses.begin(), statuses.end(), "Подключение...");
  EXPECT_NE(connecting, statuses.end());
  EXPECT_LT(
      connecting - statuses.begin(),
      std::find(statuses.begin(), statuses.end(), "Воспроизведение: 128 K/с") - statuses.begin());
  EXPECT_EQ(form->RxLabel6.Hint(), "128 K/с");
  EXPECT_EQ(form->WindowsMediaPlayer1->Volume(), 50) << "the control's own start volume";
  form->sBitBtn3Click();
  EXPECT_EQ(form->WindowsMediaPlayer1->PlayState(), playback::MediaPlayer::kStopped);
  Pump([] { return false; }, 100);
  EXPECT_EQ(form->RxLabel7.Caption(), "128 K/с") << "a stopped player writes nothing";
}

TEST_F(PlaybackTest, MediaKeysStopAndPlayAndStepAsideWhenTaken) {
  EXPECT_TRUE(tk::headless::HotKeyRegistered(0xB3));
  EXPECT_TRUE(tk::headless::HotKeyRegistered(0xB2));
  auto fake = std::make_unique<FakePlayer>();
  FakePlayer* player = fake.get();
  form->WindowsMediaPlayer1 = std::move(fake);
  tk::headless::PressHotKey(0xB3);  // nothing chosen: nothing to play
  EXPECT_EQ(player->plays, 0);
  Station(1, "http://127.0.0.1:9/x\r\nСтанция\r\n1\r\n");
  form->StartStation(1);
  EXPECT_EQ(player->plays, 2);
  tk::headless::PressHotKey(0xB3);  // playing: stop
  EXPECT_EQ(player->stops, 2);
  tk::headless::PressHotKey(0xB3);  // stopped: play the current station
  EXPECT_EQ(player->plays, 4);
  tk::headless::PressHotKey(0xB2);
  EXPECT_EQ(player->stops, 3);
  // Another program holds the keys: the player starts without them.
  tk::Application::Get().DestroyAllForms();
  BASS_Free();
  tk::headless::TakeHotKeyElsewhere(0xB3);
  form = tk::Application::Get().CreateForm<LoggingForm>();
  EXPECT_TRUE(form->Visible());
  EXPECT_FALSE(tk::headless::HotKeyRegistered(0xB3));
  EXPECT_TRUE(tk::headless::HotKeyRegistered(0xB2));
}

// --- Live radio: downloads that end, stall or drop ---

TEST_F(PlaybackTest, DownloadEndingWhileBufferingEndsTheBufferingAndSaysSo) {
  // 40 000 of an 80 000-byte buffer, then the server closes: the fill can never pass 75 %.
  app::State().CurrentEngine = "0";
  app::State().CurrentStreamUrl = Url("/bad/short?bytes=40000&burst=40000");
  form->Button3Click();
  ASSERT_TRUE(LogHas(10, "Нет сигнала", 15000)) << ::testing::PrintToString(form->Codes());
  EXPECT_TRUE(form->sBitBtn2.Enabled());
  EXPECT_TRUE(Pump([] { return playback::RunningWorkers() == 0; }, 5000)) << "the worker ended";
  uint32_t h = app::State().AudioChannel.load();
  EXPECT_EQ(BASS_StreamGetFilePosition(h, BASS_FILEPOS_END),
            BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD))
      << "once the download has ended, the end is what was downloaded";
}

TEST_F(PlaybackTest, StallWhileBufferingEndsAfterTheNoDataTimeOut) {
  audio::test_hooks::SetTimeouts(0, 0, 800);
  app::State().CurrentEngine = "0";
  app::State().CurrentStreamUrl = Url("/bad/stall-body?after=40000&burst=40000");
  auto t0 = loopback::Clock::now();
  form->Button3Click();
  ASSERT_TRUE(LogHas(10, "Нет сигнала", 15000)) << ::testing::PrintToString(form->Codes());
  EXPECT_LT(loopback::ms_since(t0), 6000);
  size_t buffering = 0;
  for (const Report& r : form->Log()) buffering += r.code == 2;
  EXPECT_LT(buffering, 400u) << "passes are paced, not spun";
}

namespace {
// 100 ms windows of the mixed output, and those in which something sounded.
std::atomic<int64_t> g_windows{0}, g_loud_windows{0};
int64_t g_window_frames = 0, g_window_peak = 0;
void CountLoud(const int16_t* frames, size_t count, void*) {
  for (size_t i = 0; i < count; ++i) {
    g_window_peak = std::max<int64_t>(g_window_peak, std::abs(frames[2 * i]));
    if (++g_window_frames == 4410) {
      ++g_windows;
      if (g_window_peak > 500) ++g_loud_windows;
      g_window_frames = g_window_peak = 0;
    }
  }
}
}  // namespace

TEST_F(PlaybackTest, DroppedConnectionWhilePlayingReconnectsAndTitlesGoOn) {
  audio::test_hooks::SetReconnectPause(100);
  loopback::http_get(Url("/_requests?clear=1"));
  // Each connection ends after 100 000 bytes (about 2 s past the burst).
  app::State().CurrentEngine = "0";
  app::State().CurrentStreamUrl = Url(
      "/stream/tone880_128k_44100_s.mp3?burst=65536&limit=100000&metaint=8000&titles=One|Two&title_every=1");
  form->Button3Click();
  ASSERT_TRUE(LogHas(7, "One"));
  g_windows = g_loud_windows = 0;
  audio::test_hooks::SetCapture(CountLoud, nullptr);
  Pump([] { return false; }, 7000);
  audio::test_hooks::SetCapture(nullptr, nullptr);
  std::string requests = loopback::http_get(Url("/_requests"));
  size_t n = 0;
  for (size_t at = 0; (at = requests.find("tone880_128k", at)) != std::string::npos; ++at) ++n;
  EXPECT_GE(n, 2u) << "connected again after the drop: " << requests;
  for (const Report& r : form->Log()) EXPECT_NE(r.code, 10u) << "the station was given up";
  EXPECT_GE(g_windows.load(), 60);
  EXPECT_GE(g_loud_windows.load(), g_windows.load() - 2) << "the tone went on through the drop";
  int titles = 0;
  for (const Report& r : form->Log()) titles += r.code == 7;
  EXPECT_GE(titles, 3) << "titles keep coming after the reconnects";
}

TEST_F(PlaybackTest, ReconnectGivesUpAndTheUserStopCancelsIt) {
  // One connection with a second of audio; later connections are answered by nobody.
  std::string mp3;
  {
    std::ifstream in(std::string(TIVOLNA_MEDIA_DIR) + "/tone440_128k_44100_s.mp3",
                     std::ios::binary);
    mp3.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_GT(mp3.size(), 100000u);
  LocalServer once([&](int fd) {
    LocalServer::read_request(fd);
    LocalServer::send_text(fd,
                           "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-br: 128\r\n\r\n" +
                               mp3.substr(0, 90000));
  });
  audio::test_hooks::SetReconnectPause(50);
  audio::test_hooks::SetTimeouts(300, 300, 300);
  app::State().CurrentEngine = "0";
  app::State().CurrentStreamUrl = "http://127.0.0.1:" + std::to_string(once.port()) + "/live";
  auto t0 = loopback::Clock::now();
  form->Button3Click();
  ASSERT_TRUE(LogHas(9, "В эфире"));
  ASSERT_TRUE(LogHas(10, "Нет сигнала", 20000)) << ::testing::PrintToString(form->Codes());
  EXPECT_TRUE(form->sBitBtn2.Enabled());
  EXPECT_LT(loopback::ms_since(t0), 15000);
  // The stop button ends the retries at once: no "Нет сигнала" afterwards.
  LocalServer again([&](int fd) {
    LocalServer::read_request(fd);
    LocalServer::send_text(fd,
                           "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-br: 128\r\n\r\n" +
                               mp3.substr(0, 90000));
  });
  audio::test_hooks::SetReconnectPause(2000);
  form->Clear();
  app::State().CurrentStreamUrl = "http://127.0.0.1:" + std::to_string(again.port()) + "/live";
  form->Button3Click();
  ASSERT_TRUE(LogHas(9, "В эфире"));
  Pump(
      [] {
        return BASS_StreamGetFilePosition(app::State().AudioChannel.load(),
                                          BASS_FILEPOS_CONNECTED) == 0;
      },
      5000);
  form->sBitBtn3Click();
  Pump([] { return false; }, 3000);
  for (const Report& r : form->Log()) EXPECT_NE(r.label, "Нет сигнала");
  EXPECT_EQ(form->RxLabel7.Caption(), "В эфире");
}

}  // namespace
