// The library's parsers and converters on their own.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "audio/decoder.h"
#include "audio/icy.h"
#include "audio/mpeg_header.h"
#include "audio/playlist.h"

namespace {

// ---- ICY metadata -------------------------------------------------------------------

std::string meta_block(const std::string &text) {
    size_t len = (text.size() + 15) / 16;
    std::string b(1, static_cast<char>(len));
    b += text;
    b.append(len * 16 - text.size(), '\0');
    return b;
}

struct Demuxed {
    std::string audio;
    std::vector<std::string> texts; // the text after each piece that completed one
};

Demuxed demux(uint32_t metaint, const std::string &body, std::vector<size_t> cuts) {
    audio::IcyDemux d(metaint);
    Demuxed r;
    std::string meta;
    size_t pos = 0;
    for (size_t i = 0; pos < body.size(); ++i) {
        size_t n = cuts.empty() ? body.size() : std::min(cuts[i % cuts.size()], body.size() - pos);
        if (d.feed(reinterpret_cast<const uint8_t *>(body.data() + pos), n, r.audio, meta)) r.texts.push_back(meta);
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
    for (const std::vector<size_t> &cuts : std::vector<std::vector<size_t>>{{1}, {7, 1, 100, 3}, {99, 2, 33}}) {
        Demuxed r = demux(100, cut, cuts);
        EXPECT_EQ(r.audio, a + b + c + d);
        ASSERT_EQ(r.texts.size(), 2u);
        EXPECT_EQ(r.texts[0], t1); // NUL padding removed
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
    EXPECT_TRUE(audio::parse_metaint("16000", v));
    EXPECT_EQ(v, 16000u);
    EXPECT_TRUE(audio::parse_metaint("0", v));
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(audio::parse_metaint("1048576", v));
    for (const char *bad : {"", "-5", "1048577", "2147483647", "99999999999", "16k", "abc", "8192x"})
        EXPECT_FALSE(audio::parse_metaint(bad, v)) << bad;
}

// ---- playlists ----------------------------------------------------------------------

TEST(Playlist, KindFromContentType) {
    using audio::PlaylistKind;
    EXPECT_EQ(audio::playlist_kind_from_type("audio/x-mpegurl"), PlaylistKind::M3u);
    EXPECT_EQ(audio::playlist_kind_from_type("Audio/MPEGURL; charset=utf-8"), PlaylistKind::M3u);
    EXPECT_EQ(audio::playlist_kind_from_type("application/vnd.apple.mpegurl"), PlaylistKind::M3u);
    EXPECT_EQ(audio::playlist_kind_from_type("application/x-mpegurl"), PlaylistKind::M3u);
    EXPECT_EQ(audio::playlist_kind_from_type("audio/x-scpls"), PlaylistKind::Pls);
    EXPECT_EQ(audio::playlist_kind_from_type("video/x-ms-asf"), PlaylistKind::Asx);
    EXPECT_EQ(audio::playlist_kind_from_type("video/x-ms-asx"), PlaylistKind::Asx);
    EXPECT_EQ(audio::playlist_kind_from_type("audio/mpeg"), PlaylistKind::None);
    EXPECT_EQ(audio::playlist_kind_from_type("text/html"), PlaylistKind::None);
    EXPECT_EQ(audio::playlist_kind_from_type(""), PlaylistKind::None);
}

TEST(Playlist, KindFromBody) {
    using audio::PlaylistKind;
    EXPECT_EQ(audio::playlist_kind_from_body("#EXTM3U\r\n#EXTINF:-1,x\r\nhttp://h/s\r\n"), PlaylistKind::M3u);
    EXPECT_EQ(audio::playlist_kind_from_body("\xEF\xBB\xBF  [Playlist]\nFile1=http://h/s\n"), PlaylistKind::Pls);
    EXPECT_EQ(audio::playlist_kind_from_body("<ASX version=\"3.0\"><entry><ref href=\"http://h/s\"/></entry></asx>"),
              PlaylistKind::Asx);
    EXPECT_NE(audio::playlist_kind_from_body("http://h:8000/live\nhttp://h:8001/live\n"), PlaylistKind::None);
    EXPECT_EQ(audio::playlist_kind_from_body("<html><body>Not found</body></html>"), PlaylistKind::None);
    EXPECT_EQ(audio::playlist_kind_from_body(std::string("\xFF\xFB\x90\x00\x00\x00http://", 13)), PlaylistKind::None);
    EXPECT_EQ(audio::playlist_kind_from_body(""), PlaylistKind::None);
}

TEST(Playlist, EntriesInOrder) {
    using audio::PlaylistKind;
    using V = std::vector<std::string>;
    EXPECT_EQ(audio::parse_playlist(PlaylistKind::M3u, "#EXTM3U\r\n#EXTINF:-1,One\r\nhttp://h/1\r\n\r\n  rel/2.mp3 \r\n# note\nhttp://h/3"),
              (V{"http://h/1", "rel/2.mp3", "http://h/3"}));
    EXPECT_EQ(audio::parse_playlist(PlaylistKind::Pls,
                                    "[playlist]\nNumberOfEntries=3\nFile3=http://h/3\nTitle3=x\nFile1=http://h/1\n"
                                    "file2=http://h/2\nLength1=-1\nVersion=2\n"),
              (V{"http://h/1", "http://h/2", "http://h/3"}));
    EXPECT_EQ(audio::parse_playlist(PlaylistKind::Asx,
                                    "<asx version=\"3.0\"><title>t</title><entry><REF HREF = 'http://h/1' /></entry>\n"
                                    "<Entry><ref href=\"http://h/2\"/></Entry></asx>"),
              (V{"http://h/1", "http://h/2"}));
    EXPECT_TRUE(audio::parse_playlist(PlaylistKind::Pls, "[playlist]\nNumberOfEntries=0\n").empty());
}

// ---- MPEG frame headers -------------------------------------------------------------

struct HeaderCase {
    uint8_t b[4];
    int version, layer, kbps, rate, channels;
    size_t length;
};

TEST(MpegHeader, ParsesEveryVersionAndLayer) {
    const HeaderCase cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, 10, 3, 128, 44100, 2, 417}, // MPEG-1 layer 3
        {{0xFF, 0xFB, 0x92, 0x00}, 10, 3, 128, 44100, 2, 418}, // padded
        {{0xFF, 0xFB, 0x94, 0xC0}, 10, 3, 128, 48000, 1, 384}, // mono
        {{0xFF, 0xF3, 0x84, 0x00}, 20, 3, 64, 24000, 2, 192},  // MPEG-2
        {{0xFF, 0xE3, 0x18, 0xC0}, 25, 3, 8, 8000, 1, 72},     // MPEG-2.5
        {{0xFF, 0xFD, 0xA0, 0x00}, 10, 2, 192, 44100, 2, 626}, // layer 2
        {{0xFF, 0xFF, 0x40, 0x00}, 10, 1, 128, 44100, 2, 136}, // layer 1
    };
    for (const HeaderCase &c : cases) {
        audio::MpegFrame f;
        ASSERT_TRUE(audio::parse_mpeg_header(c.b, f)) << int(c.b[1]) << " " << int(c.b[2]);
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
        {0xFF, 0xFB, 0xF0, 0x00}, // bitrate index 15
        {0xFF, 0xFB, 0x00, 0x00}, // free format
        {0xFF, 0xFB, 0x9C, 0x00}, // rate index 3
        {0xFF, 0xEB, 0x90, 0x00}, // version 01
        {0xFF, 0xF9, 0x90, 0x00}, // layer 00
        {0xFE, 0xFB, 0x90, 0x00}, // no sync
        {'<', 'h', 't', 'm'},
    };
    for (const auto &b : bad) {
        audio::MpegFrame f;
        EXPECT_FALSE(audio::parse_mpeg_header(b, f)) << int(b[0]) << " " << int(b[1]) << " " << int(b[2]);
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
    ASSERT_TRUE(audio::find_mpeg_sync(reinterpret_cast<const uint8_t *>(data.data()), data.size(), 4, off, first));
    EXPECT_EQ(off, junk.size());
    EXPECT_EQ(first.sample_rate, 44100);

    const std::string short_run = frames(h, 417, 2);
    EXPECT_FALSE(audio::find_mpeg_sync(reinterpret_cast<const uint8_t *>(short_run.data()), short_run.size(), 4, off, first));
}

TEST(MpegSync, RandomBytesAndTextAreNotAudio) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 5; ++round) {
        std::vector<uint8_t> noise(64 * 1024);
        for (auto &b : noise) b = static_cast<uint8_t>(rng());
        size_t off = 0;
        audio::MpegFrame f;
        EXPECT_FALSE(audio::find_mpeg_sync(noise.data(), noise.size(), 4, off, f)) << "round " << round;
    }
    std::string html;
    while (html.size() < 20000) html += "<html><body><p>Station offline</p></body></html>\n";
    size_t off = 0;
    audio::MpegFrame f;
    EXPECT_FALSE(audio::find_mpeg_sync(reinterpret_cast<const uint8_t *>(html.data()), html.size(), 4, off, f));
}

// ---- resampling ---------------------------------------------------------------------

std::vector<int16_t> sine(double freq, int rate, size_t n) {
    std::vector<int16_t> s(n * 2);
    for (size_t i = 0; i < n; ++i) s[2 * i] = s[2 * i + 1] = static_cast<int16_t>(10000 * std::sin(2 * M_PI * freq * i / rate));
    return s;
}

double rising_crossings_freq(const std::vector<int16_t> &s, int rate) {
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
        r.reset(in_rate, 44100);
        const std::vector<int16_t> in = sine(440, in_rate, static_cast<size_t>(in_rate)); // one second
        std::vector<int16_t> out;
        size_t pos = 0, chunk = 1;
        while (pos < in.size() / 2) {
            size_t n = std::min(chunk, in.size() / 2 - pos);
            r.process(in.data() + pos * 2, n, out);
            pos += n;
            chunk = chunk * 3 % 1153 + 1; // uneven chunk sizes, 1 frame included
        }
        const double frames = out.size() / 2.0;
        EXPECT_NEAR(frames, 44100, 44100.0 / in_rate + 2) << in_rate; // one input frame held back
        EXPECT_NEAR(rising_crossings_freq(out, 44100), 440, 2) << in_rate;
        // no clicks at chunk borders: neighbours of a 440 Hz sine differ by little
        int jump = 0;
        for (size_t i = 1; i < out.size() / 2; ++i) jump = std::max(jump, std::abs(out[2 * i] - out[2 * i - 2]));
        EXPECT_LT(jump, 10000 * 2 * M_PI * 440 / std::min(in_rate, 44100) * 1.6 + 50) << in_rate;
    }
}

} // namespace
