#pragma once
#include <stdexcept>
#include <string>

namespace base {

// An error carrying the runtime's text; the window framework shows it in its error box.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& text) : std::runtime_error(text) {}
};

// Texts use UTF-8 in memory.
[[noreturn]] void ThrowFileNotFound();
[[noreturn]] void ThrowFileAccessDenied();
// `text` is in Windows-1251 (it came from a file or a file name).
[[noreturn]] void ThrowNotAnInteger(const std::string& text);

}  // namespace base
