#pragma once
// Text helpers of station adding, shared by its two files.
#include <string>

namespace catalogue::text {

std::string Lower(const std::string& s);
bool IsHttpAddress(const std::string& s);
// Without a UTF-8 byte-order mark.
std::string StripBom(const std::string& s);

}  // namespace catalogue::text
