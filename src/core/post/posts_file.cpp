#include "post/posts_file.h"

#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "post/post_definition.h"
#include "base/atomic_file.h"
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

bool EnsureSettingsFile(const fs::path& settingsFolder, const fs::path& dataFolder,
                        std::string_view fileName) {
  const fs::path target = settingsFolder / fileName;
  std::error_code ec;
  if (fs::exists(target, ec)) return false;
  if (dataFolder.empty() || !fs::is_regular_file(dataFolder / fileName, ec)) return false;
  const fs::path source = dataFolder / fileName;
  std::ifstream in(source, std::ios::binary);
  if (!in) {
    throw FileError(target, "Cannot copy '" + source.string() + "' to '" + target.string() +
                                "': the shipped file cannot be read");
  }
  std::ostringstream content;
  content << in.rdbuf();
  // Through a temporary file renamed into place, like every settings file.
  try {
    AtomicFile::WriteWhole(target, content.str());
  } catch (const AtomicFileError& e) {
    throw FileError(target, e.what());
  }
  return true;
}

bool EnsurePostsFile(const fs::path& settingsFolder, const fs::path& dataFolder) {
  return EnsureSettingsFile(settingsFolder, dataFolder, kPostsFileName);
}

}  // namespace tarnak
