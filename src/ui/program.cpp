#include <memory>

#include "audio/wait_pump.h"
#include "toolkit/components.h"
#include "toolkit/toolkit.h"
#include "ui/dialogs/dialogs.h"
#include "ui/forms.h"
#include "ui/main/form1.h"
#include "ui/main/rus_clipboard.h"

ui::TForm1* Form1 = nullptr;
ui::TForm2* Form2 = nullptr;
ui::TForm3* Form3 = nullptr;
ui::TForm4* Form4 = nullptr;

namespace ui {

const char kProductTitle[] = "Тиволна";

void InstallRusClipboard() {
  static bool done = false;
  if (done) return;
  done = true;
  tk::SetClipboard(std::make_unique<TRusClipboard>());  // the standard one is freed
}

int RunProgram() {
  tk::Application& app = tk::Application::Get();
  app.Title = kProductTitle;
  app.Initialize();
  // Waits inside the audio library keep answering the stream worker's status reports.
  audio::SetWaitPump(&tk::HandleSentMessages);
  InstallRusClipboard();
  Form1 = app.CreateForm<TForm1>();
  Form2 = app.CreateForm<TForm2>();
  Form3 = app.CreateForm<TForm3>();
  Form4 = app.CreateForm<TForm4>();
  app.Run();
  return 0;
}

}  // namespace ui
