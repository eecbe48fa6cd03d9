// The picture decoders against files made by ImageMagick in every variant logos come in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include <cstdio>  // before jpeglib.h
#include <jpeglib.h>

#include "base/errors.h"
#include "imaging/picture.h"
#include "test_util.h"

namespace {

using imaging::Kind;

struct ImagingTest : ::testing::Test {
  TempExeFolder dir;
  // Runs ImageMagick's convert in the temporary folder; the file's bytes.
  // A format prefix at the end of the arguments ("PNG24:") goes in front of the name.
  std::string Make(const std::string& name, std::string args) {
    std::string prefix;
    if (!args.empty() && args.back() == ':') {
      size_t sp = args.rfind(' ');
      prefix = args.substr(sp + 1);
      args.erase(sp);
    }
    std::string cmd = "cd '" + dir.path().string() + "' && convert " + args + " '" + prefix + name +
                      "' 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return dir.Read(name);
  }
};

// Within a small distance per channel (lossy formats, colour conversions).
::testing::AssertionResult Near(tk::Colour got, tk::Colour want, int tolerance) {
  int d = std::max({std::abs(tk::RedOf(got) - tk::RedOf(want)),
                    std::abs(tk::GreenOf(got) - tk::GreenOf(want)),
                    std::abs(tk::BlueOf(got) - tk::BlueOf(want)),
                    std::abs(tk::AlphaOf(got) - tk::AlphaOf(want))});
  if (d <= tolerance) return ::testing::AssertionSuccess();
  char buf[64];
  std::snprintf(buf, sizeof buf, "got %08X, want %08X", got, want);
  return ::testing::AssertionFailure() << buf;
}

// Left half red, right half blue, 64 x 48 unless said otherwise.
const std::string kHalves = "-size 32x48 xc:'#ff0000' -size 32x48 xc:'#0000ff' +append";

TEST_F(ImagingTest, PngInEveryColourTypeAndDepth) {
  const struct {
    const char* name;
    std::string args;
    tk::Colour left, right;  // pixels at (5, 20) and (60, 20)
  } cases[] = {
      {"rgb8.png", kHalves + " PNG24:", tk::Rgb(255, 0, 0), tk::Rgb(0, 0, 255)},
      {"rgb16.png", kHalves + " PNG48:", tk::Rgb(255, 0, 0), tk::Rgb(0, 0, 255)},
      {"rgba8.png", kHalves + " -alpha set -channel A -fx 'i<32?1:0.5' +channel PNG32:",
       tk::Rgb(255, 0, 0), tk::Argb(128, 0, 0, 255)},
      {"rgba16.png", kHalves + " -alpha set -channel A -fx 'i<32?1:0.5' +channel PNG64:",
       tk::Rgb(255, 0, 0), tk::Argb(128, 0, 0, 255)},
      {"palette.png", kHalves + " PNG8:", tk::Rgb(255, 0, 0), tk::Rgb(0, 0, 255)},
      {"palette-trns.png", kHalves + " -transparent blue PNG8:", tk::Rgb(255, 0, 0),
       tk::Argb(0, 0, 0, 0)},
      {"gray1.png",
       "-size 64x48 xc:white -fill black -draw 'rectangle 32,0 63,47' -depth 1 -type bilevel",
       tk::Rgb(255, 255, 255), tk::Rgb(0, 0, 0)},
      {"gray4.png",
       "-size 64x48 xc:'#888888' -fill black -draw 'rectangle 32,0 63,47' -depth 4 -type grayscale",
       tk::Rgb(136, 136, 136), tk::Rgb(0, 0, 0)},
      {"gray16.png", "-size 64x48 xc:'#808080' -depth 16 -type grayscale", tk::Rgb(128, 128, 128),
       tk::Rgb(128, 128, 128)},
      {"grayalpha.png",
       "-size 64x48 xc:'#808080' -alpha set -channel A -fx 'i<32?1:0' +channel -type grayscalealpha",
       tk::Rgb(128, 128, 128), tk::Argb(0, 0, 0, 0)},
      {"adam7.png", kHalves + " -interlace PNG PNG24:", tk::Rgb(255, 0, 0), tk::Rgb(0, 0, 255)},
  };
  for (const auto& c : cases) {
    tk::Bitmap b = imaging::Decode(Make(c.name, c.args), Kind::kPng);
    ASSERT_EQ(b.width, 64) << c.name;
    ASSERT_EQ(b.height, 48) << c.name;
    EXPECT_TRUE(Near(b.At(5, 20), c.left, 2)) << c.name;
    tk::Colour right = b.At(60, 20);
    if (tk::AlphaOf(c.right) == 0)
      EXPECT_EQ(tk::AlphaOf(right), 0) << c.name;
    else
      EXPECT_TRUE(Near(right, c.right, 2)) << c.name;
  }
}

TEST_F(ImagingTest, JpegVariantsAndScaledDecoding) {
  const struct {
    const char* name;
    std::string args;
  } cases[] = {
      {"plain.jpg", "-size 400x320 xc:'#ff0000' -size 400x320 xc:'#0000ff' +append -quality 95"},
      {"progressive.jpg",
       "-size 400x320 xc:'#ff0000' -size 400x320 xc:'#0000ff' +append -interlace Plane"},
      {"cmyk.jpg",
       "-size 400x320 xc:'#ff0000' -size 400x320 xc:'#0000ff' +append -colorspace CMYK"}};
  for (const auto& c : cases) {
    std::string bytes = Make(c.name, c.args);
    tk::Bitmap full = imaging::Decode(bytes, Kind::kJpeg);
    ASSERT_EQ(full.width, 800) << c.name;
    ASSERT_EQ(full.height, 320) << c.name;
    EXPECT_TRUE(Near(full.At(100, 100), tk::Rgb(255, 0, 0), 40)) << c.name;
    EXPECT_TRUE(Near(full.At(700, 100), tk::Rgb(0, 0, 255), 40)) << c.name;
    // For an 88 x 82 tile: the smallest scale still covering it is 1/2 (1/4 would give 80
    // rows).
    tk::Bitmap fit = imaging::Decode(bytes, Kind::kJpeg, {88, 82});
    EXPECT_EQ(fit.width, 400) << c.name;
    EXPECT_EQ(fit.height, 160) << c.name;
    EXPECT_TRUE(Near(fit.At(50, 50), tk::Rgb(255, 0, 0), 40)) << c.name;
  }
  tk::Bitmap gray =
      imaging::Decode(Make("gray.jpg", "-size 64x64 xc:'#808080' -type grayscale"), Kind::kJpeg);
  EXPECT_TRUE(Near(gray.At(10, 10), tk::Rgb(128, 128, 128), 3));
  tk::Bitmap small =
      imaging::Decode(Make("small.jpg", "-size 40x30 xc:green"), Kind::kJpeg, {88, 82});
  EXPECT_EQ(small.width, 40) << "never scaled below the tile";
}

// A progressive grey JPEG of `scans` scans: the DC scan, then each AC coefficient's first
// scan (one bit short), then their refinements.
std::string ManyScanJpeg(int scans, int side) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = c.image_height = static_cast<JDIMENSION>(side);
  c.input_components = 1;
  c.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  std::vector<jpeg_scan_info> script;
  script.push_back({1, {0}, 0, 0, 0, 0});
  for (int k = 1; k < 64; ++k) script.push_back({1, {0}, k, k, 0, 1});
  for (int k = 1; k < 64; ++k) script.push_back({1, {0}, k, k, 1, 0});
  script.resize(static_cast<size_t>(scans));
  c.scan_info = script.data();
  c.num_scans = scans;
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(side));
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < side; ++x)
      row[static_cast<size_t>(x)] =
          static_cast<unsigned char>((x * 7 + c.next_scanline * 13) & 255);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string bytes(reinterpret_cast<char*>(out), size);
  free(out);
  return bytes;
}

TEST_F(ImagingTest, JpegOfTooManyScansIsRefused) {
  // Every scan is a pass over the whole picture: a logo of thousands of tiny scans would hold
  // the window for many seconds. A picture of more than kMaxJpegScans is invalid.
  static_assert(imaging::kMaxJpegScans == 100);
  const struct {
    int scans;
    bool decodes;
  } cases[] = {{10, true}, {100, true}, {101, false}, {127, false}};
  for (const auto& c : cases) {
    std::string bytes = ManyScanJpeg(c.scans, 64);
    if (c.decodes) {
      tk::Bitmap b = imaging::Decode(bytes, Kind::kJpeg, {88, 82});
      EXPECT_EQ(b.width, 64) << c.scans;
    } else {
      EXPECT_THROW(imaging::Decode(bytes, Kind::kJpeg, {88, 82}), base::Error) << c.scans;
    }
  }
}

TEST_F(ImagingTest, GifFirstFrameWithInterlaceTransparencyAndOffset) {
  tk::Bitmap t = imaging::Decode(Make("t.gif", kHalves + " -transparent blue"), Kind::kGif);
  EXPECT_TRUE(Near(t.At(5, 20), tk::Rgb(255, 0, 0), 0));
  EXPECT_EQ(tk::AlphaOf(t.At(60, 20)), 0);
  tk::Bitmap il =
      imaging::Decode(Make("i.gif", "-size 64x48 gradient:red-blue -interlace GIF"), Kind::kGif);
  ASSERT_EQ(il.height, 48);
  // Rows come back in their places: red at the top, blue at the bottom, in order.
  EXPECT_GT(tk::RedOf(il.At(10, 0)), 200);
  EXPECT_GT(tk::BlueOf(il.At(10, 47)), 200);
  for (int y = 1; y < 48; ++y)
    EXPECT_LE(tk::RedOf(il.At(10, y)), tk::RedOf(il.At(10, y - 1)) + 8) << y;
  // Two frames: the first one, green, is the picture.
  tk::Bitmap anim =
      imaging::Decode(Make("a.gif", "-delay 10 -size 20x20 xc:green xc:red"), Kind::kGif);
  EXPECT_TRUE(Near(anim.At(10, 10), tk::Rgb(0, 128, 0), 0));
  // A frame smaller than the screen and placed in it.
  tk::Bitmap off =
      imaging::Decode(Make("o.gif", "-size 10x10 xc:yellow -repage 30x30+15+5"), Kind::kGif);
  ASSERT_EQ(off.width, 30);
  EXPECT_EQ(tk::AlphaOf(off.At(2, 2)), 0);
  EXPECT_TRUE(Near(off.At(18, 8), tk::Rgb(255, 255, 0), 0));
}

TEST_F(ImagingTest, BrokenFilesAreErrorsNotCrashes) {
  const std::string png = Make("p.png", kHalves + " PNG24:");
  const std::string jpg = Make("j.jpg", kHalves);
  const std::string gif = Make("g.gif", kHalves);
  const struct {
    std::string bytes;
    Kind kind;
    const char* error;
  } cases[] = {
      {png.substr(0, png.size() / 2), Kind::kPng, "PNG image is not valid"},
      {jpg.substr(0, 40), Kind::kJpeg, "JPEG image is not valid"},
      {gif.substr(0, gif.size() - 20), Kind::kGif, "GIF image is not valid"},
      {"", Kind::kPng, "PNG image is not valid"},
      {"not a picture at all", Kind::kJpeg, "JPEG image is not valid"},
      {png, Kind::kGif, "GIF image is not valid"},  // the wrong kind
      {Make("wide.png", "-size 4097x2 xc:white PNG24:"), Kind::kPng, "PNG image is not valid"},
      {Make("wide.gif", "-size 4097x2 xc:white"), Kind::kGif, "GIF image is not valid"},
  };
  for (const auto& c : cases) {
    try {
      imaging::Decode(c.bytes, c.kind);
      ADD_FAILURE() << "decoded: " << c.error << " " << c.bytes.size();
    } catch (const base::Error& e) {
      EXPECT_STREQ(e.what(), c.error);
    }
  }
  try {
    imaging::LoadPicture(dir.path() / "missing.png", Kind::kPng);
    ADD_FAILURE();
  } catch (const base::Error& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
  // A chunk declared longer than the file (found by fuzzing: the library cleared 1.7 GB).
  {
    std::ifstream in(std::string(TIVOLNA_SOURCE_DIR) + "/fuzz/regressions/png/huge-chunk-length",
                     std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty());
    EXPECT_THROW(imaging::Decode(bytes, Kind::kPng), base::Error);
  }
  // A declared size far beyond the data must not be trusted.
  std::string lie = png;
  lie[16] = 0x00, lie[17] = 0x00, lie[18] = 0x0F, lie[19] = 0xFF;  // width 4095, CRC now wrong
  EXPECT_THROW(imaging::Decode(lie, Kind::kPng), base::Error);
}

}  // namespace
