// The station editor, the update check with its notice window, and the HTTP client against
// real loopback sockets.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/build_config.h"
#include "app/player_state.h"
#include "audio/bass.h"
#include "base/codepage.h"
#include "click.h"
#include "net/local_server.h"
#include "fresh_application.h"
#include "test_util.h"
#include "toolkit/headless/headless.h"
#include "toolkit/http_client.h"
#include "tools/artwork/image_files.h"
#include "ui/dialogs/dialogs.h"
#include "ui/forms.h"
#include "ui/main/form1.h"

namespace {

using namespace std::chrono_literals;
using tk::headless::MessageBoxes;

struct EditorTest : ::testing::Test {
  TempExeFolder dir;
  void SetUp() override {
    std::filesystem::create_directories(dir.Stations());
    dir.Write("config.txt", QuietConfig());
    dir.CopyPictures();
    dir.Write("Stations/play1.txt",
              base::Utf8ToCp1251("http://127.0.0.1:9/one\r\nПервая\r\n2\r\n"));
    dir.Write("Stations/1.png", artwork_files::EncodePng(tk::Bitmap(30, 30, tk::Rgb(200, 30, 30))));
    dir.Write("Stations/play2.txt", "http://127.0.0.1:9/two\r\nSecond\r\n1\r\n");
    dir.Write("Stations/2.png", artwork_files::EncodePng(tk::Bitmap(30, 30, tk::Rgb(30, 30, 200))));
    dir.Write("Stations/play3.txt", "http://127.0.0.1:9/three\r\nThird\r\n");
    dir.Write("Stations/3.txt", "");
    tk::Application& app = FreshApplication();
    Form1 = app.CreateForm<ui::TForm1>();
    Form2 = app.CreateForm<ui::TForm2>();
    Form3 = app.CreateForm<ui::TForm3>();
    Form4 = app.CreateForm<ui::TForm4>();
    tk::headless::ClearMessageBoxes();
  }
  void TearDown() override {
    tk::Application::Get().DestroyAllForms();
    BASS_Free();
  }
  void Select(int col) { tk::headless::Click(*Form1, 10 + col * 96 + 40, 77 + 40); }
  tk::Colour LogoColour() { return Form3->Image3.Picture().At(10, 10); }
};

TEST_F(EditorTest, OpensOnlyOnceAStationWasChosenAndFollowsTheSelection) {
  Form1->SetPosition(372, 133);
  Form1->Image8Click();
  EXPECT_FALSE(Form3->Visible()) << "no station chosen: nothing is shown";
  EXPECT_EQ(Form3->Left(), 374);
  EXPECT_EQ(Form3->Top(), 133 + 369) << "placed below the main window all the same";
  Select(0);
  Form1->SetPosition(372, 400);  // in the lower half of the 768-pixel screen: above it
  tk::headless::ClickOn(Form1->Image8);
  EXPECT_TRUE(Form3->Visible());
  EXPECT_EQ(Form3->Top(), 400 - 158);
  EXPECT_EQ(Form3->sEdit1.Text(), "Первая");
  EXPECT_EQ(Form3->sEdit2.Text(), "http://127.0.0.1:9/one");
  EXPECT_FALSE(Form3->sCheckBox1.Checked());
  EXPECT_EQ(LogoColour(), tk::Rgb(200, 30, 30));
  // A selection reloads the open editor; a station without a picture keeps the last logo.
  Select(1);
  EXPECT_EQ(Form3->sEdit1.Text(), "Second");
  EXPECT_TRUE(Form3->sCheckBox1.Checked());
  EXPECT_EQ(LogoColour(), tk::Rgb(30, 30, 200));
  Form1->NextGrid1SelectCell(2, 0);  // empty cell: nothing starts, the editor stays
  EXPECT_EQ(Form3->sEdit1.Text(), "Second");
  Form1->StartStation(3);  // a station without a picture logo
  app::State().CurrentStation = 3;
  Form3->FillStationEditor();
  EXPECT_EQ(Form3->sEdit1.Text(), "Third");
  EXPECT_EQ(LogoColour(), tk::Rgb(30, 30, 200)) << "the logo shown before stays";
  Form1->Image8Click();  // toggles
  EXPECT_FALSE(Form3->Visible());
}

TEST_F(EditorTest, PlaceholdersClearOnAClickOnly) {
  EXPECT_EQ(Form3->sEdit1.Text(), "Название радиостанции");
  EXPECT_EQ(Form3->sEdit2.Text(), "Ссылка на трансляцию");
  Form3->sEdit1.SetFocus();  // entering by keyboard clears nothing
  EXPECT_EQ(Form3->sEdit1.Text(), "Название радиостанции");
  tk::headless::ClickOn(Form3->sEdit1);
  EXPECT_EQ(Form3->sEdit1.Text(), "");
  tk::headless::TypeText(Form3->sEdit1, "Название радиостанции");  // a name equal to it
  tk::headless::ClickOn(Form3->sEdit1);
  EXPECT_EQ(Form3->sEdit1.Text(), "") << "cleared again";
  tk::headless::TypeText(Form3->sEdit2, " x");
  tk::headless::ClickOn(Form3->sEdit2);
  EXPECT_EQ(Form3->sEdit2.Text(), "Ссылка на трансляцию x")
      << "only the exact placeholder is cleared";
}

TEST_F(EditorTest, SaveWritesAsTypedThenTheAddressAndTitle) {
  Select(0);
  Form3->sEdit1.SetText("");
  tk::headless::TypeText(Form3->sEdit1, "  Новое имя ");
  Form3->sEdit2.SetText("");
  tk::headless::Paste(Form3->sEdit2, "http://127.0.0.1:9/new\r\nsecond line\nthird");
  Form3->sCheckBox1.SetChecked(true);
  tk::headless::ClickOn(Form3->sButton1);  // Сохранить
  EXPECT_EQ(
      dir.Read("Stations/play1.txt"),
      base::Utf8ToCp1251("http://127.0.0.1:9/new second line third\r\n  Новое имя \r\n1\r\n"));
  EXPECT_EQ(app::State().CurrentStreamUrl, "http://127.0.0.1:9/new second line third");
  EXPECT_EQ(Form1->RxLabel6.Caption(), "  Новое имя ");
  EXPECT_EQ(app::State().CurrentEngine, "2") << "the engine changes at the next start";
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "station2.txt"));
  // Empty fields are saved as empty lines.
  Form3->sEdit1.SetText("");
  Form3->sEdit2.SetText("");
  Form3->sCheckBox1.SetChecked(false);
  Form3->sButton1Click();
  EXPECT_EQ(dir.Read("Stations/play1.txt"), "\r\n\r\n0\r\n");
  // Saving the default title: the editor then acts as if no station were chosen.
  Form3->sEdit1.SetText("Тиволна - Бесплатное радио!");
  Form3->sButton1Click();
  Form3->Hide();
  Form1->Image8Click();
  EXPECT_FALSE(Form3->Visible());
}

TEST_F(EditorTest, AFailedSaveChangesNothing) {
  Select(0);
  std::string before = dir.Read("Stations/play1.txt");
  std::filesystem::create_directory(dir.path() / "station2.txt");  // the new file cannot be made
  Form3->sEdit1.SetText("Другое");
  Form3->sEdit2.SetText("http://127.0.0.1:9/other");
  tk::Application::Get().Dispatch([] { Form3->sButton1Click(); });
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].text, "File access denied");
  EXPECT_EQ(dir.Read("Stations/play1.txt"), before);
  EXPECT_EQ(app::State().CurrentStreamUrl, "http://127.0.0.1:9/one");
  EXPECT_EQ(Form1->RxLabel6.Caption(), "Первая");
}

TEST(OneLineTest, LineBreaksBecomeSpaces) {
  EXPECT_EQ(tk::Edit::OneLine("a\r\nb\nc\rd"), "a b c d");
  EXPECT_EQ(tk::Edit::OneLine("plain"), "plain");
  EXPECT_EQ(tk::Edit::OneLine("\r\n"), " ");
}

// --- The HTTP client and the update check ---

std::string Response(const std::string& status, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
         body;
}

TEST_F(EditorTest, VersionCheckAgainstTheVersionFile) {
  // A captive portal's page: the box shows its first 200 characters and an ellipsis.
  const std::string portal = "<html>" + std::string(1 << 20, 'p') + "</html>";
  const std::string portal_shown = "'" + portal.substr(0, 200) + "…' is not a valid integer value";
  const std::string just_200 = std::string(199, '7') + "x";  // shown whole
  const std::string just_200_shown = "'" + just_200 + "' is not a valid integer value";
  const struct {
    std::string response;
    bool notice;
    const char* error;  // nullptr: silent
  } cases[] = {
      {Response("200 OK", portal), false, portal_shown.c_str()},
      {Response("200 OK", just_200), false, just_200_shown.c_str()},
      {Response("200 OK", "5"), false, nullptr},
      {Response("200 OK", "6"), true, nullptr},
      {Response("200 OK", "-1"), false, nullptr},
      {Response("200 OK", " 6"), true, nullptr},
      {Response("200 OK", "6\r\n"), false, "'6\r\n' is not a valid integer value"},
      {Response("200 OK", "<html>new</html>"), false,
       "'<html>new</html>' is not a valid integer value"},
      {Response("404 Not Found", "6"), false, nullptr},
      {"HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n", false, nullptr},
  };
  for (const auto& c : cases) {
    std::string request;
    LocalServer srv([&](int fd) {
      request = LocalServer::read_request(fd);
      LocalServer::send_text(fd, c.response);
    });
    Form4->Hide();
    tk::headless::ClearMessageBoxes();
    tk::Application::Get().Dispatch([&] {
      Form1->CheckVersion("http://127.0.0.1:" + std::to_string(srv.port()) + "/version.txt");
    });
    EXPECT_EQ(Form4->Visible(), c.notice) << c.response;
    if (c.error) {
      ASSERT_EQ(MessageBoxes().size(), 1u) << c.response;
      EXPECT_EQ(MessageBoxes()[0].text, c.error);
    } else {
      EXPECT_TRUE(MessageBoxes().empty()) << c.response;
    }
    EXPECT_NE(request.find("GET /version.txt HTTP/1.1"), std::string::npos) << request;
    EXPECT_NE(request.find("Accept: text/html, */*"), std::string::npos) << request;
    EXPECT_NE(request.find("User-Agent: Mozilla/3.0 (compatible; Indy Library)"), std::string::npos)
        << request;
  }
  // The notice is centred on every showing, also after being moved.
  Form4->Hide();
  Form4->SetPosition(5, 5);
  Form4->Show();
  EXPECT_EQ(Form4->Left(), 1024 / 2 - 150);
  EXPECT_EQ(Form4->Top(), 768 / 2 - 100);
  Form4->sButton1Click();
  EXPECT_EQ(tk::headless::ShellOpens().back(),
            std::string(app::kProductSiteUrl) + "/download.html");
  tk::headless::ClickOn(Form4->sButton2);  // Закрыть
  EXPECT_FALSE(Form4->Visible());
}

TEST_F(EditorTest, TimerFiresOnceWithTwoSecondTimeOuts) {
  Form1->Timer1.SetEnabled(true);
  tk::headless::AdvanceTime(10000);  // the site of the build cannot be reached here: silent
  EXPECT_FALSE(Form1->Timer1.Enabled());
  EXPECT_EQ(Form1->IdHTTP1.ConnectTimeout, 2000);
  EXPECT_EQ(Form1->IdHTTP1.ReadTimeout, 2000);
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST(HttpClientTest, TimeOutsHoldAndFailuresAreErrors) {
  tk::headless::Reset();
  tk::Application::Get().Initialize();
  tk::HttpClient c;
  c.ConnectTimeout = 2000;
  c.ReadTimeout = 2000;
  const struct {
    const char* what;
    std::function<void(int)> script;
  } servers[] = {
      {"accepts and never answers", [](int fd) { LocalServer::hold(fd, 6000); }},
      {"trickles a byte a second",
       [](int fd) {
         LocalServer::read_request(fd);
         std::string r = Response("200 OK", "123456");
         for (char ch : r) {  // until the client gives up and goes
           if (::send(fd, &ch, 1, MSG_NOSIGNAL) != 1) return;
           LocalServer::hold(fd, 1000);
         }
       }},
  };
  for (const auto& s : servers) {
    LocalServer srv(s.script);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_THROW(c.Get("http://127.0.0.1:" + std::to_string(srv.port()) + "/version.txt"),
                 tk::HttpError)
        << s.what;
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    EXPECT_GE(ms, 1800) << s.what;
    EXPECT_LT(ms, 3000) << s.what;
  }
  // No server at all.
  int port;
  {
    LocalServer gone([](int) {});
    port = gone.port();
  }
  EXPECT_THROW(c.Get("http://127.0.0.1:" + std::to_string(port) + "/"), tk::HttpError);
}

TEST(HttpClientTest, WindowMessagesAreHandledWhileItWaitsAndNoRequestStartsInside) {
  tk::headless::Reset();
  tk::Application::Get().Initialize();
  tk::HttpClient c;
  LocalServer slow([](int fd) {
    LocalServer::read_request(fd);
    LocalServer::pause_ms(800);
    LocalServer::send_text(fd, Response("200 OK", "body"));
  });
  std::atomic<bool> posted_ran{false};
  bool inner_refused = false;
  std::thread other([&] {
    std::this_thread::sleep_for(200ms);
    tk::Application::Get().Post([&] {
      posted_ran = true;
      try {
        c.Get("http://127.0.0.1:1/");
      } catch (const tk::HttpError&) {
        inner_refused = true;
      }
    });
  });
  std::string body = c.Get("http://127.0.0.1:" + std::to_string(slow.port()) + "/");
  other.join();
  EXPECT_EQ(body, "body");
  EXPECT_TRUE(posted_ran) << "messages were handled while the request waited";
  EXPECT_TRUE(inner_refused) << "a second request cannot start inside the first";
  EXPECT_FALSE(c.Busy());
}

}  // namespace
