#include <gtest/gtest.h>

#include "net/url.h"

namespace {

net::Url parsed(const std::string& text) {
  net::Url u;
  EXPECT_TRUE(net::ParseUrl(text, u)) << text;
  return u;
}

std::string resolved(const std::string& base, const std::string& ref) {
  net::Url b, out;
  EXPECT_TRUE(net::ParseUrl(base, b)) << base;
  EXPECT_TRUE(net::ResolveUrl(b, ref, out)) << ref;
  return out.ToString();
}

TEST(Url, ParsesHostPortPathAndQuery) {
  net::Url u = parsed("http://radio.example:8000/live/stream.mp3?x=1&y=2");
  EXPECT_EQ(u.scheme, "http");
  EXPECT_EQ(u.host, "radio.example");
  EXPECT_EQ(u.port, 8000);
  EXPECT_EQ(u.target, "/live/stream.mp3?x=1&y=2");
  EXPECT_EQ(u.HostHeader(), "radio.example:8000");
}

TEST(Url, DefaultsAndOddButValidForms) {
  net::Url u = parsed("http://127.0.0.1");
  EXPECT_EQ(u.port, 80);
  EXPECT_EQ(u.target, "/");
  EXPECT_EQ(u.HostHeader(), "127.0.0.1");

  u = parsed("HTTP://Host.Example?only=query");
  EXPECT_EQ(u.scheme, "http");
  EXPECT_EQ(u.target.front(), '/');
  EXPECT_NE(u.target.find("only=query"), std::string::npos);

  u = parsed("http://h/p#fragment");
  EXPECT_EQ(u.target, "/p");

  u = parsed("HTTPS://secure.example/s");
  EXPECT_EQ(u.scheme, "https");
  EXPECT_EQ(u.port, 443);
  EXPECT_EQ(u.HostHeader(), "secure.example");
  EXPECT_EQ(parsed("https://h:80/").HostHeader(), "h:80");
  EXPECT_EQ(resolved("http://h/a/b", "https://s/x"), "https://s/x");
  EXPECT_EQ(resolved("https://h:8443/a/b", "//o/c"), "https://o/c");
  EXPECT_EQ(resolved("https://h:8443/a/b", "c?d"), "https://h:8443/a/c?d");

  u = parsed("http://[::1]:8080/x");
  EXPECT_EQ(u.host, "::1");
  EXPECT_EQ(u.port, 8080);
}

TEST(Url, RejectsWhatCannotBeRequested) {
  net::Url u;
  for (const char* bad :
       {"", "radio.example/stream", "httpx://h/x", "ftp://h/x", "https://", "http://",
        "http:///path", "http://h:0/", "http://h:65536/", "http://h:12ab/", "http://h:-1/",
        "http://[[*]/", "http://[h]/", "http://h\x01/"})  // the last three found by fuzzing
    EXPECT_FALSE(net::ParseUrl(bad, u)) << bad;
}

// Found by fuzzing: trailing control characters made the printed address parse differently,
// and a line break in an address would have ended the request line.
TEST(Url, ControlCharactersNeverReachTheRequestLine) {
  EXPECT_EQ(parsed("http://h/a\r\nX-Injected: 1").target, "/a%0D%0AX-Injected:%201");
  net::Url u = parsed("http://r.mp3?x=1\v\v#frag");
  EXPECT_EQ(u.target, "/?x=1%0B%0B");
  EXPECT_EQ(parsed(u.ToString()).target, u.target);
  EXPECT_EQ(resolved("http://h/dir/", "a\tb c\x7F"), "http://h/dir/a%09b%20c%7F");
}

TEST(Url, ResolvesReferencesAgainstAPlaylistAddress) {
  const std::string base = "http://h:8000/dir/sub/list.m3u?k=v";
  EXPECT_EQ(resolved(base, "http://other:9/s.mp3"), "http://other:9/s.mp3");
  EXPECT_EQ(resolved(base, "//other/s.mp3"), "http://other/s.mp3");
  EXPECT_EQ(resolved(base, "/top.mp3"), "http://h:8000/top.mp3");
  EXPECT_EQ(resolved(base, "near.mp3"), "http://h:8000/dir/sub/near.mp3");
  EXPECT_EQ(resolved(base, "../up.mp3"), "http://h:8000/dir/up.mp3");
  EXPECT_EQ(resolved(base, "?k=2"), "http://h:8000/dir/sub/list.m3u?k=2");
}

}  // namespace
