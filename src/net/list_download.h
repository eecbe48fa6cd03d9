// Fetches a list of addresses into files of one folder, one at a time.
#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "net/http_get.h"

namespace net {

enum class RowOutcome {
  kSkipped,      // the row's address is empty
  kBody,         // the file holds the body
  kEmpty,        // the server answered with a status of 400 or more, a length of 0 or a broken body
  kNoAnswer,     // nothing came back (no connection, no response head): no file was made
  kTooLarge,     // the body passed max_body or the rows' total: the file is left empty
  kWriteFailed,  // the file could not be made or written whole (checked after closing)
};

struct ListDownloadOptions {
  HttpGetOptions http;              // headers, time-outs, size limit and abort flag of each fetch
  uint64_t total_max = UINT64_MAX;  // the bodies of all rows together
  // Called before each row is fetched and after it was handled.
  std::function<void(size_t row)> on_start;
  std::function<void(size_t row, RowOutcome outcome)> on_done;
};

// For every row whose address is not empty, in row order: fetches urls[i] and writes the
// body to folder / names[i]. The file is made as soon as the server answers. Throws nothing
// but what the callbacks throw.
std::vector<RowOutcome> DownloadList(const std::vector<std::string>& urls,
                                     const std::vector<std::string>& names,
                                     const std::filesystem::path& folder,
                                     const ListDownloadOptions& options);

}  // namespace net
