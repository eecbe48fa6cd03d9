// Adding stations through the main window with the real audio library against the loopback
// server: paste, drop, duplicates and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/player_state.h"
#include "audio/test_hooks.h"
#include "audio/bass.h"
#include "audio/server_environment.h"
#include "audio/wait_pump.h"
#include "base/codepage.h"
#include "base/paths.h"
#include "catalogue/station_store.h"
#include "core/fresh_application.h"
#include "core/test_util.h"
#include "net/local_server.h"
#include "playback/stream_worker.h"
#include "toolkit/headless/headless.h"
#include "ui/forms.h"
#include "ui/main/form1.h"

namespace {

std::string Tone(const std::string& query) {
  return g_server.url("/stream/tone440_128k_44100_s.mp3?burst=65536&" + query);
}

std::string Utf16Z(const std::string& utf8) {
  std::u16string w = base::Utf8ToUtf16(utf8);
  return std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2) + std::string(2, '\0');
}

// A loopback port where nothing listens.
int ClosedPort() {
  LocalServer s([](int) {});
  return s.port();
}

struct AddWindowTest : ::testing::Test {
  TempExeFolder dir;
  ui::TForm1* form = nullptr;

  void SetUp() override {
    ASSERT_TRUE(g_server_error.empty()) << g_server_error;
    dir.CopyPictures();
    dir.Write("config.txt", QuietConfig());
    tk::Application& app = FreshApplication();
    audio::test_hooks::Reset();
    audio::SetWaitPump(&tk::HandleSentMessages);
    form = app.CreateForm<ui::TForm1>();
    tk::headless::ClearMessageBoxes();
  }
  void TearDown() override {
    BASS_Free();
    Pump([] { return playback::RunningWorkers() == 0 && ui::TForm1::AddingStations() == 0; },
         20000);
    tk::Application::Get().DestroyAllForms();
    BASS_Free();
    audio::test_hooks::Reset();
  }
  // Ctrl+V on the window with the text on the clipboard, then waits until the addresses are
  // opened and the results handled.
  void Paste(const std::string& utf8) {
    tk::headless::PutOnClipboard(tk::kCfUnicodeText, Utf16Z(utf8));
    tk::headless::FormKeyDown(*form, 'V', tk::kCtrlKey);
    Settle();
  }
  void Settle() {
    ASSERT_TRUE(Pump([] { return ui::TForm1::AddingStations() == 0; }, 40000));
    Pump([] { return false; }, 50);  // the posted result
  }
  // A real picture, so that refilling the grid reports no broken logo.
  void Logo(int n) {
    std::filesystem::create_directories(dir.Stations());
    std::filesystem::copy_file(dir.path() / "fav.png",
                               dir.Stations() / (std::to_string(n) + ".png"));
  }
  std::string Name(int n) { return base::Cp1251ToUtf8(catalogue::ReadStationFile(n).title); }
  std::vector<std::string> StationFiles() {
    std::vector<std::string> names;
    if (std::filesystem::exists(dir.Stations()))
      for (const auto& e : std::filesystem::directory_iterator(dir.Stations()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(AddWindowTest, PastedAddressBecomesAPlayingStationNamedByTheStream) {
  dir.Write("Stations/play1.txt", "http://127.0.0.1:1/old\r\nOld\r\n");
  Logo(1);
  const std::string url =
      Tone("name=%D0%A0%D0%B0%D0%B4%D0%B8%D0%BE%20%D0%A2%D0%B5%D1%81%D1%82");  // "Радио Тест"
  tk::headless::PutOnClipboard(tk::kCfUnicodeText, Utf16Z("  " + url + "\r\n"));
  tk::headless::FormKeyDown(*form, 'V', tk::kCtrlKey);
  EXPECT_EQ(form->RxLabel7.Caption(), "Подключение...");
  Settle();
  EXPECT_EQ(dir.Read("Stations/play2.txt"),
            url + "\r\n" + base::Utf8ToCp1251("Радио Тест") + "\r\n");
  EXPECT_TRUE(tk::headless::MessageBoxes().empty());
  // The new station is the current one and plays.
  EXPECT_EQ(app::State().CurrentStation, 2);
  EXPECT_EQ(form->RxLabel6.Caption(), "Радио Тест");
  EXPECT_EQ(app::State().CurrentStreamUrl, url);
  EXPECT_TRUE(Pump([] { return app::State().AudioChannel.load() != 0; }, 20000));
  EXPECT_TRUE(form->sBitBtn3.Enabled());
  // Its drawn logo keeps the folder at two files per station and gives it the next tile.
  EXPECT_EQ(StationFiles().size(), 4u);
  EXPECT_EQ(app::State().StationCount, 3);
  EXPECT_EQ(dir.Read("Stations/2.png").substr(0, 4), "\x89PNG");
  EXPECT_EQ(app::State().LogoExtensions.Get(2), ".png");
  EXPECT_EQ(form->NextGrid1.Tag(0, 0), 1);
  EXPECT_EQ(form->NextGrid1.Tag(1, 0), 2);
}

TEST_F(AddWindowTest, KnownAddressPlaysItsStationAndAddsNothing) {
  const std::string url = Tone("name=Known");
  dir.Write("Stations/play1.txt", "http://127.0.0.1:1/a\r\nA\r\n");
  Logo(1);
  dir.Write("Stations/play2.txt", url + "\r\nKnown\r\n");
  Logo(2);
  tk::headless::PutOnClipboard(tk::kCfText, url + '\0');
  tk::headless::FormKeyDown(*form, 'V', tk::kCtrlKey);
  EXPECT_EQ(ui::TForm1::AddingStations(), 0);  // nothing to open
  EXPECT_EQ(app::State().CurrentStation, 2);
  EXPECT_EQ(form->RxLabel6.Caption(), "Known");
  EXPECT_EQ(StationFiles().size(), 4u);
}

TEST_F(AddWindowTest, FailureWritesNothingAndSaysWhy) {
  Paste("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/live");
  EXPECT_TRUE(StationFiles().empty());
  EXPECT_EQ(form->RxLabel7.Caption(), "Нет сигнала");
  std::vector<tk::headless::MessageBoxRecord> boxes = tk::headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("Не удалось добавить радиостанцию."), std::string::npos)
      << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("сервер не отвечает или отказал в соединении"), std::string::npos)
      << boxes[0].text;
  EXPECT_LE(app::State().CurrentStation, 0);  // nothing was chosen

  // A status other than 200: the reason says so, and nothing is written either.
  tk::headless::ClearMessageBoxes();
  Paste(g_server.url("/status/404"));
  EXPECT_TRUE(StationFiles().empty());
  ASSERT_EQ(tk::headless::MessageBoxes().size(), 1u);
  EXPECT_NE(tk::headless::MessageBoxes()[0].text.find("404"), std::string::npos);

  // Text that holds no address does nothing at all.
  tk::headless::ClearMessageBoxes();
  form->RxLabel7.SetCaption("Песня");
  Paste("Песня");
  EXPECT_EQ(form->RxLabel7.Caption(), "Песня");
  EXPECT_TRUE(tk::headless::MessageBoxes().empty());
}

TEST_F(AddWindowTest, DroppedPlaylistGivesOneStationPerWorkingEntry) {
  const std::string good1 = Tone("name=");  // no icy-name: the playlist's title names it
  const std::string good2 = Tone("name=Second%20Stream");
  const std::string bad = g_server.url("/status/404");
  dir.Write("drop/list.pls", "[playlist]\r\nFile1=" + good1 +
                                 "\r\nTitle1=" + base::Utf8ToCp1251("Первая") + "\r\nFile2=" + bad +
                                 "\r\nTitle2=Broken\r\nFile3=" + good2 + "\r\nTitle3=Ignored\r\n");
  dir.Write("drop/notes.txt", "nothing here");
  ASSERT_TRUE(tk::headless::AcceptsDrops(*form));
  ASSERT_TRUE(tk::headless::Drop(
      *form, {{dir.path() / "drop/list.pls", dir.path() / "drop/notes.txt"}, ""}));
  Settle();
  EXPECT_EQ(Name(1), "Первая");
  EXPECT_EQ(Name(2), "Second Stream");
  EXPECT_FALSE(base::FileExists(dir.Stations() / "play3.txt"));
  EXPECT_EQ(app::State().CurrentStation, 1);  // the first new one plays
  ASSERT_EQ(tk::headless::MessageBoxes().size(), 1u);
  const std::string text = tk::headless::MessageBoxes()[0].text;
  EXPECT_NE(text.find("Не удалось добавить радиостанции:"), std::string::npos) << text;
  EXPECT_NE(text.find("notes.txt"), std::string::npos) << text;
  EXPECT_NE(text.find("/status/404"), std::string::npos) << text;
}

}  // namespace
