// The directory page parser, the catalogue rebuild against a loopback directory site, and the
// JSON import of the catalogue tool.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include <sys/wait.h>
#include <unistd.h>

#include "app/player_state.h"
#include "audio/bass.h"
#include "base/codepage.h"
#include "base/errors.h"
#include "catalogue/directory_parser.h"
#include "catalogue/rebuild.h"
#include "json_import.h"
#include "net/list_download.h"
#include "net/local_server.h"
#include "fresh_application.h"
#include "test_util.h"
#include "toolkit/headless/headless.h"
#include "ui/forms.h"
#include "ui/main/form1.h"

namespace {

namespace fs = std::filesystem;
using tk::headless::MessageBoxes;

const std::string kPrefix = "http://127.0.0.1:9/playlist/radio.m3u?station";

// A station block as the directory writes it.
std::string Block(const std::string& link, const std::string& logo, const std::string& title) {
  return "<div class=\"st\"><div class=\"t\"><a href=\"" + link +
         "\"><img src=\"/img/play.png\"></a>"
         "<a href=\"/s\" popup=\"500 400\"><img src=\"/" +
         logo + "\" class=\"logo\" alt=\"" + title +
         "\" width=\"88\" height=\"82\"></a></div></div></div>\n";
}
// A root page in UTF-8 around the given blocks.
std::string Page(const std::string& blocks) {
  return "<html><body><div id=\"menu\"><div class=\"st\">menu</div></div><h3>Радиостанции</h3>\n" +
         blocks + "<div id=\"footer-spacer\"></div></body></html>";
}

TEST(DirectoryParserTest, BlocksByTheirMarkers) {
  auto st = std::make_unique<app::PlayerState>();
  const struct {
    const char* what;
    std::string section;
    int count;
    std::vector<std::array<std::string, 3>> entries;  // id, logo, title
  } cases[] = {
      {"no block", "<p>nothing</p>", 0, {}},
      {"identifier =42",
       Block(kPrefix + "=42", "l/42.jpg", "&laquo;Радио&raquo;"),
       1,
       {{"=42", "l/42.jpg", "&laquo;Радио&raquo;"}}},
      {"another host is no station",
       Block("http://elsewhere/playlist/radio.m3u?station=1", "a.jpg", "A") +
           Block(kPrefix + "=2", "b.jpg", "B"),
       1,
       {{"=2", "b.jpg", "B"}}},
      {"no '=' after the prefix", Block(kPrefix + "s=3", "c.jpg", "C"), 0, {}},
      {"no logo marker",
       "<div class=\"st\"><a href=\"" + kPrefix +
           "=5\"><img src=\"x\" class=\"logo\" alt=\"E\" width=\"1\">"
           "</div></div></div>",
       1,
       {{"=5", "", "E"}}},
      {"a block without its end runs into the next",
       "<div class=\"st\"><a href=\"" + kPrefix + "=6\"><img src=\"\">" +
           Block(kPrefix + "=7", "g.jpg", "G"),
       2,
       {{"=6", "g.jpg", "G"}, {"=7", "g.jpg", "G"}}},
      {"a field over 4 KiB is no station",
       Block(kPrefix + "=8", "h.jpg", std::string(5000, 'x')) + Block(kPrefix + "=9", "i.jpg", "I"),
       1,
       {{"=9", "i.jpg", "I"}}},
  };
  for (const auto& c : cases) {
    st->ParsedStationIds.Set(1, "old");
    std::string section = c.section;
    catalogue::ParseStationBlocks(section, *st, kPrefix);
    EXPECT_EQ(st->ParsedCount, c.count) << c.what;
    EXPECT_EQ(section.find(catalogue::kBlockStart), std::string::npos)
        << c.what << ": every block consumed";
    if (c.count == 0) {
      EXPECT_EQ(st->ParsedStationIds.Get(1), "old") << c.what;
    }
    for (size_t k = 0; k < c.entries.size(); ++k) {
      EXPECT_EQ(st->ParsedStationIds.Get(k + 1), c.entries[k][0]) << c.what;
      EXPECT_EQ(st->ParsedLogoPaths.Get(k + 1), c.entries[k][1]) << c.what;
      EXPECT_EQ(st->ParsedTitles.Get(k + 1), c.entries[k][2]) << c.what;
    }
  }
  // More blocks than the tables hold: the first 1000 are kept.
  std::string many;
  for (int i = 1; i <= 1005; ++i) many += Block(kPrefix + "=" + std::to_string(i), "l.png", "T");
  catalogue::ParseStationBlocks(many, *st, kPrefix);
  EXPECT_EQ(st->ParsedCount, 1000);
  EXPECT_EQ(st->ParsedStationIds.Get(1000), "=1000");
}

TEST(DirectoryParserTest, PagesOfUnendedBlocksParseInOnePass) {
  // Each search of the parse goes over every byte of 4 MiB once: a parse that searched from
  // every block start to the end would not finish within the test's time.
  auto st = std::make_unique<app::PlayerState>();
  const std::string start = "<div class=\"st\"><a href=\"" + kPrefix;
  std::string no_ends, one_end;
  for (int i = 0; no_ends.size() < (4u << 20); ++i)
    no_ends += start + "=" + std::to_string(i) + "\"><img src=\"";
  one_end = no_ends + "popup=\"500 400\"><img src=\"/l.png\" class=\"logo\" alt=\"T\" width=\"" +
            catalogue::kBlockEnd;
  catalogue::ParseStationBlocks(no_ends, *st, kPrefix);
  EXPECT_EQ(st->ParsedCount, 0) << "blocks without an end are empty";
  EXPECT_EQ(no_ends.find(catalogue::kBlockStart), std::string::npos);
  catalogue::ParseStationBlocks(one_end, *st, kPrefix);
  EXPECT_EQ(st->ParsedCount, 1000) << "every block runs to the one end";
  EXPECT_EQ(st->ParsedStationIds.Get(1000), "=999");
  EXPECT_EQ(st->ParsedLogoPaths.Get(1000), "l.png");
  EXPECT_EQ(st->ParsedTitles.Get(1), "T");
}

TEST(DirectoryParserTest, ControlCharactersBecomeSpaces) {
  auto st = std::make_unique<app::PlayerState>();
  const std::string root = "http://127.0.0.1:9/";
  const struct {
    const char* what;
    std::string id, logo, title;  // on the page
    std::string url, logo_url, out_title;
  } cases[] = {
      {"CR LF in the title", "=1", "l/1.jpg", "A\r\n1", kPrefix + "=1", root + "l/1.jpg", "A  1"},
      {"tab and DEL in the identifier", "=2\t\x7F", "l/2.jpg", "B", kPrefix + "=2  ",
       root + "l/2.jpg", "B"},
      {"NUL to 0x1F in the logo path", "=3", std::string("l/\0\x01\x1F.jpg", 9), "C",
       kPrefix + "=3", root + "l/   .jpg", "C"},
      {"Cyrillic and 0x80 and up stay", "=4", "l/4.jpg", "\xD0\xE0\xE4\xE8\xEE\x98", kPrefix + "=4",
       root + "l/4.jpg", "\xD0\xE0\xE4\xE8\xEE\x98"},
  };
  for (const auto& c : cases) {
    std::string page = std::string(catalogue::kSectionStart) +
                       Block(kPrefix + c.id, c.logo, c.title) + catalogue::kSectionEnd;
    auto stations = catalogue::StationsFromDirectoryPage(page, *st, root, kPrefix);
    ASSERT_EQ(stations.size(), 1u) << c.what;
    EXPECT_EQ(stations[0].url, c.url) << c.what;
    EXPECT_EQ(stations[0].logo_url, c.logo_url) << c.what;
    EXPECT_EQ(stations[0].title, c.out_title) << c.what;
  }
}

TEST(DirectoryParserTest, PageDecodingAndTitles) {
  EXPECT_EQ(catalogue::DecodePage("Радио €✓"), base::Utf8ToCp1251("Радио €") + "?");
  for (const char* bad :
       {"ab\xD0", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\x80z", "\xE2\x82"})
    EXPECT_EQ(catalogue::DecodePage(std::string("<h3>") + bad), "") << bad;
  const std::pair<const char*, const char*> titles[] = {{"&laquo;Радио&raquo;", "Радио"},
                                                        {"R&#1110;ks", "Riks"},
                                                        {"Rock &amp; Roll", "Rock &amp; Roll"},
                                                        {"&laquo;&laquo;x", "x"}};
  for (auto [in, out] : titles)
    EXPECT_EQ(catalogue::CleanTitle(base::Utf8ToCp1251(in)), base::Utf8ToCp1251(out)) << in;
}

// --- The rebuild through the main window, against a loopback directory site ---

std::string Answer(const std::string& status, const std::string& body,
                   const std::string& type = "text/html") {
  return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Serves `connections` requests, each answered by the response of its path; a path without
// one is dropped unanswered.
class Site {
 public:
  Site(std::map<std::string, std::string> responses, int connections)
      : server_(
            [this](int fd) {
              std::string req = LocalServer::read_request(fd);
              std::string path = req.substr(4, req.find(' ', 4) - 4);
              requests.push_back(path);
              auto it = responses_.find(path);
              if (it != responses_.end()) LocalServer::send_text(fd, it->second);
            },
            connections),
        responses_(std::move(responses)) {}
  std::string Root() const { return "http://127.0.0.1:" + std::to_string(server_.port()) + "/"; }
  std::vector<std::string> requests;

 private:
  LocalServer server_;
  std::map<std::string, std::string> responses_;
};

struct RebuildTest : ::testing::Test {
  TempExeFolder dir;
  ui::TForm1* form = nullptr;
  std::string jpg, gif, png;

  void SetUp() override {
    dir.CopyPictures();
    dir.Write("config.txt", QuietConfig());
    // The old catalogue: two stations with picture logos.
    for (int n : {1, 2}) {
      dir.Write("Stations/play" + std::to_string(n) + ".txt",
                "http://old/" + std::to_string(n) + "\r\nOld\r\n");
      dir.Write("Stations/" + std::to_string(n) + ".png",
                Picture("old.png", "-size 40x40 xc:gray"));
    }
    jpg = Picture("a.jpg", "-size 60x40 xc:red");
    gif = Picture("a.gif", "-size 60x40 xc:green");
    png = Picture("a.png", "-size 60x40 xc:blue");
  }
  std::string Picture(const std::string& name, const std::string& args) {
    std::string cmd =
        "cd '" + dir.path().string() + "' && convert " + args + " '" + name + "' 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::string bytes = dir.Read(name);
    fs::remove(dir.path() / name);
    return bytes;
  }
  void Start() {
    tk::Application& app = FreshApplication();
    form = app.CreateForm<ui::TForm1>();
  }
  void TearDown() override {
    tk::Application::Get().DestroyAllForms();
    BASS_Free();
  }
  void Rebuild(const Site& site) {
    tk::headless::ClearMessageBoxes();
    tk::Application::Get().Dispatch([&] { form->RebuildCatalogue(site.Root(), kPrefix); });
  }
  // Every file of Stations with its bytes.
  std::map<std::string, std::string> Folder() {
    std::map<std::string, std::string> m;
    for (const auto& e : fs::directory_iterator(dir.Stations()))
      m[e.path().filename().string()] = dir.Read(fs::path("Stations") / e.path().filename());
    return m;
  }
  std::vector<int> Tags(tk::PictureGrid& g) {
    std::vector<int> tags;
    for (int row = 0; row < g.RowCount(); ++row)
      for (int col = 0; col < 5; ++col)
        if (g.HasPicture(col, row)) tags.push_back(g.Tag(col, row));
    return tags;
  }
};

TEST_F(RebuildTest, ThreeLogoKindsErrorAnswersAndNoAnswerTwice) {
  std::string blocks =
      Block(kPrefix + "=42", "logo/1.jpg", "&laquo;Радио Ёлка&raquo; &amp; Ко") +
      Block("http://other.example/radio.m3u?station=9", "logo/x.jpg", "Не станция") +
      Block(kPrefix + "=7", "logo/2.gif", "R&#1110;ver") +
      Block(kPrefix + "=8", "logo/3.png", "Три") + Block(kPrefix + "=9", "logo/4.jpg", "Ошибка") +
      Block(kPrefix + "=10", "logo/5.bmp", "BMP") + Block(kPrefix + "=11", "logo/6.jpg", "Молчит") +
      Block(kPrefix + "=12", "logo/7.jpg", "Пусто");
  std::map<std::string, std::string> responses = {
      {"/", Answer("200 OK", Page(blocks))},
      {"/logo/1.jpg", Answer("200 OK", jpg, "image/jpeg")},
      {"/logo/2.gif", Answer("200 OK", gif, "image/gif")},
      {"/logo/3.png", Answer("200 OK", png, "image/png")},
      {"/logo/4.jpg", Answer("404 Not Found", "gone")},
      {"/logo/5.bmp", Answer("200 OK", "BM\x36\x00\x00\x00 not much of a bitmap", "image/bmp")},
      {"/logo/7.jpg", Answer("200 OK", "", "image/jpeg")},
      // logo/6.jpg: dropped without an answer
  };
  Start();
  dir.Write("Stations.new/5.jpg", "left by a build that was cut off");
  std::map<std::string, std::string> first;
  for (int run = 0; run < 2; ++run) {
    Site site(responses, 8);
    Rebuild(site);
    EXPECT_TRUE(MessageBoxes().empty()) << (MessageBoxes().empty() ? "" : MessageBoxes()[0].text);
    EXPECT_EQ(site.requests.size(), 8u);
    auto files = Folder();
    std::set<std::string> names;
    for (auto& [n, _] : files) names.insert(n);
    EXPECT_EQ(names, (std::set<std::string>{"play1.txt", "play2.txt", "play3.txt", "play4.txt",
                                            "play5.txt", "play6.txt", "play7.txt", "1.jpg", "2.gif",
                                            "3.png", "4.txt", "5", "6.txt", "7.txt"}));
    EXPECT_EQ(files["play1.txt"], base::Utf8ToCp1251(kPrefix + "=42\r\nРадио Ёлка &amp; Ко\r\n"));
    EXPECT_EQ(files["play2.txt"], kPrefix + "=7\r\nRiver\r\n");
    EXPECT_EQ(files["1.jpg"], jpg);
    EXPECT_EQ(files["3.png"], png);
    EXPECT_EQ(files["4.txt"], "");
    EXPECT_FALSE(fs::exists(dir.path() / "Stations.new"));
    EXPECT_FALSE(fs::exists(dir.path() / "Stations.old"));
    app::PlayerState& st = app::State();
    EXPECT_EQ(st.StationCount, 8);
    EXPECT_EQ(st.ParsedCount, 7);
    EXPECT_EQ(st.LogoExtensions.Get(2), ".gif");
    EXPECT_EQ(st.LogoExtensions.Get(5), "");
    EXPECT_EQ(Tags(form->NextGrid1), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(form->Memo1.Lines.size(), 7u);
    EXPECT_EQ(form->Memo1.Lines[5], site.Root() + "logo/6.jpg");
    EXPECT_EQ(form->Memo2.Lines[6], "7");
    if (run == 0)
      first = files;
    else
      EXPECT_EQ(files, first) << "a second run gives the same folder";
  }
}

TEST_F(RebuildTest, PagesWithoutStationsKeepTheOldCatalogue) {
  const struct {
    const char* what;
    std::string response;
    std::string error;
  } cases[] = {
      {"no section", Answer("200 OK", "<html>" + Block(kPrefix + "=1", "l.jpg", "A") + "</html>"),
       "На странице каталога нет ни одной станции. Каталог не изменён."},
      {"invalid UTF-8", Answer("200 OK", Page(Block(kPrefix + "=1", "l.jpg", "A")) + "\xC3"),
       "На странице каталога нет ни одной станции. Каталог не изменён."},
      {"no accepted block", Answer("200 OK", Page(Block("http://x/?station=1", "l.jpg", "A"))),
       "На странице каталога нет ни одной станции. Каталог не изменён."},
      {"status 404", Answer("404 Not Found", Page(Block(kPrefix + "=1", "l.jpg", "A"))),
       "HTTP/1.1 404"},
      {"redirect", "HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n",
       "Request failed: http://127.0.0.1:"},
  };
  Start();
  auto before = Folder();
  for (const auto& c : cases) {
    Site site({{"/", c.response}}, 1);
    Rebuild(site);
    ASSERT_EQ(MessageBoxes().size(), 1u) << c.what;
    EXPECT_EQ(MessageBoxes()[0].text.substr(0, c.error.size()), c.error) << c.what;
    EXPECT_EQ(Folder(), before) << c.what;
    EXPECT_EQ(Tags(form->NextGrid1), (std::vector<int>{1, 2}))
        << c.what << ": the old tiles are back";
  }
}

TEST_F(RebuildTest, AnInterruptedSwapIsUndoneAtStart) {
  fs::rename(dir.Stations(), dir.path() / "Stations.old");
  Start();
  EXPECT_TRUE(fs::exists(dir.Stations() / "play2.txt"));
  EXPECT_EQ(app::State().StationCount, 3);
  EXPECT_EQ(Tags(form->NextGrid1), (std::vector<int>{1, 2}));
}

TEST_F(RebuildTest, NetworkTextKeepsToItsLineAndLargeLogosAreReported) {
  std::string big = jpg + std::string(catalogue::kMaxLogoBytes + 1 - jpg.size(), '\0');
  std::string blocks = Block(kPrefix + "=1", "logo/1.jpg", "Радио\r\n1") +
                       Block(kPrefix + "=2", "logo/2.jpg", "Big") +
                       Block(kPrefix + "=3", "logo/3.png", "Fits");
  Site site({{"/", Answer("200 OK", Page(blocks))},
             {"/logo/1.jpg", Answer("200 OK", jpg, "image/jpeg")},
             {"/logo/2.jpg", Answer("200 OK", big, "image/jpeg")},
             {"/logo/3.png", Answer("200 OK", png, "image/png")}},
            4);
  Start();
  Rebuild(site);
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].text,
            "Logos over 512 KiB, or past the catalogue's 64 MiB of logos, were dropped: station 2");
  auto files = Folder();
  EXPECT_EQ(files["play1.txt"], base::Utf8ToCp1251(kPrefix + "=1\r\nРадио  1\r\n"))
      << "two lines, no engine line";
  EXPECT_EQ(files.count("2.txt"), 1u);
  EXPECT_EQ(files.count("2.jpg") + files.count("2"), 0u);
  EXPECT_EQ(Tags(form->NextGrid1), (std::vector<int>{1, 3}));
}

TEST_F(RebuildTest, ALogoThatCannotBeWrittenLeavesTheOldCatalogue) {
  std::string blocks =
      Block(kPrefix + "=1", "logo/1.jpg", "One") + Block(kPrefix + "=2", "logo/2.png", "Two");
  Site site({{"/logo/1.jpg", Answer("200 OK", jpg, "image/jpeg")},
             {"/logo/2.png", Answer("200 OK", png)}},
            2);
  Start();
  auto before = Folder();
  catalogue::BuildOptions options;
  // The second logo's file is on a full disk: its write fails only when it is closed.
  options.on_fetch = [&](size_t i, const catalogue::NewStation&) {
    if (i == 1) fs::create_symlink("/dev/full", catalogue::NewFolderOf(dir.Stations()) / "2");
  };
  std::vector<catalogue::NewStation> stations = {
      {kPrefix + "=1", "One", site.Root() + "logo/1.jpg"},
      {kPrefix + "=2", "Two", site.Root() + "logo/2.png"}};
  EXPECT_THROW(catalogue::BuildCatalogue(dir.Stations(), stations, options), base::Error);
  EXPECT_EQ(Folder(), before);
  EXPECT_FALSE(fs::exists(catalogue::NewFolderOf(dir.Stations())));
}

TEST(ListDownloadTest, SizeLimitsAndWritesCheckedAfterClosing) {
  const std::string body(400, 'x');
  Site site({{"/a", Answer("200 OK", body)}, {"/big", Answer("200 OK", std::string(600, 'y'))}}, 5);
  TempExeFolder dir;
  fs::create_symlink("/dev/full", dir.path() / "full");
  net::ListDownloadOptions o;
  o.http.max_body = 500;
  o.total_max = 1000;
  std::string a = site.Root() + "a";
  auto rows = net::DownloadList({a, site.Root() + "big", a, "", a, a},
                                {"1", "2", "full", "4", "5", "6"}, dir.path(), o);
  using R = net::RowOutcome;
  EXPECT_EQ(rows, (std::vector<R>{R::kBody, R::kTooLarge, R::kWriteFailed, R::kSkipped, R::kBody,
                                  R::kTooLarge}));
  EXPECT_EQ(dir.Read("1"), body);
  EXPECT_EQ(dir.Read("2"), "") << "over max_body";
  EXPECT_EQ(dir.Read("6"), "") << "past the total";
}

// --- The swap and what a killed build leaves ---

struct SwapTest : ::testing::Test {
  TempExeFolder dir;
  fs::path folder = dir.path() / "Cat";
  const std::map<std::string, std::string> old_files = {{"play1.txt", "http://old/1\r\nOld\r\n"},
                                                        {"play2.txt", "http://old/2\r\nOld\r\n"},
                                                        {"1.gif", "GIF89a"},
                                                        {"2", "BM"}};
  const std::map<std::string, std::string> new_files = {{"play1.txt", "http://new/1\r\nNew\r\n"},
                                                        {"play2.txt", "http://new/2\r\nNew\r\n"},
                                                        {"1.txt", ""},
                                                        {"2.txt", ""}};
  const std::vector<catalogue::NewStation> stations = {{"http://new/1", "New", ""},
                                                       {"http://new/2", "New", ""}};

  void SetUp() override {
    for (auto& [n, b] : old_files) dir.Write(fs::path("Cat") / n, b);
  }
  void TearDown() override { catalogue::test_hooks::SetMoveHook(nullptr); }
  std::map<std::string, std::string> Files() {
    std::map<std::string, std::string> m;
    for (const auto& e : fs::directory_iterator(folder))
      m[e.path().filename().string()] = dir.Read(fs::path("Cat") / e.path().filename());
    return m;
  }
  // Nothing beside the folder.
  std::vector<std::string> Beside() {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(dir.path()))
      if (e.path() != folder) v.push_back(e.path().filename().string());
    return v;
  }
  // Renames of the folder itself fail, as on Windows with a file of it open; the move
  // numbered `fail` (from 0) fails too, or the process ends there when `die`.
  void LockFolder(int fail, bool die) {
    auto count = std::make_shared<int>(0);
    catalogue::test_hooks::SetMoveHook(
        [=](const fs::path& from, const fs::path&, std::error_code& ec) {
          if (from == folder) {
            ec = std::make_error_code(std::errc::device_or_resource_busy);
            return;
          }
          if ((*count)++ != fail) return;
          if (die) _exit(0);
          ec = std::make_error_code(std::errc::permission_denied);
        });
  }
};

TEST_F(SwapTest, FileByFileSwapIsWholeOrUndone) {
  // 4 old files aside, the new folder marked, 4 new files in: 9 moves.
  for (int fail = -1; fail < 9; ++fail) {
    LockFolder(fail, false);
    if (fail < 0) {
      catalogue::BuildCatalogue(folder, stations, {});
      EXPECT_EQ(Files(), new_files) << "no old logo of another extension is left";
    } else {
      EXPECT_THROW(catalogue::BuildCatalogue(folder, stations, {}), base::Error) << fail;
      EXPECT_EQ(Files(), old_files) << "move " << fail << " failed";
    }
    EXPECT_EQ(Beside(), std::vector<std::string>{}) << fail;
    catalogue::test_hooks::SetMoveHook(nullptr);
    for (const auto& e : fs::directory_iterator(folder)) fs::remove(e.path());
    for (auto& [n, b] : old_files) dir.Write(fs::path("Cat") / n, b);
  }
}

TEST_F(SwapTest, ABuildKilledAtAnyMoveIsRecoveredWhole) {
  for (bool locked : {false, true}) {
    for (int at = 0;; ++at) {
      pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        if (locked) {
          LockFolder(at, true);
        } else {
          auto count = std::make_shared<int>(0);
          catalogue::test_hooks::SetMoveHook(
              [=](const fs::path&, const fs::path&, std::error_code&) {
                if ((*count)++ == at) _exit(0);
              });
        }
        try {
          catalogue::BuildCatalogue(folder, stations, {});
        } catch (...) {
          _exit(2);
        }
        _exit(3);  // finished before the move numbered `at`
      }
      int status = 0;
      waitpid(pid, &status, 0);
      ASSERT_TRUE(WIFEXITED(status));
      int code = WEXITSTATUS(status);
      ASSERT_NE(code, 2) << "locked " << locked << " at " << at;
      catalogue::RestoreInterruptedSwap(folder);
      auto files = Files();
      EXPECT_TRUE(files == old_files || files == new_files)
          << "locked " << locked << ", killed at move " << at;
      EXPECT_EQ(Beside(), std::vector<std::string>{}) << "locked " << locked << " at " << at;
      for (const auto& e : fs::directory_iterator(folder)) fs::remove(e.path());
      for (auto& [n, b] : old_files) dir.Write(fs::path("Cat") / n, b);
      if (code == 3) break;
      ASSERT_LT(at, 20);
    }
  }
}

TEST_F(SwapTest, TargetsThatAreNoCatalogueAreRefusedUntouched) {
  const struct {
    const char* what;
    std::function<fs::path()> make;  // the target, after preparing it
  } cases[] = {
      {"a foreign file",
       [&] {
         dir.Write("Cat/README", "mine");
         return folder;
       }},
      {"a sub-folder",
       [&] {
         fs::create_directory(folder / "7");
         return folder;
       }},
      {"a station name on a folder",
       [&] {
         fs::create_directory(folder / "play3.txt");
         return folder;
       }},
      {"a file as the target",
       [&] {
         dir.Write("file", "x");
         return dir.path() / "file";
       }},
      {"a foreign file in the new folder",
       [&] {
         dir.Write("Cat.new/notes.doc", "x");
         return folder;
       }},
      {"a foreign file in the old folder",
       [&] {
         dir.Write("Cat.old/1.bmp", "x");
         return folder;
       }},
      {"the root", [&] { return fs::path("/"); }},
      {"'.'", [&] { return fs::path("."); }},
      {"'..'", [&] { return folder / ".."; }},
      {"'x/..'", [&] { return fs::path("x/.."); }},
  };
  for (const auto& c : cases) {
    fs::path target = c.make();
    std::map<std::string, fs::file_time_type> before;
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
      before[e.path().string()] = e.last_write_time();
    EXPECT_THROW(catalogue::BuildCatalogue(target, stations, {}), catalogue::UnsafeTarget)
        << c.what;
    std::map<std::string, fs::file_time_type> after;
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
      after[e.path().string()] = e.last_write_time();
    EXPECT_EQ(after, before) << c.what;
    for (const auto& e : fs::directory_iterator(dir.path())) fs::remove_all(e.path());
    for (auto& [n, b] : old_files) dir.Write(fs::path("Cat") / n, b);
  }
  // Station files in any case, and Explorer's thumbnails, are a catalogue's.
  for (const char* name : {"PLAY3.TXT", "3.JPG", "Thumbs.db", "12"})
    EXPECT_TRUE(catalogue::IsStationFileName(name)) << name;
  for (const char* name : {"play.txt", "play3.jpg", "3.bmp", "x3.jpg", "3.jpg.exe", "", ".txt"})
    EXPECT_FALSE(catalogue::IsStationFileName(name)) << name;
}

// --- The JSON import of the catalogue tool ---

TEST(JsonImportTest, FiltersBadEntriesAndDuplicates) {
  const std::string list = R"([
    {"name": "Ретро FM", "url_resolved": "http://a/1", "favicon": "http://a/1.png", "countrycode": "RU",
     "tags": "pop,retro", "votes": 5},
    {"name": "  Jazz\nNight ", "url_resolved": "http://a/2", "favicon": "", "countrycode": "US", "tags": "Jazz",
     "votes": 50},
    {"name": "ретро fm", "url_resolved": "http://a/3", "countrycode": "RU", "votes": 500},
    {"name": "Secure", "url_resolved": "https://a/4", "countrycode": "RU"},
    {"name": "Ftp", "url_resolved": "ftp://a/5"},
    {"url_resolved": "http://a/6"},
    {"name": "", "url_resolved": "http://a/7"},
    {"name": 12, "url_resolved": "http://a/8"},
    "not an object",
    {"name": "Rock 🎸", "url_resolved": "http://a/9", "favicon": "data:image/png;base64,AAAA", "countrycode": "ru",
     "tags": "rock, classic rock", "votes": "many"}
  ])";
  using catalogue_tool::JsonFilter;
  const struct {
    const char* what;
    JsonFilter filter;
    std::vector<std::string> urls;
    size_t bad, duplicate, filtered, over;
  } cases[] = {
      {"all", {}, {"http://a/1", "http://a/2", "https://a/4", "http://a/9"}, 5, 1, 0, 0},
      {"country ru", {"ru", "", 0, 999}, {"http://a/1", "https://a/4", "http://a/9"}, 5, 1, 1, 0},
      {"tag classic rock", {"", "CLASSIC ROCK", 0, 999}, {"http://a/9"}, 5, 0, 4, 0},
      {"top 2 by votes", {"", "", 2, 999}, {"http://a/3", "http://a/2"}, 5, 1, 0, 2},
      {"limit 1", {"", "", 0, 1}, {"http://a/1"}, 5, 1, 0, 3},
  };
  for (const auto& c : cases) {
    catalogue_tool::JsonImport in = catalogue_tool::StationsFromJson(list, c.filter);
    std::vector<std::string> urls;
    for (const auto& s : in.stations) urls.push_back(s.url);
    EXPECT_EQ(urls, c.urls) << c.what;
    EXPECT_EQ(in.skipped_bad, c.bad) << c.what;
    EXPECT_EQ(in.skipped_duplicate, c.duplicate) << c.what;
    EXPECT_EQ(in.filtered_out, c.filtered) << c.what;
    EXPECT_EQ(in.over_limit, c.over) << c.what;
  }
  catalogue_tool::JsonImport all = catalogue_tool::StationsFromJson(list, {});
  ASSERT_EQ(all.stations.size(), 4u);
  EXPECT_EQ(all.stations[0].title, base::Utf8ToCp1251("Ретро FM"));
  EXPECT_EQ(all.stations[0].logo_url, "http://a/1.png");
  EXPECT_EQ(all.stations[1].title, "Jazz Night") << "one line, trimmed";
  EXPECT_EQ(all.stations[1].logo_url, "");
  EXPECT_EQ(all.stations[3].title, "Rock ?");
  EXPECT_EQ(all.stations[3].logo_url, "") << "only http and https logos are fetched";
  for (const char* bad : {"{\"name\": \"x\"}", "[1, 2", "", "null"})
    EXPECT_THROW(catalogue_tool::StationsFromJson(bad, {}), base::Error) << bad;
  // Never more than 999 stations.
  std::string big = "[";
  for (int i = 0; i < 1005; ++i)
    big += std::string(i ? "," : "") + "{\"name\": \"S" + std::to_string(i) +
           "\", \"url_resolved\": \"http://s/" + std::to_string(i) + "\"}";
  EXPECT_EQ(catalogue_tool::StationsFromJson(big + "]", {}).stations.size(), 999u);
}

}  // namespace
