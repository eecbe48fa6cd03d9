#pragma once
#include <filesystem>
#include <string>
#include <vector>

// Every file of the program is found through the executable's folder.
namespace base {

std::filesystem::path ExePath();
std::filesystem::path ExeFolder();
// A file beside the executable; `name` is in Windows-1251.
std::filesystem::path BesideExe(const std::string& name);

// File names in Windows-1251 bytes, as the rest of the program sees them.
std::filesystem::path PathFromAnsi(const std::string& name);
std::string AnsiFromPath(const std::filesystem::path& path);

// Names of every entry of a folder (files, hidden and system ones, subfolders), without
// "." and ".."; a missing folder has none.
std::vector<std::string> ListFolder(const std::filesystem::path& folder);
bool FileExists(const std::filesystem::path& path);
// Deletes a file; false when it could not be deleted.
bool DeleteFileAt(const std::filesystem::path& path);
// Puts `replacement` in the place of `target` in one step (the target may exist); false
// when it could not be done, and then the target is as it was.
bool ReplaceFileWith(const std::filesystem::path& target, const std::filesystem::path& replacement);

namespace test_hooks {
// Tests place the "executable" in a temporary folder.
void SetExeFolder(const std::filesystem::path& folder);
}  // namespace test_hooks

}  // namespace base
