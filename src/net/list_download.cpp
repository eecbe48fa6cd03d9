#include "net/list_download.h"

#include <algorithm>
#include <fstream>

#include "net/body.h"

namespace net {
namespace {

bool WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();  // a full disk shows here, when the buffer is written
  return !out.fail();
}

RowOutcome FetchRow(const std::string& url, const std::filesystem::path& file,
                    const HttpGetOptions& opt, size_t& body_size) {
  const Deadline deadline = Deadline::InMs(opt.total_ms);
  Response resp;
  if (OpenResponse(url, RequestOptionsFor(opt), deadline, resp) != Error::kNone)
    return RowOutcome::kNoAnswer;
  // The server answered: the file exists from here on.
  if (!WriteFileBytes(file, std::string())) return RowOutcome::kWriteFailed;
  if (resp.head.status >= 400) return RowOutcome::kEmpty;
  if (const std::string* cl = resp.head.Find("content-length")) {
    uint64_t length = 0;
    if (ParseContentLength(*cl, length) && length == 0) return RowOutcome::kEmpty;
  }
  std::string body;
  Error e = ReadBody(resp, opt.max_body, deadline.WithinMs(opt.read_ms), body);
  if (e == Error::kTooLarge) return RowOutcome::kTooLarge;
  if (e != Error::kNone || body.empty()) return RowOutcome::kEmpty;
  if (!WriteFileBytes(file, body)) return RowOutcome::kWriteFailed;
  body_size = body.size();
  return RowOutcome::kBody;
}

}  // namespace

std::vector<RowOutcome> DownloadList(const std::vector<std::string>& urls,
                                     const std::vector<std::string>& names,
                                     const std::filesystem::path& folder,
                                     const ListDownloadOptions& options) {
  std::vector<RowOutcome> out(urls.size(), RowOutcome::kSkipped);
  uint64_t total = 0;
  for (size_t i = 0; i < urls.size() && i < names.size(); ++i) {
    if (urls[i].empty()) continue;
    if (options.http.abort && options.http.abort->load()) break;
    if (options.on_start) options.on_start(i);
    HttpGetOptions opt = options.http;
    uint64_t left = options.total_max - std::min(total, options.total_max);
    if (left < opt.max_body) opt.max_body = static_cast<size_t>(left);
    size_t size = 0;
    out[i] = FetchRow(urls[i], folder / names[i], opt, size);
    total += size;
    if (options.on_done) options.on_done(i, out[i]);
  }
  return out;
}

}  // namespace net
