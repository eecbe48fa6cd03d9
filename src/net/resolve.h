// Host name lookup that a deadline or an abort request can leave behind.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "net/deadline.h"

namespace net {

// One address to connect to: the socket's family, type and protocol and the raw address.
struct Address {
  int family = 0;
  int socktype = 0;
  int protocol = 0;
  std::string raw;  // the sockaddr bytes
};

enum class LookupStatus { kOk, kNotFound, kTimeout, kAborted };

// Resolves host (a name or a numeric address) for TCP. Names are looked up on a helper
// thread; when the deadline passes or *abort is set first, that thread is left to finish
// by itself and Timeout or Aborted is returned at once.
LookupStatus Lookup(const std::string& host, uint16_t port, Deadline deadline,
                    const std::atomic<bool>* abort, std::vector<Address>& out);

}  // namespace net
