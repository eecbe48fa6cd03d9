#include "audio/stream.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "audio/config.h"
#include "audio/hooks.h"
#include "audio/wait.h"

namespace audio {

Stream::Stream(StreamConfig cfg) : cfg_(std::move(cfg)) {}

Stream::~Stream() {
  // only reached without Shutdown() when the download thread dropped the last reference
  if (thread_.joinable()) thread_.detach();
}

int Stream::Open() {
  auto self = shared_from_this();
  try {
    std::lock_guard<std::mutex> tl(thread_m_);
    thread_ = std::thread([self] { self->ThreadMain(); });
    thread_id_ = thread_.get_id();
  } catch (...) {
    return BASS_ERROR_MEM;
  }
  opened_.Wait();  // the thread ends the opening by its deadline
  std::lock_guard<std::mutex> l(m_);
  return open_error_;
}

void Stream::FinishOpen(int error) {
  if (opened_.IsSet()) return;
  {
    std::lock_guard<std::mutex> l(m_);
    open_error_ = error;
  }
  opened_.Set();
}

void Stream::ThreadMain() {
  MarkLibraryThread();
  try {
    AudioSource src;
    OpenParams p = cfg_.open;
    p.abort = &abort_;
    p.deadline = net::Deadline::InMs(p.timeouts.open_ms);
    if (cfg_.status_flag && cfg_.download_proc) {
      DOWNLOADPROC* proc = cfg_.download_proc;
      void* user = cfg_.download_user;
      p.on_head = [proc, user](const std::string& block) { proc(block.data(), 0, user); };
    }
    int error = OpenAudioSource(cfg_.url, p, src);
    if (error == BASS_OK) {
      decoder_ = MakeDecoder(src.format, cfg_.out_rate);
      if (!decoder_->Ok()) error = BASS_ERROR_UNKNOWN;
      if (src.format == Format::kOgg) ogg_titles_ = std::make_unique<OggTitleScanner>();
    }
    if (error == BASS_OK) {
      int kbps = src.bitrate_kbps > 0 ? src.bitrate_kbps : kFallbackBitrateKbps;
      uint64_t end = static_cast<uint64_t>(kbps) * cfg_.buffer_ms / 8;
      end = std::max<uint64_t>(kMinBufferBytes, std::min<uint64_t>(kMaxBufferBytes, end));
      std::lock_guard<std::mutex> l(m_);
      end_bytes_ = end;
      ring_.assign(std::max<size_t>(static_cast<size_t>(end), src.audio.size()), 0);
      std::memcpy(ring_.data(), src.audio.data(), src.audio.size());
      downloaded_ = src.audio.size();
      connected_ = !src.ended;
    }
    if (error == BASS_OK) {
      // the title that arrived while opening: stored, no syncs exist yet
      PublishMeta(src.meta);
      ScanTitles(src.audio);
    }
    FinishOpen(error);
    if (error == BASS_OK) {
      DownloadLoop(src);
      if (!abort_.load() && playing_.load()) Reconnect();
      // Ended for good: what was downloaded is all there is, so a fill measured against
      // the end is complete.
      {
        std::lock_guard<std::mutex> l(m_);
        end_bytes_ = downloaded_;
        connected_ = false;
      }
      if (!abort_.load()) Fire(BASS_SYNC_DOWNLOAD);
    }
  } catch (const std::bad_alloc&) {
    FinishOpen(BASS_ERROR_MEM);
  } catch (...) {
    FinishOpen(BASS_ERROR_UNKNOWN);
  }
  {
    std::lock_guard<std::mutex> l(m_);
    thread_done_ = true;
    connected_ = false;
  }
  cv_.notify_all();
  ended_.Set();
}

uint64_t Stream::DownloadLoop(AudioSource& src) {
  uint64_t received = 0;
  if (src.ended) return received;
  std::vector<uint8_t> buf(16384);
  std::string audio;
  std::string meta;
  while (!abort_.load()) {
    size_t space = 0;
    {
      std::unique_lock<std::mutex> l(m_);
      // back-pressure: the socket is not read while the buffer is full, and a full
      // buffer is read into again once a good part of it is free, not for every bit
      auto free = [this] { return ring_.size() - static_cast<size_t>(downloaded_ - consumed_); };
      if (free() == 0) {
        writer_resume_ = std::max<size_t>(1, std::min(buf.size(), ring_.size() / 4));
        writer_waiting_ = true;
        cv_.wait(l, [&] { return abort_.load() || free() >= writer_resume_; });
        writer_waiting_ = false;
      }
      if (abort_.load()) break;
      space = free();
    }
    size_t got = 0;
    net::IoStatus st =
        src.sock.Recv(buf.data(), std::min(space, buf.size()), got, cfg_.open.timeouts.stall_ms);
    if (st != net::IoStatus::kOk) break;  // end of body, stall, abort or error
    HookState().download_reads.fetch_add(1, std::memory_order_relaxed);
    audio.clear();
    bool new_meta = src.icy.Feed(buf.data(), got, audio, meta);
    {
      std::lock_guard<std::mutex> l(m_);
      size_t cap = ring_.size();
      size_t at = static_cast<size_t>(downloaded_ % cap);
      size_t first = std::min(audio.size(), cap - at);
      std::memcpy(ring_.data() + at, audio.data(), first);
      std::memcpy(ring_.data(), audio.data() + first, audio.size() - first);
      downloaded_ += audio.size();
    }
    received += audio.size();
    if (new_meta) PublishMeta(meta);
    ScanTitles(audio);
    if (got < buf.size()) Gather();
  }
  src.sock.Close();
  return received;
}

void Stream::Gather() {
  // A playing stream with plenty buffered reads a few times a second rather than for every
  // small packet: the socket keeps the bytes meanwhile. A low buffer ends the pause early.
  if (!playing_.load()) return;
  std::unique_lock<std::mutex> l(m_);
  auto low = [this] { return (downloaded_ - consumed_) * kGatherLowDivisor < ring_.size(); };
  if (low()) return;
  gathering_ = true;
  cv_.wait_for(l, std::chrono::milliseconds(kGatherPauseMs),
               [&] { return abort_.load() || !playing_.load() || low(); });
  gathering_ = false;
}

void Stream::Reconnect() {
  int pause = ReconnectFirstPauseMs();
  // A stop, a free or a new start (which frees this stream) ends the tries at once.
  auto cancelled = [this] { return abort_.load() || !playing_.load(); };
  for (int tries = 0; tries < kReconnectTries && !cancelled(); ++tries) {
    {
      std::unique_lock<std::mutex> l(m_);
      connected_ = false;
      cv_.wait_for(l, std::chrono::milliseconds(pause), cancelled);
    }
    if (cancelled()) return;
    pause = std::min(pause * 2, kReconnectLongestPauseMs);
    AudioSource src;
    OpenParams p = cfg_.open;
    p.abort = &abort_;
    p.deadline = net::Deadline::InMs(p.timeouts.open_ms);
    if (OpenAudioSource(cfg_.url, p, src) != BASS_OK) continue;
    {
      // What the opening read goes into the buffer as far as it fits.
      std::lock_guard<std::mutex> l(m_);
      size_t cap = ring_.size();
      size_t space = cap - static_cast<size_t>(downloaded_ - consumed_);
      size_t n = std::min(space, src.audio.size());
      for (size_t i = 0; i < n; ++i)
        ring_[static_cast<size_t>((downloaded_ + i) % cap)] = static_cast<uint8_t>(src.audio[i]);
      downloaded_ += n;
      connected_ = !src.ended;
    }
    PublishMeta(src.meta);
    ScanTitles(src.audio);
    if (DownloadLoop(src) > 0 || !src.audio.empty()) {
      if (cancelled()) return;
      // It played again: a later drop gets its full set of tries.
      tries = -1;
      pause = ReconnectFirstPauseMs();
    }
  }
}

void Stream::Fire(DWORD type) {
  std::vector<Sync> to_call;
  {
    std::lock_guard<std::mutex> l(m_);
    for (const Sync& s : syncs_)
      if (s.type == type) to_call.push_back(s);
  }
  DWORD h = handle_.load();
  for (const Sync& s : to_call) {
    if (abort_.load()) return;  // freed: no callback starts any more
    s.proc(s.id, h, 0, s.user);
  }
}

void Stream::PublishMeta(const std::string& text) {
  if (text.empty()) return;
  {
    std::lock_guard<std::mutex> l(m_);
    if (text == last_meta_) return;
    last_meta_ = text;
    std::unique_ptr<char[]> copy(new char[text.size() + 1]);
    std::memcpy(copy.get(), text.c_str(), text.size() + 1);
    current_tag_ = copy.get();
    tags_[tag_next_] = std::move(copy);
    tag_next_ = (tag_next_ + 1) % kTagRing;
  }
  Fire(BASS_SYNC_META);
}

void Stream::ScanTitles(const std::string& audio) {
  if (!ogg_titles_ || audio.empty()) return;
  ogg_titles_->Feed(reinterpret_cast<const uint8_t*>(audio.data()), audio.size());
  std::string meta;
  if (ogg_titles_->Take(meta)) PublishMeta(meta);
}

void Stream::Shutdown() {
  abort_.store(true);
  { std::lock_guard<std::mutex> l(m_); }
  cv_.notify_all();
  std::thread t;
  std::thread::id id;
  {
    std::lock_guard<std::mutex> tl(thread_m_);
    t = std::move(thread_);  // a second caller finds it gone and only waits
    id = thread_id_;
  }
  if (id == std::thread::id()) return;  // never started
  if (id == std::this_thread::get_id()) {
    if (t.joinable())
      t.detach();  // called from a callback on the download thread; it ends by itself
    return;
  }
  ended_.Wait();
  if (t.joinable()) t.join();
}

QWORD Stream::FilePosition(DWORD mode) {
  std::lock_guard<std::mutex> l(m_);
  switch (mode) {
    case BASS_FILEPOS_CURRENT: return consumed_;
    case BASS_FILEPOS_DOWNLOAD: return downloaded_;
    case BASS_FILEPOS_END: return end_bytes_;
    case BASS_FILEPOS_CONNECTED: return connected_ ? 1 : 0;
    case BASS_FILEPOS_BUFFER: return downloaded_ - consumed_;
    default: return ~static_cast<QWORD>(0);
  }
}

const char* Stream::MetaTag() {
  std::lock_guard<std::mutex> l(m_);
  return current_tag_;
}

DWORD Stream::AddSync(DWORD type, DWORD id, SYNCPROC* proc, void* user) {
  std::lock_guard<std::mutex> l(m_);
  syncs_.push_back(Sync{type, id, proc, user});
  return id;
}

void Stream::SetPlaying(bool on) {
  if (on && !playing_.load() && cfg_.prebuf_percent > 0) {
    std::lock_guard<std::mutex> l(m_);
    waiting_prebuf_ = true;
  }
  playing_.store(on);
  if (!on) {
    { std::lock_guard<std::mutex> l(m_); }
    cv_.notify_all();  // a reconnect waiting to try again gives up
  }
}

std::vector<std::unique_ptr<char[]>> Stream::TakeTagTexts() {
  std::vector<std::unique_ptr<char[]>> out;
  std::lock_guard<std::mutex> l(m_);
  for (auto& t : tags_)
    if (t) out.push_back(std::move(t));
  current_tag_ = nullptr;
  return out;
}

size_t Stream::Render(int16_t* out, size_t frames) {
  std::lock_guard<std::mutex> dl(decode_m_);
  if (!decoder_ || ring_.empty()) return 0;
  size_t produced = 0;
  uint8_t chunk[4096];
  while (produced < frames) {
    if (pcm_pos_ < pcm_.size()) {
      size_t avail = (pcm_.size() - pcm_pos_) / 2;
      size_t take = std::min(avail, frames - produced);
      std::memcpy(out + produced * 2, pcm_.data() + pcm_pos_, take * 2 * sizeof(int16_t));
      pcm_pos_ += take * 2;
      produced += take;
      continue;
    }
    pcm_.clear();
    pcm_pos_ = 0;
    Decoder::Result r = decoder_->Decode(pcm_);
    if (r == Decoder::Result::kProduced) continue;
    if (r == Decoder::Result::kFailed) break;
    size_t n = 0;
    bool wake = false;
    {
      std::lock_guard<std::mutex> l(m_);
      uint64_t buffered = downloaded_ - consumed_;
      if (cfg_.prebuf_percent > 0 && waiting_prebuf_) {
        if (thread_done_ || buffered * 100 >= end_bytes_ * cfg_.prebuf_percent)
          waiting_prebuf_ = false;
        else
          break;
      }
      size_t cap = ring_.size();
      n = static_cast<size_t>(std::min<uint64_t>(sizeof chunk, buffered));
      size_t at = static_cast<size_t>(consumed_ % cap);
      size_t first = std::min(n, cap - at);
      std::memcpy(chunk, ring_.data() + at, first);
      std::memcpy(chunk + first, ring_.data(), n - first);
      consumed_ += n;
      if (n == 0 && cfg_.prebuf_percent > 0 && !thread_done_) waiting_prebuf_ = true;
      wake = (writer_waiting_ &&
              cap - static_cast<size_t>(downloaded_ - consumed_) >= writer_resume_) ||
             (gathering_ && (downloaded_ - consumed_) * kGatherLowDivisor < ring_.size());
    }
    if (n == 0) break;
    if (wake) cv_.notify_all();
    decoder_->Feed(chunk, n);
  }
  return produced;
}

}  // namespace audio
