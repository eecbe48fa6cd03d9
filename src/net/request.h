// One GET request with its redirects: what HttpGet and the audio source both use.
#pragma once
#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "net/deadline.h"
#include "net/http_head.h"
#include "net/socket.h"
#include "net/url.h"

namespace net {

// Why a request failed.
enum class Error {
  kNone,
  kBadUrl,   // not an http or https address
  kLookup,   // host name not found
  kRefused,  // connection refused or host unreachable
  kTimeout,  // a time-out or the deadline passed
  kAborted,  // the abort flag was set
  kSend,     // the request could not be sent
  kBadHead,  // the response head was malformed or cut off
  kTooManyRedirects,
  kBody,               // the body was malformed or cut off
  kTooLarge,           // head or body over the limits
  kTlsHandshake,       // no TLS connection could be agreed
  kCertUnknownIssuer,  // the certificate does not lead to a trusted root
  kCertExpired,        // a certificate is outside its validity period
  kCertHostMismatch,   // the certificate names another host
  kCertInvalid         // any other fault of the certificate
};

struct RequestOptions {
  std::vector<std::pair<std::string, std::string>> headers;  // e.g. {"User-Agent", "..."}
  const char* version = "HTTP/1.1";
  int connect_ms = 5000;  // each connection attempt
  int read_ms = 10000;    // from sending a request until its whole head has arrived
  HttpHeadLimits head_limits;
  int max_redirects = 5;
  const std::atomic<bool>* abort = nullptr;
};

struct Response {
  Socket sock;  // positioned after the head
  HttpHead head;
  Url url;  // address of this response
};

// Statuses that are followed to their Location.
bool IsRedirect(int status);

// Requests url and follows redirects (at most options.max_redirects hops) until a response
// that is not a redirect, or a redirect without a usable Location, arrives. Everything
// ends by the deadline. "Connection: close" is always sent.
Error OpenResponse(const std::string& url, const RequestOptions& options, Deadline deadline,
                   Response& out);

}  // namespace net
