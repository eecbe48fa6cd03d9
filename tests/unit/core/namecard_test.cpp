// Drawn station logos (name cards), the shipped catalogue built by the catalogue tool, and the
// station grid's note while it has no tile.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "base/codepage.h"
#include "fresh_application.h"
#include "imaging/namecard.h"
#include "imaging/picture.h"
#include "test_util.h"
#include "toolkit/canvas.h"
#include "tools/catalogue/drawn_logos.h"
#include "tools/catalogue/json_import.h"
#include "ui/main/form1.h"

namespace {

namespace fs = std::filesystem;

std::string Bytes(const std::vector<unsigned char>& v) { return std::string(v.begin(), v.end()); }

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The box of the white text pixels on a card.
struct Box {
  int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
  bool Empty() const { return right < 0; }
};
Box TextBox(const tk::Bitmap& b) {
  Box box;
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x) {
      tk::Colour c = b.At(x, y);
      if (tk::AlphaOf(c) == 255 && tk::RedOf(c) > 245 && tk::GreenOf(c) > 245 &&
          tk::BlueOf(c) > 245) {
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
      }
    }
  return box;
}

TEST(NameCardTest, NamesOfEveryKindAreDrawnInsideTheCard) {
  const struct {
    const char* name;
    const char* tag;
    int width, height;
  } cases[] = {
      {"DFM", "dance", 176, 164},
      {"Русское Радио", "", 176, 164},
      {"Радио 7: Настроение счастья", "", 176, 164},
      {"Radio Record Trancehouse", "electronic,house", 176, 164},
      {"Жаңа MIX", "pop", 176, 164},
      {"Дядя Ваня на даче (18+)", "", 88, 82},
      {"Оченьдлинноеназваниерадиостанциибезединогопробела", "", 176, 164},
      {"Много слов в названии этой станции не влезут в три строки никак вообще", "news", 176, 164},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<unsigned char> png = imaging::DrawNameCard(c.name, c.tag, c.width, c.height);
    ASSERT_FALSE(png.empty());
    EXPECT_EQ(Bytes(png), Bytes(imaging::DrawNameCard(c.name, c.tag, c.width, c.height)))
        << "deterministic";
    tk::Bitmap b = imaging::Decode(Bytes(png), imaging::Kind::kPng);
    ASSERT_EQ(b.width, c.width);
    ASSERT_EQ(b.height, c.height);
    // Transparent corners, an opaque middle.
    EXPECT_EQ(tk::AlphaOf(b.At(0, 0)), 0);
    EXPECT_EQ(tk::AlphaOf(b.At(c.width / 2, c.height / 2)), 255);
    // The name is there, well inside the card's edges, and centred.
    Box t = TextBox(b);
    ASSERT_FALSE(t.Empty());
    int margin = c.width / 30;
    EXPECT_GE(t.left, margin);
    EXPECT_LE(t.right, c.width - 1 - margin);
    EXPECT_GE(t.top, margin);
    EXPECT_LE(t.bottom, c.height - 1 - margin);
    EXPECT_NEAR((t.left + t.right) / 2.0, c.width / 2.0, c.width / 12.0);
    EXPECT_GT(t.right - t.left, c.width / 5) << "big enough to read";
  }
}

TEST(NameCardTest, TagAndNameChooseTheCard) {
  auto draw = [](const char* name, const char* tag) {
    return Bytes(imaging::DrawNameCard(name, tag, 176, 164));
  };
  auto corner = [](const std::string& png) {  // the plate's colour near its bottom left
    return imaging::Decode(png, imaging::Kind::kPng).At(20, 140);
  };
  EXPECT_NE(draw("Эхо", ""), draw("Эфир", "")) << "another name, another card";
  // The first known genre among the tags decides the family, whatever comes before it.
  EXPECT_EQ(corner(draw("Волна", "rock")), corner(draw("Волна", "music, Rock ,pop")));
  EXPECT_NE(corner(draw("Волна", "rock")), corner(draw("Волна", "jazz")));
  // Sizes the card cannot have.
  EXPECT_TRUE(imaging::DrawNameCard("x", "", 0, 82).empty());
  EXPECT_TRUE(imaging::DrawNameCard("x", "", 88, 100000).empty());
  // Broken UTF-8 and control characters still give a card.
  EXPECT_FALSE(imaging::DrawNameCard("\xD0\x20Радио\t\x01\xFF", "", 88, 82).empty());
}

// The shipped list built by the real tool, twice: every station gets a drawn PNG logo and
// the two folders are identical. The list has no logo address, so nothing is fetched.
TEST(ShippedCatalogueTest, ToolBuildsEveryStationWithADrawnLogo) {
  fs::path source = fs::path(TIVOLNA_SOURCE_DIR) / "catalogue" / "stations.json";
  catalogue_tool::JsonImport in = catalogue_tool::StationsFromJson(ReadFile(source), {});
  ASSERT_GE(in.stations.size(), 170u);
  ASSERT_LE(in.stations.size(), 180u);
  for (const auto& s : in.stations) {
    EXPECT_TRUE(s.logo_url.empty()) << base::Cp1251ToUtf8(s.title);
    EXPECT_EQ(s.url.compare(0, 8, "https://"), 0) << s.url;
    EXPECT_EQ(s.url.find("&amp;"), std::string::npos) << s.url;
  }

  TempExeFolder dir;
  std::map<std::string, std::string> built[2];
  for (int run = 0; run < 2; ++run) {
    fs::path out = dir.path() / ("Stations" + std::to_string(run));
    std::string cmd = std::string(TIVOLNA_TOOL_RUNNER) + " \"" + TIVOLNA_CATALOGUE_TOOL +
                      "\" json \"" + source.string() + "\" \"" + out.string() + "\" > \"" +
                      (dir.path() / "report.txt").string() + "\"";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << ReadFile(dir.path() / "report.txt");
    for (const auto& e : fs::directory_iterator(out))
      built[run][e.path().filename().string()] = ReadFile(e.path());
  }
  size_t n = in.stations.size();
  EXPECT_NE(ReadFile(dir.path() / "report.txt").find("drawn logos: " + std::to_string(n)),
            std::string::npos);
  ASSERT_EQ(built[0].size(), 2 * n);
  EXPECT_TRUE(built[0] == built[1]) << "the same list gives the same bytes";
  for (size_t i = 1; i <= n; ++i) {
    std::string k = std::to_string(i);
    ASSERT_EQ(built[0].count("play" + k + ".txt"), 1u) << k;
    EXPECT_EQ(built[0]["play" + k + ".txt"],
              in.stations[i - 1].url + "\r\n" + in.stations[i - 1].title + "\r\n");
    ASSERT_EQ(built[0].count(k + ".png"), 1u) << k;
    tk::Bitmap logo = imaging::Decode(built[0][k + ".png"], imaging::Kind::kPng);
    EXPECT_EQ(logo.width, catalogue_tool::kDrawnLogoWidth);
    EXPECT_EQ(logo.height, catalogue_tool::kDrawnLogoHeight);
  }
}

// With no tile the station grid shows its note (icon and text); a tile hides it.
TEST(EmptyCatalogueTest, GridShowsTheNoteOnlyWithoutTiles) {
  TempExeFolder dir;
  dir.Write("config.txt", QuietConfig());
  dir.Write("Stations/play1.txt", "http://127.0.0.1:9/\r\nA\r\n");
  dir.Write("Stations/1.txt", "");
  auto paint = [](tk::PictureGrid& g) {
    tk::Bitmap b(g.Bounds().width, g.Bounds().height, 0);
    tk::Canvas c(tk::ViewOf(b), &tk::SharedText());
    g.Paint(c);
    return b;
  };
  auto blue_in_the_middle = [](const tk::Bitmap& b) {  // the note's icon; the tile is left of it
    int n = 0;
    for (int y = 0; y < b.height; ++y)
      for (int x = b.width / 2 - 20; x < b.width / 2 + 20; ++x)
        n += tk::BlueOf(b.At(x, y)) > tk::RedOf(b.At(x, y)) + 60;
    return n;
  };
  for (bool with_tile : {false, true}) {
    if (with_tile) {
      fs::remove(dir.Stations() / "1.txt");
      dir.Write("Stations/1.png", Bytes(imaging::DrawNameCard("A", "", 88, 82)));
    }
    tk::Application& app = FreshApplication();
    ui::TForm1* form = app.CreateForm<ui::TForm1>();
    EXPECT_EQ(form->NextGrid1.EmptyTextShown(), !with_tile);
    EXPECT_EQ(form->NextGrid1.EmptyText(), ui::kEmptyCatalogueText);
    EXPECT_FALSE(form->NextGrid2.EmptyTextShown()) << "the favourites grid has no note";
    tk::Bitmap b = paint(form->NextGrid1);
    if (with_tile)
      EXPECT_EQ(blue_in_the_middle(b), 0);
    else
      EXPECT_GT(blue_in_the_middle(b), 300);
    app.DestroyAllForms();
  }
}

}  // namespace
