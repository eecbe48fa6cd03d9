#pragma once
#include <string>

// The one place where Windows-1251, UTF-8 and UTF-16 meet.
namespace base {

std::string Cp1251ToUtf8(const std::string& ansi);
// Characters that Windows-1251 lacks become '?'.
std::string Utf8ToCp1251(const std::string& utf8);
// Well-formed UTF-8: no stray or missing continuation bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF. The decoding fills `out` (when given) on the way.
bool DecodeUtf8Strict(const std::string& text, std::u32string* out);
bool IsValidUtf8(const std::string& text);
void AppendUtf8(std::string& out, char32_t c);
std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& wide);

#ifdef _WIN32
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);
#endif

}  // namespace base
