#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "app/player_state.h"
#include "audio/test_hooks.h"
#include "audio/bass.h"
#include "fresh_application.h"
#include "test_util.h"
#include "tools/artwork/image_files.h"
#include "toolkit/headless/headless.h"
#include "ui/forms.h"
#include "ui/main/form1.h"

namespace {

using namespace std::chrono_literals;

struct StartupTest : ::testing::Test {
  TempExeFolder dir;
  void SetUp() override {
    dir.Write("config.txt", QuietConfig());
    FreshApplication();
    audio::test_hooks::SetNoOutputDevice(false);
  }
  void TearDown() override {
    audio::test_hooks::SetNoOutputDevice(false);
    tk::Application::Get().DestroyAllForms();
    BASS_Free();
  }
  // Runs the program until its main window has been shown, then closes it.
  int RunAndClose() {
    std::atomic<bool> stop{false};
    std::thread closer([&] {
      for (int i = 0; i < 12000 && !stop; ++i) {
        auto created = tk::headless::CreatedWindows();
        if (created.size() == 4 && tk::headless::Window(created[0]).visible) {
          tk::SendMessageTo(created[0], tk::kWmClose, 0, 0);
          return;
        }
        std::this_thread::sleep_for(5ms);
      }
      tk::Application::Get().Terminate();  // never hang: the checks below then fail
    });
    int code = ui::RunProgram();
    stop = true;
    closer.join();
    return code;
  }
};

TEST_F(StartupTest, CreatesFourWindowsInOrderAndEndsWithZero) {
  dir.Write("Stations/play1.txt", "http://127.0.0.1:1/\r\nOne\r\n");
  dir.Write("Stations/1.png", artwork_files::EncodePng(tk::Bitmap(8, 8, tk::Rgb(1, 2, 3))));
  dir.Write("Stations/thumbs.db", "cache");
  EXPECT_EQ(RunAndClose(), 0);
  auto created = tk::headless::CreatedWindows();
  ASSERT_EQ(created.size(), 4u);
  for (size_t i = 0; i < created.size(); ++i)
    EXPECT_EQ(tk::headless::Window(created[i]).caption,
              tk::Application::Get().Forms()[i]->Caption());
  EXPECT_EQ(Form1->Caption(), "Тиволна");
  EXPECT_EQ(tk::Application::Get().Forms()[1]->Caption(), "Настройка");
  EXPECT_EQ(tk::Application::Get().Forms()[2]->Caption(), "Редактор радиостанции");
  EXPECT_EQ(tk::Application::Get().Forms()[3]->Caption(), "Обновление Тиволны");
  EXPECT_EQ(created[0], app::State().StatusTarget.load());
  EXPECT_EQ(Form1->Left(), 372);
  EXPECT_EQ(Form1->Top(), 133);
  EXPECT_EQ(Form1->ClientWidth(), 501);
  EXPECT_EQ(Form1->ClientHeight(), 373);
  // start-up work
  EXPECT_FALSE(std::filesystem::exists(dir.Stations() / "thumbs.db"));
  EXPECT_TRUE(std::filesystem::exists(dir.Stations() / "1.png"));
  EXPECT_EQ(app::State().StationCount, 2);
  EXPECT_EQ(app::State().LogoExtensions.Get(1), ".png");
  EXPECT_STREQ(app::State().UserAgentText, app::kUserAgent);
  EXPECT_EQ(app::State().ParsedCount, 1);
  EXPECT_EQ(app::State().IsFavourite, 1);
  EXPECT_TRUE(tk::headless::MessageBoxes().empty());
  // The library was released at the end: it can be initialised again.
  EXPECT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
}

TEST_F(StartupTest, SecondaryWindowsStayHidden) {
  std::atomic<bool> checked{false};
  std::vector<bool> visible;
  std::thread closer([&] {
    for (int i = 0; i < 12000; ++i) {
      auto created = tk::headless::CreatedWindows();
      if (created.size() == 4 && tk::headless::Window(created[0]).visible) {
        for (tk::Handle h : created) visible.push_back(tk::headless::Window(h).visible);
        checked = true;
        tk::SendMessageTo(created[0], tk::kWmClose, 0, 0);
        return;
      }
      std::this_thread::sleep_for(5ms);
    }
    tk::Application::Get().Terminate();
  });
  ui::RunProgram();
  closer.join();
  ASSERT_TRUE(checked);
  EXPECT_EQ(visible, (std::vector<bool>{true, false, false, false}));
}

TEST_F(StartupTest, NoAudioDeviceEndsTheProcessBeforeAnyWindowShows) {
  audio::test_hooks::SetNoOutputDevice(true);
  try {
    ui::RunProgram();
    FAIL() << "the program must end during start-up";
  } catch (const tk::headless::HaltSignal& h) {
    EXPECT_EQ(h.code, 0);
  }
  auto created = tk::headless::CreatedWindows();
  ASSERT_EQ(created.size(), 1u);  // only the main window's handle, never shown
  EXPECT_FALSE(tk::headless::Window(created[0]).visible);
  auto boxes = tk::headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Ошибка инициализации аудио");
}

TEST_F(StartupTest, FailedScanShowsTheErrorAndStartUpGoesOn) {
  // A stray file ends the scan with the error box; the audio steps after it still run.
  dir.Write("Stations/desktop.ini", "");
  dir.Write("Stations/thumbs.db", "");
  app::State().StatusTarget = 0;
  app::State().IsFavourite = 0;
  std::memset(app::State().UserAgentText, 0, sizeof(app::State().UserAgentText));
  EXPECT_EQ(RunAndClose(), 0);
  auto boxes = tk::headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "'desktop' is not a valid integer value");
  EXPECT_FALSE(std::filesystem::exists(dir.Stations() / "thumbs.db"));  // came before the scan
  EXPECT_EQ(app::State().IsFavourite, 1);                               // came after it
  EXPECT_EQ(app::State().StatusTarget.load(), tk::headless::CreatedWindows()[0]);
  EXPECT_STREQ(app::State().UserAgentText, app::kUserAgent);
  EXPECT_EQ(tk::headless::CreatedWindows().size(), 4u);
}

}  // namespace
