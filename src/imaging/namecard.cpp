#include "imaging/namecard.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include "imaging/namecard_font.h"
#include "toolkit/canvas.h"

namespace imaging {
namespace {

using tk::Argb;
using tk::Colour;
using tk::Rgb;

// Seven families of two shades each, all dark enough for white text.
constexpr Colour kPalette[][2] = {
    {Rgb(41, 98, 196), Rgb(30, 72, 156)},    // news, talk
    {Rgb(18, 130, 136), Rgb(28, 104, 128)},  // jazz, blues, lounge
    {Rgb(48, 136, 76), Rgb(84, 126, 42)},    // chill-out, relax
    {Rgb(112, 70, 190), Rgb(78, 62, 172)},   // dance, electronic
    {Rgb(200, 50, 104), Rgb(168, 42, 138)},  // pop, hits
    {Rgb(222, 112, 26), Rgb(204, 80, 40)},   // retro, decades
    {Rgb(72, 84, 106), Rgb(132, 40, 52)},    // rock, classical
};
constexpr int kFamilies = sizeof(kPalette) / sizeof(kPalette[0]);

struct Genre {
  const char* tag;
  int family;
};
constexpr Genre kGenres[] = {
    {"news", 0},
    {"talk", 0},
    {"business", 0},
    {"information", 0},
    {"sport", 0},
    {"jazz", 1},
    {"blues", 1},
    {"lounge", 1},
    {"bossa", 1},
    {"smooth-jazz", 1},
    {"soul", 1},
    {"funk", 1},
    {"latin", 1},
    {"chillout", 2},
    {"ambient", 2},
    {"relax", 2},
    {"relaxing", 2},
    {"instrumental", 2},
    {"easy-listening", 2},
    {"downtempo", 2},
    {"dance", 3},
    {"electronic", 3},
    {"house", 3},
    {"trance", 3},
    {"techno", 3},
    {"edm", 3},
    {"club", 3},
    {"dnb", 3},
    {"pop", 4},
    {"hits", 4},
    {"pop-music", 4},
    {"top40", 4},
    {"kpop", 4},
    {"70s", 5},
    {"80s", 5},
    {"90s", 5},
    {"2000s", 5},
    {"oldies", 5},
    {"retro", 5},
    {"classic-hits", 5},
    {"disco", 5},
    {"rock", 6},
    {"metal", 6},
    {"classic-rock", 6},
    {"pop-rock", 6},
    {"classical", 6},
};

uint32_t Fnv1a(const std::string& s) {
  uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The first of the comma-separated tags that names a known genre picks the family, the name
// the shade; otherwise the name's hash picks both.
Colour Background(const std::string& name, const std::string& tags) {
  uint32_t h = Fnv1a(name);
  size_t from = 0;
  std::string all = Lower(tags);
  while (from < all.size()) {
    size_t comma = std::min(all.find(',', from), all.size());
    std::string t = all.substr(from, comma - from);
    t.erase(0, t.find_first_not_of(' '));
    t.erase(t.find_last_not_of(' ') + 1);
    for (const Genre& g : kGenres)
      if (t == g.tag) return kPalette[g.family][h & 1];
    from = comma + 1;
  }
  return kPalette[(h >> 1) % kFamilies][h & 1];
}

std::u32string DecodeUtf8(const std::string& s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = len > 0 && i + len <= s.size();
    for (int k = 1; ok && k < len; ++k) {
      auto c = static_cast<unsigned char>(s[i + k]);
      ok = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) {
      ++i;
      continue;  // a broken sequence is left out
    }
    i += len;
    // Control characters and other spaces read as spaces.
    out.push_back(cp < 0x20 || cp == 0xA0 ? U' ' : cp);
  }
  return out;
}

struct FtLibrary {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  ~FtLibrary() {
    if (face) FT_Done_Face(face);
    if (lib) FT_Done_FreeType(lib);
  }
};

constexpr FT_Int32 kLoad = FT_LOAD_NO_HINTING;
constexpr double kCapHeight = 0.73;  // of the font's size

// Text set at one pixel size.
class Typesetter {
 public:
  explicit Typesetter(FT_Face face) : face_(face) {}
  bool SetSize(int px) {
    px_ = px;
    return FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(px)) == 0;
  }
  int Size() const { return px_; }
  // In 1/64 pixels.
  long Advance(char32_t cp) {
    if (FT_Load_Glyph(face_, Index(cp), kLoad) != 0) return 0;
    return face_->glyph->advance.x;
  }
  long Width(const std::u32string& s) {
    long w = 0;
    for (char32_t c : s) w += Advance(c);
    return w;
  }
  double LineHeight() const {
    return (face_->size->metrics.ascender - face_->size->metrics.descender) / 64.0 * 0.96;
  }
  // One line with its left end at x and its baseline at y, in `colour`.
  void Draw(tk::Canvas& c, const std::u32string& s, double x, double y, Colour colour) {
    double pen = x;
    for (char32_t cp : s) {
      if (FT_Load_Glyph(face_, Index(cp), kLoad | FT_LOAD_RENDER) != 0) continue;
      FT_GlyphSlot g = face_->glyph;
      int ox = static_cast<int>(std::lround(pen)) + g->bitmap_left;
      int oy = static_cast<int>(std::lround(y)) - g->bitmap_top;
      const FT_Bitmap& bm = g->bitmap;
      for (unsigned r = 0; r < bm.rows; ++r)
        for (unsigned col = 0; col < bm.width; ++col) {
          unsigned char a = bm.buffer[static_cast<long>(r) * bm.pitch + col];
          if (a)
            c.BlendPixel(ox + static_cast<int>(col), oy + static_cast<int>(r), colour, a / 255.0);
        }
      pen += g->advance.x / 64.0;
    }
  }

 private:
  FT_UInt Index(char32_t cp) {
    FT_UInt i = FT_Get_Char_Index(face_, cp);
    return i ? i : FT_Get_Char_Index(face_, U'?');
  }
  FT_Face face_;
  int px_ = 0;
};

std::vector<std::u32string> Words(const std::u32string& text) {
  std::vector<std::u32string> words;
  std::u32string w;
  for (char32_t c : text) {
    if (c == U' ') {
      if (!w.empty()) words.push_back(w);
      w.clear();
    } else {
      w.push_back(c);
    }
  }
  if (!w.empty()) words.push_back(w);
  return words;
}

std::u32string Join(const std::vector<std::u32string>& words, size_t from, size_t to) {
  std::u32string s;
  for (size_t i = from; i < to; ++i) {
    if (i > from) s.push_back(U' ');
    s += words[i];
  }
  return s;
}

// The words on `lines` lines with the narrowest widest line (first such split).
std::vector<std::u32string> Split(Typesetter& t, const std::vector<std::u32string>& words,
                                  int lines, long* widest) {
  size_t n = words.size();
  std::vector<std::u32string> best;
  *widest = -1;
  // Break positions as a bit mask over the n - 1 gaps, with lines - 1 bits set.
  for (uint32_t mask = 0; mask < (1u << (n - 1)); ++mask) {
    int bits = 0;
    for (uint32_t m = mask; m; m &= m - 1) ++bits;
    if (bits != lines - 1) continue;
    std::vector<std::u32string> out;
    long w = 0;
    size_t from = 0;
    for (size_t i = 0; i < n; ++i) {
      if (i + 1 == n || (mask >> i & 1)) {
        out.push_back(Join(words, from, i + 1));
        w = std::max(w, t.Width(out.back()));
        from = i + 1;
      }
    }
    if (*widest < 0 || w < *widest) {
      *widest = w;
      best = out;
    }
  }
  return best;
}

// At the smallest size: greedy lines, long words broken anywhere, at most three lines, the
// last one ended by "…" when text is left over.
std::vector<std::u32string> Squeeze(Typesetter& t, const std::u32string& text, long max_w) {
  std::vector<std::u32string> lines(1);
  for (char32_t c : text) {
    if (lines.back().empty() && c == U' ') continue;
    std::u32string next = lines.back() + c;
    if (t.Width(next) <= max_w) {
      lines.back() = next;
      continue;
    }
    if (lines.size() == 3) {
      std::u32string& last = lines.back();
      while (!last.empty() && t.Width(last + U'…') > max_w) last.pop_back();
      while (!last.empty() && last.back() == U' ') last.pop_back();
      last.push_back(U'…');
      return lines;
    }
    // Break at the last space of the line when there is one.
    std::u32string& cur = lines.back();
    size_t sp = cur.rfind(U' ');
    std::u32string carry;
    if (sp != std::u32string::npos && c != U' ') {
      carry = cur.substr(sp + 1);
      cur.erase(sp);
    }
    if (c != U' ') carry.push_back(c);
    lines.push_back(carry);
  }
  return lines;
}

struct PngOut {
  std::vector<unsigned char>* bytes;
};

void PngWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<PngOut*>(png_get_io_ptr(png));
  out->bytes->insert(out->bytes->end(), data, data + n);
}
void PngFlush(png_structp) {}
void PngQuiet(png_structp, png_const_charp) {}

std::vector<unsigned char> EncodePng(const tk::Bitmap& b) {
  std::vector<unsigned char> bytes;
  std::vector<unsigned char> rgba(static_cast<size_t>(b.width) * b.height * 4);
  for (size_t i = 0; i < b.pixels.size(); ++i) {
    Colour c = b.pixels[i];
    rgba[i * 4] = static_cast<unsigned char>(tk::RedOf(c));
    rgba[i * 4 + 1] = static_cast<unsigned char>(tk::GreenOf(c));
    rgba[i * 4 + 2] = static_cast<unsigned char>(tk::BlueOf(c));
    rgba[i * 4 + 3] = static_cast<unsigned char>(tk::AlphaOf(c));
  }
  std::vector<png_bytep> rows(static_cast<size_t>(b.height));
  for (int y = 0; y < b.height; ++y) rows[y] = rgba.data() + static_cast<size_t>(y) * b.width * 4;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngQuiet, PngQuiet);
  if (!png) return {};
  png_infop info = png_create_info_struct(png);
  PngOut out{&bytes};
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return {};
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_compression_level(png, 6);
  png_set_IHDR(png, info, static_cast<png_uint_32>(b.width), static_cast<png_uint_32>(b.height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return bytes;
}

// The card: a rounded plate lit from the top left, with a soft shadow to the bottom right and
// faint radio waves in its lower right corner.
void DrawPlate(tk::Canvas& c, double x, double y, double w, double h, double s, Colour base) {
  using tk::Paint;
  using tk::Path;
  double r = 7 * s;
  for (int i = 2; i >= 1; --i) {
    Path shadow;
    shadow.AddRoundRect(x + 0.6 * s * i, y + 0.9 * s * i, w, h, r);
    c.FillPath(shadow, Argb(34, 10, 20, 40));
  }
  Path plate;
  plate.AddRoundRect(x, y, w, h, r);
  c.FillPath(plate, Paint::Linear(x, y, x + w * 0.6, y + h,
                                  {{0, tk::Mix(base, Rgb(255, 255, 255), 0.22)},
                                   {0.55, base},
                                   {1, tk::Mix(base, Rgb(0, 0, 0), 0.24)}}));
  c.FillPath(plate, Paint::Radial(x + w * 0.2, y + h * 0.05, w * 0.85,
                                  {{0, Argb(72, 255, 255, 255)}, {1, Argb(0, 255, 255, 255)}}));
  Path waves;
  double cx = x + w - 9 * s, cy = y + h - 8 * s;
  for (int i = 1; i <= 3; ++i) waves.AddArc(cx, cy, 7.5 * s * i, 95, 175, 2.2 * s);
  waves.AddEllipse(cx, cy, 2.4 * s, 2.4 * s);
  c.FillPath(waves, Argb(34, 255, 255, 255));
  // A bevel: light along the top and left edges, shade along the bottom and right.
  c.StrokeRoundRect(
      x, y, w, h, r, std::max(1.0, 0.6 * s),
      Paint::Linear(
          x, y, x + w * 0.4, y + h,
          {{0, Argb(130, 255, 255, 255)}, {0.5, Argb(30, 255, 255, 255)}, {1, Argb(70, 0, 0, 0)}}));
}

}  // namespace

std::vector<unsigned char> DrawNameCard(const std::string& name_utf8, const std::string& tag,
                                        int width, int height) {
  if (width < 16 || height < 16 || width > 2048 || height > 2048) return {};
  FtLibrary ft;
  size_t font_size = 0;
  const unsigned char* font = NameCardFont(&font_size);
  if (FT_Init_FreeType(&ft.lib) != 0 ||
      FT_New_Memory_Face(ft.lib, font, static_cast<FT_Long>(font_size), 0, &ft.face) != 0)
    return {};

  // Sizes in units of the player's tile (88 x 82).
  double s = std::min(width / 88.0, height / 82.0);
  tk::Bitmap card(width, height, 0);
  tk::Canvas c(tk::ViewOf(card));
  double px = 1 * s, py = 1 * s, pw = width - 3 * s, ph = height - 3.5 * s;
  DrawPlate(c, px, py, pw, ph, s, Background(name_utf8, tag));

  std::u32string text = DecodeUtf8(name_utf8);
  std::vector<std::u32string> words = Words(text);
  if (words.size() > 16) {  // very long names: the rest is cut off below
    words.resize(16);
  }
  long max_w = static_cast<long>((pw - 8 * s) * 64);
  double max_h = ph - 10 * s;
  Typesetter t(ft.face);
  int biggest = static_cast<int>(std::lround(19 * s)),
      smallest = std::max(6, static_cast<int>(std::lround(7.5 * s)));
  std::vector<std::u32string> lines;
  for (int size = biggest; size >= smallest && lines.empty() && !words.empty(); --size) {
    if (!t.SetSize(size)) return {};
    for (int k = 1; k <= 3 && k <= static_cast<int>(words.size()) && words.size() <= 12; ++k) {
      long widest = 0;
      std::vector<std::u32string> split = Split(t, words, k, &widest);
      if (widest <= max_w && t.LineHeight() * k <= max_h) {
        lines = split;
        break;
      }
    }
  }
  if (lines.empty() && !words.empty()) {
    if (!t.SetSize(smallest)) return {};
    lines = Squeeze(t, Join(words, 0, words.size()), max_w);
  }

  if (!lines.empty()) {
    double lh = t.LineHeight();
    double top = py + (ph - lh * lines.size()) / 2;
    double shift = std::max(1.0, std::round(0.7 * s));
    for (size_t i = 0; i < lines.size(); ++i) {
      // Capitals centred in their line.
      double baseline = top + lh * i + lh / 2 + kCapHeight * t.Size() / 2;
      double x = px + (pw - t.Width(lines[i]) / 64.0) / 2;
      t.Draw(c, lines[i], x + shift, baseline + shift, Argb(96, 0, 0, 0));
      t.Draw(c, lines[i], x, baseline, Rgb(255, 255, 255));
    }
  }
  return EncodePng(card);
}

}  // namespace imaging
