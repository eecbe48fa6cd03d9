// https: the TLS layer below the HTTP reader, against the loopback server behind TLS fronts
// (tools/tls_front.py) with the test certificates of tools/make_test_certs.sh.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "audio/test_hooks.h"
#include "audio/bass.h"
#include "loopback.h"
#include "net/http_get.h"
#include "net/list_download.h"
#include "net/test_hooks.h"
#include "net/request.h"

namespace {

using loopback::Clock;
using loopback::enc;
using loopback::ms_since;

constexpr int kRate = 44100;
const std::string kCerts = std::string(TIVOLNA_MEDIA_DIR) + "/../test-certs";

// A child process that prints "PORT <n>" first.
class Child {
 public:
  bool start(std::vector<std::string> args) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(&a[0]);
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    std::string line;
    const auto start = Clock::now();
    while (line.find('\n') == std::string::npos && ms_since(start) < 20000) {
      pollfd p{fds[0], POLLIN, 0};
      if (poll(&p, 1, 200) <= 0) continue;
      char buf[64];
      ssize_t n = read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      line.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    port_ = line.compare(0, 5, "PORT ") == 0 ? std::atoi(line.c_str() + 5) : 0;
    return port_ > 0;
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

loopback::Server g_plain;
std::map<std::string, Child> g_fronts;  // by name (kFronts)
std::string g_error, g_ca;

const char* python() {
  return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string cmd = "bash '" TIVOLNA_SOURCE_DIR "/tools/make_test_certs.sh' '" + kCerts + "'";
    if (std::system(cmd.c_str()) != 0) {
      g_error = "make_test_certs.sh failed";
      return;
    }
    std::ifstream in(kCerts + "/ca.pem");
    g_ca.assign(std::istreambuf_iterator<char>(in), {});
    if (!g_plain.start(TIVOLNA_SOURCE_DIR, TIVOLNA_MEDIA_DIR, g_error)) return;
    // name, certificate, the front's own option
    const struct {
      const char *name, *cert, *option;
    } kFronts[] = {
        {"localhost", "localhost", nullptr},
        {"otherhost", "otherhost", nullptr},
        {"expired", "expired", nullptr},
        {"rogue", "rogue", nullptr},
        {"clientauth", "clientauth", nullptr},
        {"keyusage", "keyusage", nullptr},
        {"truncating", "localhost", "--no-close-notify"},
        {"tls1.2", "localhost", "--tls-version=1.2"},
        {"tls1.3", "localhost", "--tls-version=1.3"},
    };
    for (const auto& f : kFronts) {
      std::vector<std::string> args = {python(),     TIVOLNA_SOURCE_DIR "/tools/tls_front.py",
                                       "--backend",  std::to_string(g_plain.port()),
                                       "--cert",     kCerts + "/" + f.cert + ".pem",
                                       "--key",      kCerts + "/localhost.key",
                                       "--lifetime", "300"};
      if (f.option) args.push_back(f.option);
      if (!g_fronts[f.name].start(args))
        g_error = std::string("TLS front ") + f.name + " did not start";
    }
  }
  void TearDown() override {
    g_fronts.clear();
    g_plain.stop();
    net::test_hooks::SetTrustedRootsPem("");
  }
};

std::string https(const std::string& front, const std::string& path) {
  return "https://localhost:" + std::to_string(g_fronts[front].port()) + path;
}

class Tls : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(g_error.empty()) << g_error;
    net::test_hooks::SetTrustedRootsPem(g_ca);
  }
};

TEST_F(Tls, PagesAndRedirectsBetweenHttpAndHttps) {
  net::HttpGetResult r;
  ASSERT_TRUE(net::HttpGet(https("localhost", "/version.txt"), {}, r)) << static_cast<int>(r.error);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "1.4.1");
  // http -> https, and https -> http (the server's own address is plain http).
  ASSERT_TRUE(
      net::HttpGet(g_plain.url("/redirect?to=" + enc(https("localhost", "/version.txt"))), {}, r));
  EXPECT_EQ(r.body, "1.4.1");
  EXPECT_EQ(r.url.compare(0, 8, "https://"), 0) << r.url;
  ASSERT_TRUE(net::HttpGet(https("localhost", "/redirect?to=/version.txt"), {}, r));
  EXPECT_EQ(r.url, g_plain.url("/version.txt"));
  // The list downloader of the catalogue rebuild: an untrusted server gives no answer.
  char folder[] = "/tmp/tivolna-tls-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  auto rows = net::DownloadList(
      {https("localhost", "/version.txt"), https("rogue", "/version.txt")}, {"1", "2"}, folder, {});
  EXPECT_EQ(rows,
            (std::vector<net::RowOutcome>{net::RowOutcome::kBody, net::RowOutcome::kNoAnswer}));
  std::ifstream one(std::string(folder) + "/1");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(one), {}), "1.4.1");
  EXPECT_FALSE(std::ifstream(std::string(folder) + "/2").good());
  std::filesystem::remove_all(folder);
}

TEST_F(Tls, CertificatesThatDoNotVerifyFailWithTheirReason) {
  const struct {
    const char* front;
    net::Error error;
    int bass;
  } cases[] = {
      {"otherhost", net::Error::kCertHostMismatch, BASS_ERROR_CERT_HOST},
      {"expired", net::Error::kCertExpired, BASS_ERROR_CERT_EXPIRED},
      {"rogue", net::Error::kCertUnknownIssuer, BASS_ERROR_CERT_ISSUER},
      // a leaf that is not for TLS servers: only clientAuth in its extended key usage, or a
      // key usage without signatures or key exchange
      {"clientauth", net::Error::kCertInvalid, BASS_ERROR_CERT_INVALID},
      {"keyusage", net::Error::kCertInvalid, BASS_ERROR_CERT_INVALID},
  };
  ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
  for (const auto& c : cases) {
    net::HttpGetResult r;
    EXPECT_FALSE(net::HttpGet(https(c.front, "/version.txt"), {}, r)) << c.front;
    EXPECT_EQ(r.error, c.error) << c.front;
    EXPECT_EQ(
        BASS_StreamCreateURL(https(c.front, "/stream/tone440_128k_44100_s.mp3?pace=0").c_str(), 0,
                             0, nullptr, nullptr),
        0u)
        << c.front;
    EXPECT_EQ(BASS_ErrorGetCode(), c.bass) << c.front;
  }
  BASS_Free();
  // Without the test root, only the system's roots count.
  net::test_hooks::SetTrustedRootsPem("");
  net::HttpGetResult r;
  EXPECT_FALSE(net::HttpGet(https("localhost", "/version.txt"), {}, r));
  EXPECT_EQ(r.error, net::Error::kCertUnknownIssuer);
}

// Reads a whole body in reads of up to `chunk` bytes; the last status.
net::IoStatus read_body(const std::string& url, std::string& body, size_t chunk = 1) {
  net::Response resp;
  net::RequestOptions ro;
  if (net::OpenResponse(url, ro, net::Deadline::InMs(10000), resp) != net::Error::kNone)
    return net::IoStatus::kError;
  body = resp.head.body_start;
  std::vector<char> buf(chunk);
  for (;;) {
    size_t got = 0;
    net::IoStatus st = resp.sock.Recv(buf.data(), chunk, got, net::Deadline::InMs(5000));
    if (st != net::IoStatus::kOk) return st;
    body.append(buf.data(), got);
  }
}

// A server that offers TLS 1.2 alone and one that offers 1.3 alone (the other fronts offer
// both, and so speak 1.3): a page and a whole stream body, as over plain http.
TEST_F(Tls, BothProtocolVersions) {
  const std::string path = "/stream/tone440_128k_44100_s.mp3?pace=0&limit=300000";
  std::string plain;
  ASSERT_EQ(read_body(g_plain.url(path), plain, 16384), net::IoStatus::kClosed);
  ASSERT_EQ(plain.size(), 300000u);
  for (const char* front : {"tls1.2", "tls1.3"}) {
    net::HttpGetResult r;
    ASSERT_TRUE(net::HttpGet(https(front, "/version.txt"), {}, r))
        << front << " " << static_cast<int>(r.error);
    EXPECT_EQ(r.body, "1.4.1") << front;
    std::string body;
    EXPECT_EQ(read_body(https(front, path), body, 16384), net::IoStatus::kClosed) << front;
    EXPECT_TRUE(body == plain) << front << ": " << body.size() << " bytes";
  }
}

TEST_F(Tls, ByteByByteReadsAndACutConnectionIsATruncation) {
  const std::string path = "/stream/tone440_128k_44100_s.mp3?pace=0&limit=20000";
  std::string plain, clean, cut;
  EXPECT_EQ(read_body(g_plain.url(path), plain), net::IoStatus::kClosed);
  EXPECT_EQ(read_body(https("localhost", path), clean), net::IoStatus::kClosed)
      << "close_notify: a clean end";
  EXPECT_EQ(read_body(https("truncating", path), cut), net::IoStatus::kError)
      << "no close_notify: cut off";
  EXPECT_EQ(plain.size(), 20000u);
  EXPECT_EQ(clean, plain);
  EXPECT_EQ(cut, plain);
}

TEST_F(Tls, HandshakeTimeOutAndAbort) {
  // A listener that never accepts: the connection is made, the handshake never answered.
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  listen(fd, 4);
  const std::string url = "https://localhost:" + std::to_string(ntohs(a.sin_port)) + "/";
  net::RequestOptions ro;
  ro.read_ms = 400;
  net::Response resp;
  auto t0 = Clock::now();
  EXPECT_EQ(net::OpenResponse(url, ro, net::Deadline::InMs(10000), resp), net::Error::kTimeout);
  EXPECT_LT(ms_since(t0), 2000);
  std::atomic<bool> abort{false};
  ro.read_ms = 8000;
  ro.abort = &abort;
  std::thread stopper([&] {
    loopback::sleep_ms(300);
    abort = true;
  });
  t0 = Clock::now();
  EXPECT_EQ(net::OpenResponse(url, ro, net::Deadline::InMs(10000), resp), net::Error::kAborted);
  EXPECT_LT(ms_since(t0), 2000);
  stopper.join();
  close(fd);
}

class TlsAudio : public Tls {
 protected:
  void SetUp() override {
    Tls::SetUp();
    audio::test_hooks::Reset();
    audio::test_hooks::SetTimeouts(3000, 3000, 3000);
    audio::test_hooks::SetFastPacing(true);
    audio::test_hooks::SetCapture(&loopback::Capture::hook, &cap_);
    ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
    BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
    BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
  }
  void TearDown() override {
    BASS_Free();
    audio::test_hooks::SetCapture(nullptr, nullptr);
    audio::test_hooks::Reset();
  }
  double tone_of(HSTREAM h) {
    cap_.restart(4410, kRate / 2);
    EXPECT_TRUE(BASS_ChannelPlay(h, FALSE));
    return loopback::tone_frequency(cap_.wait(kRate / 2, 8000), kRate);
  }
  loopback::Capture cap_;
};

// The status line of the response head that the download procedure sees.
struct StatusLine {
  std::mutex mu;
  std::string line;
  static void CALLBACK proc(const void* buffer, DWORD length, void* user) {
    if (!buffer || length != 0) return;
    auto* s = static_cast<StatusLine*>(user);
    std::lock_guard<std::mutex> lk(s->mu);
    s->line = static_cast<const char*>(buffer);
  }
};

TEST_F(TlsAudio, AnIcyStreamOverHttpsPlaysWithItsTitles) {
  StatusLine status;
  HSTREAM h = BASS_StreamCreateURL(
      https("localhost",
            "/stream/tone880_128k_44100_s.mp3?burst=65536&status=icy&metaint=8000&titles=" +
                enc("Over TLS|Second") + "&title_every=0.5")
          .c_str(),
      0, BASS_STREAM_STATUS, &StatusLine::proc, &status);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  EXPECT_NEAR(tone_of(h), 880, 18);
  {
    std::lock_guard<std::mutex> lk(status.mu);
    EXPECT_EQ(status.line, "ICY 200 OK");
  }
  std::set<std::string> titles;
  for (auto t0 = Clock::now(); titles.size() < 2 && ms_since(t0) < 10000; loopback::sleep_ms(50))
    if (const char* m = BASS_ChannelGetTags(h, BASS_TAG_META)) titles.insert(m);
  EXPECT_TRUE(titles.count("StreamTitle='Over TLS';StreamUrl='';"));
  EXPECT_TRUE(titles.count("StreamTitle='Second';StreamUrl='';"));
  BASS_StreamFree(h);
}

TEST_F(TlsAudio, PlaylistsMixingHttpAndHttpsEntries) {
  const std::string tone440 = "/stream/tone440_128k_44100_s.mp3?pace=0&burst=65536";
  const std::string tone1320 = "/stream/tone1320_128k_44100_s.mp3?pace=0&burst=65536";
  const struct {
    std::string list;
    double tone;
  } cases[] = {
      // An https list: its entry with an unknown issuer is passed over for the plain one.
      {https("localhost", "/playlist.m3u?to=" + enc(https("rogue", tone1320)) +
                              "&to=" + enc(g_plain.url(tone440))),
       440},
      // A plain list with an https entry.
      {g_plain.url("/playlist.pls?to=" + enc(https("localhost", tone1320))), 1320},
  };
  for (const auto& c : cases) {
    HSTREAM h = BASS_StreamCreateURL(c.list.c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(h, 0u) << c.list << " " << BASS_ErrorGetCode();
    EXPECT_NEAR(tone_of(h), c.tone, c.tone * 0.02) << c.list;
    BASS_StreamFree(h);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new Environment);
  return RUN_ALL_TESTS();
}
