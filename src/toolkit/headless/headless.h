#pragma once
// Inspection of the headless platform for tests.
#include <string>
#include <vector>

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

}  // namespace tk::headless
