#include "base/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tarnak {

namespace {

namespace fs = std::filesystem;

std::atomic<unsigned> g_counter{0};

std::string Reason(int error) {
  if (error == 0) return "unknown error";
  return std::error_code(error, std::generic_category()).message();
}

// The file a name finally refers to: links followed, relative ones from
// the folder of the link.
fs::path FollowLinks(const fs::path& path) {
  fs::path target = path;
  std::error_code ec;
  for (int depth = 0; depth < 40 && fs::is_symlink(target, ec); ++depth) {
    const fs::path link = fs::read_symlink(target, ec);
    if (ec) break;
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  return target;
}

fs::path FolderOf(const fs::path& file) {
  fs::path folder = file.parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

std::string TempPrefix(const fs::path& target) { return "." + target.filename().string() + ".tmp"; }

bool WriteAll(int fd, const char* data, std::size_t size, int& error) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = errno;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

AtomicFile::AtomicFile(fs::path path, Mode mode) : path_(std::move(path)) {
  target_ = FollowLinks(path_);
  struct stat old {};
  const bool exists = ::stat(target_.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) {
    if (S_ISDIR(old.st_mode)) Fail("write", EISDIR);
    // A device or a pipe: nothing to rename over, nothing to keep.
    inPlace_ = true;
    writing_ = target_;
    const int flags = O_WRONLY | O_CLOEXEC | (mode == Mode::Append ? O_APPEND : O_TRUNC);
    fd_ = ::open(target_.c_str(), flags);
    if (fd_ < 0) Fail("write", errno);
    return;
  }

  RemoveStaleTemporaries(target_);
  const fs::path folder = FolderOf(target_);
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    writing_ = folder / (TempPrefix(target_) + std::to_string(::getpid()) + "-" +
                         std::to_string(g_counter.fetch_add(1)));
    fd_ = ::open(writing_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) Fail("write", errno);
  }
  if (fd_ < 0) Fail("write", EEXIST);
  // The new file keeps the old one's permissions; not being allowed to is
  // no reason to refuse the write.
  if (exists) (void)::fchmod(fd_, old.st_mode & 07777);

  if (mode == Mode::Append && exists) {
    const int in = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) Fail("read", errno);
    char buffer[1 << 16];
    for (;;) {
      const ssize_t got = ::read(in, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        const int error = errno;
        ::close(in);
        Fail("read", error);
      }
      if (got == 0) break;
      int error = 0;
      if (!WriteAll(fd_, buffer, static_cast<std::size_t>(got), error)) {
        ::close(in);
        Fail("write", error);
      }
    }
    ::close(in);
  }
}

AtomicFile::~AtomicFile() {
  if (!done_) Discard();
}

void AtomicFile::Fail(const std::string& what, int error) {
  Discard();
  throw AtomicFileError(path_, "Cannot " + what + " '" + path_.string() + "': " + Reason(error));
}

void AtomicFile::Write(const char* data, std::size_t size) {
  if (fd_ < 0) Fail("write", EBADF);
  int error = 0;
  if (!WriteAll(fd_, data, size, error)) Fail("write", error);
}

void AtomicFile::Commit() {
  if (fd_ < 0) Fail("write", EBADF);
  if (inPlace_) {
    const int fd = fd_;
    fd_ = -1;
    done_ = true;
    if (::close(fd) != 0) Fail("write", errno);
    return;
  }
  if (::fsync(fd_) != 0) Fail("write", errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail("write", errno);
  if (::rename(writing_.c_str(), target_.c_str()) != 0) Fail("write", errno);
  done_ = true;
  // Make the rename itself durable; some file systems cannot sync a folder,
  // which is not worth an error.
  const int dirFd = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
}

void AtomicFile::Discard() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!done_ && !inPlace_ && !writing_.empty()) ::unlink(writing_.c_str());
  done_ = true;
}

void AtomicFile::RemoveStaleTemporaries(const fs::path& target) noexcept {
  try {
    const std::string prefix = TempPrefix(target);
    std::error_code ec;
    for (fs::directory_iterator it(FolderOf(target), ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (name.compare(0, prefix.size(), prefix) != 0) continue;
      // What follows must be exactly "<pid>-<counter>".
      const std::string rest = name.substr(prefix.size());
      const std::size_t dash = rest.find('-');
      if (dash == 0 || dash == std::string::npos || dash + 1 == rest.size()) continue;
      if (rest.find_first_not_of("0123456789-") != std::string::npos) continue;
      if (rest.find('-', dash + 1) != std::string::npos) continue;
      if (dash > 9) continue;
      const long pid = std::stol(rest.substr(0, dash));
      // Still running (or not ours to ask about): perhaps writing now.
      if (pid == static_cast<long>(::getpid())) continue;
      if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM) continue;
      struct stat st {};
      if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      ::unlink(it->path().c_str());
    }
  } catch (...) {
    // Cleaning up is a courtesy; it never stops a write.
  }
}

void AtomicFile::WriteWhole(const fs::path& path, std::string_view content) {
  AtomicFile file(path, Mode::Replace);
  file.Write(content);
  file.Commit();
}

}  // namespace tarnak
