// The main window's notification area and its menu, the product's web site, and the other
// windows: the settings window, the station editor and the update notice.
#include <optional>

#include "app/build_config.h"
#include "base/intconv.h"
#include "ui/dialogs/dialogs.h"
#include "ui/forms.h"
#include "ui/main/form1.h"

namespace ui {

// --- Notification area ---

// The other windows have no taskbar button of their own: they go into the notification
// area with the main window and come back with it, as owned windows do when their owner is
// minimised, so none is left showing where only the icon leads to it.
std::vector<tk::Form*> TForm1::OtherForms() const { return {Form2, Form3, Form4}; }

void TForm1::Image5Click() {
  std::vector<tk::Form*> others = OtherForms();
  for (size_t i = 0; i < others.size(); ++i) {
    hidden_with_main_[i] = others[i] && others[i]->Visible();
    if (hidden_with_main_[i]) others[i]->Hide();
  }
  Hide();
  RxTrayIcon1.SetActive(true);
  RxTrayIcon1.SetHint(RxLabel6.Caption());
}

void TForm1::ShowFromTray() {
  Show();
  BringToFront();
  std::vector<tk::Form*> others = OtherForms();
  for (size_t i = 0; i < others.size(); ++i) {
    if (hidden_with_main_[i] && others[i]) others[i]->Show();
    hidden_with_main_[i] = false;
  }
}

void TForm1::RxTrayIcon1Click() { ShowFromTray(); }

void TForm1::PopupMenu1Popup() { PopupMenu1.Find("N3")->caption = Image2.Hint(); }

void TForm1::N1Click() {
  ShowFromTray();
  RxTrayIcon1.SetActive(false);
}

void TForm1::N9Click() { Image7Click(); }
void TForm1::N2Click() { sBitBtn2Click(); }
void TForm1::Stop1Click() { sBitBtn3Click(); }
void TForm1::N3Click() { Image2Click(); }
void TForm1::N7Click() { tk::ShellOpen(std::string(app::kProductSiteUrl) + "/help.html"); }
void TForm1::N4Click() { Close(); }

// --- Web site ---

void TForm1::Image6Click() { tk::ShellOpen(app::kProductSiteUrl); }
void TForm1::RxLabel1Click() {}

// --- The other windows ---

// A window the user opens or closes himself no longer follows the main window back.
void TForm1::Image7Click() {
  hidden_with_main_[0] = false;
  if (Form2) Form2->Open();
}
void TForm1::Image8Click() {
  hidden_with_main_[1] = false;
  if (Form3) Form3->Open();
}

void TForm1::Timer1Timer() {
  Timer1.SetEnabled(false);
  IdHTTP1.ConnectTimeout = 2000;  // kept on the shared client for the rest of the run
  IdHTTP1.ReadTimeout = 2000;
  CheckVersion(std::string(app::kProductSiteUrl) + "/version.txt");
}

void TForm1::CheckVersion(const std::string& url) {
  std::string body;
  try {
    body = IdHTTP1.Get(url);
  } catch (const tk::HttpError&) {
    return;  // no network, no site: silent
  }
  std::optional<int32_t> release = base::TryStrToInt(body);
  // A captive portal answers with a whole page: the box shows its start.
  if (!release)
    base::ThrowNotAnInteger(body.size() > 200 ? body.substr(0, 200) + "\x85" : body);  // "…"
  if (*release > kReleaseNumber && Form4) {
    hidden_with_main_[2] = false;
    Form4->Show();
  }
}

}  // namespace ui
