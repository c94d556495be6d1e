// The post definitions shipped with the program, and getting them into the
// settings folder on the first run.
//
// The program ships "Posts.Cfg" in its data folder. The settings folder
// (see SettingsFolder) gets a copy when it has none yet; from then on the
// copy is the user's, edited by the post editor, and is never replaced.
#pragma once

#include <filesystem>
#include <string_view>

namespace tarnak {

// The folder holding the shipped "Posts.Cfg", the first of:
//  1. <folder of the executable>/../share/tarnak (an installed program);
//  2. the data/ folder of the source tree the program was built from, for
//     running out of a build folder: TARNAK_DATA_DIR when the build
//     defines it, otherwise found from the path this file was compiled
//     from (src/core/post/ -> data/).
// Empty when neither holds a "Posts.Cfg".
std::filesystem::path ShippedDataFolder(const std::filesystem::path& executablePath);

// Copies dataFolder/"Posts.Cfg" to settingsFolder/"Posts.Cfg" when the
// latter does not exist. Returns true when it copied, false when the
// settings folder already has one or the data folder has none. The copy
// is made under a temporary name and renamed into place, so an interrupted
// copy never leaves a partial file. Throws FileError naming the file and
// the system's reason when the copy fails.
bool EnsurePostsFile(const std::filesystem::path& settingsFolder,
                     const std::filesystem::path& dataFolder);

// The same for any settings file the program ships ("Configurations.cfg"
// with its starting presets): dataFolder/fileName is copied into the
// settings folder when that has no such file.
bool EnsureSettingsFile(const std::filesystem::path& settingsFolder,
                        const std::filesystem::path& dataFolder, std::string_view fileName);

}  // namespace tarnak
