#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace app {

// A table with positions 1..1000; reads outside give the zero value, writes outside are ignored.
template <typename T>
class Table1000 {
 public:
  static constexpr int kSize = 1000;
  static bool InRange(int64_t k) { return k >= 1 && k <= kSize; }
  T Get(int64_t k) const { return InRange(k) ? items_[static_cast<size_t>(k - 1)] : T{}; }
  bool Set(int64_t k, T value) {
    if (!InRange(k)) return false;
    items_[static_cast<size_t>(k - 1)] = std::move(value);
    return true;
  }
  void Clear() { items_.fill(T{}); }

 private:
  std::array<T, kSize> items_{};
};

// The process-wide player variables. Texts are Windows-1251 bytes.
struct PlayerState {
  // Playback
  int32_t CurrentStation = 0;
  std::string CurrentStreamUrl;
  std::string CurrentStationTitle;
  std::string CurrentEngine;
  // Shared with the stream worker and the audio library's threads: one 32-bit value each.
  std::atomic<uint32_t> AudioChannel{0};
  std::atomic<uintptr_t> StatusTarget{0};
  char UserAgentText[200] = {};
  // The volume slider's position for the stream worker's thread, set through
  // playback::library::SetVolume only.
  std::atomic<int32_t> SliderPosition{0};
  int32_t IsMuted = 0;
  int32_t SavedVolume = 0;

  // Settings
  int32_t CheckUpdates = 0;
  bool OpenLast = false;
  int32_t StartVolume = 0;
  int32_t AutorunEnabled = 0;

  // View
  int32_t IsFavourite = 0;
  int32_t FavouritesViewActive = 0;

  // Catalogue
  int32_t StationCount = 0;
  Table1000<std::string> LogoExtensions;
  Table1000<int32_t> FavouriteNumbers;
  int32_t FavouriteCount = 0;
  int32_t ParsedCount = 0;
  Table1000<std::string> ParsedLogoPaths;
  Table1000<std::string> ParsedStationIds;
  Table1000<std::string> ParsedTitles;
};

// The one instance of the process.
PlayerState& State();

// The user agent handed to the audio library.
extern const char kUserAgent[120];

}  // namespace app
