#include "base/textfile.h"

#include <cstdio>
#include <fstream>
#include <system_error>

#include "base/errors.h"
#include "base/paths.h"

namespace base {

TextReader::TextReader(std::string bytes) : data_(std::move(bytes)) {
  size_t eof = data_.find('\x1A');
  if (eof != std::string::npos) data_.resize(eof);
}

std::string TextReader::ReadLine() {
  std::string line;
  while (pos_ < data_.size()) {
    char c = data_[pos_++];
    if (c == '\n') return line;
    if (c != '\r') line += c;
  }
  return line;
}

namespace {

[[noreturn]] void ThrowOpenFailure(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) ThrowFileNotFound();
  ThrowFileAccessDenied();
}

void WriteAll(const std::filesystem::path& path, const std::string& all, std::ios::openmode mode) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) ThrowFileAccessDenied();
  std::ofstream out(path, mode | std::ios::binary);
  if (!out) {
    if (!std::filesystem::exists(path.parent_path().empty() ? "." : path.parent_path(), ec))
      ThrowFileNotFound();
    ThrowFileAccessDenied();
  }
  out.write(all.data(), static_cast<std::streamsize>(all.size()));
  out.close();
  if (!out) ThrowFileAccessDenied();
}

void WriteLines(const std::filesystem::path& path, const std::vector<std::string>& lines,
                std::ios::openmode mode) {
  std::string all;
  for (const auto& l : lines) {
    all += l;
    all += "\r\n";
  }
  WriteAll(path, all, mode);
}

}  // namespace

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) ThrowFileAccessDenied();
  std::ifstream in(path, std::ios::binary);
  if (!in) ThrowOpenFailure(path);
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return data;
}

TextReader OpenTextFile(const std::filesystem::path& path) {
  return TextReader(ReadFileBytes(path));
}

void WriteTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  WriteLines(path, lines, std::ios::out | std::ios::trunc);
}

ReplacementFile::ReplacementFile(std::filesystem::path target, std::filesystem::path temporary)
    : target_(std::move(target)), temporary_(std::move(temporary)) {}

ReplacementFile::~ReplacementFile() {
  if (pending_) DeleteFileAt(temporary_);
}

void ReplacementFile::Write(const std::vector<std::string>& lines) {
  WriteTextLines(temporary_, lines);
  pending_ = true;
}

void ReplacementFile::WriteBytes(const std::string& bytes) {
  WriteAll(temporary_, bytes, std::ios::out | std::ios::trunc);
  pending_ = true;
}

void ReplacementFile::Commit() {
  if (!ReplaceFileWith(target_, temporary_)) ThrowFileAccessDenied();
  pending_ = false;
}

void AppendTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  WriteLines(path, lines, std::ios::out | std::ios::app);
}

}  // namespace base
