#include "toolkit/toolkit.h"

#include "toolkit/platform.h"

namespace tk {

Form::Form(std::string name, std::string caption)
    : name_(std::move(name)), caption_(std::move(caption)) {}

Form::~Form() {
  if (handle_) platform::DestroyFormWindow(handle_);
}

void Form::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (handle_) platform::SetFormCaption(handle_, caption_);
}

Handle Form::GetHandle() {
  if (!handle_) handle_ = platform::CreateFormWindow(this);
  return handle_;
}

void Form::Show() {
  visible_ = true;
  platform::ShowFormWindow(GetHandle(), true);
}

void Form::Hide() {
  visible_ = false;
  if (handle_) platform::ShowFormWindow(handle_, false);
}

void Form::BringToFront() {
  if (handle_) platform::BringToFront(handle_);
}

void Form::Close() {
  Hide();
  if (Application::Get().MainForm() == this) Application::Get().Terminate();
}

void Form::SetBounds(int left, int top, int client_width, int client_height) {
  left_ = left;
  top_ = top;
  client_width_ = client_width;
  client_height_ = client_height;
  if (handle_) platform::SetFormBounds(handle_, left, top, client_width, client_height);
}

void Form::SetBackground(Bitmap bmp) {
  background_ = std::move(bmp);
  if (handle_) platform::InvalidateForm(handle_);
}

void Form::WndProc(Message& m) { DefaultHandler(m); }

void Form::DefaultHandler(Message& m) {
  switch (m.msg) {
    case kWmClose:
      Close();
      m.result = 0;
      return;
    case kWmActivate:
      if ((m.wparam & 0xFFFF) != 0) FormActivate();
      break;
    default:
      break;
  }
  m.result = platform::DefaultProc(handle_, m);
}

void Form::DoCreate() {
  Application::Get().Dispatch([this] { FormCreate(); });
}

void Form::DoDestroy() {
  Application::Get().Dispatch([this] { FormDestroy(); });
  if (handle_) {
    Handle h = handle_;
    handle_ = 0;
    platform::DestroyFormWindow(h);
  }
}

void Form::Deliver(Message& m) {
  Application::Get().Dispatch([this, &m] { WndProc(m); });
}

Application& Application::Get() {
  static Application app;
  return app;
}

void Application::Initialize() { platform::Initialize(); }

void Application::Run() {
  if (Form* main = MainForm()) {
    main->Show();
    platform::RunLoop();
  }
  // Forms are destroyed after the loop; the main form goes first.
  for (Form* f : forms_) f->DoDestroy();
}

void Application::DestroyAllForms() {
  for (Form* f : forms_) delete f;
  forms_.clear();
}

void Application::Terminate() { platform::QuitLoop(); }

void Application::ProcessMessages() { platform::ProcessMessages(); }

void Application::Halt(int code) { platform::ExitProcessNow(code); }

void Application::ShowException(const std::exception& e) {
  platform::MessageBoxUtf8(e.what(), Title, kMbOk | kMbIconError);
}

void Application::Dispatch(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowException(e);
  }
}

intptr_t SendMessageTo(Handle window, uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  return platform::Send(window, msg, wparam, lparam);
}

void HandleSentMessages() { platform::HandleSentMessages(); }

int ShowMessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
  return platform::MessageBoxUtf8(text, caption, flags);
}

}  // namespace tk
