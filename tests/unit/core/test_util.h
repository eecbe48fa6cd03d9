#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "base/paths.h"

// A settings file as the player writes it: updates off, open-last off, volume 25, no station.
inline std::string QuietConfig(int volume = 25) {
  return "check_updates\r\n0\r\nopen_last\r\n0\r\nstart_volume\r\n" + std::to_string(volume) +
         "\r\nlast_number\r\n-1\r\nautorun\r\n0\r\n";
}

// A temporary folder that plays the executable's folder for one test.
class TempExeFolder {
 public:
  TempExeFolder() {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() /
           ("tivolna-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(dir_);
    base::test_hooks::SetExeFolder(dir_);
  }
  ~TempExeFolder() {
    base::test_hooks::SetExeFolder({});
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::filesystem::path& path() const { return dir_; }
  // The pictures the main window loads from beside the exe.
  void CopyPictures() const {
    for (const char* f : {"fav.png", "notfav.png", "vol.png", "voloff.png"})
      std::filesystem::copy_file(std::filesystem::path(TIVOLNA_SOURCE_DIR) / "assets/dist" / f,
                                 dir_ / f);
  }
  std::filesystem::path Stations() const { return dir_ / "Stations"; }
  void Write(const std::filesystem::path& rel, const std::string& bytes) const {
    std::filesystem::create_directories((dir_ / rel).parent_path());
    std::ofstream(dir_ / rel, std::ios::binary) << bytes;
  }
  std::string Read(const std::filesystem::path& rel) const {
    std::ifstream in(dir_ / rel, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path dir_;
};
