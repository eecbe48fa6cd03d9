// The library's parsers and converters on their own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "audio/decoder.h"
#include "audio/icy.h"
#include "audio/mpeg_header.h"
#include "audio/playlist.h"

namespace {

// ---- ICY metadata -------------------------------------------------------------------

std::string meta_block(const std::string& text) {
  size_t len = (text.size() + 15) / 16;
  std::string b(1, static_cast<char>(len));
  b += text;
  b.append(len * 16 - text.size(), '\0');
  return b;
}

struct Demuxed {
  std::string audio;
  std::vector<std::string> texts;  // the text after each piece that completed one
};

Demuxed demux(uint32_t metaint, const std::string& body, std::vector<size_t> cuts) {
  audio::IcyDemux d(metaint);
  Demuxed r;
  std::string meta;
  size_t pos = 0;
  for (size_t i = 0; pos < body.size(); ++i) {
    size_t n = cuts.empty() ? body.size() : std::min(cuts[i % cuts.size()], body.size() - pos);
    if (d.Feed(reinterpret_cast<const uint8_t*>(body.data() + pos), n, r.audio, meta))
      r.texts.push_back(meta);
    pos += n;
  }
  return r;
}

TEST(IcyDemux, TakesMetadataOutAtEveryInterval) {
  const std::string a(100, 'a'), b(100, 'b'), c(100, 'c'), d(100, 'd');
  const std::string t1 = "StreamTitle='One';StreamUrl='';", t2 = "StreamTitle='Two';";
  // block with text, empty block, block with text, then a block cut off by the end
  const std::string body = a + meta_block(t1) + b + std::string(1, '\0') + c + meta_block(t2) + d;
  const std::string cut = body + "\x05StreamTitle='Lost";
  for (const std::vector<size_t>& cuts :
       std::vector<std::vector<size_t>>{{1}, {7, 1, 100, 3}, {99, 2, 33}}) {
    Demuxed r = demux(100, cut, cuts);
    EXPECT_EQ(r.audio, a + b + c + d);
    ASSERT_EQ(r.texts.size(), 2u);
    EXPECT_EQ(r.texts[0], t1);  // NUL padding removed
    EXPECT_EQ(r.texts[1], t2);
  }
  // in one piece only the latest text is left
  Demuxed r = demux(100, cut, {});
  EXPECT_EQ(r.audio, a + b + c + d);
  EXPECT_EQ(r.texts, std::vector<std::string>{t2});
}

TEST(IcyDemux, WithoutMetaintEverythingIsAudio) {
  const std::string body = std::string(50, 'x') + meta_block("StreamTitle='Not';") + "tail";
  Demuxed r = demux(0, body, {3});
  EXPECT_EQ(r.audio, body);
  EXPECT_TRUE(r.texts.empty());
}

TEST(IcyMetaint, AcceptsSaneValuesOnly) {
  uint32_t v = 7;
  EXPECT_TRUE(audio::ParseMetaint("16000", v));
  EXPECT_EQ(v, 16000u);
  EXPECT_TRUE(audio::ParseMetaint("0", v));
  EXPECT_EQ(v, 0u);
  EXPECT_TRUE(audio::ParseMetaint("1048576", v));
  for (const char* bad : {"", "-5", "1048577", "2147483647", "99999999999", "16k", "abc", "8192x"})
    EXPECT_FALSE(audio::ParseMetaint(bad, v)) << bad;
}

// ---- playlists ----------------------------------------------------------------------

TEST(Playlist, KindFromContentType) {
  using audio::PlaylistKind;
  EXPECT_EQ(audio::PlaylistKindFromType("audio/x-mpegurl"), PlaylistKind::kM3u);
  EXPECT_EQ(audio::PlaylistKindFromType("Audio/MPEGURL; charset=utf-8"), PlaylistKind::kM3u);
  EXPECT_EQ(audio::PlaylistKindFromType("application/vnd.apple.mpegurl"), PlaylistKind::kM3u);
  EXPECT_EQ(audio::PlaylistKindFromType("application/x-mpegurl"), PlaylistKind::kM3u);
  EXPECT_EQ(audio::PlaylistKindFromType("audio/x-scpls"), PlaylistKind::kPls);
  EXPECT_EQ(audio::PlaylistKindFromType("video/x-ms-asf"), PlaylistKind::kAsx);
  EXPECT_EQ(audio::PlaylistKindFromType("video/x-ms-asx"), PlaylistKind::kAsx);
  EXPECT_EQ(audio::PlaylistKindFromType("audio/mpeg"), PlaylistKind::kNone);
  EXPECT_EQ(audio::PlaylistKindFromType("text/html"), PlaylistKind::kNone);
  EXPECT_EQ(audio::PlaylistKindFromType(""), PlaylistKind::kNone);
}

TEST(Playlist, KindFromBody) {
  using audio::PlaylistKind;
  EXPECT_EQ(audio::PlaylistKindFromBody("#EXTM3U\r\n#EXTINF:-1,x\r\nhttp://h/s\r\n"),
            PlaylistKind::kM3u);
  EXPECT_EQ(audio::PlaylistKindFromBody("\xEF\xBB\xBF  [Playlist]\nFile1=http://h/s\n"),
            PlaylistKind::kPls);
  EXPECT_EQ(audio::PlaylistKindFromBody(
                "<ASX version=\"3.0\"><entry><ref href=\"http://h/s\"/></entry></asx>"),
            PlaylistKind::kAsx);
  EXPECT_NE(audio::PlaylistKindFromBody("http://h:8000/live\nhttp://h:8001/live\n"),
            PlaylistKind::kNone);
  EXPECT_EQ(audio::PlaylistKindFromBody("<html><body>Not found</body></html>"),
            PlaylistKind::kNone);
  EXPECT_EQ(audio::PlaylistKindFromBody(std::string("\xFF\xFB\x90\x00\x00\x00http://", 13)),
            PlaylistKind::kNone);
  EXPECT_EQ(audio::PlaylistKindFromBody(""), PlaylistKind::kNone);
}

TEST(Playlist, EntriesInOrder) {
  using audio::PlaylistKind;
  using V = std::vector<std::string>;
  EXPECT_EQ(
      audio::ParsePlaylist(
          PlaylistKind::kM3u,
          "#EXTM3U\r\n#EXTINF:-1,One\r\nhttp://h/1\r\n\r\n  rel/2.mp3 \r\n# note\nhttp://h/3"),
      (V{"http://h/1", "rel/2.mp3", "http://h/3"}));
  EXPECT_EQ(audio::ParsePlaylist(
                PlaylistKind::kPls,
                "[playlist]\nNumberOfEntries=3\nFile3=http://h/3\nTitle3=x\nFile1=http://h/1\n"
                "file2=http://h/2\nLength1=-1\nVersion=2\n"),
            (V{"http://h/1", "http://h/2", "http://h/3"}));
  EXPECT_EQ(audio::ParsePlaylist(
                PlaylistKind::kAsx,
                "<asx version=\"3.0\"><title>t</title><entry><REF HREF = 'http://h/1' /></entry>\n"
                "<Entry><ref href=\"http://h/2\"/></Entry></asx>"),
            (V{"http://h/1", "http://h/2"}));
  EXPECT_TRUE(audio::ParsePlaylist(PlaylistKind::kPls, "[playlist]\nNumberOfEntries=0\n").empty());
}

TEST(Playlist, ByteOrderMarksInEveryKind) {
  using audio::PlaylistKind;
  using V = std::vector<std::string>;
  auto utf16 = [](const std::string& ascii, bool big) {
    std::string s = big ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) s += big ? std::string{'\0', c} : std::string{c, '\0'};
    return s;
  };
  const struct {
    PlaylistKind kind;
    std::string text;
  } cases[] = {
      {PlaylistKind::kM3u, "#EXTM3U\r\nhttp://h/1\r\n"},
      {PlaylistKind::kUrlList, "http://h/1\n"},
      {PlaylistKind::kPls, "[playlist]\nFile1=http://h/1\n"},
      {PlaylistKind::kAsx, "<asx version=\"3.0\"><entry><ref href=\"http://h/1\"/></entry></asx>"},
      {PlaylistKind::kAsx, "[Reference]\r\nRef1=http://h/1\r\n"}};
  for (const auto& c : cases) {
    for (const std::string& body :
         {"\xEF\xBB\xBF" + c.text, utf16(c.text, false), utf16(c.text, true)}) {
      EXPECT_EQ(audio::PlaylistKindFromBody(body), c.kind) << c.text;
      EXPECT_EQ(audio::ParsePlaylist(c.kind, body), V{"http://h/1"}) << c.text;
    }
  }
  // Beyond the first plane, and a lone surrogate.
  EXPECT_EQ(audio::ParsePlaylist(PlaylistKind::kM3u,
                                 std::string("\xFF\xFEh\0=\0\x3D\xD8\x00\xDE\x00\xD8", 12)),
            V{"h=\xF0\x9F\x98\x80\xEF\xBF\xBD"});
}

// The playlists other projects test with, from the shared folder beside the repository
// (skipped when it is not there): what the parser finds in each, the kind taken from the
// body or, failing that, from the file's type as a server would declare it.
TEST(Playlist, RealWorldFiles) {
  const char* env = std::getenv("TIVOLNA_SHARED_DIR");
  const std::filesystem::path dir =
      std::filesystem::path(env ? env : TIVOLNA_SOURCE_DIR "/../shared") / "real-world" /
      "playlists";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no " << dir;
  const struct {
    const char* file;
    size_t entries;
    const char* first;
  } files[] = {
      {"amarok--test.pls", 4, "http://85.214.44.27:8000"},
      {"amarok--test2.asx", 2, "http://85.214.44.27:8000"},
      {"amarok--test2.m3u", 11, "../audio/Platz 01.mp3"},
      {"banshee--extended.pls", 5, "http://remote/remote.pls"},
      {"banshee--reference_local.asx", 2, "relative/local.mp3"},
      {"banshee--reference_remote.asx", 2, "http://remote/remote.mp3"},
      {"clementine--pls_one.pls", 1, "filename with spaces.mp3"},
      {"clementine--secretagent.asx", 4, "http://streamer-ntc-aa03.somafm.com:80/stream/1021"},
      {"clementine--test.asxini", 2, "http://195.245.168.21/antena3?MSWMExt=.asf"},
      {"fileformat--sample.m3u", 0, ""},
      {"fileformat--sample.pls", 0, ""},
      {"fileformat--sample2.asx", 0, ""},
      {"jsplparser--bad_extended.m3u", 1, "http://radio.4duk.ru:80/4duk40.mp3"},
      {"jsplparser--bad_extended2.m3u", 1,
       "http://195.10.10.206/copesedes/pamplona-low.mp3?GKID=a6a781cca19511e49ff300163e25ebaa"},
      {"jsplparser--bad_extended3.m3u", 1,
       "http://mp3.live.tv-radio.com/franceinter/all/franceinterhautdebit.mp3"},
      {"jsplparser--example.asx", 1, "http://kexp-mp3-2.cac.washington.edu:8000/"},
      {"jsplparser--example.pls", 3, "http://94.23.216.58:8800"},
      {"jsplparser--extended.m3u", 5, "~/Music/RotAM.mp3"},
      {"jsplparser--malformed.asx", 2, "http://stream.radiotime.com/sample.mp3"},
      {"jsplparser--malformed_no_attributes.asx", 0, ""},
      {"jsplparser--malformed_wrong_case.asx", 1, "http://kexp-mp3-2.cac.washington.edu:8000/"},
      {"jsplparser--mixed.m3u8", 5, "/Users/Nicholas/Music/lateralus_clip.ogg"},
      {"jsplparser--pound_hash_name.m3u", 1, "~/Music/RotAM.mp3"},
      {"jsplparser--url.m3u", 2, "http://stream-sd.radioparadise.com:8058"},
      {"kodi--test.asx", 3, "http://example.com/announcement.wma"},
      {"lizzy--playlist-iso-8859-1.m3u", 2, "C:\\Music\\SampleMusic.mp3"},
      {"lizzy--playlist-utf16be-bom.m3u", 2, "C:\\Music\\SampleMusic.mp3"},
      {"lizzy--playlist-utf16le-bom.m3u", 2, "C:\\Music\\SampleMusic.mp3"},
      {"lizzy--playlist-utf8-bom.m3u", 2, "C:\\Music\\SampleMusic.mp3"},
      {"lizzy--test01.asx", 1, "http://www.johnsmith.com/media/Raging_Tango.mp3"},
      {"lizzy--test01.wax", 2, "mms://windowsmediaserver/path/yourfile.asf"},
      {"lizzy--test02.m3u", 6, "Alternative\\Song.mp3"},
      {"lizzy--test02.pls", 1, "http://www.panix.com/web/faq/multimedia/sample.mp3"},
      {"lizzy--test03.asx", 2, "http://example.com/announcement.wma"},
      {"lizzy--test04.pls", 1, "http://itsreggae.com:8004/"},
      {"lizzy--test05.asx", 1, "http://sample.microsoft.com/metafile.asx"},
      {"lizzy--test05.pls", 3, "/fs/My Music/Eloy/02 Journey into 1358.mp3"},
      {"playlistsnet--LatinEncoding.m3u", 1,
       "M:\\R\xF6"
       "yksopp feat. Susanne Sundf\xF8"
       "r - Running To The Sea.mp3"},
      {"playlistsnet--Playlist.pls", 3, "http://stream3.polskieradio.pl:8902/"},
      {"playlistsnet--Playlist2.pls", 4, "http://stream3.polskieradio.pl:8902/"},
      {"playlistsnet--PlaylistExt.m3u", 3, "D:\\Muzyka\\Andrea Bocelli\\04 Chiara.mp3"},
      {"playlistsnet--PlaylistExtHls.m3u", 56, "stream1_256k_1_061532839410_00147483_v3.aac"},
      {"playlistsnet--PlaylistExtHlsMaster.m3u", 4, "HLS_9506_256k_v3/9506_256k_large_v3.m3u8"},
      {"playlistsnet--PlaylistNotExt.m3u", 3, "D:\\Muzyka\\Andrea Bocelli\\04 Chiara.mp3"},
      {"playlistsnet--PlaylistVLC.m3u", 1,
       "Aimer/%E6%98%A5%E3%81%AF%E3%82%86%E3%81%8F%20-%20marie/01%20-%20%E6%98%A5%E3%81%AF%E3%82%86%E3%81%8F.flac"},
      {"singularity--playlist.asx", 1, "mms://wm.example.com/radio?a=1&b=2"},
      {"totem--BassDrive.pls", 12, "http://shouthostdirect16.streams.bassdrive.com:8200"},
      {"totem--O_G_Money_Snoop_Dogg.m3u", 1,
       "http://media.ArtistServer.com/tracks/23985/21898/1/1/5e302b19727b666f5825/0/O_G_Money_-_Girl_Gotta_girlfriend_Feat_O_G_Money,_Snoop_Dogg.mp3"},
      {"totem--WMA9.1_98_quality_48khz_vbr_s.wma", 2,
       "http://195.134.224.231/wma/WMA9.1_98_quality_48khz_vbr_s.wma?MSWMExt=.asf"},
      {"totem--asf-with-asx-suffix.asx", 0, ""},
      {"totem--audio.php", 0, ""},
      {"totem--empty-asx.asx", 0, ""},
      {"totem--emptyplaylist.pls", 0, ""},
      {"totem--live-streaming.m3u", 1, "http://media.example.com/entire.ts"},
      {"totem--missing-items.pls", 19,
       "http://network.absoluteradio.co.uk/core/audio/ogg/live.pls?service=vr"},
      {"totem--pukas.wax", 2, "mms://82.135.234.195/Pukas"},
      {"totem--radioclasica.mp3.m3u", 1,
       "http://195.10.10.207/rtve/radioclasica.mp3?GKID=8b5081ecad8d11e2973900163e914f68"},
      {"totem--radios-freebox.m3u", 1,
       "rtsp://mafreebox.freebox.fr/fbxtv_pub/stream?namespace=1&service=100004"},
      {"totem--relative.m3u", 1, "3gpp-file.mp4"},
      {"totem--separator.m3u", 1, "http://www.icradio.com/media-icrfs2/226313.mp3"},
  };
  size_t seen = 0;
  for (const auto& f : files) {
    std::ifstream in(dir / f.file, std::ios::binary);
    if (!in) continue;
    ++seen;
    std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    audio::PlaylistKind kind = audio::PlaylistKindFromBody(body);
    const std::string ext = std::filesystem::path(f.file).extension().string();
    if (kind == audio::PlaylistKind::kNone) {
      if (ext == ".m3u" || ext == ".m3u8") kind = audio::PlaylistKind::kM3u;
      if (ext == ".pls") kind = audio::PlaylistKind::kPls;
      if (ext == ".asx" || ext == ".wax" || ext == ".asxini") kind = audio::PlaylistKind::kAsx;
    }
    std::vector<std::string> entries = audio::ParsePlaylist(kind, body);
    EXPECT_EQ(entries.size(), f.entries) << f.file;
    EXPECT_EQ(entries.empty() ? "" : entries[0], f.first) << f.file;
  }
  EXPECT_EQ(seen, sizeof files / sizeof files[0]) << "files missing from " << dir;
}

// ---- MPEG frame headers -------------------------------------------------------------

struct HeaderCase {
  uint8_t b[4];
  int version, layer, kbps, rate, channels;
  size_t length;
};

TEST(MpegHeader, ParsesEveryVersionAndLayer) {
  const HeaderCase cases[] = {
      {{0xFF, 0xFB, 0x90, 0x00}, 10, 3, 128, 44100, 2, 417},  // MPEG-1 layer 3
      {{0xFF, 0xFB, 0x92, 0x00}, 10, 3, 128, 44100, 2, 418},  // padded
      {{0xFF, 0xFB, 0x94, 0xC0}, 10, 3, 128, 48000, 1, 384},  // mono
      {{0xFF, 0xF3, 0x84, 0x00}, 20, 3, 64, 24000, 2, 192},   // MPEG-2
      {{0xFF, 0xE3, 0x18, 0xC0}, 25, 3, 8, 8000, 1, 72},      // MPEG-2.5
      {{0xFF, 0xFD, 0xA0, 0x00}, 10, 2, 192, 44100, 2, 626},  // layer 2
      {{0xFF, 0xFF, 0x40, 0x00}, 10, 1, 128, 44100, 2, 136},  // layer 1
  };
  for (const HeaderCase& c : cases) {
    audio::MpegFrame f;
    ASSERT_TRUE(audio::ParseMpegHeader(c.b, f)) << int(c.b[1]) << " " << int(c.b[2]);
    EXPECT_EQ(f.version, c.version);
    EXPECT_EQ(f.layer, c.layer);
    EXPECT_EQ(f.bitrate_kbps, c.kbps);
    EXPECT_EQ(f.sample_rate, c.rate);
    EXPECT_EQ(f.channels, c.channels);
    EXPECT_EQ(f.length, c.length);
  }
}

TEST(MpegHeader, RejectsReservedFields) {
  const uint8_t bad[][4] = {
      {0xFF, 0xFB, 0xF0, 0x00},  // bitrate index 15
      {0xFF, 0xFB, 0x00, 0x00},  // free format
      {0xFF, 0xFB, 0x9C, 0x00},  // rate index 3
      {0xFF, 0xEB, 0x90, 0x00},  // version 01
      {0xFF, 0xF9, 0x90, 0x00},  // layer 00
      {0xFE, 0xFB, 0x90, 0x00},  // no sync
      {'<', 'h', 't', 'm'},
  };
  for (const auto& b : bad) {
    audio::MpegFrame f;
    EXPECT_FALSE(audio::ParseMpegHeader(b, f)) << int(b[0]) << " " << int(b[1]) << " " << int(b[2]);
  }
}

std::string frames(const uint8_t h[4], size_t length, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) {
    std::string f(length, '\0');
    for (int k = 0; k < 4; ++k) f[k] = static_cast<char>(h[k]);
    s += f;
  }
  return s;
}

TEST(MpegSync, FindsAChainOfFramesAfterJunk) {
  const uint8_t h[4] = {0xFF, 0xFB, 0x90, 0x00};
  const std::string junk = "ID3-like junk \xFF\xFB\x90 stray header bytes";
  const std::string data = junk + frames(h, 417, 6);
  size_t off = 0;
  audio::MpegFrame first;
  ASSERT_TRUE(audio::FindMpegSync(reinterpret_cast<const uint8_t*>(data.data()), data.size(), 4,
                                  off, first));
  EXPECT_EQ(off, junk.size());
  EXPECT_EQ(first.sample_rate, 44100);

  const std::string short_run = frames(h, 417, 2);
  EXPECT_FALSE(audio::FindMpegSync(reinterpret_cast<const uint8_t*>(short_run.data()),
                                   short_run.size(), 4, off, first));
}

TEST(MpegSync, RandomBytesAndTextAreNotAudio) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 5; ++round) {
    std::vector<uint8_t> noise(64 * 1024);
    for (auto& b : noise) b = static_cast<uint8_t>(rng());
    size_t off = 0;
    audio::MpegFrame f;
    EXPECT_FALSE(audio::FindMpegSync(noise.data(), noise.size(), 4, off, f)) << "round " << round;
  }
  std::string html;
  while (html.size() < 20000) html += "<html><body><p>Station offline</p></body></html>\n";
  size_t off = 0;
  audio::MpegFrame f;
  EXPECT_FALSE(
      audio::FindMpegSync(reinterpret_cast<const uint8_t*>(html.data()), html.size(), 4, off, f));
}

// ---- resampling ---------------------------------------------------------------------

std::vector<int16_t> sine(double freq, int rate, size_t n) {
  std::vector<int16_t> s(n * 2);
  for (size_t i = 0; i < n; ++i)
    s[2 * i] = s[2 * i + 1] = static_cast<int16_t>(10000 * std::sin(2 * M_PI * freq * i / rate));
  return s;
}

double rising_crossings_freq(const std::vector<int16_t>& s, int rate) {
  size_t n = s.size() / 2, rising = 0, first = 0, last = 0;
  for (size_t i = 1; i < n; ++i)
    if (s[2 * (i - 1)] < 0 && s[2 * i] >= 0) {
      if (!rising) first = i;
      last = i;
      ++rising;
    }
  return rising > 1 ? (rising - 1) * static_cast<double>(rate) / (last - first) : 0;
}

TEST(Resampler, KeepsPitchAndDurationAcrossChunks) {
  for (int in_rate : {8000, 22050, 24000, 32000, 48000, 44100}) {
    audio::Resampler r;
    r.Reset(in_rate, 44100);
    const std::vector<int16_t> in = sine(440, in_rate, static_cast<size_t>(in_rate));  // one second
    std::vector<int16_t> out;
    size_t pos = 0, chunk = 1;
    while (pos < in.size() / 2) {
      size_t n = std::min(chunk, in.size() / 2 - pos);
      r.Process(in.data() + pos * 2, n, out);
      pos += n;
      chunk = chunk * 3 % 1153 + 1;  // uneven chunk sizes, 1 frame included
    }
    const double frames = out.size() / 2.0;
    EXPECT_NEAR(frames, 44100, 44100.0 / in_rate + 2) << in_rate;  // one input frame held back
    EXPECT_NEAR(rising_crossings_freq(out, 44100), 440, 2) << in_rate;
    // no clicks at chunk borders: neighbours of a 440 Hz sine differ by little
    int jump = 0;
    for (size_t i = 1; i < out.size() / 2; ++i)
      jump = std::max(jump, std::abs(out[2 * i] - out[2 * i - 2]));
    EXPECT_LT(jump, 10000 * 2 * M_PI * 440 / std::min(in_rate, 44100) * 1.6 + 50) << in_rate;
  }
}

}  // namespace
