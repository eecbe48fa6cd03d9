// Small ASCII text helpers shared by the network and playlist code.
#pragma once
#include <string>

namespace net {

std::string ascii_lower(std::string s);
// Without leading and trailing white space (blanks, tabs, CR, LF).
std::string trim(const std::string &s);

}  // namespace net
