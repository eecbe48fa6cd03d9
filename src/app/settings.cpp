#include "app/settings.h"

#include "base/errors.h"
#include "base/intconv.h"
#include "base/paths.h"
#include "base/textfile.h"
#include "toolkit/components.h"

namespace app {

const char kAutorunValueName[] = "Tivolna";
const char kRunKeyPath[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

std::vector<std::string> ConfigLines(const ConfigValues& v) {
  return {"check_updates", v.check_updates ? "1" : "0", "open_last",   v.open_last ? "1" : "0",
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

void WriteConfig(const ConfigValues& v, const std::function<void()>& written) {
  base::ReplacementFile file(base::BesideExe("config.txt"), base::BesideExe("config2.txt"));
  file.Write(ConfigLines(v));
  if (written) written();
  SetAutorunEntry(v.autorun, kAutorunValueName, base::ExePath().u8string());
  file.Commit();
}

}  // namespace app
