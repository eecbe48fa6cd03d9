// The ICY metadata splitter and the icy-metaint parser: whatever the pieces, the audio and
// the latest title come out the same as from the whole body.
#include "audio/icy.h"
#include "split.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t metaint = 1 + (data[0] | (data[1] << 8)) % 300;  // small, so blocks come often
  Split in(data + 2, size - 2);

  audio::IcyDemux whole(metaint);
  std::string audio_whole, meta_whole;
  whole.Feed(reinterpret_cast<const uint8_t*>(in.rest.data()), in.rest.size(), audio_whole,
             meta_whole);

  audio::IcyDemux pieces(metaint);
  std::string audio_pieces, meta_pieces;
  in.each_piece([&](const char* p, size_t n) {
    if (pieces.Feed(reinterpret_cast<const uint8_t*>(p), n, audio_pieces, meta_pieces))
      FUZZ_CHECK(!meta_pieces.empty() && meta_pieces.size() <= 255 * 16);
  });
  FUZZ_CHECK(audio_whole == audio_pieces);
  FUZZ_CHECK(meta_whole == meta_pieces);
  FUZZ_CHECK(audio_whole.size() <= in.rest.size());
  FUZZ_CHECK(meta_whole.find('\0') == std::string::npos);

  uint32_t v = 0;
  if (audio::ParseMetaint(in.rest, v)) FUZZ_CHECK(v <= audio::kMaxMetaint);
  return 0;
}
