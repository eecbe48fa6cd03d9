#include "imaging/picture.h"

#include <csetjmp>
#include <cstring>
#include <vector>

extern "C" {
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
}

#include "base/errors.h"
#include "base/textfile.h"

namespace imaging {
namespace {

[[noreturn]] void Invalid(Kind kind) {
  switch (kind) {
    case Kind::kJpeg: throw base::Error("JPEG image is not valid");
    case Kind::kPng: throw base::Error("PNG image is not valid");
    default: throw base::Error("GIF image is not valid");
  }
}

bool SizeOk(long long w, long long h) {
  return w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide && w * h <= kMaxPixels;
}

// --- JPEG ---

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void JpegFail(j_common_ptr c) { std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1); }
void JpegQuiet(j_common_ptr, int) {}

// Each scan of a progressive picture costs a pass over the whole picture: a small file of
// thousands of tiny scans would take a minute. Too many scans make the picture invalid.
void JpegProgress(j_common_ptr c) {
  auto* d = reinterpret_cast<j_decompress_ptr>(c);
  if (d->input_scan_number > kMaxJpegScans) c->err->error_exit(c);
}

// Only plain data lives in this frame: the library leaves it by longjmp on an error.
bool DecodeJpegInto(const std::string& bytes, tk::Size fit, std::vector<unsigned char>* rgb, int* w,
                    int* h, int* comps) {
  jpeg_decompress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegFail;
  err.mgr.emit_message = JpegQuiet;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_progress_mgr progress{};
  progress.progress_monitor = JpegProgress;
  cinfo.progress = &progress;
  cinfo.mem->max_memory_to_use = 256L * 1024 * 1024;
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  if (!SizeOk(cinfo.image_width, cinfo.image_height)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  // The smallest of the library's scales that still covers the size it will be shown at.
  cinfo.scale_num = 1;
  cinfo.scale_denom = 1;
  if (fit.width > 0 && fit.height > 0)
    for (unsigned d : {8u, 4u, 2u})
      if (cinfo.image_width / d >= static_cast<unsigned>(fit.width) &&
          cinfo.image_height / d >= static_cast<unsigned>(fit.height)) {
        cinfo.scale_denom = d;
        break;
      }
  bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_start_decompress(&cinfo);
  *w = static_cast<int>(cinfo.output_width);
  *h = static_cast<int>(cinfo.output_height);
  *comps = cinfo.output_components;
  rgb->resize(static_cast<size_t>(*w) * *h * *comps);
  while (cinfo.output_scanline < cinfo.output_height) {
    unsigned char* row = rgb->data() + static_cast<size_t>(cinfo.output_scanline) * *w * *comps;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

tk::Bitmap DecodeJpeg(const std::string& bytes, tk::Size fit) {
  std::vector<unsigned char> px;
  int w = 0, h = 0, comps = 0;
  if (!DecodeJpegInto(bytes, fit, &px, &w, &h, &comps) || (comps != 3 && comps != 4))
    Invalid(Kind::kJpeg);
  tk::Bitmap b(w, h);
  for (size_t i = 0; i < b.pixels.size(); ++i) {
    const unsigned char* p = &px[i * comps];
    if (comps == 3) {
      b.pixels[i] = tk::Rgb(p[0], p[1], p[2]);
    } else {  // Adobe's CMYK is stored inverted
      int k = p[3];
      b.pixels[i] = tk::Rgb(p[0] * k / 255, p[1] * k / 255, p[2] * k / 255);
    }
  }
  return b;
}

// --- PNG ---

struct PngSource {
  const std::string* bytes;
  size_t pos;
};

void PngRead(png_structp png, png_bytep out, png_size_t n) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  if (n > src->bytes->size() - src->pos) png_error(png, "truncated");
  std::memcpy(out, src->bytes->data() + src->pos, n);
  src->pos += n;
}

void PngQuiet(png_structp, png_const_charp) {}

// Every chunk a PNG file declares must lie within the file: a length beyond it would make
// the library allocate (and clear) what the data never fills.
bool ChunksFit(const std::string& bytes) {
  size_t at = 8;
  while (at + 8 <= bytes.size()) {
    auto b = [&](size_t i) {
      return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i]));
    };
    uint32_t len = (b(0) << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
    if (len > bytes.size() - at - 8) return false;
    if (bytes.compare(at + 4, 4, "IEND") == 0) return true;
    at += 12 + static_cast<size_t>(len);
  }
  return true;  // a truncated file: the library reports it
}

bool DecodePngInto(const std::string& bytes, std::vector<unsigned char>* rgba, int* w, int* h) {
  if (!ChunksFit(bytes)) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, PngQuiet);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  std::vector<png_bytep>* rows = new std::vector<png_bytep>();  // freed on both paths below
  PngSource src{&bytes, 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    delete rows;
    return false;
  }
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_set_chunk_malloc_max(png, 8 * 1024 * 1024);
  png_set_read_fn(png, &src, PngRead);
  png_read_info(png, info);
  png_uint_32 pw = png_get_image_width(png, info), ph = png_get_image_height(png, info);
  if (!SizeOk(pw, ph)) png_error(png, "too large");
  png_set_expand(png);  // palette and low-bit grey to 8 bits, tRNS to alpha
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(pw) * 4)
    png_error(png, "unexpected layout");
  rgba->resize(static_cast<size_t>(pw) * ph * 4);
  rows->resize(ph);
  for (png_uint_32 y = 0; y < ph; ++y) (*rows)[y] = rgba->data() + static_cast<size_t>(y) * pw * 4;
  png_read_image(png, rows->data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  delete rows;
  *w = static_cast<int>(pw);
  *h = static_cast<int>(ph);
  return true;
}

tk::Bitmap DecodePng(const std::string& bytes) {
  std::vector<unsigned char> px;
  int w = 0, h = 0;
  if (!DecodePngInto(bytes, &px, &w, &h)) Invalid(Kind::kPng);
  tk::Bitmap b(w, h);
  for (size_t i = 0; i < b.pixels.size(); ++i)
    b.pixels[i] = tk::Argb(px[i * 4 + 3], px[i * 4], px[i * 4 + 1], px[i * 4 + 2]);
  return b;
}

// --- GIF: the first frame on its logical screen ---

struct GifSource {
  const std::string* bytes;
  size_t pos;
};

int GifRead(GifFileType* gif, GifByteType* out, int n) {
  auto* src = static_cast<GifSource*>(gif->UserData);
  size_t take = std::min(static_cast<size_t>(std::max(n, 0)), src->bytes->size() - src->pos);
  std::memcpy(out, src->bytes->data() + src->pos, take);
  src->pos += take;
  return static_cast<int>(take);
}

struct GifCloser {
  GifFileType* gif;
  ~GifCloser() {
    int err;
    if (gif) DGifCloseFile(gif, &err);
  }
};

tk::Bitmap DecodeGif(const std::string& bytes) {
  GifSource src{&bytes, 0};
  int err = 0;
  GifCloser g{DGifOpen(&src, GifRead, &err)};
  GifFileType* gif = g.gif;
  if (!gif || !SizeOk(gif->SWidth, gif->SHeight)) Invalid(Kind::kGif);
  int transparent = -1;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) Invalid(Kind::kGif);
    if (type == TERMINATE_RECORD_TYPE) Invalid(Kind::kGif);  // no frame at all
    if (type == EXTENSION_RECORD_TYPE) {
      int code;
      GifByteType* ext;
      if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) Invalid(Kind::kGif);
      while (ext) {
        if (code == GRAPHICS_EXT_FUNC_CODE && ext[0] >= 4 && (ext[1] & 1)) transparent = ext[4];
        if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) Invalid(Kind::kGif);
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif) == GIF_ERROR) Invalid(Kind::kGif);
    const GifImageDesc& d = gif->Image;
    ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (!map || d.Width <= 0 || d.Height <= 0 || !SizeOk(d.Width, d.Height)) Invalid(Kind::kGif);
    std::vector<GifPixelType> line(static_cast<size_t>(d.Width));
    tk::Bitmap b(gif->SWidth, gif->SHeight, 0);
    // Interlaced frames store rows in four passes.
    std::vector<int> order;
    if (d.Interlace) {
      const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
      for (int p = 0; p < 4; ++p)
        for (int y = start[p]; y < d.Height; y += step[p]) order.push_back(y);
    } else {
      for (int y = 0; y < d.Height; ++y) order.push_back(y);
    }
    for (int y : order) {
      if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) Invalid(Kind::kGif);
      int sy = d.Top + y;
      if (sy < 0 || sy >= b.height) continue;
      for (int x = 0; x < d.Width; ++x) {
        int sx = d.Left + x;
        int idx = line[static_cast<size_t>(x)];
        if (sx < 0 || sx >= b.width || idx == transparent || idx >= map->ColorCount) continue;
        const GifColorType& c = map->Colors[idx];
        b.At(sx, sy) = tk::Rgb(c.Red, c.Green, c.Blue);
      }
    }
    return b;
  }
}

}  // namespace

tk::Bitmap Decode(const std::string& bytes, Kind kind) { return Decode(bytes, kind, {}); }

tk::Bitmap Decode(const std::string& bytes, Kind kind, tk::Size fit) {
  switch (kind) {
    case Kind::kJpeg: return DecodeJpeg(bytes, fit);
    case Kind::kPng: return DecodePng(bytes);
    default: return DecodeGif(bytes);
  }
}

tk::Bitmap LoadPicture(const std::filesystem::path& path, Kind kind) {
  return LoadPicture(path, kind, {});
}

tk::Bitmap LoadPicture(const std::filesystem::path& path, Kind kind, tk::Size fit) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxFileBytes) Invalid(kind);
  return Decode(base::ReadFileBytes(path), kind, fit);
}

bool KindOfExtension(const std::string& ext, Kind* kind) {
  if (ext == ".jpg")
    *kind = Kind::kJpeg;
  else if (ext == ".gif")
    *kind = Kind::kGif;
  else if (ext == ".png")
    *kind = Kind::kPng;
  else
    return false;
  return true;
}

}  // namespace imaging
