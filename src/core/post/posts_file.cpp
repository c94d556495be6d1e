#include "post/posts_file.h"

#include <string>
#include <system_error>
#include <unistd.h>

#include "post/post_definition.h"
#include "shell/profile_file.h"

namespace tarnak {

namespace fs = std::filesystem;

namespace {

bool HasPostsFile(const fs::path& folder) {
  std::error_code ec;
  return !folder.empty() && fs::is_regular_file(folder / kPostsFileName, ec);
}

fs::path SourceDataFolder() {
#ifdef TARNAK_DATA_DIR
  return fs::path(TARNAK_DATA_DIR);
#else
  // This file is src/core/post/posts_file.cpp of the source tree.
  const fs::path self(__FILE__);
  if (!self.is_absolute()) return {};
  return self.parent_path().parent_path().parent_path().parent_path() / "data";
#endif
}

}  // namespace

fs::path ShippedDataFolder(const fs::path& executablePath) {
  if (!executablePath.empty()) {
    const fs::path installed =
        (executablePath.parent_path() / ".." / "share" / "tarnak").lexically_normal();
    if (HasPostsFile(installed)) return installed;
  }
  const fs::path source = SourceDataFolder();
  if (HasPostsFile(source)) return source;
  return {};
}

bool EnsureSettingsFile(const fs::path& settingsFolder, const fs::path& dataFolder,
                        std::string_view fileName) {
  const fs::path target = settingsFolder / fileName;
  std::error_code ec;
  if (fs::exists(target, ec)) return false;
  if (dataFolder.empty() || !fs::is_regular_file(dataFolder / fileName, ec)) return false;
  const fs::path source = dataFolder / fileName;
  const fs::path temporary =
      settingsFolder / (std::string(fileName) + ".tmp" + std::to_string(::getpid()));
  if (!fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, ec)) {
    const std::string reason = ec ? ec.message() : "the copy failed";
    fs::remove(temporary, ec);
    throw FileError(target, "Cannot copy '" + source.string() + "' to '" + target.string() +
                                "': " + reason);
  }
  fs::rename(temporary, target, ec);
  if (ec) {
    const std::string reason = ec.message();
    fs::remove(temporary, ec);
    throw FileError(target, "Cannot create '" + target.string() + "': " + reason);
  }
  return true;
}

bool EnsurePostsFile(const fs::path& settingsFolder, const fs::path& dataFolder) {
  return EnsureSettingsFile(settingsFolder, dataFolder, kPostsFileName);
}

}  // namespace tarnak
