#pragma once
// A fresh headless application for one test: no forms, no recorded platform state, the audio
// library freed, the program's title on message boxes.
#include "audio/bass.h"
#include "toolkit/headless/headless.h"
#include "toolkit/toolkit.h"
#include "ui/forms.h"

inline tk::Application& FreshApplication() {
  tk::Application& app = tk::Application::Get();
  app.DestroyAllForms();
  tk::headless::Reset();
  BASS_Free();
  app.Title = ui::kProductTitle;
  app.Initialize();
  return app;
}
