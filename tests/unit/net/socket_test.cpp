#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "local_server.h"
#include "net/test_hooks.h"
#include "net/socket.h"

namespace {

using Clock = std::chrono::steady_clock;

long ms_since(Clock::time_point t) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// A port with nothing listening: bind, read the port, close.
uint16_t dead_port() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

TEST(Socket, RoundTripWithALocalServer) {
  net::Init();
  std::string request;
  LocalServer srv([&](int fd) {
    request = LocalServer::read_request(fd);
    LocalServer::send_text(fd, "pong");
  });
  net::Socket s;
  ASSERT_EQ(s.Connect("127.0.0.1", srv.port(), 2000), net::IoStatus::kOk);
  EXPECT_TRUE(s.IsOpen());
  const std::string ping = "PING / HTTP/1.0\r\n\r\n";
  ASSERT_TRUE(s.SendAll(ping.data(), ping.size(), 2000));
  std::string got;
  char buf[16];
  for (;;) {
    size_t n = 0;
    auto st = s.Recv(buf, sizeof buf, n, 2000);
    if (st == net::IoStatus::kClosed) break;
    ASSERT_EQ(st, net::IoStatus::kOk);
    got.append(buf, n);
  }
  EXPECT_EQ(got, "pong");
  EXPECT_EQ(request, ping);
  s.Close();
  EXPECT_FALSE(s.IsOpen());
}

TEST(Socket, RefusedAndUnresolvableFailFast) {
  net::Socket s;
  auto start = Clock::now();
  EXPECT_EQ(s.Connect("127.0.0.1", dead_port(), 3000), net::IoStatus::kRefused);
  EXPECT_EQ(s.Connect("no-such-host.invalid", 80, 3000), net::IoStatus::kNotFound);
  EXPECT_FALSE(s.IsOpen());
  EXPECT_LT(ms_since(start), 2500);
}

TEST(Socket, ReceiveTimesOut) {
  LocalServer srv([](int fd) { LocalServer::hold(fd, 3000); });
  net::Socket s;
  ASSERT_EQ(s.Connect("127.0.0.1", srv.port(), 2000), net::IoStatus::kOk);
  char buf[8];
  size_t n = 99;
  auto start = Clock::now();
  EXPECT_EQ(s.Recv(buf, sizeof buf, n, 250), net::IoStatus::kTimeout);
  long took = ms_since(start);
  EXPECT_GE(took, 200);
  EXPECT_LT(took, 1000);
}

TEST(Socket, AbortFlagEndsAWaitFromAnotherThread) {
  LocalServer srv([](int fd) { LocalServer::hold(fd, 3000); });
  std::atomic<bool> abort{false};
  net::Socket s;
  s.SetAbortFlag(&abort);
  ASSERT_EQ(s.Connect("127.0.0.1", srv.port(), 2000), net::IoStatus::kOk);
  std::thread t([&] {
    LocalServer::pause_ms(150);
    abort = true;
  });
  char buf[8];
  size_t n = 0;
  auto start = Clock::now();
  EXPECT_EQ(s.Recv(buf, sizeof buf, n, 10000), net::IoStatus::kAborted);
  EXPECT_LT(ms_since(start), 1500);
  t.join();
  // once aborted, nothing starts again
  EXPECT_NE(s.Connect("127.0.0.1", srv.port(), 1000), net::IoStatus::kOk);
}

TEST(Socket, MovedSocketOwnsTheConnection) {
  LocalServer srv([](int fd) {
    LocalServer::send_text(fd, "x");
    LocalServer::pause_ms(300);
  });
  net::Socket a;
  ASSERT_EQ(a.Connect("127.0.0.1", srv.port(), 2000), net::IoStatus::kOk);
  net::Socket b(std::move(a));
  EXPECT_FALSE(a.IsOpen());
  ASSERT_TRUE(b.IsOpen());
  char c = 0;
  size_t n = 0;
  EXPECT_EQ(b.Recv(&c, 1, n, 2000), net::IoStatus::kOk);
  EXPECT_EQ(c, 'x');
}

// A listener on addr:port that never accepts, with its queue filled: further connection
// attempts get no answer at all, as behind a black-holed route.
class BlackHole {
 public:
  BlackHole(const char* addr, uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, addr, &a.sin_addr);
    a.sin_port = htons(port);
    ok_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd_, 0) == 0;
    for (int i = 0; ok_ && i < 4; ++i) {  // fill the accept queue
      int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      ::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
      fillers_.push_back(c);
    }
    LocalServer::pause_ms(50);
  }
  ~BlackHole() {
    for (int c : fillers_) ::close(c);
    ::close(fd_);
  }
  bool ok() const { return ok_; }

 private:
  int fd_ = -1;
  bool ok_ = false;
  std::vector<int> fillers_;
};

TEST(Socket, TriesEveryAddressOfAName) {
  LocalServer srv([](int fd) { LocalServer::send_text(fd, "here"); });
  BlackHole hole("127.0.0.2", srv.port());
  ASSERT_TRUE(hole.ok());
  {
    net::Socket probe;  // the hole really swallows connections
    EXPECT_EQ(probe.Connect("127.0.0.2", srv.port(), 300), net::IoStatus::kTimeout);
  }
  net::test_hooks::SetHost("dual.test", {"127.0.0.2", "127.0.0.1"});
  net::Socket s;
  auto start = Clock::now();
  ASSERT_EQ(s.Connect("dual.test", srv.port(), 300), net::IoStatus::kOk);
  EXPECT_LT(ms_since(start), 1000);
  char buf[8];
  size_t n = 0;
  ASSERT_EQ(s.Recv(buf, sizeof buf, n, 2000), net::IoStatus::kOk);
  EXPECT_EQ(std::string(buf, n), "here");
  // the deadline still ends it all
  net::Socket t;
  net::test_hooks::SetHost("dual.test", {"127.0.0.2", "127.0.0.2", "127.0.0.1"});
  start = Clock::now();
  EXPECT_EQ(t.Connect("dual.test", srv.port(), 300, net::Deadline::InMs(450)),
            net::IoStatus::kTimeout);
  EXPECT_LT(ms_since(start), 700);
  net::test_hooks::Reset();
}

// A name lookup that hangs is left behind at the deadline or on abort.
TEST(Socket, SlowLookupEndsAtTheDeadlineOrOnAbort) {
  LocalServer srv([](int fd) { LocalServer::send_text(fd, "x"); });
  net::test_hooks::SetHost("slow.test", {"127.0.0.1"});
  net::test_hooks::SetLookupDelayMs(20000);
  net::Socket s;
  auto start = Clock::now();
  EXPECT_EQ(s.Connect("slow.test", srv.port(), 5000, net::Deadline::InMs(300)),
            net::IoStatus::kTimeout);
  EXPECT_GE(ms_since(start), 250);
  EXPECT_LT(ms_since(start), 600);

  std::atomic<bool> abort{false};
  s.SetAbortFlag(&abort);
  std::thread t([&] {
    LocalServer::pause_ms(150);
    abort = true;
  });
  start = Clock::now();
  EXPECT_EQ(s.Connect("slow.test", srv.port(), 5000), net::IoStatus::kAborted);
  EXPECT_LT(ms_since(start), 400);
  t.join();

  net::test_hooks::SetLookupDelayMs(50);  // a slow but working name server
  net::Socket u;
  EXPECT_EQ(u.Connect("slow.test", srv.port(), 2000), net::IoStatus::kOk);
  net::test_hooks::Reset();
}

}  // namespace
