#include "toolkit/http_client.h"

#include <atomic>
#include <memory>
#include <thread>

#include "net/http_get.h"
#include "toolkit/platform.h"

namespace tk {

std::string HttpClient::Get(const std::string& url) {
  if (busy_) throw HttpError("A request is already waiting");
  busy_ = true;
  struct Busy {
    bool* b;
    ~Busy() { *b = false; }
  } clear{&busy_};
  // The request runs on its own thread; its state outlives this call if need be.
  struct Job {
    net::HttpGetOptions options;
    net::HttpGetResult result;
    bool ok = false;
    std::atomic<bool> done{false};
  };
  auto job = std::make_shared<Job>();
  job->options.headers = {{"Accept", Accept}, {"User-Agent", UserAgent}};
  job->options.connect_ms = ConnectTimeout;
  job->options.read_ms = ReadTimeout;
  job->options.total_ms = ConnectTimeout + ReadTimeout;  // a lookup counts against the whole
  job->options.max_redirects = 0;
  job->options.max_body = MaxBody;
  std::thread([job, url] {
    job->ok = net::HttpGet(url, job->options, job->result);
    job->done = true;
  }).detach();
  while (!job->done.load()) {
    platform::WaitForMessages(10);
    platform::ProcessMessages();
  }
  if (!job->ok) throw HttpError("Request failed: " + url);
  int s = job->result.status;
  if (s < 200 || s > 299) throw HttpError("HTTP/1.1 " + std::to_string(s));
  return job->result.body;
}

}  // namespace tk
