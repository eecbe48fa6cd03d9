// Input helpers of the fuzz targets.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The first bytes of the input choose where the rest is cut into pieces, so that code fed
// in pieces is tried with every kind of split.
struct Split {
  std::string rest;
  std::vector<size_t> cuts;  // piece sizes, cycled; never 0

  Split(const uint8_t* data, size_t size, size_t cut_bytes = 4) {
    size_t n = size < cut_bytes ? size : cut_bytes;
    for (size_t i = 0; i < n; ++i) cuts.push_back(data[i] % 64 + 1);
    if (cuts.empty()) cuts.push_back(1);
    rest.assign(reinterpret_cast<const char*>(data + n), size - n);
  }
  template <typename F>
  void each_piece(F f) const {
    size_t pos = 0;
    for (size_t i = 0; pos < rest.size(); ++i) {
      size_t len = cuts[i % cuts.size()];
      if (len > rest.size() - pos) len = rest.size() - pos;
      f(rest.data() + pos, len);
      pos += len;
    }
  }
};

#define FUZZ_CHECK(cond)           \
  do {                             \
    if (!(cond)) __builtin_trap(); \
  } while (0)
