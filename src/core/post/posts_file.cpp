#include "post/posts_file.h"

#include <string>
#include <system_error>
#include <unistd.h>

#include "post/post_definition.h"
#include "base/profile_file.h"

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

bool EnsurePostsFile(const fs::path& settingsFolder, const fs::path& dataFolder) {
  const fs::path target = settingsFolder / kPostsFileName;
  std::error_code ec;
  if (fs::exists(target, ec)) return false;
  if (!HasPostsFile(dataFolder)) return false;
  const fs::path source = dataFolder / kPostsFileName;
  const fs::path temporary =
      settingsFolder / (std::string(kPostsFileName) + ".tmp" + std::to_string(::getpid()));
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

}  // namespace tarnak
