#include "app/settings.h"

#include <filesystem>

#include "base/errors.h"
#include "base/intconv.h"
#include "base/paths.h"
#include "base/textfile.h"
#include "toolkit/components.h"

namespace app {

const char kAutorunValueName[] = "Tivolna";
const char kRunKeyPath[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

std::vector<std::string> ConfigLines(const ConfigValues& v) {
  return {
      "check_updates", v.check_updates ? "1" : "0",    "open_last",   v.open_last ? "1" : "0",
      "start_volume",  base::IntToStr(v.start_volume), "last_number", base::IntToStr(v.last_number),
      "autorun",       v.autorun ? "1" : "0"};
}

void SetAutorunEntry(bool enable, const std::string& name, const std::string& path) {
  // The registry takes the path from the root without a leading backslash.
  std::string key_path = kRunKeyPath;
  if (!key_path.empty() && key_path[0] == '\\') key_path.erase(0, 1);
  tk::RegistryKey key(key_path);
  if (enable) {
    if (!key.SetString(name, path)) throw base::Error("Failed to set data for '" + name + "'");
  } else {
    key.DeleteValue(name);
  }
}

std::string AutorunCommand() { return "\"" + base::ExePath().u8string() + "\""; }

void WriteConfig(const ConfigValues& v, const std::function<void()>& written) {
  const std::filesystem::path target = base::BesideExe("config.txt");
  const std::filesystem::path temporary = base::BesideExe("config2.txt");
  // The old file's bytes, to put back should the registry step fail.
  const bool had_old = base::FileExists(target);
  const std::string old = had_old ? base::ReadFileBytes(target) : std::string();
  base::ReplacementFile file(target, temporary);
  file.Write(ConfigLines(v));
  if (written) written();
  // The file first: one that cannot be replaced (read-only, held open) leaves the registry
  // as it was, so the Run value always agrees with the file.
  file.Commit();
  try {
    SetAutorunEntry(v.autorun, kAutorunValueName, AutorunCommand());
  } catch (...) {
    if (had_old) {
      base::ReplacementFile back(target, temporary);
      back.WriteBytes(old);
      back.Commit();
    } else {
      base::DeleteFileAt(target);
    }
    throw;
  }
}

}  // namespace app
