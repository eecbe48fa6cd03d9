// The logo grids, the selection and the favourites, on the headless platform.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/player_state.h"
#include "audio/test_hooks.h"
#include "audio/bass.h"
#include "base/codepage.h"
#include "base/errors.h"
#include "catalogue/favourites.h"
#include "click.h"
#include "fresh_application.h"
#include "test_util.h"
#include "toolkit/headless/headless.h"
#include "tools/artwork/image_files.h"
#include "ui/artwork.h"
#include "ui/forms.h"
#include "ui/main/form1.h"

namespace {

using tk::headless::MessageBoxes;

// A stand-in for the media player control, which cannot exist here.
class SilentPlayer : public playback::MediaPlayer {
 public:
  void SetUrl(const std::string& u) override { url = u; }
  void Play() override {}
  void Stop() override { ++stops; }
  void SetVolume(int) override {}
  int Volume() override { return 50; }
  int PlayState() override { return 1; }
  std::string Status() override { return ""; }
  const char* Engine() const override { return "silent"; }
  std::string url;
  int stops = 0;
};

// A solid 40 x 40 logo whose colour tells the station apart.
tk::Colour ColourOf(int n) {
  return tk::Rgb(20 + n * 9 % 200, 200 - n * 7 % 180, 60 + n * 13 % 190);
}

struct GridTest : ::testing::Test {
  TempExeFolder dir;
  ui::TForm1* form = nullptr;

  void SetUp() override {
    dir.CopyPictures();
    std::filesystem::create_directories(dir.Stations());
    dir.Write("config.txt", QuietConfig());
  }
  void Start() {
    tk::Application& app = FreshApplication();
    app::State().CurrentEngine = "x";  // stations below start no engine unless they say so
    form = app.CreateForm<ui::TForm1>();
    player = new SilentPlayer();
    form->WindowsMediaPlayer1.reset(player);
  }
  void TearDown() override {
    tk::Application::Get().DestroyAllForms();
    BASS_Free();
  }
  // Station n with a logo of its colour; engine line "2" so that no engine starts.
  void AddStation(int n, const std::string& ext = ".png", bool with_file = true) {
    if (with_file)
      dir.Write("Stations/play" + std::to_string(n) + ".txt",
                base::Utf8ToCp1251("http://127.0.0.1:9/" + std::to_string(n) + "\r\nСтанция " +
                                   std::to_string(n) + "\r\n2\r\n"));
    if (ext == ".png")
      dir.Write("Stations/" + std::to_string(n) + ext,
                artwork_files::EncodePng(tk::Bitmap(40, 40, ColourOf(n))));
    else if (!ext.empty())
      dir.Write("Stations/" + std::to_string(n) + ext, "");
  }
  // The colour in the middle of a tile.
  tk::Colour TileColour(tk::PictureGrid& g, int col, int row) {
    const tk::Bitmap* t = g.Tile(col, row);
    return t ? t->At(t->width / 2, t->height / 2) : 0;
  }
  SilentPlayer* player = nullptr;
};

TEST_F(GridTest, RowsFollowTheTileCount) {
  const struct {
    int stations, rows, last_row_tiles;
  } cases[] = {{0, 1, 0}, {5, 2, 0}, {7, 2, 2}, {10, 3, 0}};
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir.Stations());
    std::filesystem::create_directories(dir.Stations());
    for (int n = 1; n <= c.stations; ++n) AddStation(n);
    Start();
    EXPECT_EQ(form->NextGrid1.RowCount(), c.rows) << c.stations;
    int tiles = 0;
    for (int col = 0; col < 5; ++col) tiles += form->NextGrid1.HasPicture(col, c.rows - 1);
    EXPECT_EQ(tiles, c.last_row_tiles) << c.stations;
    EXPECT_EQ(form->NextGrid2.RowCount(), 0) << "no favs.txt: the favourites grid stays empty";
  }
  // Each tile shows its own station's logo.
  for (int n = 1; n <= 10; ++n)
    EXPECT_EQ(TileColour(form->NextGrid1, (n - 1) % 5, (n - 1) / 5), ColourOf(n)) << n;
  // Scroll bar only while the rows do not fit; the start-up colour.
  EXPECT_TRUE(form->NextGrid1.ScrollBarShown());
  EXPECT_EQ(form->NextGrid1.CellColour(), tk::FromBgr(16448251));
  EXPECT_TRUE(form->NextGrid1.Visible());
  EXPECT_FALSE(form->NextGrid2.Visible());
}

TEST_F(GridTest, PressStartsTheStationOfTheTileEvenAfterOneWithoutLogo) {
  AddStation(1);
  AddStation(2, ".txt");  // no picture logo: no tile, the next one moves up
  AddStation(3);
  AddStation(4);
  Start();
  EXPECT_EQ(form->NextGrid1.Tag(1, 0), 3);
  EXPECT_EQ(TileColour(form->NextGrid1, 1, 0), ColourOf(3));
  tk::headless::Click(*form, 10 + 96 + 40, 77 + 40);  // the second tile
  EXPECT_EQ(app::State().CurrentStation, 3) << "the station whose logo is on the tile";
  EXPECT_EQ(form->RxLabel6.Caption(), "Станция 3");
  EXPECT_TRUE(form->sBitBtn2.Enabled());
  EXPECT_TRUE(form->sBitBtn3.Enabled());
  EXPECT_EQ(tk::headless::Tray(form->RxTrayIcon1).hint, "Станция 3");
  EXPECT_EQ(form->Image3.Hint(), "Добавить в избранное");
  // An empty cell starts nothing, but the tray hint still follows the title.
  tk::headless::Click(*form, 10 + 4 * 96 + 40, 77 + 40);
  EXPECT_EQ(app::State().CurrentStation, 3);
  EXPECT_EQ(player->stops, 2) << "one start: the selection and the start each stop both engines";
  // Below the last row: no selection at all.
  form->RxLabel7.SetFontStyle(tk::kUnderline);
  tk::headless::Click(*form, 10 + 40, 77 + 95 + 40);
  EXPECT_EQ(form->RxLabel7.FontStyle(), tk::kUnderline);
}

TEST_F(GridTest, PressesThatSelectNothing) {
  AddStation(1);
  AddStation(2);
  Start();
  form->RxLabel7.SetFontStyle(tk::kBold | tk::kUnderline);
  // The middle button, and the second press of a double click.
  tk::headless::Click(*form, 50, 110, tk::MouseButton::kMiddle);
  EXPECT_EQ(app::State().CurrentStation, -1) << "as the settings file left it";
  EXPECT_EQ(form->RxLabel7.FontStyle(), tk::kBold | tk::kUnderline);
  tk::headless::DoubleClick(*form, 50, 110);
  EXPECT_EQ(player->stops, 2) << "only the first press of the double click starts";
  // The right button selects; the underline goes, other style bits stay.
  tk::headless::Click(*form, 150, 110, tk::MouseButton::kRight);
  EXPECT_EQ(app::State().CurrentStation, 2);
  EXPECT_EQ(form->RxLabel7.FontStyle(), tk::kBold);
  // Locked while a stream connects: nothing at all happens.
  form->LockPlaybackControls();
  form->RxLabel7.SetFontStyle(tk::kUnderline);
  tk::headless::Click(*form, 50, 110);
  EXPECT_EQ(app::State().CurrentStation, 2);
  EXPECT_EQ(form->RxLabel7.FontStyle(), tk::kUnderline);
  form->UnlockPlaybackControls();
  tk::headless::Click(*form, 50, 110);
  EXPECT_EQ(app::State().CurrentStation, 1);
  // A tile whose station file has gone starts nothing.
  std::filesystem::remove(dir.Stations() / "play2.txt");
  tk::headless::Click(*form, 150, 110);
  EXPECT_EQ(app::State().CurrentStation, 1);
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(GridTest, BadLogoGetsAPlaceholderAndOneErrorBox) {
  for (int n = 1; n <= 6; ++n) AddStation(n);
  dir.Write("Stations/2.png", "broken");
  std::filesystem::remove(dir.Stations() / "4.png");
  dir.Write("Stations/4.jpg", "also broken");
  Start();
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].text, "PNG image is not valid (Stations\\2.png)");
  tk::Bitmap placeholder = ui::art::PlaceholderLogo(88, 82);
  EXPECT_TRUE(form->NextGrid1.Tile(1, 0)->pixels == placeholder.pixels);
  EXPECT_TRUE(form->NextGrid1.Tile(3, 0)->pixels == placeholder.pixels);
  for (int n : {1, 3, 5, 6})
    EXPECT_EQ(TileColour(form->NextGrid1, (n - 1) % 5, (n - 1) / 5), ColourOf(n)) << n;
  tk::headless::Click(*form, 10 + 96 + 40, 77 + 40);
  EXPECT_EQ(app::State().CurrentStation, 2) << "the placeholder tile still starts its station";
}

TEST_F(GridTest, FavouritesFileOperations) {
  namespace fs = std::filesystem;
  Start();
  EXPECT_FALSE(catalogue::FavouritesContain(7));
  catalogue::AddFavourite(7);
  catalogue::AddFavourite(12);
  EXPECT_EQ(dir.Read("favs.txt"), "7\r\n12\r\n");
  dir.Write("favs.txt", "5\r\n9\r\n05");  // no line end after the last line
  catalogue::AddFavourite(3);
  EXPECT_EQ(dir.Read("favs.txt"), "5\r\n9\r\n05\r\n3\r\n");
  EXPECT_TRUE(catalogue::FavouritesContain(5));
  catalogue::RemoveFavourite(7);  // not there: the lines stay as they were written
  EXPECT_EQ(dir.Read("favs.txt"), "5\r\n9\r\n05\r\n3\r\n");
  catalogue::RemoveFavourite(5);
  EXPECT_EQ(dir.Read("favs.txt"), "9\r\n3\r\n");
  EXPECT_FALSE(fs::exists(dir.path() / "favs2.txt"));
  catalogue::RemoveFavourite(9);
  catalogue::RemoveFavourite(3);
  EXPECT_EQ(dir.Read("favs.txt"), "") << "the last removal leaves an empty file";
  EXPECT_FALSE(catalogue::FavouritesContain(3));
  // A bad line: the error, favs.txt unchanged, favs2.txt holds what came before it.
  dir.Write("favs.txt", "4\r\nx\r\n6\r\n");
  try {
    catalogue::RemoveFavourite(6);
    ADD_FAILURE();
  } catch (const base::Error& e) {
    EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
  }
  EXPECT_EQ(dir.Read("favs.txt"), "4\r\nx\r\n6\r\n");
  EXPECT_EQ(dir.Read("favs2.txt"), "4\r\n");
  dir.Write("favs.txt", "4\r\n\r\n");
  EXPECT_THROW(catalogue::FavouritesContain(4), base::Error)
      << "an extra line end is an empty line";
  fs::remove(dir.path() / "favs.txt");
  try {
    catalogue::RemoveFavourite(4);
    ADD_FAILURE();
  } catch (const base::Error& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
}

TEST_F(GridTest, FavouritesViewAndTheToggle) {
  for (int n = 1; n <= 4; ++n) AddStation(n);
  dir.Write("favs.txt", "3\r\n1\r\n3\r\n");
  Start();
  ASSERT_EQ(form->NextGrid2.RowCount(), 1);
  EXPECT_EQ(app::State().FavouriteCount, 3);
  EXPECT_EQ(TileColour(form->NextGrid2, 0, 0), ColourOf(3));
  EXPECT_EQ(TileColour(form->NextGrid2, 2, 0), ColourOf(3)) << "listed twice, shown twice";
  EXPECT_TRUE(form->NextGrid2.ScrollBarShown()) << "always shown on the favourites grid";
  // The favourites view; a press there starts the favourite, with the Latin-e hint.
  tk::headless::ClickOn(form->RxLabel3);  // "ИЗБРАННОЕ"
  EXPECT_TRUE(form->NextGrid2.Visible());
  EXPECT_EQ(app::State().FavouritesViewActive, 1);
  tk::headless::Click(*form, 10 + 93 + 40, 77 + 40);
  EXPECT_EQ(app::State().CurrentStation, 1);
  EXPECT_EQ(app::State().IsFavourite, 1);
  EXPECT_EQ(form->Image3.Hint(), "Убрать из избранного");
  // Removing in the favourites view refills it at once.
  tk::headless::ClickOn(form->Image3);
  EXPECT_EQ(dir.Read("favs.txt"), "3\r\n3\r\n");
  EXPECT_EQ(form->Image3.Hint(), "Добавить в избранного");
  EXPECT_EQ(app::State().IsFavourite, 0);
  EXPECT_EQ(form->NextGrid2.Tag(1, 0), 2);
  EXPECT_FALSE(form->NextGrid2.HasPicture(2, 0));
  // Adding: the file grows, the grid waits for the next opening of the view.
  tk::headless::ClickOn(form->Image3);
  EXPECT_EQ(dir.Read("favs.txt"), "3\r\n3\r\n1\r\n");
  EXPECT_FALSE(form->NextGrid2.HasPicture(2, 0));
  EXPECT_EQ(form->Image3.Hint(), "Убрать из избранного");
  EXPECT_TRUE(form->Image3.Picture().pixels == ui::art::FavouriteMark(true).pixels);
  // Back to all stations; a station not in the list gets the all-Cyrillic hint.
  tk::headless::ClickOn(form->RxLabel2);  // "РАДИОСТАНЦИИ"
  EXPECT_FALSE(form->NextGrid2.Visible());
  EXPECT_EQ(app::State().FavouritesViewActive, 0);
  tk::headless::Click(*form, 10 + 3 * 96 + 40, 77 + 40);
  EXPECT_EQ(form->Image3.Hint(), "Добавить в избранное");
  EXPECT_TRUE(form->Image3.Picture().pixels == ui::art::FavouriteMark(false).pixels);
  // With no station chosen the toggle does nothing.
  app::State().CurrentStation = -1;
  tk::headless::ClickOn(form->Image3);
  EXPECT_EQ(dir.Read("favs.txt"), "3\r\n3\r\n1\r\n");
}

TEST_F(GridTest, FavouriteWhoseStationFileHasGone) {
  AddStation(1);
  AddStation(2);
  dir.Write("favs.txt", "2\r\n");
  Start();
  std::filesystem::remove(dir.Stations() / "play2.txt");
  form->RxLabel3Click();
  tk::Application::Get().Dispatch([&] { form->NextGrid2SelectCell(0, 0); });
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0].text, "File not found");
  EXPECT_EQ(player->stops, 1) << "the engines were stopped before the start failed";
  EXPECT_EQ(app::State().CurrentStation, -1);
  EXPECT_FALSE(form->sBitBtn2.Enabled());
}

TEST_F(GridTest, GridScrollsSmoothlyWithTheWheel) {
  for (int n = 1; n <= 30; ++n) AddStation(n);
  Start();
  tk::PictureGrid& g = form->NextGrid1;
  EXPECT_EQ(g.MaxScroll(), 7 * 90 - 268);
  tk::headless::Wheel(*form, 100, 150, -1);  // one notch down
  EXPECT_EQ(g.ScrollOffset(), 0) << "the glide starts on the next tick";
  int last = 0, steps = 0;
  for (int i = 0; i < 20; ++i) {
    tk::headless::AdvanceTime(tk::PictureGrid::kScrollTickMs);
    if (g.ScrollOffset() != last) ++steps;
    EXPECT_GE(g.ScrollOffset(), last);
    last = g.ScrollOffset();
  }
  EXPECT_EQ(last, tk::PictureGrid::kWheelStep);
  EXPECT_GT(steps, 2) << "in several small steps";
  // After scrolling, a press maps to the row under the pointer.
  g.ScrollTo(90);
  tk::headless::Click(*form, 10 + 40, 77 + 40);
  EXPECT_EQ(app::State().CurrentStation, 6);
  for (int i = 0; i < 50; ++i) tk::headless::Wheel(*form, 100, 150, -1);
  tk::headless::AdvanceTime(2000);
  EXPECT_EQ(g.ScrollOffset(), g.MaxScroll());
}

}  // namespace
