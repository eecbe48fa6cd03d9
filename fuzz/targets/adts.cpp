// The ADTS framer and the AAC decoder: whatever the pieces, the same frames and the same PCM
// as from the whole input; every frame passed is one whole frame of one stream.
#include "audio/adts.h"
#include "audio/decoder.h"
#include "audio/format.h"
#include "decode_both_ways.h"
#include "split.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Split in(data, size);
  const auto* rest = reinterpret_cast<const uint8_t*>(in.rest.data());

  std::vector<std::vector<uint8_t>> whole, pieces;
  std::vector<uint8_t> frame;
  audio::AdtsFramer a;
  a.Push(rest, in.rest.size());
  while (a.Next(frame)) whole.push_back(frame);
  audio::AdtsFramer b;
  in.each_piece([&](const char* p, size_t n) {
    b.Push(reinterpret_cast<const uint8_t*>(p), n);
    while (b.Next(frame)) pieces.push_back(frame);
  });
  FUZZ_CHECK(whole == pieces);
  size_t total = 0;
  for (const auto& f : whole) {
    audio::AdtsHeader h;
    FUZZ_CHECK(f.size() >= audio::kAdtsHeaderBytes && audio::ParseAdtsHeader(f.data(), h));
    FUZZ_CHECK(h.length == f.size());
    total += f.size();
  }
  FUZZ_CHECK(total + a.Skipped() <= in.rest.size());

  CheckDecodesAlikeInPieces(in, audio::MakeAacDecoder);

  audio::Sniffed s;
  if (audio::SniffFormat(rest, in.rest.size(), audio::Format::kAac, s))
    FUZZ_CHECK(s.offset < in.rest.size());
  return 0;
}
