#include "base/errors.h"

#include "base/codepage.h"

namespace base {

void ThrowFileNotFound() { throw Error("File not found"); }
void ThrowFileAccessDenied() { throw Error("File access denied"); }
void ThrowNotAnInteger(const std::string& text) {
  throw Error("'" + Cp1251ToUtf8(text) + "' is not a valid integer value");
}

}  // namespace base
