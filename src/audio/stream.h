// One network stream: its download thread, download buffer, metadata, syncs and decoder.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/bass.h"
#include "audio/decoder.h"
#include "audio/ogg.h"
#include "audio/source.h"
#include "audio/wait.h"

namespace audio {

struct StreamConfig {
  std::string url;
  OpenParams open;
  DWORD buffer_ms = 5000;
  DWORD prebuf_percent = 0;
  int out_rate = 44100;
  DOWNLOADPROC* download_proc = nullptr;
  void* download_user = nullptr;
  bool status_flag = false;
};

class Stream : public std::enable_shared_from_this<Stream> {
 public:
  explicit Stream(StreamConfig cfg);
  ~Stream();

  // Starts the download thread, which opens the source; blocks until it is open or failed
  // (handling sent messages meanwhile). BASS_OK or the reason of the failure.
  int Open();
  // Stops the download and waits until its thread has ended, handling sent messages
  // meanwhile; called on the download thread itself (from a callback), it returns at once
  // and the thread ends by itself. Callable from any thread and more than once.
  void Shutdown();

  void SetHandle(DWORD h) { handle_.store(h); }
  DWORD Handle() const { return handle_.load(); }

  // File positions (END, DOWNLOAD, CURRENT, CONNECTED, BUFFER); all ones if unsupported.
  QWORD FilePosition(DWORD mode);
  const char* MetaTag();
  // BASS_SYNC_META or BASS_SYNC_DOWNLOAD.
  DWORD AddSync(DWORD type, DWORD id, SYNCPROC* proc, void* user);

  // Playback state, used by the mixer.
  void SetPlaying(bool on);
  bool Playing() const { return playing_.load(); }
  std::atomic<float> volume{1.0f};
  int32_t gain = -1;  // mixer's current gain in Q15; negative until the first block

  // Decodes up to `frames` stereo frames into out; returns the frames produced.
  size_t Render(int16_t* out, size_t frames);

  // Texts that tag pointers handed out may still refer to; moved out on free.
  std::vector<std::unique_ptr<char[]>> TakeTagTexts();

 private:
  void ThreadMain();
  // Reads the source into the buffer until it ends, stalls or the stream is freed; the
  // audio bytes it received.
  uint64_t DownloadLoop(AudioSource& src);
  // After the connection of a playing stream ended: connects again, with growing pauses,
  // until it gets audio again or the tries run out.
  void Reconnect();
  void Fire(DWORD type);
  void PublishMeta(const std::string& text);
  // Titles from the comment headers of an Ogg stream's logical streams (download thread).
  void ScanTitles(const std::string& audio);
  // Pauses the download of a playing stream while its buffer is well filled.
  void Gather();
  void FinishOpen(int error);

  StreamConfig cfg_;
  std::atomic<DWORD> handle_{0};
  std::atomic<bool> abort_{false};

  // download buffer and positions
  std::mutex m_;
  std::condition_variable cv_;  // space freed, open finished, thread done
  std::vector<uint8_t> ring_;
  uint64_t downloaded_ = 0;
  uint64_t consumed_ = 0;
  uint64_t end_bytes_ = 0;
  bool connected_ = false;
  int open_error_ = BASS_OK;
  bool thread_done_ = false;
  Latch opened_;  // the opening finished, either way
  Latch ended_;   // the download thread has made its last callback
  bool waiting_prebuf_ = true;
  bool writer_waiting_ = false;  // the download thread waits for space
  size_t writer_resume_ = 1;     // the free bytes it waits for
  bool gathering_ = false;       // the download thread lets a playing stream's bytes gather

  // metadata and syncs (under m_)
  static constexpr size_t kTagRing = 8;
  std::unique_ptr<char[]> tags_[kTagRing];
  size_t tag_next_ = 0;
  const char* current_tag_ = nullptr;
  std::string last_meta_;
  struct Sync {
    DWORD type;
    DWORD id;
    SYNCPROC* proc;
    void* user;
  };
  std::vector<Sync> syncs_;
  std::unique_ptr<OggTitleScanner> ogg_titles_;  // download thread only

  // decoding (under decode_m_, mixer thread)
  std::mutex decode_m_;
  std::unique_ptr<Decoder> decoder_;
  std::vector<int16_t> pcm_;
  size_t pcm_pos_ = 0;

  std::atomic<bool> playing_{false};

  std::mutex thread_m_;
  std::thread thread_;
  std::thread::id thread_id_;  // kept after thread_ was taken
};

}  // namespace audio
