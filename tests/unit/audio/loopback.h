// Test support: the loopback HTTP/ICY server of tools/ run as a child process, a plain
// HTTP GET, capture of the library's output and simple signal measurements.
#pragma once

#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// the sanitizers' allocator replaces malloc's statistics
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#define LOOPBACK_SANITIZER_HEAP 1
#endif

#include "net/http_head.h"
#include "net/socket.h"
#include "net/url.h"

namespace loopback {

using Clock = std::chrono::steady_clock;

inline long ms_since(Clock::time_point t) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}
inline void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// tools/icy_server.py on 127.0.0.1, port chosen by the system, stopped by its process id.
class Server {
 public:
  bool start(const std::string& source_dir, const std::string& media_dir, std::string& error) {
    const std::string script = source_dir + "/tools/icy_server.py";
    const std::string maker = source_dir + "/tools/make_media.sh";
    if (access(script.c_str(), R_OK) != 0) {
      error = "missing " + script;
      return false;
    }
    if (access(maker.c_str(), R_OK) == 0) {
      const std::string cmd = "bash '" + maker + "' '" + media_dir + "' >/dev/null";
      if (std::system(cmd.c_str()) != 0) {
        error = "make_media.sh failed";
        return false;
      }
    }
    int fds[2];
    if (pipe(fds) != 0) return false;
    const char* python = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // a crashed test takes its server along
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
      execlp(python, python, script.c_str(), "--port", "0", "--media", media_dir.c_str(),
             "--lifetime", "400", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    out_fd_ = fds[0];
    // first line: "PORT <n>"
    std::string line;
    const auto start = Clock::now();
    while (line.find('\n') == std::string::npos && ms_since(start) < 60000) {
      pollfd p{out_fd_, POLLIN, 0};
      if (poll(&p, 1, 200) <= 0) continue;
      char buf[64];
      ssize_t n = read(out_fd_, buf, sizeof buf);
      if (n <= 0) break;
      line.append(buf, static_cast<size_t>(n));
    }
    if (line.compare(0, 5, "PORT ") != 0) {
      error = "server did not report its port: '" + line + "'";
      stop();
      return false;
    }
    port_ = std::atoi(line.c_str() + 5);
    return port_ > 0;
  }
  void stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      for (int i = 0; i < 50; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
          pid_ = -1;
          break;
        }
        sleep_ms(20);
      }
      if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
      pid_ = -1;
    }
    if (out_fd_ >= 0) close(out_fd_);
    out_fd_ = -1;
  }
  int port() const { return port_; }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int port_ = 0;
};

// GET of a whole response (bounded by 5 s); returns the body, status in *status.
inline std::string http_get(const std::string& url, int* status = nullptr) {
  net::Url u;
  if (!net::ParseUrl(url, u)) return "";
  net::Socket s;
  if (s.Connect(u.host, u.port, 2000) != net::IoStatus::kOk) return "";
  const std::string req = net::BuildGetRequest(u, {{"Connection", "close"}});
  if (!s.SendAll(req.data(), req.size(), 2000)) return "";
  net::HttpHead head;
  net::HttpHeadLimits lim;
  lim.max_bytes = 1 << 20;
  lim.timeout_ms = 5000;
  if (net::ReadHttpHead(s, lim, head) != net::HeadResult::kOk) return "";
  if (status) *status = head.status;
  std::string body = head.body_start;
  char buf[8192];
  const auto start = Clock::now();
  while (ms_since(start) < 5000) {
    size_t n = 0;
    if (s.Recv(buf, sizeof buf, n, 2000) != net::IoStatus::kOk) break;
    body.append(buf, n);
  }
  return body;
}

// Percent-encoding of a query value.
inline std::string enc(const std::string& s) {
  static const char* hex = "0123456789ABCDEF";
  std::string o;
  for (unsigned char c : s) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/')
      o += static_cast<char>(c);
    else {
      o += '%';
      o += hex[c >> 4];
      o += hex[c & 15];
    }
  }
  return o;
}

// Output of the library as the capture hook delivers it.
class Capture {
 public:
  static void hook(const int16_t* frames, size_t count, void* user) {
    static_cast<Capture*>(user)->add(frames, count);
  }
  void add(const int16_t* frames, size_t count) {
    std::lock_guard<std::mutex> lk(mu_);
    total_ += count;
    if (skip_ >= count) {
      skip_ -= count;
      return;
    }
    frames += skip_ * 2;
    count -= skip_;
    skip_ = 0;
    if (data_.size() < limit_ * 2) data_.insert(data_.end(), frames, frames + count * 2);
    cv_.notify_all();
  }
  // Forgets what came so far, drops the next `skip` frames, keeps at most `limit`.
  void restart(size_t skip, size_t limit) {
    std::lock_guard<std::mutex> lk(mu_);
    data_.clear();
    skip_ = skip;
    limit_ = limit;
  }
  // Waits until `frames` frames were kept (or timeout); returns what was kept.
  std::vector<int16_t> wait(size_t frames, int timeout_ms) {
    std::unique_lock<std::mutex> lk(mu_);
    cv_.wait_for(lk, std::chrono::milliseconds(timeout_ms),
                 [&] { return data_.size() >= frames * 2; });
    return data_;
  }
  size_t total() {
    std::lock_guard<std::mutex> lk(mu_);
    return total_;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<int16_t> data_;
  size_t skip_ = 0, limit_ = 0, total_ = 0;
};

// Frequency of the left channel from its rising zero crossings (with a little hysteresis).
inline double tone_frequency(const std::vector<int16_t>& stereo, int rate) {
  const size_t frames = stereo.size() / 2;
  if (frames < 2) return 0;
  size_t first = 0, last = 0, rising = 0;
  bool low = stereo[0] < 0;
  for (size_t i = 1; i < frames; ++i) {
    int v = stereo[2 * i];
    if (low && v > 64) {
      if (rising == 0) first = i;
      last = i;
      ++rising;
      low = false;
    } else if (!low && v < -64) {
      low = true;
    }
  }
  if (rising < 2) return 0;
  return static_cast<double>(rising - 1) * rate / static_cast<double>(last - first);
}

inline double rms_left(const std::vector<int16_t>& stereo) {
  double sum = 0;
  const size_t frames = stereo.size() / 2;
  for (size_t i = 0; i < frames; ++i) sum += static_cast<double>(stereo[2 * i]) * stereo[2 * i];
  return frames ? std::sqrt(sum / static_cast<double>(frames)) : 0;
}

inline int peak(const std::vector<int16_t>& samples) {
  int p = 0;
  for (int16_t s : samples) p = std::max(p, std::abs(static_cast<int>(s)));
  return p;
}

// Bytes of heap in use now.
inline size_t heap_in_use() {
#ifdef LOOPBACK_SANITIZER_HEAP
  return __sanitizer_get_current_allocated_bytes();
#else
  struct mallinfo2 mi = mallinfo2();
  return mi.uordblks + mi.hblkhd;
#endif
}

// The highest heap use above the starting level while it lives, sampled every millisecond.
class HeapWatch {
 public:
  HeapWatch()
      : base_(heap_in_use()), thread_([this] {
          while (!stop_) {
            size_t now = heap_in_use();
            if (now > base_ && now - base_ > peak_) peak_ = now - base_;
            sleep_ms(1);
          }
        }) {}
  ~HeapWatch() { stop(); }
  size_t stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return peak_;
  }

 private:
  size_t base_;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> peak_{0};
  std::thread thread_;
};

}  // namespace loopback
