#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace base {

// Reads a single-byte text line by line: a line ends at LF, CR LF is one line end, a lone CR
// is dropped, byte 26 ends the text, and reading past the end gives empty lines.
class TextReader {
 public:
  explicit TextReader(std::string bytes);
  std::string ReadLine();
  bool AtEnd() const { return pos_ >= data_.size(); }

 private:
  std::string data_;
  size_t pos_ = 0;
};

// Whole-file operations; failures throw base::Error with the runtime's texts
// ("File not found", "File access denied").
std::string ReadFileBytes(const std::filesystem::path& path);
TextReader OpenTextFile(const std::filesystem::path& path);
// Creates or truncates the file and writes every line ended by CR LF.
void WriteTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines);
// Appends lines ended by CR LF, creating the file when missing.
void AppendTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines);

}  // namespace base
