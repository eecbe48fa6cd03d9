#pragma once
#include "toolkit/toolkit.h"

namespace ui {

// The main window.
class TForm1 : public tk::Form {
 public:
  TForm1();

  void FormCreate() override;
  void FormDestroy() override;
  void WndProc(tk::Message& m) override;

  // Hidden button "||": the station folder scan.
  void Button2Click();
  void StationFolderScan() { Button2Click(); }
  void FillStationGrid();
  void FillFavouritesGrid();

 private:
  [[noreturn]] void AudioInitFailed();
};

}  // namespace ui
