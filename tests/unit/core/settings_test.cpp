// The settings file, the autorun entry and the settings window, on the headless platform.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/player_state.h"
#include "app/build_config.h"
#include "app/settings.h"
#include "audio/bass.h"
#include "base/paths.h"
#include "click.h"
#include "fresh_application.h"
#include "test_util.h"
#include "toolkit/headless/headless.h"
#include "ui/dialogs/dialogs.h"
#include "ui/forms.h"
#include "ui/main/form1.h"

namespace {

using tk::headless::MessageBoxes;
const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Config(const std::string& updates, const std::string& open_last,
                   const std::string& volume, const std::string& last, const std::string& autorun) {
  return "check_updates\r\n" + updates + "\r\nopen_last\r\n" + open_last + "\r\nstart_volume\r\n" +
         volume + "\r\nlast_number\r\n" + last + "\r\nautorun\r\n" + autorun + "\r\n";
}

struct SettingsTest : ::testing::Test {
  TempExeFolder dir;
  void SetUp() override {
    std::filesystem::create_directories(dir.Stations());
    dir.CopyPictures();
    // A station that starts no engine, with a logo.
    dir.Write("Stations/play1.txt", "http://127.0.0.1:9/\r\nOne\r\n2\r\n");
    dir.Write("Stations/1.txt", "");
  }
  // Starts the program's windows as the entry does, with the given settings file (none when
  // `config` is null).
  void Start(const char* config) {
    if (config)
      dir.Write("config.txt", config);
    else
      std::filesystem::remove(dir.path() / "config.txt");
    tk::Application& app = FreshApplication();
    Form1 = app.CreateForm<ui::TForm1>();
    Form2 = app.CreateForm<ui::TForm2>();
  }
  void TearDown() override {
    tk::Application::Get().DestroyAllForms();
    Form1 = nullptr;
    Form2 = nullptr;
    BASS_Free();
  }
};

TEST_F(SettingsTest, ReadingByPosition) {
  const struct {
    std::string file;
    int updates, open_last, volume, station, autorun;
    bool timer;
  } cases[] = {
      {Config("1", "0", "25", "-1", "0"), 1, 0, 25, -1, 0, true},
      {Config("0", "0", "40", "garbage", "1"), 0, 0, 40, -1, 1, false},  // line 8 not converted
      {Config("00", " 0", "$1F", "x", "false"), 1, 1, 31, -1, 1, true},  // x: a conversion error
      {Config("", "1", "+7", "-1", ""), 1, 1, 7, -1, 1, true},
      {"wrong\r\n0\r\norder\r\n1\r\nkeys\r\n12\r\nhere\r\n-1\r\nok\r\n0\r\n", 0, 1, 12, -1, 0,
       false},
  };
  for (const auto& c : cases) {
    Start(c.file.c_str());
    const app::PlayerState& st = app::State();
    EXPECT_EQ(st.CheckUpdates, c.updates) << c.file;
    EXPECT_EQ(st.OpenLast, c.open_last == 1) << c.file;
    EXPECT_EQ(st.StartVolume, c.volume) << c.file;
    if (c.file.find("\r\nx\r\n") == std::string::npos) {
      EXPECT_EQ(st.CurrentStation, c.station) << c.file;
      EXPECT_EQ(st.AutorunEnabled, c.autorun) << c.file;
      EXPECT_EQ(Form1->Timer1.Enabled(), c.timer) << c.file;
      EXPECT_EQ(Form1->sTrackBar1.Position(), std::min(c.volume, 100)) << c.file;
    }
  }
}

TEST_F(SettingsTest, FailuresLeaveWhatTheReaderHadSet) {
  // Missing: "File not found", nothing set, the slider stays at 25.
  Start(nullptr);
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].text, "File not found");
  EXPECT_EQ(app::State().CurrentStation, 0);
  EXPECT_EQ(Form1->sTrackBar1.Position(), 25);
  EXPECT_FALSE(Form1->Timer1.Enabled());
  // Line 6: StartVolume, CurrentStation, AutorunEnabled and the timer stay.
  Start(Config("1", "1", "", "5", "1").c_str());
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].text, "'' is not a valid integer value");
  EXPECT_EQ(app::State().CheckUpdates, 1);
  EXPECT_EQ(app::State().StartVolume, 0);
  EXPECT_EQ(app::State().CurrentStation, 0);
  EXPECT_FALSE(Form1->Timer1.Enabled());
  // Line 8 with open_last on: StartVolume is set, the rest stays.
  Start(Config("1", "1", "60", "1x", "1").c_str());
  EXPECT_EQ(MessageBoxes()[0].text, "'1x' is not a valid integer value");
  EXPECT_EQ(app::State().StartVolume, 60);
  EXPECT_EQ(app::State().CurrentStation, 0);
  EXPECT_EQ(app::State().AutorunEnabled, 0);
  // A short file: missing flag lines are on, the missing volume is an error.
  Start("check_updates\r\n0\r\nopen_last\r\n");
  EXPECT_EQ(app::State().OpenLast, true);
  EXPECT_EQ(MessageBoxes()[0].text, "'' is not a valid integer value");
  // A last station without a station file: the start fails after the settings were read.
  Start(Config("0", "1", "30", "7", "0").c_str());
  EXPECT_EQ(MessageBoxes()[0].text, "File not found");
  EXPECT_EQ(app::State().CurrentStation, 7);
  EXPECT_FALSE(Form1->sBitBtn2.Enabled());
}

TEST_F(SettingsTest, ResumesTheLastStation) {
  dir.Write("favs.txt", "1\r\n");
  Start(Config("0", "1", "30", "1", "0").c_str());
  EXPECT_TRUE(MessageBoxes().empty());
  EXPECT_EQ(app::State().CurrentStation, 1);
  EXPECT_EQ(Form1->RxLabel6.Caption(), "One");
  EXPECT_TRUE(Form1->sBitBtn2.Enabled());
  EXPECT_TRUE(Form1->sBitBtn3.Enabled());
  EXPECT_EQ(Form1->Image3.Hint(), "Убрать из избранного");
  std::filesystem::remove(dir.path() / "favs.txt");
  Start(Config("0", "1", "30", "1", "0").c_str());
  EXPECT_EQ(Form1->Image3.Hint(), "Добавить в избранноe") << "the Latin e of the settings reader";
  // Station 0 goes on to the start (and its missing file).
  Start(Config("0", "1", "30", "0", "0").c_str());
  EXPECT_EQ(MessageBoxes()[0].text, "File not found");
}

TEST_F(SettingsTest, WritersAndTheirSources) {
  const std::string exe =
      "\"" + base::ExePath().u8string() + "\"";  // quoted: spaces cannot split it
  // The exit writer after a missing file writes the variables: station 0, flags off.
  Start(nullptr);
  Form1->sTrackBar1.SetPosition(40);
  Form1->Image4Click();
  EXPECT_EQ(dir.Read("config.txt"), Config("0", "0", "40", "0", "0"));
  EXPECT_TRUE(tk::headless::RegistryValues(kRun).empty());
  // Apply in the same state writes "-1" and the boxes; autorun on sets the Run value.
  Start(nullptr);
  Form2->sCheckBox3.SetChecked(true);
  Form2->sCheckBox2.SetChecked(true);
  Form2->sBitBtn1Click();
  EXPECT_EQ(dir.Read("config.txt"), Config("1", "0", "25", "-1", "1"));
  EXPECT_EQ(dir.Read("config.txt").size(), 79u);
  EXPECT_EQ(tk::headless::RegistryValues(kRun)["Tivolna"], exe);
  EXPECT_FALSE(Form2->sBitBtn1.Enabled());
  EXPECT_EQ(app::State().CheckUpdates, 1);
  EXPECT_FALSE(Form1->Timer1.Enabled()) << "the timer waits for the next start";
  // Autorun off deletes the value, every time.
  Form2->sCheckBox3.SetChecked(false);
  Form2->sBitBtn1Click();
  EXPECT_TRUE(tk::headless::RegistryValues(kRun).empty());
  Form2->sBitBtn1Click();
  EXPECT_TRUE(tk::headless::RegistryValues(kRun).empty());
  // A muted exit writes volume 0; the exit writer takes the autorun variable.
  Start(Config("1", "0", "30", "-1", "1").c_str());
  Form1->Image2Click();
  Form1->Image4Click();
  EXPECT_EQ(dir.Read("config.txt"), Config("1", "0", "0", "-1", "1"));
  EXPECT_EQ(tk::headless::RegistryValues(kRun)["Tivolna"], exe);
  EXPECT_FALSE(tk::headless::Window(Form1->GetHandle()).visible) << "closed after writing";
}

TEST_F(SettingsTest, AFailingWriteLeavesTheOldFileWhole) {
  const std::string old = Config("1", "0", "25", "-1", "0");
  Start(old.c_str());
  // The Run value cannot be set.
  tk::headless::FailRegistryWrites(true);
  Form2->sCheckBox3.SetChecked(true);
  tk::Application::Get().Dispatch([] { Form2->sBitBtn1Click(); });
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].text, "Failed to set data for 'Tivolna'");
  EXPECT_EQ(dir.Read("config.txt"), old);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "config2.txt"));
  tk::Application::Get().Dispatch([] { Form1->Image4Click(); });
  EXPECT_EQ(dir.Read("config.txt"), old);
  EXPECT_TRUE(tk::headless::Window(Form1->GetHandle()).visible)
      << "a failed exit writer does not close";
  // The new file cannot be created: nothing is written, the registry is not touched.
  tk::headless::FailRegistryWrites(false);
  std::filesystem::create_directory(dir.path() / "config2.txt");
  tk::headless::ClearMessageBoxes();
  tk::Application::Get().Dispatch([] { Form2->sBitBtn1Click(); });
  EXPECT_EQ(MessageBoxes()[0].text, "File access denied");
  EXPECT_EQ(dir.Read("config.txt"), old);
  EXPECT_TRUE(tk::headless::RegistryValues(kRun).empty());
}

// A config.txt that cannot be replaced (read-only) leaves the Run value as it was, through
// both writers and in both directions; the old file stays and the close picture does not close.
TEST_F(SettingsTest, AFileThatCannotBeReplacedLeavesTheRunValueAlone) {
  const std::string before = "\"C:\\Old Place\\tivolna.exe\"";
  const struct {
    bool apply;         // Apply, else the close picture
    bool autorun;       // what the writer would set
    bool value_before;  // a Run value exists beforehand
  } cases[] = {
      {true, true, false}, {true, false, true}, {false, true, false}, {false, false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.apply ? "Apply" : "close picture") +
                 (c.autorun ? ", autorun on" : ", autorun off"));
    const std::string old = Config("0", "0", "25", "-1", c.autorun ? "0" : "1");
    if (std::filesystem::exists(dir.path() / "config.txt"))
      std::filesystem::permissions(dir.path() / "config.txt", std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add);
    Start(old.c_str());
    if (c.value_before) tk::headless::SetRegistryValue(kRun, "Tivolna", before);
    std::filesystem::permissions(dir.path() / "config.txt",
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    tk::headless::ClearMessageBoxes();
    if (c.apply) {
      Form2->sCheckBox3.SetChecked(c.autorun);
      tk::Application::Get().Dispatch([] { Form2->sBitBtn1Click(); });
    } else {
      app::State().AutorunEnabled = c.autorun ? 1 : 0;
      tk::Application::Get().Dispatch([] { Form1->Image4Click(); });
      EXPECT_TRUE(tk::headless::Window(Form1->GetHandle()).visible)
          << "a failed exit writer does not close";
    }
    ASSERT_EQ(MessageBoxes().size(), 1u);
    EXPECT_EQ(MessageBoxes()[0].text, "File access denied");
    EXPECT_EQ(dir.Read("config.txt"), old);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "config2.txt"));
    auto values = tk::headless::RegistryValues(kRun);
    if (c.value_before)
      EXPECT_EQ(values["Tivolna"], before);
    else
      EXPECT_EQ(values.count("Tivolna"), 0u);
  }
  std::filesystem::permissions(dir.path() / "config.txt", std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add);
  // Writable again: Apply goes through, and a Run value it set is taken back when the
  // registry step of a later write fails (the old file returns with it).
  Start(Config("0", "0", "25", "-1", "0").c_str());
  Form2->sCheckBox3.SetChecked(true);
  Form2->sBitBtn1Click();
  EXPECT_EQ(dir.Read("config.txt"), Config("0", "0", "25", "-1", "1"));
  tk::headless::FailRegistryWrites(true);
  Form1->sTrackBar1.SetPosition(60);
  tk::Application::Get().Dispatch([] { Form2->sBitBtn1Click(); });
  EXPECT_EQ(dir.Read("config.txt"), Config("0", "0", "25", "-1", "1"))
      << "the file agrees with the registry";
  tk::headless::FailRegistryWrites(false);
  // No file before and a failing registry step: no file after.
  std::filesystem::remove(dir.path() / "config.txt");
  tk::headless::FailRegistryWrites(true);
  tk::Application::Get().Dispatch([] { Form2->sBitBtn1Click(); });
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "config.txt"));
  tk::headless::FailRegistryWrites(false);
}

TEST_F(SettingsTest, SettingsWindowOpensTogglesAndKeepsItsBoxes) {
  Start(Config("1", "1", "25", "-1", "0").c_str());
  Form1->SetPosition(372, 133);
  tk::headless::ClickOn(Form1->Image7);
  EXPECT_TRUE(Form2->Visible());
  EXPECT_EQ(Form2->Left(), 372 + 497) << "the main window is in the left half: to its right";
  EXPECT_EQ(Form2->Top(), 133 + 208);
  EXPECT_TRUE(Form2->sCheckBox2.Checked());
  EXPECT_TRUE(Form2->sCheckBox1.Checked());
  EXPECT_FALSE(Form2->sCheckBox3.Checked());
  EXPECT_FALSE(Form2->sBitBtn1.Enabled())
      << "ticking boxes enabled Apply, opening disabled it again";
  // Clearing "open last" and leaving with OK: the next opening ticks it again.
  tk::headless::ClickOn(Form2->sCheckBox1);
  EXPECT_FALSE(Form2->sCheckBox1.Checked());
  EXPECT_TRUE(Form2->sBitBtn1.Enabled());
  tk::headless::ClickOn(Form2->sButton1);  // OK
  EXPECT_FALSE(Form2->Visible());
  EXPECT_TRUE(app::State().OpenLast) << "only Apply changes it";
  tk::headless::ChooseInNextMenu("N9");
  Form1->RxTrayIcon1.RightClick(0, 0);
  EXPECT_TRUE(Form2->Visible());
  EXPECT_TRUE(Form2->sCheckBox1.Checked());
  Form1->Image7Click();  // toggles
  EXPECT_FALSE(Form2->Visible());
  // In the right half of the screen (half of 1024 is 512, exactly there counts) it opens to the left.
  Form1->SetPosition(512, 100);
  Form1->Image7Click();
  EXPECT_EQ(Form2->Left(), 512 - 301);
  // The update box takes effect at once; the close area hides; help opens the help page.
  Form2->sCheckBox2.SetChecked(false);
  EXPECT_EQ(app::State().CheckUpdates, 0);
  tk::headless::ClickOn(Form2->Image2);
  EXPECT_FALSE(Form2->Visible());
  Form2->sButton3Click();
  EXPECT_EQ(tk::headless::ShellOpens().back(), std::string(app::kProductSiteUrl) + "/help.html");
  // Moving by the background, the label and the icon.
  size_t moves = tk::headless::DragMoves().size();
  tk::headless::MouseDown(*Form2, 200, 25);
  tk::headless::MouseDown(*Form2, 60, 20);
  tk::headless::MouseDown(*Form2, 20, 20);
  EXPECT_EQ(tk::headless::DragMoves().size(), moves + 3);
}

// Tab walks the boxes top to bottom, then the buttons, and round; Shift+Tab back; a
// disabled Apply is passed over.
TEST_F(SettingsTest, TabOrderLikeTheOtherWindows) {
  Start(Config("0", "0", "25", "-1", "0").c_str());
  Form2->sBitBtn1.SetEnabled(true);
  const std::vector<tk::WindowedControl*> order = {&Form2->sCheckBox3, &Form2->sCheckBox2,
                                                   &Form2->sCheckBox1, &Form2->sButton1,
                                                   &Form2->sButton3,   &Form2->sBitBtn1};
  const tk::WindowedControl* c = nullptr;
  for (size_t i = 0; i < order.size() * 2; ++i) {
    c = Form2->NextInTabOrder(c, false);
    EXPECT_EQ(c, order[i % order.size()]) << i;
  }
  EXPECT_EQ(Form2->NextInTabOrder(&Form2->sCheckBox3, true), &Form2->sBitBtn1);
  Form2->sBitBtn1.SetEnabled(false);
  EXPECT_EQ(Form2->NextInTabOrder(&Form2->sButton3, false), &Form2->sCheckBox3);
}

TEST_F(SettingsTest, SelectionTicksTheSettingsBoxes) {
  Start(Config("1", "1", "25", "-1", "0").c_str());
  ASSERT_FALSE(Form2->sCheckBox2.Checked());
  Form1->NextGrid1SelectCell(4, 0);  // an empty cell: the step runs all the same
  EXPECT_TRUE(Form2->sCheckBox2.Checked());
  EXPECT_TRUE(Form2->sCheckBox1.Checked());
  EXPECT_TRUE(Form2->sBitBtn1.Enabled());
}

}  // namespace
