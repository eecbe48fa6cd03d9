// The media player control's events through a fake control: a connection point container that
// raises the identifiers of wmpids.h through IDispatch::Invoke, as the real control does. Wine's
// control has no IDispatch, so the real one cannot be driven under wine; this runs under wine
// (both architectures) from the end-to-end tests. Exit code: the number of failed checks.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>
#include <wmpids.h>

#include <cstdio>
#include <vector>

#include "playback/wmp_events_win32.h"

namespace {

int failures = 0;

void Expect(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok" : "FAILED", what);
  if (!ok) ++failures;
}

// A control with the _WMPOCXEvents connection point and nothing else. Like the real control's
// point, Advise asks the sink for the event interface.
class FakeControl final : public IConnectionPointContainer, public IConnectionPoint {
 public:
  bool with_point = true;
  IDispatch* sink = nullptr;
  DWORD unadvised = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || (iid == IID_IConnectionPointContainer && with_point)) {
      *out = static_cast<IConnectionPointContainer*>(this);
    } else if (iid == IID_IConnectionPoint) {
      *out = static_cast<IConnectionPoint*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // lives on the stack

  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    if (iid != playback::kWmpOcxEvents) {
      *out = nullptr;
      return CONNECT_E_NOCONNECTION;
    }
    *out = this;
    AddRef();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    *iid = playback::kWmpOcxEvents;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
    *out = this;
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* unk, DWORD* cookie) override {
    if (FAILED(unk->QueryInterface(playback::kWmpOcxEvents, reinterpret_cast<void**>(&sink))))
      return CONNECT_E_CANNOTCONNECT;
    *cookie = 77;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    unadvised = cookie;
    if (sink) sink->Release();
    sink = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

  // Raises one event with the arguments the control passes with it.
  void Raise(DISPID id) {
    if (!sink) return;
    VARIANT arg;
    VariantInit(&arg);
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    if (id == DISPID_WMPCOREEVENT_OPENSTATECHANGE || id == DISPID_WMPCOREEVENT_PLAYSTATECHANGE) {
      arg.vt = VT_I4;
      arg.lVal = 6;
      params = {&arg, nullptr, 1, 0};
    } else if (id == DISPID_WMPCOREEVENT_BUFFERING) {
      arg.vt = VT_BOOL;
      arg.boolVal = VARIANT_TRUE;
      params = {&arg, nullptr, 1, 0};
    }
    UINT bad_arg = 0;
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                 &bad_arg);
  }

  ULONG refs = 1;
};

}  // namespace

int main() {
  CoInitialize(nullptr);
  int status_changes = 0;
  {
    FakeControl control;
    playback::WmpEvents events;
    Expect(events.Connect(static_cast<IConnectionPointContainer*>(&control),
                          [&] { ++status_changes; }),
           "connects to the events point");
    Expect(control.sink != nullptr, "the sink answers for _WMPOCXEvents");

    // What the control raises while it opens a stream and starts playing.
    const DISPID opening[] = {
        DISPID_WMPCOREEVENT_OPENSTATECHANGE, DISPID_WMPCOREEVENT_PLAYSTATECHANGE,
        DISPID_WMPCOREEVENT_BUFFERING,       DISPID_WMPCOREEVENT_MEDIAERROR,
        DISPID_WMPCOREEVENT_ENDOFSTREAM,     DISPID_WMPCOREEVENT_DISCONNECT};
    for (DISPID id : opening) control.Raise(id);
    Expect(status_changes == 0,
           "open state, play state, buffering and the others are not StatusChange");
    int before = status_changes;
    control.Raise(DISPID_WMPCOREEVENT_STATUSCHANGE);
    Expect(status_changes == before + 1, "StatusChange reaches the player");
    before = status_changes;
    for (int i = 0; i < 3; ++i) {
      control.Raise(DISPID_WMPCOREEVENT_OPENSTATECHANGE);
      control.Raise(DISPID_WMPCOREEVENT_STATUSCHANGE);
    }
    Expect(status_changes == before + 3, "every StatusChange, between open state changes");
    before = status_changes;

    IDispatch* kept = control.sink;
    kept->AddRef();  // a control that still calls after the player let go
    events.Disconnect();
    Expect(control.unadvised == 77, "Disconnect unadvises with the cookie of Advise");
    kept->Invoke(DISPID_WMPCOREEVENT_STATUSCHANGE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                 nullptr, nullptr, nullptr, nullptr);
    Expect(status_changes == before, "a late event after Disconnect reaches nothing");
    kept->Release();
    Expect(control.refs == 1, "every reference to the control is given back");
  }
  {
    FakeControl none;
    none.with_point = false;
    playback::WmpEvents events;
    Expect(!events.Connect(static_cast<IConnectionPointContainer*>(&none), [] {}),
           "a control without connection points is reported");
  }
  CoUninitialize();
  std::printf("%d failed\n", failures);
  return failures;
}
