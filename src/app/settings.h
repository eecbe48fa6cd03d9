#pragma once
// config.txt beside the executable and the autorun entry under the current user's Run key.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace app {

// The value name of the autorun entry: the product's name.
extern const char kAutorunValueName[];
// The Run key under HKEY_CURRENT_USER, as the absolute path the program is known by.
extern const char kRunKeyPath[];

struct ConfigValues {
  bool check_updates = false;
  bool open_last = false;
  int32_t start_volume = 0;
  int32_t last_number = 0;
  bool autorun = false;
};

// The ten lines: keys and values in their fixed order.
std::vector<std::string> ConfigLines(const ConfigValues& v);

// The autorun value's data: the executable's full path in quotes, so a path with spaces
// cannot be taken for a shorter program's.
std::string AutorunCommand();

// Writes config.txt in full and brings the autorun entry in line. The new file is written
// under a temporary name beside it; `written` runs once it is complete; then the new file
// takes the old one's place in one step; then the autorun entry. A file that cannot be
// replaced leaves the registry untouched; a failing registry step puts the old file back.
// Either way the old config.txt stays whole and the runtime's error is thrown.
void WriteConfig(const ConfigValues& v, const std::function<void()>& written = nullptr);

// Sets the string value `name` to `path` (enable) or deletes it, the deletion's result
// ignored; a key that cannot be opened is not reported. Throws "Failed to set data for
// '<name>'" when the value cannot be set.
void SetAutorunEntry(bool enable, const std::string& name, const std::string& path);

}  // namespace app
