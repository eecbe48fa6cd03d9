// The Ogg path: pages to packets, comment titles and the Vorbis/Opus decoders. Whatever the
// pieces, the same titles and the same PCM as from the whole input. With the first byte odd,
// the checksums of the pages in the input are set first, so mutated pages get through.
#include <ogg/ogg.h>

#include "audio/decoder.h"
#include "audio/format.h"
#include "audio/ogg.h"
#include "decode_both_ways.h"
#include "split.h"

namespace {

void fix_checksums(std::string& d) {
  for (size_t at = d.find("OggS"); at != std::string::npos; at = d.find("OggS", at + 4)) {
    if (d.size() - at < 27) break;
    auto* h = reinterpret_cast<unsigned char*>(&d[at]);
    size_t segs = h[26], body = 0;
    if (d.size() - at < 27 + segs) break;
    for (size_t i = 0; i < segs; ++i) body += h[27 + i];
    if (d.size() - at - 27 - segs < body) break;
    ogg_page pg;
    pg.header = h;
    pg.header_len = static_cast<long>(27 + segs);
    pg.body = h + 27 + segs;
    pg.body_len = static_cast<long>(body);
    ogg_page_checksum_set(&pg);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  Split in(data + 1, size - 1);
  if (data[0] & 1) fix_checksums(in.rest);
  const auto* rest = reinterpret_cast<const uint8_t*>(in.rest.data());

  std::vector<std::string> t1, t2;
  std::string t;
  audio::OggTitleScanner a, b;
  a.Feed(rest, in.rest.size());
  if (a.Take(t)) t1.push_back(t);
  in.each_piece([&](const char* p, size_t n) {
    b.Feed(reinterpret_cast<const uint8_t*>(p), n);
    if (b.Take(t)) t2.push_back(t);
  });
  // pieces may show a title that a later one replaces before the whole input is looked at
  FUZZ_CHECK(t1.empty() ? t2.empty() : !t2.empty() && t2.back() == t1.back());
  for (const auto& x : t2) FUZZ_CHECK(x.size() <= 2 * 1024 + 20);

  CheckDecodesAlikeInPieces(in, audio::MakeOggDecoder);

  audio::Sniffed s;
  if (audio::SniffFormat(rest, in.rest.size(), audio::Format::kOgg, s))
    FUZZ_CHECK(s.offset < in.rest.size());
  return 0;
}
