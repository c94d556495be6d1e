#include "base/settings_folder.h"

#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace tarnak {

namespace {

std::filesystem::path Environment(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && *value != '\0') ? std::filesystem::path(value)
                                              : std::filesystem::path();
}

std::filesystem::path HomeFolder() {
  std::filesystem::path home = Environment("HOME");
  if (!home.empty()) return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
    return entry->pw_dir;
  return {};
}

std::filesystem::path Created(std::filesystem::path folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

}  // namespace

std::filesystem::path SettingsFolder(const std::filesystem::path& executablePath) {
  if (std::filesystem::path home = Environment("TARNAK_HOME"); !home.empty())
    return Created(std::move(home));

  if (!executablePath.empty()) {
    const std::filesystem::path folder = executablePath.parent_path();
    std::error_code ec;
    if (!folder.empty() && std::filesystem::is_regular_file(folder / "Posts.Cfg", ec) &&
        ::access(folder.c_str(), W_OK) == 0)
      return folder;
  }

  std::filesystem::path config = Environment("XDG_CONFIG_HOME");
  if (config.empty() || !config.is_absolute()) {
    const std::filesystem::path home = HomeFolder();
    // Without any home the program's own folder is the last place left.
    if (home.empty()) return executablePath.parent_path();
    config = home / ".config";
  }
  return Created(config / "tarnak");
}

std::filesystem::path ExecutablePath() {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : path;
}

}  // namespace tarnak
