#include "ui/main/logos.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "base/errors.h"
#include "base/intconv.h"
#include "catalogue/station_store.h"
#include "imaging/picture.h"

namespace ui {
namespace {

Logo LoadOne(const LogoRequest& r, tk::Size tile) {
  Logo out;
  imaging::Kind kind;
  if (!imaging::KindOfExtension(r.extension, &kind)) return out;
  try {
    out.picture = tk::Resample(
        imaging::LoadPicture(catalogue::LogoFilePath(r.station, r.extension), kind, tile),
        tile.width, tile.height);
  } catch (const std::exception& e) {
    out.error =
        std::string(e.what()) + " (Stations\\" + base::IntToStr(r.station) + r.extension + ")";
  }
  return out;
}

}  // namespace

std::vector<Logo> LoadLogos(const std::vector<LogoRequest>& requests, tk::Size tile) {
  std::vector<Logo> out(requests.size());
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next++) < requests.size();) out[i] = LoadOne(requests[i], tile);
  };
  unsigned n = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  n = static_cast<unsigned>(
      std::min<size_t>(n, requests.size() / 8 + 1));  // small fills stay on this thread
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < n; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  return out;
}

}  // namespace ui
