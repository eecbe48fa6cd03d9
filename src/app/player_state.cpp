#include "app/player_state.h"

namespace app {

PlayerState& State() {
  static PlayerState* state = new PlayerState();  // lives until the process ends
  return *state;
}

const char kUserAgent[120] =
    "Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US) AppleWebKit/534.10 (KHTML, like Gecko) "
    "Chrome/8.0.552.215 Safari/534.10";
static_assert(sizeof(kUserAgent) == 120, "119 characters and the terminating zero");

}  // namespace app
