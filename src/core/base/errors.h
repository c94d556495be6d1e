// Errors the core reports by exception: a file that could not be read or
// written.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>

namespace tarnak {

// A file could not be read or written; what() names the file and gives the
// system's reason.
class FileError : public std::runtime_error {
 public:
  FileError(std::filesystem::path file, const std::string& message)
      : std::runtime_error(message), file_(std::move(file)) {}
  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path file_;
};

}  // namespace tarnak
