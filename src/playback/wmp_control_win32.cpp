// The media player control through COM. It is only used when it can report its state;
// otherwise (wine, a system without the control) the built-in player stands in.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <wmp.h>
#include <wmpids.h>

#include <string>

#include "base/codepage.h"
#include "base/errors.h"
#include "playback/media_player.h"
#include "playback/wmp_events_win32.h"

// Property identifiers of IWMPCore, as the Windows SDK's wmpids.h names them (MinGW's copy
// lists only the event identifiers).
#ifndef DISPID_WMPCORE_URL
#define DISPID_WMPCORE_URL 1
#endif
#ifndef DISPID_WMPCORE_PLAYSTATE
#define DISPID_WMPCORE_PLAYSTATE 10
#endif
#ifndef DISPID_WMPCORE_STATUS
#define DISPID_WMPCORE_STATUS 18
#endif

namespace playback {
namespace {

const CLSID kPlayerClass = {
    0x6BF52A52, 0x394A, 0x11D3, {0xB1, 0x53, 0x00, 0xC0, 0x4F, 0x79, 0xFA, 0xA6}};
const IID kPlayer4 = {0x6C497D62, 0x8919, 0x413C, {0x82, 0xDB, 0xE9, 0x35, 0xFB, 0x3E, 0xC5, 0x84}};

// Holds one COM reference.
template <typename T>
class Ref {
 public:
  Ref() = default;
  ~Ref() { Reset(); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T** Out() {
    Reset();
    return &p_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

[[noreturn]] void Fail(HRESULT hr) {
  wchar_t* msg = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&msg), 0, nullptr);
  std::string text = msg ? base::WideToUtf8(msg) : "";
  if (msg) LocalFree(msg);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
    text.pop_back();
  if (text.empty()) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "OLE error %08lX", static_cast<unsigned long>(hr));
    text = buf;
  }
  throw base::Error(text);
}

void Check(HRESULT hr) {
  if (FAILED(hr)) Fail(hr);
}

// The control's container: the hidden panel's window. The control is activated in place there
// and never becomes UI-active (nothing of it is ever seen).
class Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  explicit Site(HWND host) : host_(host) {}
  virtual ~Site() = default;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
      *out = static_cast<IOleInPlaceFrame*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG r = --refs_;
    if (!r) delete this;
    return r;
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
    if (!out) return E_POINTER;
    *out = host_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             RECT* pos, RECT* clip,
                                             OLEINPLACEFRAMEINFO* info) override {
    if (frame) {
      *frame = this;
      AddRef();
    }
    if (doc) *doc = nullptr;
    RECT r{};
    GetClientRect(host_, &r);
    if (pos) *pos = r;
    if (clip) *clip = r;
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = host_;
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
    return INPLACE_E_NOTOOLSPACE;
  }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override {
    return S_OK;
  }

  // IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  HWND host_;
  ULONG refs_ = 1;
};

class ControlPlayer : public MediaPlayer {
 public:
  // False when the control is missing or cannot report its state. The control is placed in
  // `host` (when given) and reports StatusChange to OnStatusChange.
  bool Create(HWND host) {
    if (FAILED(CoCreateInstance(kPlayerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                unknown_.OutVoid())))
      return false;
    if (FAILED(unknown_->QueryInterface(kPlayer4, player_.OutVoid()))) return false;
    if (FAILED(unknown_->QueryInterface(IID_IDispatch, dispatch_.OutVoid()))) return false;
    VARIANT v;
    if (FAILED(GetProperty(DISPID_WMPCORE_PLAYSTATE, &v))) return false;
    VariantClear(&v);
    if (FAILED(GetProperty(DISPID_WMPCORE_STATUS, &v))) return false;
    VariantClear(&v);
    if (host && SUCCEEDED(unknown_->QueryInterface(IID_IOleObject, ole_.OutVoid()))) {
      site_ = new Site(host);
      RECT r{};
      GetClientRect(host, &r);
      // Without a place the control still plays; it is never seen either way.
      if (FAILED(ole_->SetClientSite(site_)) ||
          FAILED(ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, host, &r)))
        Unplace();
    }
    events_.Connect(unknown_.Get(), [this] {
      if (OnStatusChange) OnStatusChange();
    });
    return true;
  }

  ~ControlPlayer() override {
    events_.Disconnect();
    Unplace();
  }

  void SetUrl(const std::string& ansi) override {
    std::wstring w = base::Utf8ToWide(base::Cp1251ToUtf8(ansi));
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(w.c_str());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&v, &put, 1, 1};
    HRESULT hr = dispatch_->Invoke(DISPID_WMPCORE_URL, IID_NULL, LOCALE_USER_DEFAULT,
                                   DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    VariantClear(&v);
    Check(hr);
  }

  void Play() override {
    Ref<IWMPControls> c;
    Check(player_->get_controls(c.Out()));
    Check(c->play());
  }

  void Stop() override {
    Ref<IWMPControls> c;
    Check(player_->get_controls(c.Out()));
    Check(c->stop());
  }

  void SetVolume(int volume) override {
    Ref<IWMPSettings> s;
    Check(player_->get_settings(s.Out()));
    Check(s->put_volume(volume));
  }

  int Volume() override {
    Ref<IWMPSettings> s;
    Check(player_->get_settings(s.Out()));
    long v = 0;
    Check(s->get_volume(&v));
    return static_cast<int>(v);
  }

  int PlayState() override {
    VARIANT v;
    Check(GetProperty(DISPID_WMPCORE_PLAYSTATE, &v));
    VARIANT i;
    VariantInit(&i);
    HRESULT hr = VariantChangeType(&i, &v, 0, VT_I4);
    VariantClear(&v);
    Check(hr);
    return i.lVal;
  }

  std::string Status() override {
    VARIANT v;
    Check(GetProperty(DISPID_WMPCORE_STATUS, &v));
    std::string s = v.vt == VT_BSTR && v.bstrVal ? base::WideToUtf8(v.bstrVal) : "";
    VariantClear(&v);
    return s;
  }

  const char* Engine() const override { return "control"; }

 private:
  void Unplace() {
    if (ole_) {
      ole_->Close(OLECLOSE_NOSAVE);
      ole_->SetClientSite(nullptr);
      ole_.Reset();
    }
    if (site_) site_->Release();
    site_ = nullptr;
  }

  HRESULT GetProperty(DISPID id, VARIANT* out) {
    VariantInit(out);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, out,
                             nullptr, nullptr);
  }

  Ref<IUnknown> unknown_;
  Ref<IWMPPlayer4> player_;
  Ref<IDispatch> dispatch_;
  Ref<IOleObject> ole_;
  Site* site_ = nullptr;
  WmpEvents events_;
};

}  // namespace

std::unique_ptr<MediaPlayer> CreateMediaPlayer(tk::Handle host) {
  static const bool ole = SUCCEEDED(OleInitialize(nullptr));
  if (ole) {
    auto control = std::make_unique<ControlPlayer>();
    if (control->Create(reinterpret_cast<HWND>(host))) return control;
  }
  return CreateBuiltInPlayer();
}

}  // namespace playback
