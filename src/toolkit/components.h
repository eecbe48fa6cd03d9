#pragma once
// Components without a face of their own: pop-up menu, notification-area icon, clipboard,
// shell.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/graphics.h"

namespace tk {

struct MenuItem {
  std::string name;
  std::string caption;  // UTF-8; "&" marks the access key, "&&" is a plain "&"
  Bitmap picture;       // 16 x 16, or empty
  bool enabled = true;
  std::function<void()> OnClick;
};

// The access key of a caption (upper-cased UTF-8 letter), or "" when it has none.
std::string AccessKeyOf(const std::string& caption);
// The caption without its access-key marks.
std::string StripAccessKeys(const std::string& caption);

class PopupMenu {
 public:
  MenuItem& Add(std::string name, std::string caption, Bitmap picture = {});
  MenuItem* Find(const std::string& name);
  const std::vector<std::unique_ptr<MenuItem>>& Items() const { return items_; }
  std::function<void()> OnPopup;
  // Runs OnPopup, shows the menu at a screen point and waits for the choice; the chosen
  // item's click event runs after the menu has closed.
  void Popup(int x, int y);

 private:
  std::vector<std::unique_ptr<MenuItem>> items_;
};

// The icon in the notification area.
class TrayIcon {
 public:
  TrayIcon();
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  bool Active() const { return active_; }
  void SetActive(bool a);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& utf8);
  void SetMenu(PopupMenu* m) { menu_ = m; }
  PopupMenu* Menu() const { return menu_; }
  std::function<void()> OnClick;

  // Mouse input on the icon, from the platform: a left click runs OnClick, a right click
  // opens the menu at the given screen point. Double clicks do no more than a click.
  void LeftClick();
  void RightClick(int x, int y);
  // The notification area was rebuilt (the shell restarted): show the icon again.
  void Restore();

 private:
  bool active_ = false;
  std::string hint_;
  PopupMenu* menu_ = nullptr;
  uintptr_t id_;
};

// Standard clipboard formats.
enum : uint32_t { kCfText = 1, kCfUnicodeText = 13, kCfLocale = 16 };

// The clipboard. Opening is counted: only the outermost Close really closes it.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Throws base::Error("Cannot open clipboard") when another program holds it.
  virtual void Open();
  virtual void Close();
  // Empties the clipboard (opening it for that).
  void Clear();
  // 8-bit text in the ANSI code page.
  void SetTextBuf(const std::string& ansi);
  // Any data under a format; the first write after opening empties the clipboard first.
  void SetBuffer(uint32_t format, const void* data, size_t size);
  // The clipboard's text as UTF-8 (Unicode text, else 8-bit text in the ANSI code page); ""
  // when it holds none. Reading writes nothing. Throws "Cannot open clipboard".
  std::string AsText();
  int OpenCount() const { return open_count_; }

 protected:
  // Hands data to the open clipboard as it is, without emptying it first; false when the
  // clipboard did not take it.
  static bool PutData(uint32_t format, const void* data, size_t size);
  int open_count_ = 0;
  bool emptied_ = false;
};

// The process-wide clipboard object.
Clipboard& TheClipboard();
// Installs a new process-wide clipboard object; returns the old one, which the caller owns.
std::unique_ptr<Clipboard> SetClipboard(std::unique_ptr<Clipboard> c);

// A registry key under HKEY_CURRENT_USER, opened (never created) with full access and
// closed with the object.
class RegistryKey {
 public:
  // `path` is relative to the root, without a leading backslash.
  explicit RegistryKey(const std::string& path);
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  bool IsOpen() const { return handle_ != 0; }
  // A string value (UTF-8 in, stored as the system's text with its terminating zero).
  bool SetString(const std::string& name, const std::string& value);
  bool DeleteValue(const std::string& name);

 private:
  uintptr_t handle_ = 0;
};

// Opens a document or address with the shell's "open" verb, shown normally; the result is
// not looked at. The address is in the ANSI code page.
void ShellOpen(const std::string& ansi);

}  // namespace tk
