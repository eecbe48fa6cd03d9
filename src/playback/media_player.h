#pragma once
// The second engine: the media player control where the system has one that can report its
// state, otherwise a built-in player with the same contract on the project's audio library.
#include <functional>
#include <memory>
#include <string>

#include "toolkit/controls.h"

namespace playback {

class MediaPlayer {
 public:
  static constexpr int kStopped = 1;  // playState while nothing plays

  virtual ~MediaPlayer() = default;
  // Opens the address (ANSI); playback starts by itself.
  virtual void SetUrl(const std::string& ansi) = 0;
  virtual void Play() = 0;
  virtual void Stop() = 0;
  // 0..100.
  virtual void SetVolume(int volume) = 0;
  virtual int Volume() = 0;
  virtual int PlayState() = 0;
  // The status text, UTF-8.
  virtual std::string Status() = 0;
  // "control" or "built-in".
  virtual const char* Engine() const = 0;
  // Runs on the user-interface thread whenever the status text changes.
  std::function<void()> OnStatusChange;
};

// The control inside the host window (hidden), or the built-in player where the control
// cannot be created or cannot report its state. Failing calls throw base::Error.
std::unique_ptr<MediaPlayer> CreateMediaPlayer(tk::Handle host);
std::unique_ptr<MediaPlayer> CreateBuiltInPlayer();
// The control's start volume before the program first sets it.
constexpr int kMediaPlayerStartVolume = 50;

}  // namespace playback
