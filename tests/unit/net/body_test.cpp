#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "net/body.h"

namespace {

using R = net::ChunkedDecoder::Result;

// Feeds `in` in pieces of the given sizes (cycled); the result of the last piece.
R decode(const std::string& in, size_t max_body, std::vector<size_t> cuts, std::string& body) {
  net::ChunkedDecoder d(max_body);
  body.clear();
  R r = R::kMore;
  size_t pos = 0;
  for (size_t i = 0; pos < in.size() && r == R::kMore; ++i) {
    size_t n = std::min(cuts[i % cuts.size()], in.size() - pos);
    r = d.Feed(in.data() + pos, n, body);
    pos += n;
  }
  return r;
}

TEST(ChunkedDecoder, SameBodyWhateverThePieces) {
  const std::string in =
      "4\r\nWiki\r\n5;name=x\r\npedia\r\nA\r\n in chunks\r\n000\r\nTrailer: t\r\n\r\nafter";
  std::mt19937 rng(7);
  std::vector<std::vector<size_t>> cuts = {{in.size()}, {1}, {2}, {3, 1, 8}};
  for (int i = 0; i < 20; ++i) cuts.push_back({rng() % 9 + 1, rng() % 5 + 1, rng() % 13 + 1});
  for (const auto& c : cuts) {
    std::string body;
    EXPECT_EQ(decode(in, 1000, c, body), R::kDone);
    EXPECT_EQ(body, "Wikipedia in chunks");
  }
  std::string body;
  EXPECT_EQ(decode("3\nabc\n0\n", 1000, {1}, body), R::kDone);  // bare LF line ends
  EXPECT_EQ(body, "abc");
  EXPECT_EQ(decode("3\r\nabc\r\n", 1000, {4}, body), R::kMore);  // no last chunk yet
}

TEST(ChunkedDecoder, SizesAreCheckedAgainstTheLimitAsTheyArrive) {
  struct Case {
    std::string in;
    size_t max_body;
    R expect;
  } cases[] = {
      {"fffffffffffffffe\r\n0\r\n\r\n", 1 << 20, R::kTooLarge},  // wraps a 64-bit position
      {"ffffffffffffffffffff\r\n", 1 << 20, R::kTooLarge},       // more digits than 64 bits
      {"100001\r\n", 1 << 20, R::kTooLarge},                     // one byte over
      {"8\r\n12345678\r\n1\r\n", 8, R::kTooLarge},               // the sum is over
      {"8\r\n12345678\r\n0\r\n", 8, R::kDone},                   // exactly the limit
      {"0000000000000000000000008\r\n12345678\r\n0\r\n", 8, R::kDone},
  };
  for (const Case& c : cases) {
    std::string body;
    EXPECT_EQ(decode(c.in, c.max_body, {1}, body), c.expect) << c.in;
    EXPECT_EQ(decode(c.in, c.max_body, {c.in.size()}, body), c.expect) << c.in;
    EXPECT_LE(body.size(), c.max_body);
  }
  // a large body of such lines ends at the first one
  std::string lines;
  while (lines.size() < 54 * 1024) lines += "fffffffffffffffe\r\n";
  net::ChunkedDecoder d(1 << 20);
  std::string body;
  EXPECT_EQ(d.Feed(lines.data(), lines.size(), body), R::kTooLarge);
  EXPECT_TRUE(body.empty());
}

TEST(ChunkedDecoder, MalformedBodies) {
  for (const char* in : {"\r\n", "x\r\n", ";ext\r\n", "3\r\nabcX", "3\r\nabc\rX", "-1\r\n"}) {
    std::string body;
    EXPECT_EQ(decode(in, 1000, {1}, body), R::kMalformed) << in;
  }
  std::string body;
  EXPECT_EQ(decode("3 ;x\r\nabc\r\n0\r\n", 1000, {1}, body),
            R::kDone);  // blanks before an extension
  EXPECT_EQ(decode(std::string(5000, '1'), SIZE_MAX, {100}, body), R::kTooLarge);
  EXPECT_EQ(decode("1;" + std::string(5000, 'e'), 1000, {100}, body),
            R::kMalformed);  // endless size line
}

TEST(ContentLength, DigitsOnlyAndNoOverflow) {
  struct Case {
    const char* text;
    bool ok;
    uint64_t value;
  } cases[] = {
      {"0", true, 0},
      {" 1234 ", true, 1234},
      {"4294967301", true, 4294967301ull},  // more than 32 bits
      {"18446744073709551615", true, UINT64_MAX},
      {"18446744073709551616", false, 0},
      {"99999999999999999999999", false, 0},
      {"-5", false, 0},
      {"+5", false, 0},
      {"12abc", false, 0},
      {"1 2", false, 0},
      {"", false, 0},
      {"0x10", false, 0},
  };
  for (const Case& c : cases) {
    uint64_t v = 77;
    EXPECT_EQ(net::ParseContentLength(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

}  // namespace
