// The picture decoders: any bytes decode to a picture within the limits, or fail with the
// decoder's error; never a crash, a hang or an oversized allocation.
#include "base/errors.h"
#include "imaging/picture.h"
#include "split.h"

inline int FuzzPicture(const uint8_t* data, size_t size, imaging::Kind kind) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (tk::Size fit : {tk::Size{0, 0}, tk::Size{88, 82}}) {
    try {
      tk::Bitmap b = imaging::Decode(bytes, kind, fit);
      FUZZ_CHECK(b.width > 0 && b.height > 0);
      FUZZ_CHECK(b.width <= imaging::kMaxSide && b.height <= imaging::kMaxSide);
      FUZZ_CHECK(b.pixels.size() == static_cast<size_t>(b.width) * b.height);
    } catch (const base::Error&) {}
  }
  return 0;
}
