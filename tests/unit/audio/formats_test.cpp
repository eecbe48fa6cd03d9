// AAC, Ogg Vorbis and Ogg Opus on their own: recognition, the ADTS framer, the decoders and
// the titles of chained Ogg, on the tones of tools/make_media.sh.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "audio/adts.h"
#include "audio/decoder.h"
#include "audio/format.h"
#include "audio/ogg.h"
#include "loopback.h"

namespace {

using namespace audio;
constexpr int kRate = 44100;

class MediaEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string cmd = std::string("bash '") + TIVOLNA_SOURCE_DIR + "/tools/make_media.sh' '" +
                            TIVOLNA_MEDIA_DIR + "' >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << "make_media.sh failed";
  }
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new MediaEnvironment);

std::string file(const std::string& name) {
  std::ifstream f(std::string(TIVOLNA_MEDIA_DIR) + "/" + name, std::ios::binary);
  std::string s((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  EXPECT_FALSE(s.empty()) << "missing media " << name;
  return s;
}
const uint8_t* bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

const char* kAac = "tone1000_96k_44100_s.aac";
const char* kAacMono = "tone660_32k_22050_m.aac";
const char* kVorbis = "tone550_96k_44100_s.ogg";
const char* kOpus = "tone1320_64k_48000_s.opus";
const char* kChain = "chain770v_990o.ogg";  // 10 s Vorbis 770 Hz, then 10 s Opus 990 Hz
const char* kMp3 = "tone440_128k_44100_s.mp3";
const char* kHe1 = "he1_tone1100_44100_s.aac";  // HE-AAC: stereo core at 22050 Hz with SBR
const char* kHe2 = "he2_tone825_44100_s.aac";   // HE-AAC v2: mono core with SBR and PS

// Feeds data in pieces of the given sizes (cycled; empty: all at once) and decodes after
// each; everything that comes out.
std::vector<int16_t> decode(Format f, const std::string& data, int rate = kRate,
                            std::vector<size_t> pieces = {}, int* channels = nullptr) {
  std::unique_ptr<Decoder> d = MakeDecoder(f, rate);
  EXPECT_TRUE(d->Ok());
  std::vector<int16_t> out;
  size_t at = 0, k = 0;
  while (at < data.size()) {
    size_t n =
        pieces.empty() ? data.size() : std::min(pieces[k++ % pieces.size()], data.size() - at);
    d->Feed(bytes(data) + at, n);
    at += n;
    while (d->Decode(out) == Decoder::Result::kProduced) {}
    if (channels && d->InChannels() > 0) *channels = d->InChannels();
  }
  return out;
}

std::vector<int16_t> slice(const std::vector<int16_t>& s, double from_s, double to_s,
                           int rate = kRate) {
  size_t a = std::min(s.size(), static_cast<size_t>(from_s * rate) * 2);
  size_t b = std::min(s.size(), static_cast<size_t>(to_s * rate) * 2);
  return std::vector<int16_t>(s.begin() + static_cast<long>(a), s.begin() + static_cast<long>(b));
}

// The longest run of near-silent output frames.
size_t longest_quiet(const std::vector<int16_t>& s) {
  size_t best = 0, run = 0;
  for (size_t i = 0; i + 1 < s.size(); i += 2) {
    run = std::abs(s[i]) < 300 && std::abs(s[i + 1]) < 300 ? run + 1 : 0;
    best = std::max(best, run);
  }
  return best;
}

// ---- recognition --------------------------------------------------------------------

TEST(Format, FromContentType) {
  const struct {
    const char* type;
    Format f;
  } cases[] = {
      {"audio/mpeg", Format::kMpeg},
      {"audio/aac", Format::kAac},
      {"audio/aacp", Format::kAac},
      {"AUDIO/X-AAC", Format::kAac},
      {"audio/ogg", Format::kOgg},
      {"application/ogg", Format::kOgg},
      {"audio/opus", Format::kOgg},
      {"audio/ogg; codecs=opus", Format::kOgg},
      {"audio/aacp ;charset=x", Format::kAac},
      {"text/html", Format::kUnknown},
      {"", Format::kUnknown},
      {"audio/oggx", Format::kUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatFromType(c.type), c.f) << c.type;
}

TEST(Format, FromTheFirstBytesWhateverTheType) {
  const struct {
    const char* name;
    Format f;
  } cases[] = {{kAac, Format::kAac},    {kAacMono, Format::kAac}, {kHe2, Format::kAac},
               {kVorbis, Format::kOgg}, {kOpus, Format::kOgg},    {kChain, Format::kOgg},
               {kMp3, Format::kMpeg}};
  std::mt19937 rng(7);
  for (const auto& c : cases) {
    const std::string whole = file(c.name);
    // joined at a random byte, behind some junk
    for (size_t at : {size_t{0}, size_t{12345}, size_t{rng() % 40000}}) {
      std::string data = std::string(300, '\x5a') + whole.substr(at, 32768);
      for (Format expected : {Format::kUnknown, Format::kMpeg, Format::kAac, Format::kOgg}) {
        Sniffed s;
        ASSERT_TRUE(SniffFormat(bytes(data), data.size(), expected, s)) << c.name << " at " << at;
        EXPECT_EQ(s.format, c.f) << c.name << " at " << at;
        EXPECT_GE(s.offset, 300u) << c.name;
      }
    }
  }
  Sniffed s;
  ASSERT_TRUE(SniffFormat(bytes(file(kAac)), 8000, Format::kAac, s));
  EXPECT_NEAR(s.bitrate_kbps, 96, 40);  // from the frames, for the buffer length
  ASSERT_TRUE(SniffFormat(bytes(file(kVorbis)), 8000, Format::kUnknown, s));
  EXPECT_EQ(s.bitrate_kbps, 96);  // the Vorbis header's nominal rate
}

TEST(Format, RandomBytesAndTextAreNoAudio) {
  std::mt19937 rng(3);
  std::string noise(65536, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  std::string text;
  while (text.size() < 65536)
    text += "<html><body>OggS not a page \xff\xf1 not a frame</body></html>\n";
  for (const std::string& d : {noise, text}) {
    Sniffed s;
    EXPECT_FALSE(SniffFormat(bytes(d), d.size(), Format::kAac, s));
  }
}

// ---- ADTS framer --------------------------------------------------------------------

// The frames of an ADTS file, by walking its headers.
std::vector<std::string> adts_frames(const std::string& d) {
  std::vector<std::string> out;
  size_t at = 0;
  AdtsHeader h;
  while (at + kAdtsHeaderBytes <= d.size() && ParseAdtsHeader(bytes(d) + at, h) &&
         at + h.length <= d.size()) {
    out.push_back(d.substr(at, h.length));
    at += h.length;
  }
  return out;
}

std::vector<std::string> frame_all(const std::string& d, size_t piece) {
  AdtsFramer f;
  std::vector<std::string> out;
  std::vector<uint8_t> fr;
  for (size_t at = 0; at < d.size(); at += piece) {
    f.Push(bytes(d) + at, std::min(piece, d.size() - at));
    while (f.Next(fr)) out.emplace_back(fr.begin(), fr.end());
  }
  return out;
}

TEST(AdtsFramer, PassesEveryFrameButTheUnconfirmedLast) {
  const std::string d = file(kAac);
  const auto frames = adts_frames(d);
  ASSERT_GT(frames.size(), 800u);  // 20 s of 1024-sample frames at 44.1 kHz
  for (size_t piece : {size_t{1}, size_t{333}, d.size()}) {
    auto got = frame_all(d, piece);
    ASSERT_EQ(got.size(), frames.size() - 1) << piece;
    EXPECT_TRUE(std::equal(got.begin(), got.end(), frames.begin())) << piece;
  }
}

TEST(AdtsFramer, JoinsMidFrameAndRecoversFromDamage) {
  const std::string d = file(kAac);
  const auto frames = adts_frames(d);
  // a false header whose length points into the middle of the next frame
  const std::string fake = std::string("\xff\xf1\x50\x80\x20\x1f\xfc", 7);
  struct Case {
    const char* what;
    std::string data;
    size_t first;  // index of the first real frame that must come out
  };
  std::vector<Case> cases;
  cases.push_back({"joined mid-frame", d.substr(frames[0].size() + 100), 2});
  std::string damaged = d.substr(0, 200000);
  size_t at = 0, n = 0;
  while (at + frames[n].size() < 100000) at += frames[n++].size();
  std::string junk(400, '\0');
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 37);
  junk.replace(100, fake.size(), fake);
  damaged.replace(at + 10, junk.size(), junk);  // frame n and maybe n+1 are hit
  cases.push_back({"400 damaged bytes", damaged, 0});
  for (const Case& c : cases) {
    auto got = frame_all(c.data, 1000);
    ASSERT_FALSE(got.empty()) << c.what;
    EXPECT_EQ(got[0], frames[c.first]) << c.what;
    // every frame passed is a real one, in order
    size_t j = c.first, missing = 0;
    for (const auto& g : got) {
      while (j < frames.size() && frames[j] != g) ++j, ++missing;
      ASSERT_LT(j, frames.size()) << c.what << ": a frame that was not in the stream";
      ++j;
    }
    // 400 bytes touch at most two real frames at this rate (0.05 s of audio)
    EXPECT_LE(missing, 2u) << c.what;
  }
}

TEST(AdtsFramer, RandomBytesPassNothingAndStayBounded) {
  std::mt19937 rng(11);
  AdtsFramer f;
  std::vector<uint8_t> junk(4096), fr;
  size_t passed = 0;
  for (int i = 0; i < 500; ++i) {
    for (auto& b : junk) b = static_cast<uint8_t>(rng() | (rng() % 7 == 0 ? 0xF0 : 0));
    f.Push(junk.data(), junk.size());
    while (f.Next(fr)) ++passed;
  }
  EXPECT_EQ(passed, 0u);
  EXPECT_GT(f.Skipped(), 2000000u - 9000u);  // all but the last frame's worth
}

// ---- decoding -----------------------------------------------------------------------

TEST(Decoders, EveryFormatGivesItsToneWhateverTheChunks) {
  const struct {
    const char* name;
    Format f;
    int freq;
    int in_channels, in_rate;
  } cases[] = {{kAac, Format::kAac, 1000, 2, 44100},   {kAacMono, Format::kAac, 660, 1, 22050},
               {kHe1, Format::kAac, 1100, 2, 44100},   {kHe2, Format::kAac, 825, 2, 44100},
               {kVorbis, Format::kOgg, 550, 2, 44100}, {kOpus, Format::kOgg, 1320, 2, 48000},
               {kMp3, Format::kMpeg, 440, 2, 44100}};
  for (const auto& c : cases) {
    // the first 2.5 s or more (every file is 20 s long, headers included)
    const std::string all = file(c.name);
    const std::string d = all.substr(0, std::max<size_t>(all.size() / 8, 30000));
    std::unique_ptr<Decoder> probe = MakeDecoder(c.f, kRate);
    probe->Feed(bytes(d), d.size());
    std::vector<int16_t> first;
    ASSERT_EQ(probe->Decode(first), Decoder::Result::kProduced) << c.name;
    // HE-AAC plays at twice the core rate; v2's parametric stereo makes two channels of one
    EXPECT_EQ(probe->InRate(), c.in_rate) << c.name;
    int channels = 0;
    std::vector<int16_t> whole = decode(c.f, d, kRate, {}, &channels);
    EXPECT_EQ(channels, c.in_channels) << c.name;
    ASSERT_GT(whole.size(), 2u * 16 * kRate / 10) << c.name;  // 1.6 s
    auto mid = slice(whole, 0.5, 1.5);
    EXPECT_NEAR(loopback::tone_frequency(mid, kRate), c.freq, c.freq * 0.01) << c.name;
    EXPECT_NEAR(loopback::rms_left(mid), 11585, 1500) << c.name;  // -6 dBFS sine
    // mono reaches both sides
    size_t differ = 0;
    for (size_t i = 0; i + 1 < mid.size(); i += 2) differ += std::abs(mid[i] - mid[i + 1]) > 200;
    if (c.in_channels == 1) {
      EXPECT_EQ(differ, 0u) << c.name;
    }
    std::mt19937 rng(5);
    std::vector<size_t> pieces;
    for (int i = 0; i < 64; ++i) pieces.push_back(1 + rng() % 5000);
    EXPECT_TRUE(decode(c.f, d, kRate, pieces) == whole)
        << c.name << ": different PCM in random pieces";
  }
}

TEST(Decoders, OpusPreSkipAndEndPaddingAreCut) {
  const std::string d = file(kOpus);
  // 20 s at 48 kHz exactly: without the pre-skip cut 312 samples more, without the end
  // cut up to a frame more
  std::vector<int16_t> pcm = decode(Format::kOgg, d, 48000, {4096});
  EXPECT_EQ(pcm.size() / 2, 20u * 48000);
  // the sine starts at once: no encoder delay left at the front
  auto head = slice(pcm, 0, 0.01, 48000);
  EXPECT_GT(loopback::rms_left(head), 5000);
}

TEST(Decoders, ChainedOggContinuesWithoutAGap) {
  const std::string d = file(kChain);
  std::vector<int16_t> pcm = decode(Format::kOgg, d, kRate, {3000});
  // 10 s of Vorbis at 44.1 kHz, then 10 s of Opus at 48 kHz, resampled
  EXPECT_NEAR(static_cast<double>(pcm.size() / 2), 20.0 * kRate, 2);
  EXPECT_NEAR(loopback::tone_frequency(slice(pcm, 1, 9), kRate), 770, 5);
  EXPECT_NEAR(loopback::tone_frequency(slice(pcm, 11, 19), kRate), 990, 5);
  // a sine crosses zero quickly; a gap would be a long quiet run
  EXPECT_LT(longest_quiet(slice(pcm, 0.05, 19.95)), 40u);
}

TEST(Decoders, OggJoinedMidStreamWaitsForTheNextStream) {
  const std::string chain = file(kChain);
  // inside the Vorbis part: its headers are gone, so the Opus part is what plays
  std::vector<int16_t> pcm = decode(Format::kOgg, chain.substr(20000), kRate, {2048});
  EXPECT_NEAR(static_cast<double>(pcm.size() / 2), 10.0 * kRate, 2);
  EXPECT_NEAR(loopback::tone_frequency(pcm, kRate), 990, 5);
  // an Opus stream joined in the middle, then the same stream from its start
  const std::string opus = file(kOpus);
  pcm = decode(Format::kOgg, opus.substr(100001) + opus, 48000, {5000});
  EXPECT_EQ(pcm.size() / 2, 20u * 48000);
}

TEST(Decoders, DamagedAacLosesLittle) {
  const std::string d = file(kAac).substr(0, 160000);  // 13 s
  std::vector<int16_t> clean = decode(Format::kAac, d, kRate, {4096});
  std::string damaged = d;
  std::mt19937 rng(9);
  for (size_t at = 50000; at + 400 < damaged.size(); at += 60000)
    for (size_t i = 0; i < 400; ++i)
      damaged[at + i] = static_cast<char>(i == 7 ? 0xFF : i == 8 ? 0xF1 : rng());
  std::vector<int16_t> pcm = decode(Format::kAac, damaged, kRate, {4096});
  const size_t hits = (d.size() - 50000) / 60000 + 1;
  // 400 bytes touch at most three frames of 96 kbit/s (3 x 1024 samples, 0.07 s)
  EXPECT_GE(pcm.size() / 2 + hits * 3 * 1024, clean.size() / 2);
  EXPECT_LE(pcm.size(), clean.size());
  EXPECT_NEAR(loopback::tone_frequency(slice(pcm, 2, 4), kRate), 1000, 10);
}

// The Vorbis identification header with another rate; its page gets its checksum again.
std::string with_vorbis_rate(std::string ogg, uint32_t rate) {
  size_t at = ogg.find(std::string("\x01vorbis", 7)) + 7 + 4 + 1;  // version, channels
  for (int i = 0; i < 4; ++i) ogg[at + i] = static_cast<char>(rate >> (8 * i));
  size_t page = ogg.rfind("OggS", at);
  auto* p = reinterpret_cast<uint8_t*>(&ogg[page]);
  size_t len = 27u + p[26];
  for (int i = 0; i < p[26]; ++i) len += p[27 + i];
  std::memset(p + 22, 0, 4);
  uint32_t crc = 0;
  for (size_t i = 0; i < len; ++i) {
    crc ^= static_cast<uint32_t>(p[i]) << 24;
    for (int b = 0; b < 8; ++b) crc = crc & 0x80000000u ? crc << 1 ^ 0x04C11DB7u : crc << 1;
  }
  for (int i = 0; i < 4; ++i) p[22 + i] = static_cast<uint8_t>(crc >> (8 * i));
  return ogg;
}

TEST(Decoders, RatesOutsideTheirRangeFailTheStream) {
  const std::string vorbis = file(kVorbis).substr(0, 60000);
  const struct {
    const char* what;
    Format f;
    std::string data;
    bool plays;
  } cases[] = {
      {"Vorbis declaring 1 Hz", Format::kOgg, with_vorbis_rate(vorbis, 1), false},
      {"Vorbis declaring 7999 Hz", Format::kOgg, with_vorbis_rate(vorbis, 7999), false},
      {"Vorbis declaring 192001 Hz", Format::kOgg, with_vorbis_rate(vorbis, 192001), false},
      {"Vorbis declaring 8000 Hz", Format::kOgg, with_vorbis_rate(vorbis, 8000), true},
      {"Vorbis declaring 192000 Hz", Format::kOgg, with_vorbis_rate(vorbis, 192000), true},
      {"AAC at 7350 Hz", Format::kAac, file("tone440_16k_7350_m.aac").substr(0, 20000), false},
      {"AAC at 8000 Hz", Format::kAac, file("tone440_16k_8000_m.aac").substr(0, 20000), true},
      {"MPEG at 8000 Hz", Format::kMpeg, file("tone440_8k_8000_m.mp3").substr(0, 20000), true},
  };
  for (const auto& c : cases) {
    for (int out_rate : {8000, 44100, 192000}) {
      std::unique_ptr<Decoder> d = MakeDecoder(c.f, out_rate);
      d->Feed(bytes(c.data), c.data.size());
      std::vector<int16_t> out;
      size_t produced = 0, failed = 0;
      for (int i = 0; i < 400; ++i) {
        const size_t before = out.size();
        Decoder::Result r = d->Decode(out);
        EXPECT_LE(out.size() - before, 2 * Decoder::kMaxDecodeFrames) << c.what;
        if (r == Decoder::Result::kFailed) {
          EXPECT_EQ(out.size(), before) << c.what << ": a failing call gives nothing";
          ++failed;
        } else if (r == Decoder::Result::kProduced) {
          EXPECT_EQ(failed, 0u) << c.what << ": a failed stream stays failed";
          ++produced;
        }
        if (r == Decoder::Result::kNeedMore || out.size() > 8 * Decoder::kMaxDecodeFrames) break;
      }
      if (c.plays) {
        EXPECT_GT(produced, 10u) << c.what << " to " << out_rate;
        EXPECT_EQ(failed, 0u) << c.what << " to " << out_rate;
      } else {
        EXPECT_GT(failed, 0u) << c.what << " to " << out_rate;
        EXPECT_EQ(out.size(), 0u) << c.what << " to " << out_rate;
      }
    }
  }
}

// ---- titles of chained Ogg -------------------------------------------------------------

TEST(OggTitles, EachLogicalStreamsCommentsBecomeTheTitle) {
  const std::string chain = file(kChain);
  const struct {
    const char* what;
    std::string data;
    std::vector<std::string> titles;
  } cases[] = {
      {"chain",
       chain,
       {"StreamTitle='Тиволна - Первая часть';", "StreamTitle='Тиволна - Вторая часть';"}},
      {"joined mid-stream", chain.substr(20000), {"StreamTitle='Тиволна - Вторая часть';"}},
      {"Opus", file(kOpus), {"StreamTitle='Тиволна - Опус 1320';"}},
  };
  for (const auto& c : cases) {
    OggTitleScanner scan;
    std::vector<std::string> got;
    for (size_t at = 0; at < c.data.size(); at += 1500) {
      scan.Feed(bytes(c.data) + at, std::min<size_t>(1500, c.data.size() - at));
      std::string t;
      if (scan.Take(t)) got.push_back(t);
    }
    EXPECT_EQ(got, c.titles) << c.what;
  }
}

TEST(OggTitles, CommentHeaderFields) {
  auto header = [](const char* magic, size_t mlen, std::vector<std::string> fields) {
    std::string s(magic, mlen);
    auto put32 = [&](size_t v) {
      for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
    };
    put32(6);
    s += "vendor";
    put32(fields.size());
    for (const auto& f : fields) {
      put32(f.size());
      s += f;
    }
    return s;
  };
  const struct {
    std::string packet;
    bool ok;
    const char* title;
  } cases[] = {
      {header("\x03vorbis", 7, {"title=Song", "Artist=Band"}), true, "Band - Song"},
      {header("OpusTags", 8, {"TITLE=Only"}), true, "Only"},
      {header("OpusTags", 8, {"ARTIST=Solo", "ALBUM=x"}), true, "Solo"},
      {header("OpusTags", 8, {"ALBUM=x", "TITLEX=y", "TITLE"}), false, ""},
      {header("\x03vorbis", 7, {"TITLE=Cut"}).substr(0, 30), false,
       ""},  // field length past the end
      {header("\x01vorbis", 7, {"TITLE=Wrong"}), false, ""},
  };
  for (const auto& c : cases) {
    std::string t;
    EXPECT_EQ(OggCommentTitle(bytes(c.packet), c.packet.size(), t), c.ok) << c.title;
    if (c.ok) {
      EXPECT_EQ(t, c.title);
    }
  }
}

}  // namespace
