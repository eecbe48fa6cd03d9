#include "playback/wmp_events_win32.h"

#include <wmpids.h>

#include <utility>

namespace playback {

const IID kWmpOcxEvents = {
    0x6BF52A51, 0x394A, 0x11D3, {0xB1, 0x53, 0x00, 0xC0, 0x4F, 0x79, 0xFA, 0xA6}};

class WmpEvents::Sink final : public IDispatch {
 public:
  explicit Sink(std::function<void()> on_status_change)
      : on_status_change_(std::move(on_status_change)) {}
  virtual ~Sink() = default;
  void Detach() { on_status_change_ = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kWmpOcxEvents) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG r = InterlockedDecrement(&refs_);
    if (!r) delete this;
    return static_cast<ULONG>(r);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    if (!n) return E_POINTER;
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (id == DISPID_WMPCOREEVENT_STATUSCHANGE && on_status_change_) on_status_change_();
    return S_OK;
  }

 private:
  std::function<void()> on_status_change_;
  LONG refs_ = 1;
};

bool WmpEvents::Connect(IUnknown* control, std::function<void()> on_status_change) {
  Disconnect();
  IConnectionPointContainer* cpc = nullptr;
  if (FAILED(
          control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc))) ||
      !cpc)
    return false;
  HRESULT hr = cpc->FindConnectionPoint(kWmpOcxEvents, &point_);
  cpc->Release();
  if (FAILED(hr) || !point_) {
    point_ = nullptr;
    return false;
  }
  sink_ = new Sink(std::move(on_status_change));
  if (FAILED(point_->Advise(sink_, &cookie_))) {
    cookie_ = 0;
    Disconnect();
    return false;
  }
  return true;
}

void WmpEvents::Disconnect() {
  if (point_) {
    if (cookie_) point_->Unadvise(cookie_);
    point_->Release();
  }
  if (sink_) {
    sink_->Detach();  // a control that still holds the sink reaches nothing any more
    sink_->Release();
  }
  point_ = nullptr;
  sink_ = nullptr;
  cookie_ = 0;
}

}  // namespace playback
