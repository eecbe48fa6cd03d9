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
// A text file that takes another's place only when it is complete: Write puts the lines
// under a temporary name, Commit makes it the target in one step. Dropped unless committed,
// so a failure on the way leaves the target as it was.
class ReplacementFile {
 public:
  ReplacementFile(std::filesystem::path target, std::filesystem::path temporary);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;
  void Write(const std::vector<std::string>& lines);
  // The same with the file's bytes as they are.
  void WriteBytes(const std::string& bytes);
  void Commit();

 private:
  std::filesystem::path target_, temporary_;
  bool pending_ = false;
};

// Appends lines ended by CR LF, creating the file when missing.
void AppendTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines);

}  // namespace base
