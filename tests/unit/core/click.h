#pragma once
// Clicks where a user aims at a control: its centre, in its form's client coordinates.
#include "toolkit/headless/headless.h"

namespace tk::headless {

inline Point CentreOf(const Control& c) {
  return {c.Left() + c.Bounds().width / 2, c.Top() + c.Bounds().height / 2};
}

// Move to the control's centre, press and release there.
inline void ClickOn(Control& c, MouseButton b = MouseButton::kLeft) {
  const Point p = CentreOf(c);
  Click(*c.Owner(), p.x, p.y, b);
}

}  // namespace tk::headless
