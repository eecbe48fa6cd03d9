#pragma once
// What the toolkit needs of the platform; one implementation per platform.
// Thread rule: user-interface thread only, except Send, Post and HandleSentMessages, which
// any thread may call (WaitForMessages and HandleSentMessages act on the calling thread).
#include <functional>
#include <string>

#include "toolkit/components.h"
#include "toolkit/toolkit.h"

namespace tk::platform {

void Initialize();

// Windows: top-level forms and the child windows of windowed controls.
Handle CreateFormWindow(Form* form);
Handle CreateControlWindow(WindowedControl* control, Handle parent);
void DestroyWindowOf(Handle h);
void ShowWindowOf(Handle h, bool visible);
void EnableWindowOf(Handle h, bool enabled);
void BringToFront(Handle h);
void SetFormBounds(Handle h, int left, int top, int client_width, int client_height);
void SetControlBounds(Handle h, const Rect& r);
void SetFormCaption(Handle h, const std::string& caption);
// Marks an area (client coordinates; nullptr: all of it) for repainting.
void Invalidate(Handle h, const Rect* r);
void SetFocusTo(Handle h);
// The system's one-line edit field inside an Edit's frame window.
Handle CreateEditField(Edit* edit, Handle frame, const Rect& r);
void SetEditFieldText(Handle field, const std::string& utf8);
void SetEditFieldFont(Handle field, const Font& font);
void ReleaseMouseCapture();
// The platform's default handling of a message not handled by the form.
intptr_t DefaultProc(Handle h, Message& m);

// The message loop and threads.
void RunLoop();
void QuitLoop();
void ProcessMessages();
// Sleeps until a message arrives for this thread or the time is up.
void WaitForMessages(int ms);
void HandleSentMessages();
[[noreturn]] void ExitProcessNow(int code);
intptr_t Send(Handle h, uint32_t msg, uintptr_t wparam, intptr_t lparam);
void Post(std::function<void()> work);
int MessageBoxUtf8(const std::string& text, const std::string& caption, uint32_t flags);

// The state of a key as of the message being handled.
bool KeyState(int vk);
// System-wide hot keys: 0 when the key cannot be had.
uintptr_t RegisterHotKeyFor(HotKey* key, int vk);
void UnregisterHotKeyId(uintptr_t id);

TextRenderer& SharedText();
Size ScreenSize();
Point CursorPos();
Colour SystemColour(int index);

// Timers: the platform calls timer->Fire() on the user-interface thread.
uintptr_t StartTimer(Timer* timer, int interval_ms);
void StopTimer(uintptr_t id);

// The hint window.
void ShowHint(const std::string& utf8, Point screen);
void HideHint();

// Shows a pop-up menu and waits; the index of the chosen item, or -1.
int TrackMenu(const PopupMenu& menu, int x, int y);

// Notification-area icons, by the id the icon got.
uintptr_t TrayRegister(TrayIcon* icon);
void TrayUnregister(uintptr_t id);
// Shows (or updates) the icon with its hint, or removes it.
void TraySet(uintptr_t id, bool active, const std::string& hint_utf8);

// The clipboard, as the system offers it.
bool ClipboardOpen();
void ClipboardClose();
void ClipboardEmpty();
// Copies the data into a movable, shareable memory block and hands it over; false (block
// freed again) when the clipboard does not take it.
bool ClipboardSet(uint32_t format, const void* data, size_t size);
// The data of a format on the open clipboard; false when it holds none.
bool ClipboardGet(uint32_t format, std::string* bytes);

// Files and text may be dropped on the window (Form::Dropped receives them).
void AcceptDrops(Handle h);

void ShellOpen(const std::string& ansi);

// The registry under HKEY_CURRENT_USER: keys are opened, never created; 0 when it fails.
uintptr_t RegistryOpen(const std::string& path);
void RegistryClose(uintptr_t key);
bool RegistrySetString(uintptr_t key, const std::string& name, const std::string& value);
bool RegistryDelete(uintptr_t key, const std::string& name);

}  // namespace tk::platform
