#pragma once
#include "toolkit/toolkit.h"

namespace ui {

// Settings window: start with the system, check for updates, resume the last station.
class TForm2 : public tk::Form {
 public:
  TForm2();
  ~TForm2() override;

  // Opening from the main window (its settings picture and the tray menu's item).
  void Open();
  void Image1MouseDown(const tk::MouseArgs& a);
  void sLabel1MouseDown(const tk::MouseArgs& a);
  void Image3MouseDown(const tk::MouseArgs& a);
  void Image2Click();
  void sButton1Click();
  void sButton3Click();
  void sCheckBox3Click();
  void sCheckBox2Click();
  void sCheckBox1Click();
  // Apply: writes the settings file and the autorun entry.
  void sBitBtn1Click();

  tk::Image Image1;
  tk::Image Image3;
  tk::Image Image2;
  tk::Label sLabel1;
  tk::RoundedPanel RbPanel1;
  tk::CheckBox sCheckBox3;
  tk::CheckBox sCheckBox2;
  tk::CheckBox sCheckBox1;
  tk::Button sButton1;
  tk::Button sButton3;
  tk::Button sBitBtn1;
};

// Station editor: the current station's name, stream address and engine.
class TForm3 : public tk::Form {
 public:
  TForm3();
  ~TForm3() override;

  // Opening from the main window's edit picture.
  void Open();
  // Loads the fields from the current station.
  void FillStationEditor();
  void sEdit1Click();
  void sEdit2Click();
  // Save: rewrites the station file, then the address and the title shown.
  void sButton1Click();
  void sButton2Click();
  void Image2Click();
  void Image1MouseDown(const tk::MouseArgs& a);
  void sLabel1MouseDown(const tk::MouseArgs& a);

  tk::Image Image1;
  tk::Image Image4;
  tk::Image Image2;
  tk::Label sLabel1;
  tk::RoundedPanel RbPanel1;
  tk::Image Image3;
  tk::Edit sEdit1;
  tk::Edit sEdit2;
  tk::Button sButton1;
  tk::Button sButton2;
  tk::CheckBox sCheckBox1;
};

// Update notice.
class TForm4 : public tk::Form {
 public:
  TForm4();
  ~TForm4() override;

  // Each showing places the window by the screen's size.
  void FormShow() override;
  void sButton1Click();
  void sButton2Click();
  void Image2Click();
  void Image1MouseDown(const tk::MouseArgs& a);
  void sLabel1MouseDown(const tk::MouseArgs& a);

  tk::Image Image1;
  tk::Image Image2;
  tk::Label sLabel1;
  tk::Button sButton1;
  tk::Button sButton2;
};

extern const char kNamePlaceholder[];     // "Название радиостанции"
extern const char kAddressPlaceholder[];  // "Ссылка на трансляцию"

}  // namespace ui
