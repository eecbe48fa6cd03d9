#pragma once
// A fresh headless application for one test: no forms, no recorded platform state, the audio
// library freed, the player's variables as a new process has them, the program's title on
// message boxes.
#include <chrono>
#include <new>
#include <thread>

#include "app/player_state.h"
#include "audio/bass.h"
#include "toolkit/headless/headless.h"
#include "toolkit/toolkit.h"
#include "ui/forms.h"

// The player's variables back to their initial values. Only while no worker runs.
inline void ResetPlayerState() {
  app::PlayerState& st = app::State();
  st.~PlayerState();
  new (&st) app::PlayerState();
}

inline tk::Application& FreshApplication() {
  tk::Application& app = tk::Application::Get();
  app.DestroyAllForms();
  tk::headless::Reset();
  BASS_Free();
  ResetPlayerState();
  app.Title = ui::kProductTitle;
  app.Initialize();
  return app;
}

// Handles messages until `done` or `ms` milliseconds have passed; false on time-out.
template <typename F>
bool Pump(F done, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    tk::Application::Get().ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}
