#include <gtest/gtest.h>

#include <chrono>

#include "local_server.h"
#include "net/http_head.h"
#include "net/socket.h"

namespace {

using Clock = std::chrono::steady_clock;

long ms_since(Clock::time_point t) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

TEST(HttpHeadParse, StatusLinesOfHttpAndIcy) {
  net::HttpHead h;
  ASSERT_EQ(net::ParseHttpHead("ICY 200 OK\r\nicy-metaint: 16000\r\nIcy-Name: Radio", 100, h),
            net::HeadResult::kOk);
  EXPECT_EQ(h.protocol, "ICY");
  EXPECT_EQ(h.status, 200);
  EXPECT_EQ(h.status_line, "ICY 200 OK");
  ASSERT_NE(h.Find("icy-name"), nullptr);
  EXPECT_EQ(*h.Find("icy-name"), "Radio");
  EXPECT_EQ(*h.Find("icy-metaint"), "16000");
  EXPECT_EQ(h.Find("content-type"), nullptr);

  ASSERT_EQ(net::ParseHttpHead("HTTP/1.1 302 Found\nLocation:  /next \n", 100, h),
            net::HeadResult::kOk);
  EXPECT_EQ(h.status, 302);
  EXPECT_EQ(*h.Find("location"), "/next");

  ASSERT_EQ(net::ParseHttpHead("HTTP/1.0 404 Not Found", 100, h), net::HeadResult::kOk);
  EXPECT_EQ(h.status, 404);
}

TEST(HttpHeadParse, RejectsNonHttpAndTooManyLines) {
  net::HttpHead h;
  EXPECT_EQ(net::ParseHttpHead("<html><body>hi</body></html>", 100, h),
            net::HeadResult::kMalformed);
  EXPECT_EQ(net::ParseHttpHead("HTTP/1.0 20 OK", 100, h), net::HeadResult::kMalformed);
  EXPECT_EQ(net::ParseHttpHead("ICY 000 OK", 100, h),
            net::HeadResult::kMalformed);  // found by fuzzing
  EXPECT_EQ(net::ParseHttpHead("HTTP/1.0 099 OK", 100, h), net::HeadResult::kMalformed);
  ASSERT_EQ(net::ParseHttpHead("HTTP/1.0 200 OK\n\r: v\n \t: w", 100, h), net::HeadResult::kOk);
  EXPECT_TRUE(h.headers.empty());  // names of blanks only are no names (found by fuzzing)
  EXPECT_EQ(net::ParseHttpHead("HTTP/1.0", 100, h), net::HeadResult::kMalformed);
  std::string many = "HTTP/1.0 200 OK";
  for (int i = 0; i < 20; ++i) many += "\r\nX-" + std::to_string(i) + ": v";
  EXPECT_EQ(net::ParseHttpHead(many, 10, h), net::HeadResult::kTooLarge);
  EXPECT_EQ(net::ParseHttpHead(many, 100, h), net::HeadResult::kOk);
}

TEST(HttpGetRequest, CarriesHostAndHeaders) {
  net::Url u;
  ASSERT_TRUE(net::ParseUrl("http://127.0.0.1:8123/s?a=1", u));
  std::string r = net::BuildGetRequest(u, {{"User-Agent", "UA/1"}, {"Icy-MetaData", "1"}});
  EXPECT_EQ(r.rfind("GET /s?a=1 HTTP/1.0\r\n", 0), 0u) << r;
  EXPECT_NE(r.find("\r\nHost: 127.0.0.1:8123\r\n"), std::string::npos);
  EXPECT_NE(r.find("\r\nUser-Agent: UA/1\r\n"), std::string::npos);
  EXPECT_NE(r.find("\r\nIcy-MetaData: 1\r\n"), std::string::npos);
  EXPECT_EQ(r.substr(r.size() - 4), "\r\n\r\n");
}

// Reads a head from a local server that runs `script`; took_ms is the time of the read.
net::HeadResult read_from(const LocalServer::Script& script, net::HttpHead& head,
                          int timeout_ms = 3000, long* took_ms = nullptr) {
  LocalServer srv(script);
  net::Socket s;
  EXPECT_EQ(s.Connect("127.0.0.1", srv.port(), 2000), net::IoStatus::kOk);
  net::HttpHeadLimits lim;
  lim.timeout_ms = timeout_ms;
  auto start = Clock::now();
  net::HeadResult r = net::ReadHttpHead(s, lim, head);
  if (took_ms) *took_ms = ms_since(start);
  s.Close();
  return r;
}

TEST(HttpHeadRead, KeepsBodyBytesThatArriveWithTheHead) {
  net::HttpHead h;
  auto r = read_from(
      [](int fd) {
        static const char text[] = "ICY 200 OK\r\nicy-br: 128\r\n\r\n\xFF\xFB\x90\x00rest";
        LocalServer::send_text(fd, std::string(text, sizeof text - 1));
      },
      h);
  ASSERT_EQ(r, net::HeadResult::kOk);
  EXPECT_EQ(h.status, 200);
  EXPECT_EQ(h.body_start, std::string("\xFF\xFB\x90\x00rest", 8));
}

// Every byte in its own segment: the blank line can be split anywhere.
TEST(HttpHeadRead, HeadArrivingByteByByte) {
  for (const char* head : {"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\nBODY",
                           "HTTP/1.0 200 OK\nContent-Type: audio/mpeg\n\nBODY"}) {
    net::HttpHead h;
    std::string text = head;
    auto r = read_from(
        [text](int fd) {
          for (char c : text) {
            LocalServer::send_text(fd, std::string(1, c));
            LocalServer::pause_ms(2);
          }
          LocalServer::hold(fd, 3000);
        },
        h, 1500);
    ASSERT_EQ(r, net::HeadResult::kOk) << head;
    ASSERT_NE(h.Find("content-type"), nullptr);
    EXPECT_EQ(*h.Find("content-type"), "audio/mpeg");
    EXPECT_EQ(h.body_start.substr(0, 4), h.body_start.empty() ? "" : "BODY");
  }
}

TEST(HttpHeadRead, LimitsEndHugeAndEndlessHeads) {
  net::HttpHead h;
  long took = 0;
  auto r = read_from(
      [](int fd) {
        LocalServer::send_text(fd, "HTTP/1.0 200 OK\r\nX-Big: ");
        std::string chunk(8192, 'a');
        for (int i = 0; i < 64; ++i) LocalServer::send_text(fd, chunk);
      },
      h, 3000, &took);
  EXPECT_EQ(r, net::HeadResult::kTooLarge);
  EXPECT_LT(took, 1000);

  r = read_from(
      [](int fd) {
        LocalServer::send_text(fd, "HTTP/1.0 200 OK\r\n");
        for (int i = 0; i < 5000; ++i)
          LocalServer::send_text(fd, "X-Line-" + std::to_string(i) + ": v\r\n");
      },
      h, 3000, &took);
  EXPECT_EQ(r, net::HeadResult::kTooLarge);
  EXPECT_LT(took, 1000);
}

TEST(HttpHeadRead, SilentAndClosingServers) {
  net::HttpHead h;
  long took = 0;
  auto r = read_from([](int fd) { LocalServer::hold(fd, 3000); }, h, 300, &took);
  EXPECT_EQ(r, net::HeadResult::kTimeout);
  EXPECT_GE(took, 250);
  EXPECT_LT(took, 1000);

  r = read_from([](int fd) { LocalServer::send_text(fd, "HTTP/1.0 200 OK\r\nX: y\r\n"); }, h);
  EXPECT_EQ(r, net::HeadResult::kClosed);
}

}  // namespace
