// The artwork: window faces give the windows their shape, and the files that ship are what
// the code draws.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tools/artwork/shipped.h"
#include "ui/artwork.h"

namespace {

std::string ReadRepoFile(const std::string& rel) {
  std::ifstream in(std::string(TIVOLNA_SOURCE_DIR) + "/" + rel, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(ArtworkFiles, ShippedPicturesAreWhatTheCodeDraws) {
  for (const auto& [rel, want] : artwork_files::ShippedPictures()) {
    tk::Bitmap got;
    ASSERT_TRUE(artwork_files::DecodeOwnPng(ReadRepoFile(rel), &got))
        << rel << " is missing or unreadable";
    ASSERT_EQ(got.width, want.width) << rel;
    ASSERT_EQ(got.height, want.height) << rel;
    EXPECT_TRUE(got.pixels == want.pixels)
        << rel
        << " differs from the drawing code; run build/native/export_artwork . (tools/artwork)";
  }
  EXPECT_TRUE(ReadRepoFile(artwork_files::kIconPath) == artwork_files::ProductIconFile())
      << "the icon differs from the drawing code; run build/native/export_artwork .";
}

TEST(ArtworkFiles, PngRoundTrip) {
  tk::Bitmap b(3, 2);
  b.At(0, 0) = tk::Argb(0, 1, 2, 3);
  b.At(2, 1) = tk::Argb(200, 250, 128, 7);
  tk::Bitmap back;
  ASSERT_TRUE(artwork_files::DecodeOwnPng(artwork_files::EncodePng(b), &back));
  EXPECT_TRUE(back.pixels == b.pixels);
  EXPECT_FALSE(artwork_files::DecodeOwnPng("\x89PNG\r\n\x1a\n truncated", &back));
}

TEST(Artwork, PicturesHaveSoftEdgesAndTheirSizes) {
  const struct {
    tk::Bitmap bmp;
    int w, h;
  } cases[] = {{ui::art::FavouriteMark(true), 30, 31},
               {ui::art::FavouriteMark(false), 30, 31},
               {ui::art::Speaker(false), 18, 17},
               {ui::art::Speaker(true), 18, 17},
               {ui::art::CloseButton(false), 33, 31},
               {ui::art::TrayButton(true), 33, 31},
               {ui::art::EditIcon(), 16, 18},
               {ui::art::SettingsIcon(), 17, 17},
               {ui::art::SiteIcon(), 17, 18},
               {ui::art::ProductIcon(16), 16, 16},
               {ui::art::MenuIcon(ui::art::MenuPicture::kHelp), 16, 16}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.bmp.width, c.w);
    EXPECT_EQ(c.bmp.height, c.h);
    int clear = 0, solid = 0, partial = 0;
    for (tk::Colour px : c.bmp.pixels) {
      int a = tk::AlphaOf(px);
      (a == 0 ? clear : a == 255 ? solid : partial)++;
    }
    EXPECT_GT(clear, 0) << "transparent around the shape";
    EXPECT_GT(solid, 0);
    EXPECT_GT(partial, 0) << "anti-aliased edges";
  }
  EXPECT_FALSE(ui::art::Speaker(false).pixels == ui::art::Speaker(true).pixels);
  EXPECT_FALSE(ui::art::FavouriteMark(false).pixels == ui::art::FavouriteMark(true).pixels);
}

TEST(Artwork, WindowFacesAreOpaqueWithLimeOnlyOutside) {
  for (tk::Bitmap face : {ui::art::MainBackground(), ui::art::DialogBackground(305, 164)}) {
    EXPECT_TRUE(tk::IsColourKey(face.At(0, 0)));
    EXPECT_TRUE(tk::IsColourKey(face.At(face.width - 1, face.height - 1)));
    EXPECT_FALSE(tk::IsColourKey(face.At(face.width / 2, face.height / 2)));
    for (tk::Colour px : face.pixels) {
      ASSERT_EQ(tk::AlphaOf(px), 255);
      // No green fringe: a pixel is lime or clearly not lime.
      if (!tk::IsColourKey(px)) {
        ASSERT_FALSE(tk::GreenOf(px) > 200 && tk::RedOf(px) < 60 && tk::BlueOf(px) < 60);
      }
    }
  }
}

}  // namespace
