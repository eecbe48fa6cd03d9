#pragma once
// The headless platform for tests: inspection of what the program did, and input delivered
// the way the real platform delivers it.
#include <map>
#include <string>
#include <vector>

#include "toolkit/components.h"
#include "toolkit/toolkit.h"

namespace tk::headless {

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  uint32_t flags;
};

// Thrown by Application::Halt in place of ending the process.
struct HaltSignal {
  int code;
};

struct WindowRecord {
  bool exists = false;
  bool visible = false;
  bool enabled = true;
  bool is_control = false;
  Handle parent = 0;
  std::string caption;
  int left = 0, top = 0, width = 0, height = 0;
};

std::vector<MessageBoxRecord> MessageBoxes();
void ClearMessageBoxes();
WindowRecord Window(Handle h);
// Window handles in creation order, destroyed ones included.
std::vector<Handle> CreatedWindows();
// Forgets every window and record, and makes the calling thread the user-interface thread.
void Reset();

// --- input, in the form's client coordinates ---
void MouseMove(Form& f, int x, int y, uint8_t shift = 0);
void MouseDown(Form& f, int x, int y, MouseButton b = MouseButton::kLeft, uint8_t shift = 0);
void MouseUp(Form& f, int x, int y, MouseButton b = MouseButton::kLeft, uint8_t shift = 0);
// Move there, press and release.
void Click(Form& f, int x, int y, MouseButton b = MouseButton::kLeft);
// Two quick clicks: the second press comes as the second press of a double click.
void DoubleClick(Form& f, int x, int y, MouseButton b = MouseButton::kLeft);
void MouseLeave(Form& f);
void Wheel(Form& f, int x, int y, int notches);
// A key pressed while the control has the focus: the key-down message goes through the
// application's message hook, then to the control; true when the control used the key.
bool KeyDown(WindowedControl& c, int vk, uint8_t shift = 0);
// A key pressed while the form's own window has the focus; a key that no control used
// reaches the form's OnKeyDown (not from edit fields).
void FormKeyDown(Form& f, int vk, uint8_t shift = 0);
// Typing and pasting into an edit field (pasted line breaks become spaces).
void TypeText(Edit& e, const std::string& utf8);
void Paste(Edit& e, const std::string& utf8);
// A message taken from the queue: true when the message hook took it.
bool Queue(const QueuedMessage& m);
// Key states as IsKeyDown reports them.
void SetKeyDown(int vk, bool down);
// Hot keys: another program holds this key; a press of a registered key.
void TakeHotKeyElsewhere(int vk);
bool HotKeyRegistered(int vk);
void PressHotKey(int vk);
Handle FocusedWindow();
int CaptureReleases();
// WM_SYSCOMMAND drag-moves that reached the platform's default handling.
std::vector<Handle> DragMoves();

// --- time: timers fire as the clock passes their due time ---
void AdvanceTime(int ms);
int ActiveTimers();

// --- hint window ---
struct HintRecord {
  bool shown = false;
  std::string text;
  Point at;
};
HintRecord Hint();

// --- menus ---
// The next menu shown chooses the item of this name ("" closes it without a choice).
void ChooseInNextMenu(const std::string& name);
struct MenuRecord {
  std::vector<std::string> captions;
  std::vector<bool> has_picture;
  Point at;
};
std::vector<MenuRecord> Menus();

// --- notification area ---
struct TrayRecord {
  bool registered = false;
  bool shown = false;
  std::string hint;
};
TrayRecord Tray(const TrayIcon& icon);

// --- clipboard ---
// Another program holds the clipboard: opening it fails.
void HoldClipboardElsewhere(bool held);
// What the program did: "open", "empty", "set <format> <hex bytes>", "close".
std::vector<std::string> ClipboardLog();
void ClearClipboardLog();
std::map<uint32_t, std::string> ClipboardContents();
bool ClipboardIsOpen();
// Another program put data on the clipboard (replacing what it held).
void PutOnClipboard(uint32_t format, const std::string& bytes);

// --- drag and drop ---
bool AcceptsDrops(Form& f);
// Drops on the form as the system would: false (nothing happens) when it takes no drops.
bool Drop(Form& f, const DropData& d);

// --- shell ---
std::vector<std::string> ShellOpens();

// --- registry (HKEY_CURRENT_USER); the Run key exists from the start ---
std::map<std::string, std::string> RegistryValues(const std::string& path);
void SetRegistryValue(const std::string& path, const std::string& name, const std::string& value);
// Setting values fails, as for a key the user may not write.
void FailRegistryWrites(bool fail);

// --- colour scheme: the system colour of an index (white window, black window text at first) ---
void SetSystemColour(int index, Colour c);

// Everything of the form drawn into a bitmap (text is not drawn headless).
Bitmap Render(Form& f);

}  // namespace tk::headless
