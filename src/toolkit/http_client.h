#pragma once
// The HTTP client of the windows: a GET of an absolute address on the user-interface thread,
// which keeps handling window messages while it waits (the windows repaint, move and answer
// clicks meanwhile).
#include <cstddef>
#include <string>

#include "base/errors.h"

namespace tk {

// Any failure of a request: no connection, a time-out, a status outside 2xx.
class HttpError : public base::Error {
 public:
  using base::Error::Error;
};

class HttpClient {
 public:
  // Time-outs in ms: connecting (a host name's lookup included) and reading the response.
  int ConnectTimeout = 5000;
  int ReadTimeout = 10000;
  std::string Accept = "text/html, */*";
  std::string UserAgent = "Mozilla/3.0 (compatible; Indy Library)";
  size_t MaxBody = 16 << 20;  // a longer body fails the request

  // The body of a 2xx response; redirections are not followed. Throws HttpError, also when
  // called while this client's request is still waiting (from a handler run meanwhile).
  std::string Get(const std::string& url);
  bool Busy() const { return busy_; }

 private:
  bool busy_ = false;
};

}  // namespace tk
