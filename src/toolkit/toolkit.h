#pragma once
// The window framework: application, forms, message loop, cross-thread send, error box.
// Forms are portable; the platform layer (win32/ or headless/) gives them real windows or
// keeps their state only.
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace tk {

using Handle = std::uintptr_t;  // the window handle

// Window messages the framework knows by number (the platform's own numbers).
enum : uint32_t {
  kWmDestroy = 0x0002,
  kWmClose = 0x0010,
  kWmActivate = 0x0006,
  kWmSysCommand = 0x0112,
  kWmUser = 0x0400,
};

// Message box flags and results used by the program.
enum : uint32_t { kMbOk = 0x0, kMbIconError = 0x10, kMbIconInformation = 0x40 };

struct Message {
  uint32_t msg;
  uintptr_t wparam;
  intptr_t lparam;
  intptr_t result;
};

// 32-bit pixels 0x00RRGGBB, rows top to bottom.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
constexpr uint32_t kColourKeyLime = 0x00FF00;

class Form {
 public:
  Form(std::string name, std::string caption);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  // The window handle; the window is created on first use.
  Handle GetHandle();
  bool HandleAllocated() const { return handle_ != 0; }

  bool Visible() const { return visible_; }
  void Show();
  void Hide();
  void SetVisible(bool v) { v ? Show() : Hide(); }
  void BringToFront();
  // Closes the form; closing the main form ends the message loop.
  void Close();

  int Left() const { return left_; }
  int Top() const { return top_; }
  int ClientWidth() const { return client_width_; }
  int ClientHeight() const { return client_height_; }
  void SetBounds(int left, int top, int client_width, int client_height);

  // Background picture; lime pixels are see-through.
  const Bitmap& Background() const { return background_; }
  void SetBackground(Bitmap bmp);

  // Every message of the window passes here; the default hands it to DefaultHandler.
  virtual void WndProc(Message& m);
  void DefaultHandler(Message& m);

  // Events.
  virtual void FormCreate() {}
  virtual void FormActivate() {}
  virtual void FormDestroy() {}

  // Called by the framework.
  void DoCreate();
  void DoDestroy();
  void Deliver(Message& m);  // runs WndProc behind the error box
  void WindowGone() { handle_ = 0; }

 private:
  std::string name_;
  std::string caption_;
  Handle handle_ = 0;
  bool visible_ = false;
  int left_ = 0, top_ = 0, client_width_ = 0, client_height_ = 0;
  Bitmap background_;
};

class Application {
 public:
  static Application& Get();

  void Initialize();
  // Constructs a form, runs its FormCreate (errors there show the error box and creation
  // goes on); the first form created is the main form and is shown at once.
  template <typename T>
  T* CreateForm() {
    T* f = new T();
    Adopt(f);
    f->DoCreate();
    f->GetHandle();                  // every form has its window from creation on
    if (f == MainForm()) f->Show();  // the main form shows as soon as it is created
    return f;
  }
  Form* MainForm() const { return forms_.empty() ? nullptr : forms_.front(); }
  const std::vector<Form*>& Forms() const { return forms_; }

  // Deletes every form (their windows go with them); the next form created is the main one.
  void DestroyAllForms();

  // Shows the main form and handles messages until it is closed; then destroys the forms.
  void Run();
  // Ends the message loop.
  void Terminate();
  // Handles pending messages and returns.
  void ProcessMessages();
  // Ends the process at once with the given exit code.
  [[noreturn]] void Halt(int code);

  // The standard error box: the error's text in a message box; the program goes on.
  void ShowException(const std::exception& e);
  // Runs an event handler; an error ends it and shows the error box.
  void Dispatch(const std::function<void()>& handler);

  std::string Title = "Тиволна";

 private:
  void Adopt(Form* f) { forms_.push_back(f); }
  std::vector<Form*> forms_;
};

// Synchronous send from any thread: waits until the window's thread has handled it.
intptr_t SendMessageTo(Handle window, uint32_t msg, uintptr_t wparam, intptr_t lparam);
// Handles the messages other threads are sending to the calling thread, and nothing else.
// A thread that waits for another thread calls it so that a sender it waits for cannot
// block it.
void HandleSentMessages();
// Message box with UTF-8 texts; returns the platform's result (1 = OK).
int ShowMessageBox(const std::string& text, const std::string& caption, uint32_t flags);

}  // namespace tk
