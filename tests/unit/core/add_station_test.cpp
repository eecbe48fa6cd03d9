// Adding stations: what is taken from texts and playlist files, names, numbers, duplicates,
// and the writing of a new station.
#include <gtest/gtest.h>

#include "base/codepage.h"
#include "base/errors.h"
#include "catalogue/add_station.h"
#include "catalogue/station_store.h"
#include "fresh_application.h"
#include "test_util.h"
#include "toolkit/headless/headless.h"

namespace {

using catalogue::Candidate;

std::vector<std::string> Urls(const std::vector<Candidate>& c) {
  std::vector<std::string> out;
  for (const Candidate& x : c) out.push_back(x.url);
  return out;
}

TEST(AddStationTest, StationNames) {
  const std::string long_name =
      "Очень длинное название радиостанции которое никак не помещается на плитку каталога";
  const struct {
    std::string icy, title, url, name;  // UTF-8
  } cases[] = {
      {"Радио Тест", "Из плей-листа", "http://a.example/x", "Радио Тест"},
      {"", "Джаз FM", "http://a.example/x", "Джаз FM"},
      {"", "", "http://www.Example.org:8000/live", "example.org"},
      {"  Line\r\nbreak\t\tand  tab ", "", "http://h/", "Line break and tab"},
      {"-", "Настоящее имя", "http://h/", "Настоящее имя"},  // a name of punctuation names nothing
      {"Café ♥ Noir", "", "http://h/", "Caf? ? Noir"},       // Windows-1251 lacks é and ♥
      {"", "   ", "http://10.0.0.1:8080/", "10.0.0.1"},
      {long_name, "", "http://h/", "Очень длинное название радиостанции которое никак не"},
  };
  for (const auto& c : cases) {
    std::string ansi = catalogue::StationName(c.icy, c.title, c.url);
    EXPECT_EQ(base::Cp1251ToUtf8(ansi), c.name) << c.icy << " | " << c.title;
    EXPECT_LE(ansi.size(), catalogue::kMaxStationNameLength);
  }
}

TEST(AddStationTest, AddressesInText) {
  EXPECT_EQ(Urls(catalogue::CandidatesFromText("http://a.example/live")),
            std::vector<std::string>{"http://a.example/live"});
  EXPECT_EQ(Urls(catalogue::CandidatesFromText(
                "\xEF\xBB\xBF see <https://b.example/s?x=1> and \"http://c.example:8000/\"\r\n"
                "ftp://d.example/ mms://e/ www.f.example http:// plain words")),
            (std::vector<std::string>{"https://b.example/s?x=1", "http://c.example:8000/"}));
  EXPECT_TRUE(catalogue::CandidatesFromText("Название композиции").empty());
}

TEST(AddStationTest, SameAddressAndDeduplication) {
  EXPECT_TRUE(
      catalogue::SameAddress("HTTP://Radio.Example:80/live", " http://radio.example/live "));
  EXPECT_TRUE(catalogue::SameAddress("https://r.example:443/a", "https://r.example/a"));
  EXPECT_FALSE(catalogue::SameAddress("http://r.example/Live", "http://r.example/live"));
  EXPECT_FALSE(catalogue::SameAddress("http://r.example:8000/", "http://r.example/"));

  std::vector<Candidate> items;
  for (int i = 0; i < 70; ++i) items.push_back({"http://r.example/" + std::to_string(i % 60), ""});
  items.insert(items.begin(), {"http://R.EXAMPLE/0", "first"});
  catalogue::Deduplicate(items);
  ASSERT_EQ(items.size(), catalogue::kMaxAddedStations);
  EXPECT_EQ(items[0].title, "first");  // the first of equal addresses stays
  EXPECT_EQ(items[1].url, "http://r.example/1");
}

TEST(AddStationTest, PlaylistEntriesWithTitles) {
  const struct {
    const char* what;
    std::string body;
    std::vector<std::pair<std::string, std::string>> entries;  // url, title (UTF-8)
  } cases[] = {
      {"m3u",
       "#EXTM3U\r\n#EXTINF:-1 tvg-name=\"a,b\",Радио Один\r\nhttp://one.example/s\r\n"
       "http://two.example/s\r\n#EXTINF:0,Три\r\nhttps://three.example/\r\n",
       {{"http://one.example/s", "Радио Один"},
        {"http://two.example/s", ""},
        {"https://three.example/", "Три"}}},
      {"pls",
       "[playlist]\nTitle2=Second\nFile2=http://b.example/\nFile1=http://a.example/\nTitle1=" +
           base::Utf8ToCp1251("Первое") + "\nNumberOfEntries=2\n",
       {{"http://a.example/", "Первое"}, {"http://b.example/", "Second"}}},
      {"asx",
       "<asx version=\"3.0\"><title>All</title><entry><title>Jazz &amp; Blues</title>"
       "<ref href=\"http://j.example/?a=1&amp;b=2\"/></entry><entry><ref href='http://k.example/'/></entry></asx>",
       {{"http://j.example/?a=1&b=2", "Jazz & Blues"}, {"http://k.example/", ""}}},
      {"plain list",
       "http://p.example/1\n# note\nfile:///local.mp3\nhttp://p.example/2\n",
       {{"http://p.example/1", ""}, {"http://p.example/2", ""}}},
  };
  for (const auto& c : cases) {
    std::vector<Candidate> got = catalogue::PlaylistEntries(c.body);
    ASSERT_EQ(got.size(), c.entries.size()) << c.what;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].url, c.entries[i].first) << c.what;
      EXPECT_EQ(got[i].title, c.entries[i].second) << c.what;
    }
  }
}

struct AddStationFolderTest : ::testing::Test {
  TempExeFolder dir;
  void Station(int n, const std::string& url, const std::string& logo_ext = ".png") {
    dir.Write("Stations/play" + std::to_string(n) + ".txt",
              url + "\r\nTitle " + std::to_string(n) + "\r\n");
    dir.Write("Stations/" + std::to_string(n) + logo_ext, "x");
  }
};

TEST_F(AddStationFolderTest, FilesGiveTheirAddresses) {
  dir.Write(
      "in/Мой эфир.url",
      "[DEFAULT]\r\nBASEURL=http://wrong.example/\r\n[InternetShortcut]\r\nURL=http://short.example/live\r\n");
  dir.Write("in/list.PLS", "[playlist]\nFile1=http://a.example/\nTitle1=A\n");
  dir.Write("in/hls.m3u8",
            "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\nhttp://h.example/seg1.ts\n");
  dir.Write("in/song.mp3", std::string("\xFF\xFB\x90\x00", 4) + std::string(400, '\0'));
  dir.Write("in/empty.m3u", "#EXTM3U\n#EXTINF:-1,Nothing\n/local/file.mp3\n");
  dir.Write("in/bad.url", "[InternetShortcut]\r\nURL=file:///C:/x\r\n");
  catalogue::Candidates c;
  for (const char* f :
       {"Мой эфир.url", "list.PLS", "hls.m3u8", "song.mp3", "empty.m3u", "bad.url", "missing.pls"})
    catalogue::AddCandidatesFromFile(dir.path() / "in" / base::PathFromAnsi(base::Utf8ToCp1251(f)),
                                     c);
  ASSERT_EQ(c.items.size(), 2u);
  EXPECT_EQ(c.items[0].url, "http://short.example/live");
  EXPECT_EQ(c.items[0].title, "Мой эфир");
  EXPECT_EQ(c.items[1].url, "http://a.example/");
  std::vector<std::string> rejected;
  for (const catalogue::Rejected& r : c.rejected) rejected.push_back(base::Cp1251ToUtf8(r.what));
  EXPECT_EQ(rejected, (std::vector<std::string>{"hls.m3u8", "song.mp3", "empty.m3u", "bad.url",
                                                "missing.pls"}));
  for (const catalogue::Rejected& r : c.rejected) EXPECT_FALSE(r.reason.empty()) << r.what;
}

TEST_F(AddStationFolderTest, NumberIsOneAboveTheHighest) {
  EXPECT_EQ(catalogue::NextStationNumber(), 1);  // no folder
  Station(1, "http://a/");
  Station(2, "http://b/");
  Station(5, "http://e/", ".jpg");  // a gap: 3 and 4 are missing
  EXPECT_EQ(catalogue::NextStationNumber(), 6);
  dir.Write("Stations/007.png", "x");  // a logo alone still holds its number
  dir.Write("Stations/play12.txt", "http://l/\r\n");
  EXPECT_EQ(catalogue::NextStationNumber(), 13);
}

TEST_F(AddStationFolderTest, FindsAStationByItsAddress) {
  Station(3, "http://radio.example/live");
  Station(7, "http://other.example/");
  Station(9, "HTTP://Radio.Example:80/live");
  dir.Write("Stations/Play4.txt", "http://radio.example/live\r\n");  // not a station file name
  EXPECT_EQ(catalogue::FindStationByAddress("http://radio.example/live"), 3);
  EXPECT_EQ(catalogue::FindStationByAddress("http://other.example"), 7);
  EXPECT_EQ(catalogue::FindStationByAddress("http://radio.example/other"), 0);
}

TEST_F(AddStationFolderTest, WritesTheStationWhole) {
  const std::string name = base::Utf8ToCp1251("Радио Тест");
  catalogue::WriteNewStation(4, "http://r.example/s", name, {0x89, 'P', 'N', 'G'});
  EXPECT_EQ(dir.Read("Stations/play4.txt"), "http://r.example/s\r\n" + name + "\r\n");
  EXPECT_EQ(dir.Read("Stations/4.png"), "\x89PNG");
  catalogue::WriteNewStation(5, "http://r.example/t", name, {});
  EXPECT_TRUE(base::FileExists(dir.Stations() / "5.txt"));
  EXPECT_EQ(dir.Read("Stations/5.txt"), "");
  catalogue::StationFile f = catalogue::ReadStationFile(4);
  EXPECT_EQ(f.engine, "0");  // no engine line: the audio library
  // Nothing is left beside the exe either.
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename(), "Stations") << e.path();
}

TEST_F(AddStationFolderTest, AFailedWriteLeavesNothing) {
  std::filesystem::create_directories(dir.Stations() / "6.png");  // the logo cannot take its place
  EXPECT_THROW(catalogue::WriteNewStation(6, "http://r.example/s", "Name", {1, 2, 3}), base::Error);
  EXPECT_FALSE(base::FileExists(dir.Stations() / "play6.txt"));
  EXPECT_FALSE(base::FileExists(dir.path() / "station2.logo"));
}

// Keys and drops reach the form, but not from an edit field.
TEST(AddStationToolkitTest, KeysAndDropsReachTheForm) {
  FreshApplication();
  struct F : tk::Form {
    F() : tk::Form("F", "F"), edit(this, "e", {0, 0, 50, 20}), button(this, "b", {0, 30, 50, 20}) {}
    tk::Edit edit;
    tk::Button button;
  };
  F f;
  std::vector<int> keys;
  std::vector<tk::DropData> drops;
  f.OnKeyDown = [&](int vk, uint8_t shift) { keys.push_back(vk * 10 + shift); };
  f.OnDrop = [&](const tk::DropData& d) { drops.push_back(d); };
  f.GetHandle();
  tk::headless::KeyDown(f.button, 'V', tk::kCtrlKey);
  tk::headless::KeyDown(f.edit, 'V', tk::kCtrlKey);
  tk::headless::FormKeyDown(f, 'X');
  EXPECT_EQ(keys, (std::vector<int>{'V' * 10 + tk::kCtrlKey, 'X' * 10}));
  EXPECT_FALSE(tk::headless::Drop(f, {{}, "http://a/"}));  // not registered yet
  f.AcceptDrops();
  EXPECT_TRUE(tk::headless::Drop(f, {{"a.pls"}, ""}));
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(drops[0].files.size(), 1u);
  // The clipboard's text, Unicode first, then ANSI; reading writes nothing.
  tk::headless::PutOnClipboard(tk::kCfText, base::Utf8ToCp1251("Привет") + '\0');
  EXPECT_EQ(tk::TheClipboard().AsText(), "Привет");
  std::u16string w = u"Ёлка http://x/";
  tk::headless::PutOnClipboard(
      tk::kCfUnicodeText,
      std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2) + std::string(2, '\0'));
  tk::headless::ClearClipboardLog();
  EXPECT_EQ(tk::TheClipboard().AsText(), "Ёлка http://x/");
  EXPECT_EQ(tk::headless::ClipboardLog(), (std::vector<std::string>{"open", "close"}));
}

}  // namespace
