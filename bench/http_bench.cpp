// Measures net::HttpGet's body reading over loopback: a chunked body against the same body with
// a Content-Length (the peer, measured in the same run), at two sizes, so that decoding that
// grows faster than the body shows as a rising ratio.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "net/http_get.h"

namespace {

using Clock = std::chrono::steady_clock;

// Answers every connection with the same response until stopped.
class Server {
 public:
  explicit Server(std::string response) : response_(std::move(response)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::listen(fd_, 8);
    thread_ = std::thread([this] {
      for (;;) {
        int c = ::accept(fd_, nullptr, nullptr);
        if (c < 0) return;
        int on = 1;  // the tail of the response goes out at once
        setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        char buf[4096];
        ::recv(c, buf, sizeof buf, 0);  // the request (one segment on loopback)
        ::send(c, response_.data(), response_.size(), MSG_NOSIGNAL);
        ::close(c);
      }
    });
  }
  ~Server() {
    ::shutdown(fd_, SHUT_RDWR);
    thread_.join();
    ::close(fd_);
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  std::string response_;
  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
};

// Milliseconds per request (the best of `rounds`); -1 when a request failed.
double time_get(const std::string& response, size_t expect, int rounds) {
  Server srv(response);
  net::HttpGetOptions opt;
  opt.max_body = 1 << 20;
  double best = -1;
  for (int i = 0; i < rounds; ++i) {
    net::HttpGetResult r;
    const auto t = Clock::now();
    const bool ok = net::HttpGet(srv.url(), opt, r);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t).count();
    if (!ok || r.body.size() != expect) return -1;
    if (best < 0 || ms < best) best = ms;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const bool smoke = argc > 1 && !std::strcmp(argv[1], "--smoke");
  const int rounds = smoke ? 3 : 15;
  bool ok = true;
  double first_ratio = 0;
  for (size_t size : {size_t(64) << 10, size_t(1) << 20}) {
    const std::string body(size, 'b');
    const std::string plain =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n" + body;
    std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (size_t at = 0; at < size; at += 1024)
      chunked += "400\r\n" + body.substr(at, 1024) + "\r\n";
    chunked += "0\r\n\r\n";
    const double peer = time_get(plain, size, rounds);
    const double ours = time_get(chunked, size, rounds);
    if (peer <= 0 || ours <= 0) {
      std::printf("HttpGet %zu KiB: FAILED\n", size >> 10);
      ok = false;
      continue;
    }
    const double ratio = ours / peer;
    if (first_ratio == 0) first_ratio = ratio;
    std::printf(
        "HttpGet %4zu KiB: chunked (1 KiB chunks) %.2f ms, Content-Length %.2f ms, ratio %.2f\n",
        size >> 10, ours, peer, ratio);
  }
  // a hostile body: 54 KiB of chunk sizes near 2^64
  std::string hostile = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  while (hostile.size() < 54 * 1024) hostile += "fffffffffffffffe\r\n";
  {
    Server srv(hostile);
    net::HttpGetResult r;
    const auto t = Clock::now();
    const bool got = net::HttpGet(srv.url(), net::HttpGetOptions(), r);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t).count();
    std::printf("HttpGet of 54 KiB of huge chunk sizes: %s in %.2f ms\n",
                got                                ? "ACCEPTED"
                : r.error == net::Error::kTooLarge ? "refused as too large"
                                                   : "refused",
                ms);
    ok = ok && !got;
  }
  return ok ? 0 : 1;
}
