#pragma once
// The media player control's events (_WMPOCXEvents), received through its connection point.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <functional>

namespace playback {

// The control's outgoing event interface.
extern const IID kWmpOcxEvents;

// Connects an IDispatch sink to the control's _WMPOCXEvents connection point. Of the events,
// only StatusChange (DISPID_WMPCOREEVENT_STATUSCHANGE) is passed on; the others (open state,
// play state, buffering, ...) are ignored.
class WmpEvents {
 public:
  WmpEvents() = default;
  ~WmpEvents() { Disconnect(); }
  WmpEvents(const WmpEvents&) = delete;
  WmpEvents& operator=(const WmpEvents&) = delete;

  // False when the control offers no such connection point or refuses the sink.
  bool Connect(IUnknown* control, std::function<void()> on_status_change);
  void Disconnect();

 private:
  class Sink;
  IConnectionPoint* point_ = nullptr;
  Sink* sink_ = nullptr;
  DWORD cookie_ = 0;
};

}  // namespace playback
