#include "base/paths.h"

#include <cstdio>
#include <system_error>

#include "base/codepage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace base {
namespace {
std::filesystem::path g_test_folder;
}

std::filesystem::path ExePath() {
#ifdef _WIN32
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n < buf.size()) {
      buf.resize(n);
      break;
    }
    buf.resize(buf.size() * 2);
  }
  return std::filesystem::path(buf);
#else
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec);
#endif
}

std::filesystem::path ExeFolder() {
  if (!g_test_folder.empty()) return g_test_folder;
  return ExePath().parent_path();
}

std::filesystem::path BesideExe(const std::string& name) {
  return ExeFolder() / PathFromAnsi(name);
}

namespace test_hooks {
void SetExeFolder(const std::filesystem::path& folder) { g_test_folder = folder; }
}  // namespace test_hooks

std::filesystem::path PathFromAnsi(const std::string& name) {
#ifdef _WIN32
  return std::filesystem::path(Utf8ToWide(Cp1251ToUtf8(name)));
#else
  return std::filesystem::path(Cp1251ToUtf8(name));
#endif
}

std::string AnsiFromPath(const std::filesystem::path& path) {
#ifdef _WIN32
  return Utf8ToCp1251(WideToUtf8(path.wstring()));
#else
  return Utf8ToCp1251(path.string());
#endif
}

std::vector<std::string> ListFolder(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) names.push_back(AnsiFromPath(it->path().filename()));
  return names;
}

bool FileExists(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

bool DeleteFileAt(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  return std::filesystem::remove(path, ec) && !ec;
}

}  // namespace base

namespace base {

bool ReplaceFileWith(const std::filesystem::path& target,
                     const std::filesystem::path& replacement) {
#ifdef _WIN32
  // Windows refuses to replace a read-only file; wine replaces it, so say no for both.
  DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  return MoveFileExW(replacement.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  // As on Windows, a read-only target is not replaced (the write bits stand for the
  // attribute; checked by mode, as access() grants everything to root).
  std::error_code ec;
  auto st = std::filesystem::status(target, ec);
  if (!ec && std::filesystem::is_regular_file(st) &&
      (st.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none)
    return false;
  return ::rename(replacement.c_str(), target.c_str()) == 0;
#endif
}

}  // namespace base
