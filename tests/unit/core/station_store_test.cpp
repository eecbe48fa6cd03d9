#include <gtest/gtest.h>

#include "base/errors.h"
#include "catalogue/station_store.h"
#include "test_util.h"

namespace {

struct ScanTest : ::testing::Test {
  TempExeFolder dir;
  app::PlayerState state;
  void Files(std::initializer_list<const char*> names) {
    for (const char* n : names) dir.Write(std::filesystem::path("Stations") / n, "");
  }
};

TEST_F(ScanTest, CountsPairsAndRecordsExtensions) {
  Files({"play1.txt", "1.jpg", "play2.txt", "2.gif", "play3.txt", "3.png"});
  catalogue::ScanStationFolder(state);
  EXPECT_EQ(state.StationCount, 4);
  EXPECT_EQ(state.LogoExtensions.Get(1), ".jpg");
  EXPECT_EQ(state.LogoExtensions.Get(2), ".gif");
  EXPECT_EQ(state.LogoExtensions.Get(3), ".png");
  EXPECT_EQ(state.LogoExtensions.Get(4), "");
}

TEST_F(ScanTest, CountsEntriesNotStations) {
  Files({"play1.txt", "play2.txt", "play3.txt"});
  catalogue::ScanStationFolder(state);
  EXPECT_EQ(state.StationCount, 3);
  EXPECT_EQ(state.LogoExtensions.Get(1), "");

  TempExeFolder other;
  app::PlayerState s2;
  for (int i = 1; i <= 5; ++i) other.Write("Stations/play" + std::to_string(i) + ".txt", "");
  for (int i = 1; i <= 4; ++i) other.Write("Stations/" + std::to_string(i) + ".jpg", "");
  catalogue::ScanStationFolder(s2);
  EXPECT_EQ(s2.StationCount, 6);  // nine entries
  std::filesystem::remove(other.Stations() / "4.jpg");
  catalogue::ScanStationFolder(s2);
  EXPECT_EQ(s2.StationCount, 5);  // eight entries: the last station drops out
}

TEST_F(ScanTest, ExtensionForms) {
  Files({"4.txt", "6.JPG", "007.png", "5", "photo.jpg", "play9.txt"});
  catalogue::ScanStationFolder(state);
  EXPECT_EQ(state.LogoExtensions.Get(4), ".txt");
  EXPECT_EQ(state.LogoExtensions.Get(6), ".JPG");
  EXPECT_EQ(state.LogoExtensions.Get(7), ".png");
  EXPECT_EQ(state.LogoExtensions.Get(5), "");
  EXPECT_EQ(state.StationCount, 4);  // (1 + 6) div 2 + 1; photo.jpg counts as a station file
}

TEST_F(ScanTest, EmptyOrMissingFolderGivesOne) {
  catalogue::ScanStationFolder(state);
  EXPECT_EQ(state.StationCount, 1);
  std::filesystem::create_directories(dir.Stations());
  state.StationCount = 9;
  catalogue::ScanStationFolder(state);
  EXPECT_EQ(state.StationCount, 1);
}

TEST_F(ScanTest, BadStemStopsTheScanAndKeepsTheOldCount) {
  Files({"desktop.ini"});
  state.StationCount = 42;
  try {
    catalogue::ScanStationFolder(state);
    FAIL();
  } catch (const base::Error& e) {
    EXPECT_STREQ(e.what(), "'desktop' is not a valid integer value");
  }
  EXPECT_EQ(state.StationCount, 42);
  // A capital P is not a station file.
  std::filesystem::remove(dir.Stations() / "desktop.ini");
  Files({"Play3.txt"});
  EXPECT_THROW(catalogue::ScanStationFolder(state), base::Error);
}

TEST_F(ScanTest, NumbersOutsideTheTableAreCountedButNotStored) {
  Files({"0.jpg", "1001.jpg", "-3.png", "99999999999.gif", "1000.png"});
  // 99999999999 does not fit an integer: the conversion fails on it wherever it stands.
  EXPECT_THROW(catalogue::ScanStationFolder(state), base::Error);
  std::filesystem::remove(dir.Stations() / "99999999999.gif");
  catalogue::ScanStationFolder(state);
  EXPECT_EQ(state.StationCount, 3);
  EXPECT_EQ(state.LogoExtensions.Get(1000), ".png");
  EXPECT_EQ(state.LogoExtensions.Get(1), "");
}

TEST_F(ScanTest, ExtensionsAreNeverCleared) {
  Files({"play2.txt", "2.gif"});
  catalogue::ScanStationFolder(state);
  std::filesystem::remove(dir.Stations() / "2.gif");
  catalogue::ScanStationFolder(state);
  EXPECT_EQ(state.LogoExtensions.Get(2), ".gif");
}

TEST_F(ScanTest, ClearAndThumbsCache) {
  Files({"play1.txt", "1.jpg", "thumbs.db"});
  std::filesystem::create_directories(dir.Stations() / "sub");
  catalogue::RemoveThumbsDb();
  EXPECT_FALSE(std::filesystem::exists(dir.Stations() / "thumbs.db"));
  EXPECT_TRUE(std::filesystem::exists(dir.Stations() / "1.jpg"));
  catalogue::RemoveThumbsDb();  // nothing to remove is no error
  catalogue::ClearStationFolder();
  EXPECT_FALSE(std::filesystem::exists(dir.Stations() / "1.jpg"));
  EXPECT_FALSE(std::filesystem::exists(dir.Stations() / "play1.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir.Stations() / "sub"));  // not a file: left alone
}

TEST_F(ScanTest, StationFileLines) {
  dir.Write("Stations/play1.txt", "http://a/radio\r\n\xD0\xE0\xE4\xE8\xEE\r\n1\r\n");
  dir.Write("Stations/play2.txt", "http://b\r\nTitle\r\n");
  dir.Write("Stations/play3.txt", "http://c\r\nTitle\r\n\r\n");
  dir.Write("Stations/play4.txt", "http://d\n");
  dir.Write("Stations/play5.txt", "");
  dir.Write("Stations/play6.txt", "u\r\nt\r\n1 \r\nextra\r\n");
  auto f1 = catalogue::ReadStationFile(1);
  EXPECT_EQ(f1.url, "http://a/radio");
  EXPECT_EQ(f1.title, "\xD0\xE0\xE4\xE8\xEE");
  EXPECT_EQ(f1.engine, "1");
  EXPECT_EQ(catalogue::ReadStationFile(2).engine, "0");
  EXPECT_EQ(catalogue::ReadStationFile(3).engine, "");  // an empty third line selects no engine
  auto f4 = catalogue::ReadStationFile(4);
  EXPECT_EQ(f4.title, "");
  EXPECT_EQ(f4.engine, "0");
  auto f5 = catalogue::ReadStationFile(5);
  EXPECT_EQ(f5.url, "");
  EXPECT_EQ(f5.engine, "0");
  EXPECT_EQ(catalogue::ReadStationFile(6).engine, "1 ");
  try {
    catalogue::ReadStationFile(7);
    FAIL();
  } catch (const base::Error& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
}

TEST_F(ScanTest, StationFileWriterReplacesTheWholeFile) {
  dir.Write("Stations/play1.txt", "old\r\nold title\r\n0\r\nmore\r\n");
  std::string engine = "1";
  catalogue::WriteStationFile(1, "http://x", "New", &engine);
  EXPECT_EQ(dir.Read("Stations/play1.txt"), "http://x\r\nNew\r\n1\r\n");
  catalogue::WriteStationFile(1, "http://y", "Two", nullptr);
  EXPECT_EQ(dir.Read("Stations/play1.txt"), "http://y\r\nTwo\r\n");
}

}  // namespace
