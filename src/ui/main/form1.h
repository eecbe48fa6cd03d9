#pragma once
#include "toolkit/components.h"
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

  // Moving the window by its face, background and title.
  void FormMouseDown(const tk::MouseArgs& a);
  void Image1MouseDown(const tk::MouseArgs& a);
  void RxLabel6MouseDown(const tk::MouseArgs& a);
  // Notification area and its menu.
  void Image5Click();
  void RxTrayIcon1Click();
  void PopupMenu1Popup();
  void N1Click();
  void N9Click();
  void N2Click();
  void Stop1Click();
  void N3Click();
  void N7Click();
  void N4Click();
  // The product's web site.
  void Image6Click();
  void RxLabel1Click();
  // The status label: hover underline, and a press copies its text.
  void RxLabel7MouseEnter();
  void RxLabel7MouseLeave();
  void RxLabel7MouseDown(const tk::MouseArgs& a);
  // Close: save the settings and end.
  void Image4Click();
  // Handlers that the playback, grid, settings and editor parts fill in.
  void sBitBtn2Click();
  void sBitBtn3Click();
  void Image2Click();
  void Image3Click();
  void Image7Click();
  void Image8Click();
  void RxLabel2Click();
  void RxLabel3Click();
  void sTrackBar1Change();

  // Controls, in drawing order.
  tk::Image Image1;
  tk::Image Image3;
  tk::Image Image4;
  tk::Image Image5;
  tk::Image Image2;
  tk::Image Image8;
  tk::Image Image7;
  tk::Image Image6;
  tk::Label RxLabel6;
  tk::Label RxLabel7;
  tk::Label RxLabel5;
  tk::Label RxLabel2;
  tk::Label RxLabel3;
  tk::Label RxLabel1;
  tk::Button sBitBtn2;
  tk::Button sBitBtn3;
  tk::TrackBar sTrackBar1;
  // Never shown.
  tk::Button Button1;
  tk::Button Button2;
  tk::Button Button3;
  tk::Memo Memo1;
  tk::Memo Memo2;
  tk::Panel Panel1;
  // Without a face.
  tk::PopupMenu PopupMenu1;
  tk::TrayIcon RxTrayIcon1;
  tk::Timer Timer1;

 private:
  [[noreturn]] void AudioInitFailed();
};

// Texts of the main window.
extern const char kDefaultTitle[];     // the title label before a station is chosen
extern const char kCopiedMessage[];    // after the status label was copied
extern const char kMuteHint[];         // the mute picture's hint while the sound is on

}  // namespace ui
