// Hostile input against the catalogue's parsers, each beside a friendly input of the same size
// measured in the same run:
//   the directory page parse of 4 MiB of station blocks without ends, and of blocks that all
//   run to one end at the page's end, against a page of well-formed blocks;
//   the decoding of a 1 MiB progressive JPEG logo of thousands of tiny scans, against the same
//   picture with its ten scans.
#include <chrono>
#include <cstdlib>
#include <functional>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "app/player_state.h"
#include "base/errors.h"
#include "catalogue/directory_parser.h"
#include "imaging/picture.h"

namespace {

const std::string kPrefix = "http://127.0.0.1:9/playlist/radio.m3u?station";

double Seconds(const std::function<void()>& f, int repeat) {
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < repeat; ++i) f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / repeat;
}

double ParseSeconds(const std::string& page, int repeat) {
  auto st = std::make_unique<app::PlayerState>();
  return Seconds(
      [&] {
        std::string section = page;
        catalogue::ParseStationBlocks(section, *st, kPrefix);
      },
      repeat);
}

std::string Block(int i) {
  return "<div class=\"st\"><div class=\"t\"><a href=\"" + kPrefix + "=" + std::to_string(i) +
         "\"><img src=\"/img/play.png\"></a><a href=\"/s\" popup=\"500 400\"><img src=\"/l/" +
         std::to_string(i) + ".jpg\" class=\"logo\" alt=\"Station " + std::to_string(i) +
         "\" width=\"88\" height=\"82\"></a></div></div></div>\n";
}

// A progressive grey picture with the standard ten-odd scans.
std::string Progressive(int side) {
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
  jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(side), 128);
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string bytes(reinterpret_cast<char*>(out), size);
  free(out);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
  const size_t page_size = smoke ? (1u << 20) : (4u << 20);
  std::string good, unended, one_end;
  for (int i = 0; good.size() < page_size; ++i) good += Block(i);
  const std::string start = "<div class=\"st\"><a href=\"" + kPrefix;
  for (int i = 0; unended.size() < page_size; ++i)
    unended += start + "=" + std::to_string(i) + "\"><img src=\"";
  one_end = unended + "popup=\"500 400\"><img src=\"/l.png\" class=\"logo\" alt=\"T\" width=\"" +
            catalogue::kBlockEnd;
  const int repeat = smoke ? 2 : 5;
  double t_good = ParseSeconds(good, repeat), t_unended = ParseSeconds(unended, repeat),
         t_one = ParseSeconds(one_end, repeat);
  std::printf(
      "directory page, %.0f MiB: well-formed %.4f s; blocks without ends %.4f s (ratio %.2f); "
      "blocks running to one end %.4f s (ratio %.2f)\n",
      page_size / 1048576.0, t_good, t_unended, t_unended / t_good, t_one, t_one / t_good);

  // The last scan repeated up to 1 MiB: a decoder takes each for a pass over the picture.
  const std::string plain = Progressive(2048);
  size_t last = plain.rfind("\xFF\xC4");  // the last scan's table, its header and data
  size_t eoi = plain.rfind("\xFF\xD9");
  std::string scan = plain.substr(last, eoi - last), hostile = plain.substr(0, eoi);
  size_t scans = 0;
  while (hostile.size() + scan.size() + 2 <= (1u << 20)) {
    hostile += scan;
    ++scans;
  }
  hostile += "\xFF\xD9";
  auto decode = [](const std::string& bytes) {
    try {
      imaging::Decode(bytes, imaging::Kind::kJpeg, {88, 82});
    } catch (const base::Error&) {}
  };
  double t_plain = Seconds([&] { decode(plain); }, repeat),
         t_hostile = Seconds([&] { decode(hostile); }, 1);
  std::printf(
      "JPEG logo 2048x2048: %zu-byte progressive %.3f s; 1 MiB of %zu repeated scans %.3f s "
      "(ratio %.2f; refused after %d scans)\n",
      plain.size(), t_plain, scans, t_hostile, t_hostile / t_plain, imaging::kMaxJpegScans);
  return 0;
}
