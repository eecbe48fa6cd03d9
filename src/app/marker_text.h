#pragma once
#include <string>

namespace app {

// The text between the first `start_marker` and the next `end_marker` after it; empty when
// either is missing.
std::string TextBetween(const std::string& start_marker, const std::string& end_marker,
                        const std::string& text);
// `source` with every non-overlapping occurrence of `pattern` replaced, left to right; an
// empty pattern occurs nowhere.
std::string ReplaceAll(const std::string& source, const std::string& pattern,
                       const std::string& replacement);

}  // namespace app
