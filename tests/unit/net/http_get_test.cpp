#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>

#include "local_server.h"
#include "net/http_get.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string base(const LocalServer& srv) {
  return "http://127.0.0.1:" + std::to_string(srv.port());
}

TEST(HttpGet, BodyEndsAtContentLength) {
  std::string request;
  LocalServer srv([&](int fd) {
    request = LocalServer::read_request(fd);
    LocalServer::send_text(fd, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello and more");
    LocalServer::hold(fd, 3000);  // the connection stays open
  });
  net::HttpGetOptions opt;
  opt.headers = {{"User-Agent", "Tivolna-Test/1"}};
  net::HttpGetResult r;
  const auto start = Clock::now();
  ASSERT_TRUE(net::HttpGet(base(srv) + "/version.txt", opt, r));
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(),
            1000);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "hello");
  EXPECT_EQ(request.rfind("GET /version.txt HTTP/1.", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nUser-Agent: Tivolna-Test/1\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("\r\nHost: 127.0.0.1:" + std::to_string(srv.port()) + "\r\n"),
            std::string::npos);
}

TEST(HttpGet, BodyRunsToTheClose) {
  LocalServer srv([](int fd) {
    LocalServer::read_request(fd);
    LocalServer::send_text(fd, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nabc");
    LocalServer::pause_ms(50);
    LocalServer::send_text(fd, "def");
  });
  net::HttpGetResult r;
  ASSERT_TRUE(net::HttpGet(base(srv) + "/", net::HttpGetOptions(), r));
  EXPECT_EQ(r.body, "abcdef");
  ASSERT_NE(r.head.Find("content-type"), nullptr);
}

TEST(HttpGet, ChunkedBodyIsDecoded) {
  LocalServer srv([](int fd) {
    LocalServer::read_request(fd);
    const std::string resp =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
        "4\r\nWiki\r\n5;name=x\r\npedia\r\nA\r\n in chunks\r\n0\r\n\r\n";
    for (size_t i = 0; i < resp.size(); i += 7) {
      LocalServer::send_text(fd, resp.substr(i, 7));
      LocalServer::pause_ms(1);
    }
    LocalServer::hold(fd, 3000);
  });
  net::HttpGetResult r;
  ASSERT_TRUE(net::HttpGet(base(srv) + "/c", net::HttpGetOptions(), r));
  EXPECT_EQ(r.body, "Wikipedia in chunks");
}

TEST(HttpGet, ErrorStatusIsAResponse) {
  LocalServer srv([](int fd) {
    LocalServer::read_request(fd);
    LocalServer::send_text(fd, "HTTP/1.0 404 Not Found\r\nContent-Length: 4\r\n\r\nnope");
  });
  net::HttpGetResult r;
  ASSERT_TRUE(net::HttpGet(base(srv) + "/missing", net::HttpGetOptions(), r));
  EXPECT_EQ(r.status, 404);
  EXPECT_EQ(r.body, "nope");
  EXPECT_EQ(r.error, net::HttpGetError::kNone);
}

TEST(HttpGet, FollowsRedirectsAndStopsEndlessOnes) {
  std::mutex mu;
  std::vector<std::string> seen;
  std::atomic<int> port{0};  // known once the server listens, before any client comes
  LocalServer srv(
      [&](int fd) {
        std::string req = LocalServer::read_request(fd);
        {
          std::lock_guard<std::mutex> lk(mu);
          seen.push_back(req.substr(0, req.find("\r\n")));
        }
        if (req.rfind("GET /start ", 0) == 0)
          LocalServer::send_text(fd, "HTTP/1.0 302 Found\r\nLocation: next/page?x=1\r\n\r\n");
        else if (req.rfind("GET /next/page?x=1 ", 0) == 0)
          LocalServer::send_text(fd, "HTTP/1.0 301 Moved\r\nLocation: http://127.0.0.1:" +
                                         std::to_string(port.load()) + "/final\r\n\r\n");
        else if (req.rfind("GET /final ", 0) == 0)
          LocalServer::send_text(fd, "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nfinal");
        else
          LocalServer::send_text(fd, "HTTP/1.0 307 Again\r\nLocation: /loop\r\n\r\n");
      },
      3 + 4);
  port = srv.port();

  net::HttpGetResult r;
  ASSERT_TRUE(net::HttpGet(base(srv) + "/start", net::HttpGetOptions(), r));
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "final");
  EXPECT_EQ(r.url, base(srv) + "/final");

  net::HttpGetOptions opt;
  opt.max_redirects = 3;
  EXPECT_FALSE(net::HttpGet(base(srv) + "/loop", opt, r));
  EXPECT_EQ(r.error, net::HttpGetError::kTooManyRedirects);
  std::lock_guard<std::mutex> lk(mu);
  ASSERT_EQ(seen.size(), 7u);  // 3 for the chain, 1 + 3 redirects for the loop
  EXPECT_EQ(seen[1].rfind("GET /next/page?x=1 HTTP/1.", 0), 0u) << seen[1];
}

TEST(HttpGet, LimitsAndFailures) {
  net::HttpGetResult r;
  {
    LocalServer srv([](int fd) {
      LocalServer::read_request(fd);
      LocalServer::send_text(
          fd, "HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(5000, 'x'));
    });
    net::HttpGetOptions opt;
    opt.max_body = 1000;
    EXPECT_FALSE(net::HttpGet(base(srv) + "/big", opt, r));
    EXPECT_EQ(r.error, net::HttpGetError::kTooLarge);
  }
  {
    LocalServer srv([](int fd) {
      LocalServer::read_request(fd);
      LocalServer::send_text(fd, "HTTP/1.0 200 OK\r\n\r\n");
      for (int i = 0; i < 40; ++i) LocalServer::send_text(fd, std::string(100, 'y'));
    });
    net::HttpGetOptions opt;
    opt.max_body = 1000;
    EXPECT_FALSE(net::HttpGet(base(srv) + "/big-unsized", opt, r));
    EXPECT_EQ(r.error, net::HttpGetError::kTooLarge);
  }
  {
    LocalServer srv([](int fd) { LocalServer::hold(fd, 3000); });  // never answers
    net::HttpGetOptions opt;
    opt.read_ms = 300;
    const auto start = Clock::now();
    EXPECT_FALSE(net::HttpGet(base(srv) + "/stall", opt, r));
    EXPECT_EQ(r.error, net::HttpGetError::kTimeout);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(),
              1000);
  }
  EXPECT_FALSE(net::HttpGet("ftp://127.0.0.1/", net::HttpGetOptions(), r));
  EXPECT_EQ(r.error, net::HttpGetError::kBadUrl);
  EXPECT_FALSE(net::HttpGet("http://127.0.0.1:1/", net::HttpGetOptions(), r));
  EXPECT_EQ(r.error, net::HttpGetError::kRefused);
}

// Serves one response and reports what HttpGet made of it, within 5 s.
struct Outcome {
  bool ok;
  net::HttpGetError error;
  std::string body;
  long ms;
};
Outcome get_one(const std::string& response, size_t max_body = 1 << 20) {
  LocalServer srv([response](int fd) {
    LocalServer::read_request(fd);
    LocalServer::send_text(fd, response);
    LocalServer::hold(fd, 5000);  // the connection stays open: only the body's own end counts
  });
  net::HttpGetOptions opt;
  opt.max_body = max_body;
  opt.read_ms = 5000;
  net::HttpGetResult r;
  const auto start = Clock::now();
  bool ok = net::HttpGet(base(srv) + "/", opt, r);
  long ms = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
  return {ok, r.error, r.body, ms};
}

TEST(HttpGet, ChunkSizesAreCheckedAgainstTheBodyLimit) {
  const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  std::string many;
  while (many.size() < 54 * 1024) many += "fffffffffffffffe\r\n";
  struct Case {
    std::string body;
    size_t max_body;
    net::HttpGetError error;
  } cases[] = {
      {"fffffffffffffffe\r\n0\r\n\r\n", 1 << 20, net::HttpGetError::kTooLarge},
      {many, 1 << 20, net::HttpGetError::kTooLarge},
      {"401\r\n" + std::string(1025, 'z') + "\r\n0\r\n\r\n", 1024, net::HttpGetError::kTooLarge},
      {"zz\r\n", 1024, net::HttpGetError::kBody},
  };
  for (const Case& c : cases) {
    Outcome o = get_one(head + c.body, c.max_body);
    EXPECT_FALSE(o.ok) << c.body.substr(0, 40);
    EXPECT_EQ(o.error, c.error) << c.body.substr(0, 40);
    EXPECT_LT(o.ms, 2000) << c.body.substr(0, 40);
  }
  Outcome o = get_one(head + "400\r\n" + std::string(1024, 'z') + "\r\n0\r\n\r\n", 1024);
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.body, std::string(1024, 'z'));
}

// A length past 32 bits must not wrap to a small one (on a 32-bit build the old cast did).
TEST(HttpGet, ContentLengthIsCheckedBeforeAnyBodyIsRead) {
  struct Case {
    const char* length;
    net::HttpGetError error;
  } cases[] = {
      {"4294967301", net::HttpGetError::kTooLarge},        // 4 GiB + 5
      {"18446744073709551621", net::HttpGetError::kBody},  // 2^64 + 5
      {"1048577", net::HttpGetError::kTooLarge},
      {"-5", net::HttpGetError::kBody},
      {"5x", net::HttpGetError::kBody},
  };
  for (const Case& c : cases) {
    Outcome o =
        get_one(std::string("HTTP/1.0 200 OK\r\nContent-Length: ") + c.length + "\r\n\r\nhello");
    EXPECT_FALSE(o.ok) << c.length << " gave the body '" << o.body << "'";
    EXPECT_EQ(o.error, c.error) << c.length;
    EXPECT_LT(o.ms, 2000) << c.length;
  }
}

// The whole request, redirects included, ends by total_ms.
TEST(HttpGet, OneDeadlineForAllRedirects) {
  LocalServer srv(
      [](int fd) {
        LocalServer::read_request(fd);
        LocalServer::pause_ms(150);
        LocalServer::send_text(fd, "HTTP/1.0 302 Found\r\nLocation: /again\r\n\r\n");
      },
      6);
  net::HttpGetOptions opt;
  opt.total_ms = 500;
  opt.max_redirects = 5;
  net::HttpGetResult r;
  const auto start = Clock::now();
  EXPECT_FALSE(net::HttpGet(base(srv) + "/", opt, r));
  EXPECT_EQ(r.error, net::HttpGetError::kTimeout);
  const auto took =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_GE(took, 450);
  EXPECT_LT(took, 800);  // six hops of 150 ms would take 900
}

}  // namespace
