// The decoders' split check shared by the codec targets.
#pragma once
#include <memory>
#include <vector>

#include "audio/decoder.h"
#include "split.h"

// Decodes the input whole with one decoder and piece by piece with another made by `make`;
// both must give the same PCM.
template <typename Make>
void CheckDecodesAlikeInPieces(const Split& in, Make make) {
  auto d1 = make(44100), d2 = make(44100);
  std::vector<int16_t> pcm1, pcm2;
  d1->Feed(reinterpret_cast<const uint8_t*>(in.rest.data()), in.rest.size());
  while (d1->Decode(pcm1) == audio::Decoder::Result::kProduced) {}
  in.each_piece([&](const char* p, size_t n) {
    d2->Feed(reinterpret_cast<const uint8_t*>(p), n);
    while (d2->Decode(pcm2) == audio::Decoder::Result::kProduced) {}
  });
  FUZZ_CHECK(pcm1 == pcm2);
  FUZZ_CHECK(pcm1.size() % 2 == 0);
}
