// Small ASCII text helpers shared by the network and playlist code.
#pragma once
#include <string>

namespace net {

std::string AsciiLower(std::string s);
// Without leading and trailing white space (blanks, tabs, CR, LF).
std::string Trim(const std::string& s);

}  // namespace net
