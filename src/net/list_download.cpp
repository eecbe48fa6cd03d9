#include "net/list_download.h"

#include <fstream>

#include "net/body.h"

namespace net {
namespace {

bool write_file(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

RowOutcome fetch_row(const std::string &url, const std::filesystem::path &file, const HttpGetOptions &opt) {
    const Deadline deadline = Deadline::in_ms(opt.total_ms);
    Response resp;
    if (open_response(url, request_options(opt), deadline, resp) != Error::None) return RowOutcome::NoAnswer;
    // The server answered: the file exists from here on.
    if (!write_file(file, std::string())) return RowOutcome::NoAnswer;
    if (resp.head.status >= 400) return RowOutcome::Empty;
    if (const std::string *cl = resp.head.find("content-length")) {
        uint64_t length = 0;
        if (parse_content_length(*cl, length) && length == 0) return RowOutcome::Empty;
    }
    std::string body;
    if (read_body(resp, opt.max_body, deadline.within_ms(opt.read_ms), body) != Error::None || body.empty())
        return RowOutcome::Empty;
    return write_file(file, body) ? RowOutcome::Body : RowOutcome::Empty;
}

}  // namespace

std::vector<RowOutcome> download_list(const std::vector<std::string> &urls,
                                      const std::vector<std::string> &names,
                                      const std::filesystem::path &folder,
                                      const ListDownloadOptions &options) {
    std::vector<RowOutcome> out(urls.size(), RowOutcome::Skipped);
    for (size_t i = 0; i < urls.size() && i < names.size(); ++i) {
        if (urls[i].empty()) continue;
        if (options.http.abort && options.http.abort->load()) break;
        if (options.on_start) options.on_start(i);
        out[i] = fetch_row(urls[i], folder / names[i], options.http);
        if (options.on_done) options.on_done(i, out[i]);
    }
    return out;
}

}  // namespace net
