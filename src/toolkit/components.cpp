#include "toolkit/components.h"

#include <atomic>

#include "base/codepage.h"
#include "base/errors.h"
#include "toolkit/platform.h"
#include "toolkit/ui_thread.h"
#include "toolkit/toolkit.h"

namespace tk {

// --- Menus ----------------------------------------------------------------------------------

namespace {

// Length of the UTF-8 character starting at s[i].
size_t CharLen(const std::string& s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  return std::min(n, s.size() - i);
}

}  // namespace

std::string AccessKeyOf(const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    std::u16string ch = base::Utf8ToUtf16(caption.substr(i + 1, CharLen(caption, i + 1)));
    for (char16_t& c : ch) {
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
      if (c >= u'а' && c <= u'я') c = static_cast<char16_t>(c - 32);
      if (c == u'ё') c = u'Ё';
    }
    return base::Utf16ToUtf8(ch);
  }
  return "";
}

std::string StripAccessKeys(const std::string& caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    out += caption[i];
  }
  return out;
}

MenuItem& PopupMenu::Add(std::string name, std::string caption, Bitmap picture) {
  auto item = std::make_unique<MenuItem>();
  item->name = std::move(name);
  item->caption = std::move(caption);
  item->picture = std::move(picture);
  items_.push_back(std::move(item));
  return *items_.back();
}

MenuItem* PopupMenu::Find(const std::string& name) {
  for (auto& i : items_)
    if (i->name == name) return i.get();
  return nullptr;
}

void PopupMenu::Popup(int x, int y) {
  TK_UI_THREAD_ONLY();
  Application& app = Application::Get();
  app.CancelHint();
  if (OnPopup) app.Dispatch(OnPopup);
  int chosen = platform::TrackMenu(*this, x, y);
  if (chosen < 0 || chosen >= static_cast<int>(items_.size())) return;
  MenuItem& item = *items_[static_cast<size_t>(chosen)];
  if (item.enabled && item.OnClick) app.Dispatch(item.OnClick);
}

// --- Tray icon ------------------------------------------------------------------------------

TrayIcon::TrayIcon() : id_(platform::TrayRegister(this)) {}

TrayIcon::~TrayIcon() {
  TK_UI_THREAD_ONLY();
  if (active_) platform::TraySet(id_, false, hint_);
  platform::TrayUnregister(id_);
}

void TrayIcon::SetActive(bool a) {
  TK_UI_THREAD_ONLY();
  if (a == active_) return;
  active_ = a;
  platform::TraySet(id_, active_, hint_);
}

void TrayIcon::SetHint(const std::string& utf8) {
  TK_UI_THREAD_ONLY();
  hint_ = utf8;
  if (active_) platform::TraySet(id_, true, hint_);
}

void TrayIcon::LeftClick() {
  if (OnClick) Application::Get().Dispatch(OnClick);
}

void TrayIcon::RightClick(int x, int y) {
  if (menu_) menu_->Popup(x, y);
}

void TrayIcon::Restore() {
  if (active_) platform::TraySet(id_, true, hint_);
}

// --- Clipboard ------------------------------------------------------------------------------

void Clipboard::Open() {
  if (open_count_ == 0) {
    if (!platform::ClipboardOpen()) throw base::Error("Cannot open clipboard");
    emptied_ = false;
  }
  ++open_count_;
}

void Clipboard::Close() {
  if (open_count_ == 0) return;
  if (--open_count_ == 0) platform::ClipboardClose();
}

void Clipboard::Clear() {
  Open();
  struct Closer {
    Clipboard* c;
    ~Closer() { c->Close(); }
  } closer{this};
  platform::ClipboardEmpty();
}

void Clipboard::SetBuffer(uint32_t format, const void* data, size_t size) {
  Open();
  struct Closer {
    Clipboard* c;
    ~Closer() { c->Close(); }
  } closer{this};
  if (!emptied_) {
    Clear();
    emptied_ = true;
  }
  platform::ClipboardSet(format, data, size);
}

bool Clipboard::PutData(uint32_t format, const void* data, size_t size) {
  return platform::ClipboardSet(format, data, size);
}

void Clipboard::SetTextBuf(const std::string& ansi) {
  std::string z = ansi;
  z.push_back('\0');  // the clipboard's text ends with a zero
  SetBuffer(kCfText, z.data(), z.size());
}

std::string Clipboard::AsText() {
  // Opened as it is, without the entries a derived class writes on opening.
  bool own = open_count_ == 0;
  if (own && !platform::ClipboardOpen()) throw base::Error("Cannot open clipboard");
  std::string wide, ansi;
  bool has_wide = platform::ClipboardGet(kCfUnicodeText, &wide);
  bool has_ansi = !has_wide && platform::ClipboardGet(kCfText, &ansi);
  if (own) platform::ClipboardClose();
  if (has_wide) {
    std::u16string u;
    for (size_t i = 0; i + 1 < wide.size(); i += 2) {
      char16_t c = static_cast<char16_t>(static_cast<unsigned char>(wide[i]) |
                                         (static_cast<unsigned char>(wide[i + 1]) << 8));
      if (c == 0) break;
      u.push_back(c);
    }
    return base::Utf16ToUtf8(u);
  }
  if (has_ansi) return base::Cp1251ToUtf8(ansi.substr(0, ansi.find('\0')));
  return "";
}

namespace {
std::unique_ptr<Clipboard>& ClipboardSlot() {
  static auto* slot = new std::unique_ptr<Clipboard>(new Clipboard());
  return *slot;
}
}  // namespace

Clipboard& TheClipboard() { return *ClipboardSlot(); }

std::unique_ptr<Clipboard> SetClipboard(std::unique_ptr<Clipboard> c) {
  std::unique_ptr<Clipboard> old = std::move(ClipboardSlot());
  ClipboardSlot() = std::move(c);
  return old;
}

void ShellOpen(const std::string& ansi) { platform::ShellOpen(ansi); }

RegistryKey::RegistryKey(const std::string& path) : handle_(platform::RegistryOpen(path)) {}

RegistryKey::~RegistryKey() {
  if (handle_) platform::RegistryClose(handle_);
}

bool RegistryKey::SetString(const std::string& name, const std::string& value) {
  return handle_ && platform::RegistrySetString(handle_, name, value);
}

bool RegistryKey::DeleteValue(const std::string& name) {
  return handle_ && platform::RegistryDelete(handle_, name);
}

}  // namespace tk
