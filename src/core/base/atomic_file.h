// Writing a file so that it is never seen half-written under its name.
//
// The new content goes to a temporary file in the same folder (same file
// system, so the final rename is atomic), is flushed to the disk and only
// then renamed over the old file. Whatever happens before the rename (an
// error, a full disk, the program killed) leaves the old file as it was;
// after it the new file is complete. In append mode the old content is
// copied into the temporary file first, so the old program is either
// untouched or completely extended.
//
// The temporary file is named "." + name + ".tmp" + process id + "-" +
// counter. Such files left behind by a killed program (their process no
// longer runs) are removed by the next write to the same file.
//
// A name that is a symbolic link is written through the link: the file it
// names is replaced and the link stays. A name that is not a regular file
// (a device such as /dev/null, a pipe) cannot be replaced by a rename and
// is written straight into.
//
// Self-contained: only the standard library and POSIX.
#pragma once

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace tarnak {

// A file could not be written; what() names the file and gives the
// system's reason.
class AtomicFileError : public std::runtime_error {
 public:
  AtomicFileError(std::filesystem::path file, const std::string& message)
      : std::runtime_error(message), file_(std::move(file)) {}
  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path file_;
};

class AtomicFile {
 public:
  enum class Mode { Replace, Append };

  // Opens the temporary file (for Append, filled with the old file's
  // content, when there is one). Throws AtomicFileError naming `path`.
  explicit AtomicFile(std::filesystem::path path, Mode mode = Mode::Replace);
  // Without Commit the temporary file is removed and the old file stays.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // The name given, and the file actually replaced (symbolic links
  // followed).
  const std::filesystem::path& path() const { return path_; }
  const std::filesystem::path& target() const { return target_; }
  // Where the content goes until Commit: the temporary file, or the target
  // itself when it is not a regular file.
  const std::filesystem::path& writingPath() const { return writing_; }
  bool inPlace() const { return inPlace_; }

  // Appends bytes. Throws AtomicFileError.
  void Write(const char* data, std::size_t size);
  void Write(std::string_view text) { Write(text.data(), text.size()); }

  // Flushes the content to the disk and renames it into place. Throws
  // AtomicFileError (the old file is then as it was).
  void Commit();
  // Drops what was written; the old file stays. Never throws.
  void Discard() noexcept;

  // Removes "." + name + ".tmp<pid>-<n>" files beside `target` whose
  // process no longer runs. Never throws.
  static void RemoveStaleTemporaries(const std::filesystem::path& target) noexcept;

  // Writes the whole file in one go.
  static void WriteWhole(const std::filesystem::path& path, std::string_view content);

 private:
  [[noreturn]] void Fail(const std::string& what, int error);

  std::filesystem::path path_;
  std::filesystem::path target_;
  std::filesystem::path writing_;
  int fd_ = -1;
  bool inPlace_ = false;
  bool done_ = false;
};

}  // namespace tarnak
