#include "audio/source.h"

#include <cctype>
#include <vector>

#include "audio/bass.h"
#include "audio/format.h"
#include "audio/playlist.h"
#include "net/request.h"

namespace audio {
namespace {

bool Aborted(const OpenParams& p) { return p.abort && p.abort->load(); }

int CodeOf(net::Error e) {
  switch (e) {
    case net::Error::kNone: return BASS_OK;
    case net::Error::kBadUrl: return BASS_ERROR_FILEOPEN;
    case net::Error::kLookup: return BASS_ERROR_LOOKUP;
    case net::Error::kRefused: return BASS_ERROR_NONET;
    case net::Error::kTimeout: return BASS_ERROR_TIMEOUT;
    case net::Error::kAborted: return BASS_ERROR_ABORTED;
    case net::Error::kTooManyRedirects: return BASS_ERROR_REDIRECTS;
    case net::Error::kTooLarge: return BASS_ERROR_TOOLARGE;
    case net::Error::kTlsHandshake: return BASS_ERROR_SSL;
    case net::Error::kCertUnknownIssuer: return BASS_ERROR_CERT_ISSUER;
    case net::Error::kCertExpired: return BASS_ERROR_CERT_EXPIRED;
    case net::Error::kCertHostMismatch: return BASS_ERROR_CERT_HOST;
    case net::Error::kCertInvalid: return BASS_ERROR_CERT_INVALID;
    case net::Error::kSend:
    case net::Error::kBadHead:
    case net::Error::kBody: break;
  }
  return BASS_ERROR_PROTOCOL;
}

std::string HeadBlock(const net::HttpHead& h) {
  std::string block;
  for (const std::string& l : h.lines) {
    block += l;
    block += '\0';
  }
  block += '\0';
  return block;
}

// A response body being read while opening: what the opening needs of it must arrive
// within read_ms of the head.
class OpeningBody {
 public:
  OpeningBody(AudioSource& src, const OpenParams& p)
      : src_(src), p_(p), by_(p.deadline.WithinMs(p.timeouts.read_ms)) {}

  // Reads more bytes through the demuxer; BASS_OK, or why nothing more will come
  // (the caller decides whether an ended body is a failure).
  int ReadMore() {
    if (src_.ended) return BASS_ERROR_FILEFORM;
    if (Aborted(p_)) return BASS_ERROR_ABORTED;
    if (raw_ >= kMaxOpenBytes) return BASS_ERROR_TOOLARGE;
    uint8_t buf[8192];
    size_t got = 0;
    net::IoStatus st = src_.sock.Recv(buf, sizeof buf, got, by_);
    if (st != net::IoStatus::kOk) {
      src_.ended = true;
      if (st == net::IoStatus::kTimeout) return BASS_ERROR_TIMEOUT;
      if (st == net::IoStatus::kAborted) return BASS_ERROR_ABORTED;
      return BASS_ERROR_FILEFORM;
    }
    Take(buf, got);
    return BASS_OK;
  }
  void Take(const uint8_t* data, size_t n) {
    raw_ += n;
    src_.icy.Feed(data, n, src_.audio, src_.meta);
  }

 private:
  AudioSource& src_;
  const OpenParams& p_;
  net::Deadline by_;
  size_t raw_ = 0;
};

int OpenAtDepth(const std::string& url, const OpenParams& p, AudioSource& out, int depth);

int FollowPlaylist(PlaylistKind kind, AudioSource& src, OpeningBody& body, const net::Url& base,
                   const OpenParams& p, AudioSource& out, int depth) {
  if (depth >= kMaxPlaylistDepth) return BASS_ERROR_REDIRECTS;
  while (!src.ended && src.audio.size() <= kMaxPlaylistBytes) {
    int r = body.ReadMore();
    if (r == BASS_ERROR_FILEFORM) break;  // the end of the list
    if (r != BASS_OK) return r;
  }
  if (src.audio.size() > kMaxPlaylistBytes) return BASS_ERROR_TOOLARGE;
  src.sock.Close();
  int result = BASS_ERROR_FILEFORM;  // no usable entry
  size_t tried = 0;
  for (const std::string& e : ParsePlaylist(kind, src.audio)) {
    if (Aborted(p)) return BASS_ERROR_ABORTED;
    if (p.deadline.Passed()) return BASS_ERROR_TIMEOUT;
    if (tried >= kMaxPlaylistEntries) break;
    net::Url target;
    if (!net::ResolveUrl(base, e, target)) continue;  // unsupported scheme or junk
    ++tried;
    AudioSource sub;
    result = OpenAtDepth(target.ToString(), p, sub, depth + 1);
    if (result == BASS_OK) {
      out = std::move(sub);
      return BASS_OK;
    }
  }
  return result;
}

int OpenAtDepth(const std::string& url, const OpenParams& p, AudioSource& out, int depth) {
  net::RequestOptions ro;
  ro.headers = {{"User-Agent", p.user_agent}, {"Accept", "*/*"}, {"Icy-MetaData", "1"}};
  ro.version = "HTTP/1.0";
  ro.connect_ms = p.timeouts.connect_ms;
  ro.read_ms = p.timeouts.read_ms;
  ro.head_limits.max_bytes = kMaxHeadBytes;
  ro.head_limits.max_lines = kMaxHeadLines;
  ro.head_limits.timeout_ms = p.timeouts.read_ms;
  ro.max_redirects = kMaxRedirects;
  ro.abort = p.abort;
  net::Response resp;
  if (net::Error e = net::OpenResponse(url, ro, p.deadline, resp); e != net::Error::kNone)
    return CodeOf(e);
  const net::HttpHead& head = resp.head;
  if (head.status != 200) return BASS_ERROR_HTTP + head.status;
  if (const std::string* te = head.Find("transfer-encoding"))
    if (te->find("chunked") != std::string::npos) return BASS_ERROR_PROTOCOL;  // not for audio

  AudioSource src;
  src.sock = std::move(resp.sock);
  src.url = resp.url.ToString();
  uint32_t metaint = 0;
  if (const std::string* mi = head.Find("icy-metaint"))
    if (!ParseMetaint(*mi, metaint)) return BASS_ERROR_PROTOCOL;
  src.icy = IcyDemux(metaint);
  OpeningBody body(src, p);
  body.Take(reinterpret_cast<const uint8_t*>(head.body_start.data()), head.body_start.size());

  std::string ctype;
  if (const std::string* ct = head.Find("content-type")) ctype = *ct;

  if (p.follow_playlists) {
    PlaylistKind kind = PlaylistKindFromType(ctype);
    if (kind == PlaylistKind::kNone) {
      // sniff the first bytes
      while (src.audio.size() < 64 && !src.ended) {
        int r = body.ReadMore();
        if (r != BASS_OK && r != BASS_ERROR_FILEFORM) return r;
      }
      kind = PlaylistKindFromBody(src.audio);
    }
    if (kind != PlaylistKind::kNone)
      return FollowPlaylist(kind, src, body, resp.url, p, out, depth);
  }

  // Format recognition: frames or an Ogg page within the first kProbeBytes; the
  // Content-Type's format is looked for first.
  const Format expected = FormatFromType(ctype);
  Sniffed sniffed;
  for (;;) {
    if (SniffFormat(reinterpret_cast<const uint8_t*>(src.audio.data()),
                    src.audio.size() < kProbeBytes ? src.audio.size() : kProbeBytes, expected,
                    sniffed))
      break;
    if (src.audio.size() >= kProbeBytes) return BASS_ERROR_FILEFORM;
    int r = body.ReadMore();
    // bytes came but no frames: not audio, however slowly it came
    if (r == BASS_ERROR_TIMEOUT && !src.audio.empty()) return BASS_ERROR_FILEFORM;
    if (r != BASS_OK) return r;
  }
  src.format = sniffed.format;
  src.bitrate_kbps = sniffed.bitrate_kbps;
  if (const std::string* br = head.Find("icy-br")) {
    // "128" or "128,128"
    int v = 0, digits = 0;
    for (char c : *br) {
      if (!std::isdigit(static_cast<unsigned char>(c)) || digits >= 5) break;
      v = v * 10 + (c - '0');
      ++digits;
    }
    if (v >= 8 && v <= 640) src.bitrate_kbps = v;
  }
  if (p.on_head) p.on_head(HeadBlock(head));
  if (Aborted(p)) return BASS_ERROR_ABORTED;
  out = std::move(src);
  return BASS_OK;
}

}  // namespace

int OpenAudioSource(const std::string& url, const OpenParams& params, AudioSource& out) {
  try {
    return OpenAtDepth(url, params, out, 0);
  } catch (const std::bad_alloc&) {
    return BASS_ERROR_MEM;
  } catch (...) {
    return BASS_ERROR_UNKNOWN;
  }
}

}  // namespace audio
