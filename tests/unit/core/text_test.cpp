#include <gtest/gtest.h>

#include "app/marker_text.h"
#include "app/player_state.h"
#include "base/codepage.h"
#include "base/errors.h"
#include "base/intconv.h"
#include "base/textfile.h"
#include "test_util.h"

using app::ReplaceAll;
using app::TextBetween;

TEST(MarkerText, TextBetweenTakesFirstStartAndNextEnd) {
  EXPECT_EQ(TextBetween("[", "]", "a[b]c[d]"), "b");
  EXPECT_EQ(TextBetween("[", "]", "a[bc"), "");
  EXPECT_EQ(TextBetween(": ", "/с", "Abc: 128 K/с"), "128 K");
  EXPECT_EQ(TextBetween(": ", "/с", "Abc: 1/с, 2/с"), "1");
  EXPECT_EQ(TextBetween("[", "]", "a[]b"), "");
  // The end marker is searched only after the start marker.
  EXPECT_EQ(TextBetween("<", ">", "x>y<z>"), "z");
}

TEST(MarkerText, TextBetweenWithoutStartMarkerIsEmpty) {
  EXPECT_EQ(TextBetween("StreamTitle=", ";", "abc;def"), "");
  EXPECT_EQ(TextBetween("[", "]", ""), "");
}

TEST(MarkerText, ReplaceAllIsLeftToRightWithoutRescanning) {
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("aa", "a", "aa"), "aaaa");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("12.jpg", ".jpg", ""), "12");
  EXPECT_EQ(ReplaceAll("x.jpg.jpg", ".jpg", ""), "x");
  EXPECT_EQ(ReplaceAll("", "a", "b"), "");
}

TEST(IntConversion, AcceptsDecimalAndHexForms) {
  EXPECT_EQ(base::StrToInt("25"), 25);
  EXPECT_EQ(base::StrToInt("  -1"), -1);
  EXPECT_EQ(base::StrToInt("+7"), 7);
  EXPECT_EQ(base::StrToInt("007"), 7);
  EXPECT_EQ(base::StrToInt("$1F"), 31);
  EXPECT_EQ(base::StrToInt("x10"), 16);
  EXPECT_EQ(base::StrToInt("0X10"), 16);
  EXPECT_EQ(base::StrToInt("-$10"), -16);
  EXPECT_EQ(base::StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(base::StrToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(base::StrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(base::StrToInt("0x80000000"), INT32_MIN);
}

TEST(IntConversion, RejectsEverythingElseWithTheRuntimeText) {
  for (const char* bad : {"", " ", "-", "$", "0x", "1 ", "1a", "2147483648", "-2147483649",
                          "$100000000", "\t1", "1.0", "desktop", "++1"}) {
    EXPECT_FALSE(base::TryStrToInt(bad).has_value()) << bad;
  }
  try {
    base::StrToInt("desktop");
    FAIL();
  } catch (const base::Error& e) {
    EXPECT_STREQ(e.what(), "'desktop' is not a valid integer value");
  }
  try {
    base::StrToInt("");
    FAIL();
  } catch (const base::Error& e) {
    EXPECT_STREQ(e.what(), "'' is not a valid integer value");
  }
  // The offending text is shown as the user wrote it, Cyrillic included.
  try {
    base::StrToInt("\xEF\xF2\xE8\xF6\xE0");  // "птица" in Windows-1251
    FAIL();
  } catch (const base::Error& e) {
    EXPECT_STREQ(e.what(), "'птица' is not a valid integer value");
  }
  EXPECT_EQ(base::IntToStr(-1), "-1");
  EXPECT_EQ(base::IntToStr(0), "0");
}

TEST(Codepage, Windows1251RoundTripsThroughUtf8AndUtf16) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    if (b != 0x98) all += static_cast<char>(b);
  std::string utf8 = base::Cp1251ToUtf8(all);
  EXPECT_EQ(base::Utf8ToCp1251(utf8), all);
  EXPECT_EQ(base::Utf16ToUtf8(base::Utf8ToUtf16(utf8)), utf8);
  EXPECT_EQ(base::Cp1251ToUtf8("\xD2\xE8\xE2\xEE\xEB\xED\xE0"), "Тиволна");
  EXPECT_EQ(base::Cp1251ToUtf8("\xA8\xB8\xB9"), "Ёё№");
  EXPECT_EQ(base::Utf8ToCp1251("日本"), "??");
  // Malformed UTF-8 never reads past the end.
  EXPECT_EQ(base::Utf8ToCp1251(std::string("\xD0", 1)), "?");
  EXPECT_EQ(base::Utf16ToUtf8(u"\xD800"), "\xEF\xBF\xBD");
}

TEST(TextFiles, LineEndsCtrlZAndReadingPastTheEnd) {
  base::TextReader r(std::string("one\r\ntwo\nth\rree\r\n\r\nfive\x1Asix\n", 26));
  EXPECT_EQ(r.ReadLine(), "one");
  EXPECT_EQ(r.ReadLine(), "two");
  EXPECT_EQ(r.ReadLine(), "three");
  EXPECT_EQ(r.ReadLine(), "");
  EXPECT_EQ(r.ReadLine(), "five");
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(r.ReadLine(), "");
  EXPECT_EQ(r.ReadLine(), "");
}

TEST(TextFiles, WritesCrLfAndReportsRuntimeErrors) {
  TempExeFolder dir;
  auto file = dir.path() / "config.txt";
  base::WriteTextLines(file, {"check_updates", "1"});
  EXPECT_EQ(dir.Read("config.txt"), "check_updates\r\n1\r\n");
  base::WriteTextLines(file, {"x"});
  EXPECT_EQ(dir.Read("config.txt"), "x\r\n");
  base::AppendTextLines(file, {"7"});
  EXPECT_EQ(dir.Read("config.txt"), "x\r\n7\r\n");
  try {
    base::OpenTextFile(dir.path() / "missing.txt");
    FAIL();
  } catch (const base::Error& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
  std::filesystem::create_directories(dir.path() / "folder.txt");
  EXPECT_THROW(base::WriteTextLines(dir.path() / "folder.txt", {"a"}), base::Error);
  try {
    base::OpenTextFile(dir.path() / "folder.txt");
    FAIL();
  } catch (const base::Error& e) {
    EXPECT_STREQ(e.what(), "File access denied");
  }
}

TEST(PlayerStateTables, StayInsidePositionsOneToThousand) {
  app::Table1000<std::string> t;
  EXPECT_TRUE(t.Set(1, ".jpg"));
  EXPECT_TRUE(t.Set(1000, ".png"));
  EXPECT_FALSE(t.Set(0, ".gif"));
  EXPECT_FALSE(t.Set(1001, ".gif"));
  EXPECT_FALSE(t.Set(-5, ".gif"));
  EXPECT_EQ(t.Get(1), ".jpg");
  EXPECT_EQ(t.Get(1000), ".png");
  EXPECT_EQ(t.Get(0), "");
  EXPECT_EQ(t.Get(1001), "");
  EXPECT_EQ(t.Get(INT32_MIN), "");
  app::Table1000<int32_t> n;
  EXPECT_EQ(n.Get(500), 0);
}
