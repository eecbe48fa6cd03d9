// Blocking HTTP GET of a whole (small) resource, following redirects.
#pragma once
#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "net/http_head.h"
#include "net/request.h"

namespace net {

struct HttpGetOptions {
  std::vector<std::pair<std::string, std::string>> headers;  // e.g. {"User-Agent", "..."}
  int connect_ms = 5000;                                     // each connection attempt
  int read_ms = 10000;        // each response, from sending the request to its last byte
  int total_ms = 30000;       // the whole request, redirects and name lookups included
  size_t max_body = 1 << 20;  // a longer body fails the request
  int max_redirects = 5;
  const std::atomic<bool>* abort = nullptr;
};

using HttpGetError = Error;

struct HttpGetResult {
  HttpGetError error = HttpGetError::kNone;
  int status = 0;    // of the last response
  HttpHead head;     // of the last response
  std::string body;  // its body (any status)
  std::string url;   // its address
};

// True when a response arrived (check result.status); false with result.error otherwise.
// Redirects 301/302/303/307/308 are followed. The body ends at Content-Length or at the
// close of the connection; chunked bodies are decoded.
bool HttpGet(const std::string& url, const HttpGetOptions& options, HttpGetResult& result);

// The request settings of a fetch with these options.
RequestOptions RequestOptionsFor(const HttpGetOptions& options);

// Reads the body of an opened response into body (at most max_body bytes) by read_by.
Error ReadBody(Response& resp, size_t max_body, Deadline read_by, std::string& body);

}  // namespace net
