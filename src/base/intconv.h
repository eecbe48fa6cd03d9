#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace base {

// The program's text-to-integer conversion: leading spaces, an optional sign, then decimal
// digits or a hexadecimal number after "$", "x", "X", "0x" or "0X"; nothing may follow.
// Decimal must fit int32; hexadecimal may use all 32 bits.
std::optional<int32_t> TryStrToInt(const std::string& text);
// Throws base::Error "'<text>' is not a valid integer value".
int32_t StrToInt(const std::string& text);
std::string IntToStr(int64_t value);

}  // namespace base
