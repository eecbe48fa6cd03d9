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
  None,
  BadUrl,   // not an http or https address
  Lookup,   // host name not found
  Refused,  // connection refused or host unreachable
  Timeout,  // a time-out or the deadline passed
  Aborted,  // the abort flag was set
  Send,     // the request could not be sent
  BadHead,  // the response head was malformed or cut off
  TooManyRedirects,
  Body,               // the body was malformed or cut off
  TooLarge,           // head or body over the limits
  TlsHandshake,       // no TLS connection could be agreed
  CertUnknownIssuer,  // the certificate does not lead to a trusted root
  CertExpired,        // a certificate is outside its validity period
  CertHostMismatch,   // the certificate names another host
  CertInvalid         // any other fault of the certificate
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
