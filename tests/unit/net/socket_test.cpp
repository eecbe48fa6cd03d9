#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "local_server.h"
#include "net/socket.h"

namespace {

using Clock = std::chrono::steady_clock;

long ms_since(Clock::time_point t) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// A port with nothing listening: bind, read the port, close.
uint16_t dead_port() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

TEST(Socket, RoundTripWithALocalServer) {
    net::init();
    std::string request;
    LocalServer srv([&](int fd) {
        request = LocalServer::read_request(fd);
        LocalServer::send_text(fd, "pong");
    });
    net::Socket s;
    ASSERT_EQ(s.connect("127.0.0.1", srv.port(), 2000), net::IoStatus::Ok);
    EXPECT_TRUE(s.is_open());
    const std::string ping = "PING / HTTP/1.0\r\n\r\n";
    ASSERT_TRUE(s.send_all(ping.data(), ping.size(), 2000));
    std::string got;
    char buf[16];
    for (;;) {
        size_t n = 0;
        auto st = s.recv(buf, sizeof buf, n, 2000);
        if (st == net::IoStatus::Closed) break;
        ASSERT_EQ(st, net::IoStatus::Ok);
        got.append(buf, n);
    }
    EXPECT_EQ(got, "pong");
    EXPECT_EQ(request, ping);
    s.close();
    EXPECT_FALSE(s.is_open());
}

TEST(Socket, RefusedAndUnresolvableFailFast) {
    net::Socket s;
    auto start = Clock::now();
    EXPECT_NE(s.connect("127.0.0.1", dead_port(), 3000), net::IoStatus::Ok);
    EXPECT_NE(s.connect("no-such-host.invalid", 80, 3000), net::IoStatus::Ok);
    EXPECT_FALSE(s.is_open());
    EXPECT_LT(ms_since(start), 2500);
}

TEST(Socket, ReceiveTimesOut) {
    LocalServer srv([](int fd) { LocalServer::hold(fd, 3000); });
    net::Socket s;
    ASSERT_EQ(s.connect("127.0.0.1", srv.port(), 2000), net::IoStatus::Ok);
    char buf[8];
    size_t n = 99;
    auto start = Clock::now();
    EXPECT_EQ(s.recv(buf, sizeof buf, n, 250), net::IoStatus::Timeout);
    long took = ms_since(start);
    EXPECT_GE(took, 200);
    EXPECT_LT(took, 1000);
}

TEST(Socket, AbortFlagEndsAWaitFromAnotherThread) {
    LocalServer srv([](int fd) { LocalServer::hold(fd, 3000); });
    std::atomic<bool> abort{false};
    net::Socket s;
    s.set_abort_flag(&abort);
    ASSERT_EQ(s.connect("127.0.0.1", srv.port(), 2000), net::IoStatus::Ok);
    std::thread t([&] {
        LocalServer::pause_ms(150);
        abort = true;
    });
    char buf[8];
    size_t n = 0;
    auto start = Clock::now();
    EXPECT_EQ(s.recv(buf, sizeof buf, n, 10000), net::IoStatus::Aborted);
    EXPECT_LT(ms_since(start), 1500);
    t.join();
    // once aborted, nothing starts again
    EXPECT_NE(s.connect("127.0.0.1", srv.port(), 1000), net::IoStatus::Ok);
}

TEST(Socket, MovedSocketOwnsTheConnection) {
    LocalServer srv([](int fd) { LocalServer::send_text(fd, "x"); LocalServer::pause_ms(300); });
    net::Socket a;
    ASSERT_EQ(a.connect("127.0.0.1", srv.port(), 2000), net::IoStatus::Ok);
    net::Socket b(std::move(a));
    EXPECT_FALSE(a.is_open());
    ASSERT_TRUE(b.is_open());
    char c = 0;
    size_t n = 0;
    EXPECT_EQ(b.recv(&c, 1, n, 2000), net::IoStatus::Ok);
    EXPECT_EQ(c, 'x');
}

} // namespace
