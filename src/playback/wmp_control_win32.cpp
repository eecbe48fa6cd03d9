// The media player control through COM. It is only used when it can report its state;
// otherwise (wine, a system without the control) the built-in player stands in.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <wmp.h>

#include <string>

#include "base/codepage.h"
#include "base/errors.h"
#include "playback/media_player.h"

namespace playback {
namespace {

const CLSID kPlayerClass = {0x6BF52A52, 0x394A, 0x11D3, {0xB1, 0x53, 0x00, 0xC0, 0x4F, 0x79, 0xFA, 0xA6}};
const IID kPlayer4 = {0x6C497D62, 0x8919, 0x413C, {0x82, 0xDB, 0xE9, 0x35, 0xFB, 0x3E, 0xC5, 0x84}};
const IID kOcxEvents = {0x6BF52A51, 0x394A, 0x11D3, {0xB1, 0x53, 0x00, 0xC0, 0x4F, 0x79, 0xFA, 0xA6}};
constexpr DISPID kDispUrl = 1, kDispPlayState = 10, kDispStatus = 18, kDispStatusChange = 5001;

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
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&msg), 0, nullptr);
  std::string text = msg ? base::WideToUtf8(msg) : "";
  if (msg) LocalFree(msg);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) text.pop_back();
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

// Receives the control's events; StatusChange goes to the player.
class EventSink final : public IDispatch {
 public:
  explicit EventSink(MediaPlayer* owner) : owner_(owner) {}
  virtual ~EventSink() = default;
  void Detach() { owner_ = nullptr; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kOcxEvents) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG r = --refs_;
    if (!r) delete this;
    return r;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    if (id == kDispStatusChange && owner_ && owner_->OnStatusChange) owner_->OnStatusChange();
    return S_OK;
  }

 private:
  MediaPlayer* owner_;
  ULONG refs_ = 1;
};

class ControlPlayer : public MediaPlayer {
 public:
  // False when the control is missing or cannot report its state.
  bool Create() {
    if (FAILED(CoCreateInstance(kPlayerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unknown_.OutVoid())))
      return false;
    if (FAILED(unknown_->QueryInterface(kPlayer4, player_.OutVoid()))) return false;
    if (FAILED(unknown_->QueryInterface(IID_IDispatch, dispatch_.OutVoid()))) return false;
    VARIANT v;
    if (FAILED(GetProperty(kDispPlayState, &v))) return false;
    VariantClear(&v);
    if (FAILED(GetProperty(kDispStatus, &v))) return false;
    VariantClear(&v);
    Ref<IConnectionPointContainer> cpc;
    if (SUCCEEDED(unknown_->QueryInterface(IID_IConnectionPointContainer, cpc.OutVoid())) &&
        SUCCEEDED(cpc->FindConnectionPoint(kOcxEvents, point_.Out()))) {
      sink_ = new EventSink(this);
      if (FAILED(point_->Advise(sink_, &cookie_))) cookie_ = 0;
    }
    return true;
  }

  ~ControlPlayer() override {
    if (point_ && cookie_) point_->Unadvise(cookie_);
    if (sink_) {
      sink_->Detach();
      sink_->Release();
    }
  }

  void SetUrl(const std::string& ansi) override {
    std::wstring w = base::Utf8ToWide(base::Cp1251ToUtf8(ansi));
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(w.c_str());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&v, &put, 1, 1};
    HRESULT hr = dispatch_->Invoke(kDispUrl, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                                   nullptr, nullptr);
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
    Check(GetProperty(kDispPlayState, &v));
    VARIANT i;
    VariantInit(&i);
    HRESULT hr = VariantChangeType(&i, &v, 0, VT_I4);
    VariantClear(&v);
    Check(hr);
    return i.lVal;
  }

  std::string Status() override {
    VARIANT v;
    Check(GetProperty(kDispStatus, &v));
    std::string s = v.vt == VT_BSTR && v.bstrVal ? base::WideToUtf8(v.bstrVal) : "";
    VariantClear(&v);
    return s;
  }

  const char* Engine() const override { return "control"; }

 private:
  HRESULT GetProperty(DISPID id, VARIANT* out) {
    VariantInit(out);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, out, nullptr, nullptr);
  }

  Ref<IUnknown> unknown_;
  Ref<IWMPPlayer4> player_;
  Ref<IDispatch> dispatch_;
  Ref<IConnectionPoint> point_;
  EventSink* sink_ = nullptr;
  DWORD cookie_ = 0;
};

}  // namespace

std::unique_ptr<MediaPlayer> CreateMediaPlayer(tk::Handle) {
  static const bool ole = SUCCEEDED(OleInitialize(nullptr));
  if (ole) {
    auto control = std::make_unique<ControlPlayer>();
    if (control->Create()) return control;
  }
  return CreateBuiltInPlayer();
}

}  // namespace playback
