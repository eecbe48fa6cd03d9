#pragma once
// Station logos drawn as name cards, for stations that have no picture of their own.
#include <string>
#include <vector>

namespace imaging {

// A drawn station logo: PNG bytes of a name card width x height showing `name` (UTF-8),
// its background chosen by `tag` or a stable hash of the name. The same input gives the same bytes.
// Empty on failure.
std::vector<unsigned char> DrawNameCard(const std::string& name_utf8, const std::string& tag,
                                        int width, int height);

}  // namespace imaging
