#pragma once
#include <cstddef>

namespace imaging {

// The TrueType font of the name cards: DejaVu Sans Condensed Bold.
const unsigned char* NameCardFont(size_t* size);

}  // namespace imaging
