#include "net/resolve.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "net/test_hooks.h"
#include "net/socket.h"
#include "net/sys.h"

namespace net {
namespace {

constexpr int kWaitSliceMs = 20;  // how often a waiting caller looks at its abort flag

struct Hooks {
  std::mutex m;
  int delay_ms = 0;
  std::map<std::string, std::vector<std::string>> hosts;
};
Hooks& HookState() {
  static Hooks* h = new Hooks();  // lookup threads may outlive main
  return *h;
}

// getaddrinfo for TCP; numeric_only makes it fail at once for names.
int SystemLookup(const std::string& host, uint16_t port, bool numeric_only,
                 std::vector<Address>& out) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  if (numeric_only) hints.ai_flags = AI_NUMERICHOST;
  addrinfo* res = nullptr;
  const std::string port_text = std::to_string(port);
  int rc = getaddrinfo(host.c_str(), port_text.c_str(), &hints, &res);
  if (rc != 0 || !res) return rc != 0 ? rc : -1;
  for (addrinfo* ai = res; ai; ai = ai->ai_next) {
    Address a;
    a.family = ai->ai_family;
    a.socktype = ai->ai_socktype;
    a.protocol = ai->ai_protocol;
    a.raw.assign(reinterpret_cast<const char*>(ai->ai_addr), static_cast<size_t>(ai->ai_addrlen));
    out.push_back(std::move(a));
  }
  freeaddrinfo(res);
  return 0;
}

// Runs on the helper thread.
bool NameLookup(const std::string& host, uint16_t port, std::vector<Address>& out) {
  int delay;
  std::vector<std::string> fixed;
  {
    std::lock_guard<std::mutex> l(HookState().m);
    delay = HookState().delay_ms;
    auto it = HookState().hosts.find(host);
    if (it != HookState().hosts.end()) fixed = it->second;
  }
  if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  if (!fixed.empty()) {
    for (const std::string& a : fixed) SystemLookup(a, port, true, out);
    return !out.empty();
  }
  return SystemLookup(host, port, false, out) == 0 && !out.empty();
}

struct Job {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  bool ok = false;
  std::vector<Address> result;
};

}  // namespace

LookupStatus Lookup(const std::string& host, uint16_t port, Deadline deadline,
                    const std::atomic<bool>* abort, std::vector<Address>& out) {
  Init();
  out.clear();
  if (SystemLookup(host, port, true, out) == 0 && !out.empty()) return LookupStatus::kOk;
  out.clear();
  auto job = std::make_shared<Job>();
  try {
    std::thread([job, host, port] {
      std::vector<Address> found;
      bool ok = NameLookup(host, port, found);
      std::lock_guard<std::mutex> l(job->m);
      job->ok = ok;
      job->result = std::move(found);
      job->done = true;
      job->cv.notify_all();
    }).detach();
  } catch (...) {
    // no thread to spare: look up here, without a time-out
    return NameLookup(host, port, out) ? LookupStatus::kOk : LookupStatus::kNotFound;
  }
  std::unique_lock<std::mutex> l(job->m);
  for (;;) {
    if (job->done) break;
    if (abort && abort->load()) return LookupStatus::kAborted;
    int left = deadline.LeftMs();
    if (left <= 0) return LookupStatus::kTimeout;
    job->cv.wait_for(l, std::chrono::milliseconds(left < kWaitSliceMs ? left : kWaitSliceMs));
  }
  if (!job->ok) return LookupStatus::kNotFound;
  out = std::move(job->result);
  return LookupStatus::kOk;
}

namespace test_hooks {

void SetLookupDelayMs(int ms) {
  std::lock_guard<std::mutex> l(HookState().m);
  HookState().delay_ms = ms;
}

void SetHost(const std::string& name, const std::vector<std::string>& addresses) {
  std::lock_guard<std::mutex> l(HookState().m);
  if (addresses.empty())
    HookState().hosts.erase(name);
  else
    HookState().hosts[name] = addresses;
}

void Reset() {
  std::lock_guard<std::mutex> l(HookState().m);
  HookState().delay_ms = 0;
  HookState().hosts.clear();
}

}  // namespace test_hooks
}  // namespace net
