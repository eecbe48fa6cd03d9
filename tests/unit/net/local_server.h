// A one-connection TCP server on 127.0.0.1 for socket tests: accepts one client and runs
// a script on it in its own thread.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

class LocalServer {
 public:
  using Script = std::function<void(int fd)>;

  // Serves `connections` clients one after another, each with the same script.
  explicit LocalServer(Script script, int connections = 1) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::listen(listen_fd_, 4);
    thread_ = std::thread([this, script, connections] {
      for (int i = 0; i < connections; ++i) {
        int c = ::accept(listen_fd_, nullptr, nullptr);
        if (c < 0) return;
        ++accepted_;
        script(c);
        ::close(c);
      }
    });
  }
  ~LocalServer() {
    ::shutdown(listen_fd_, SHUT_RDWR);  // wakes accept when nobody came
    if (thread_.joinable()) thread_.join();
    ::close(listen_fd_);
  }
  uint16_t port() const { return port_; }
  int accepted() const { return accepted_.load(); }

  static void send_text(int fd, const std::string& s) {
    ::send(fd, s.data(), s.size(), MSG_NOSIGNAL);
  }
  // Reads until the blank line of a request (bounded by 2 s).
  static std::string read_request(int fd) {
    std::string r;
    char c;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (r.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < end) {
      timeval tv{0, 100000};
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
      ssize_t n = ::recv(fd, &c, 1, 0);
      if (n == 1)
        r += c;
      else if (n == 0)
        break;
    }
    return r;
  }
  // Keeps the connection silent until the client closes it (at most max_ms).
  static void hold(int fd, int max_ms) {
    char buf[256];
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(max_ms);
    while (std::chrono::steady_clock::now() < end) {
      timeval tv{0, 50000};
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
      if (::recv(fd, buf, sizeof buf, 0) == 0) break;
    }
  }
  static void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

 private:
  int listen_fd_ = -1;
  std::atomic<int> accepted_{0};
  uint16_t port_ = 0;
  std::thread thread_;
};
