// Where the settings files ("Options.cfg", "Configurations.cfg",
// "Posts.Cfg") live.
#pragma once

#include <filesystem>

namespace tarnak {

// The folder for the settings files, in this order of preference:
//  1. $TARNAK_HOME when it is set and not empty;
//  2. the executable's own folder, when it holds a "Posts.Cfg" and may be
//     written to (a portable installation that carries its settings);
//  3. $XDG_CONFIG_HOME/tarnak, or ~/.config/tarnak when that variable is
//     unset, empty or not an absolute path.
// The chosen folder is created when missing. A folder that cannot be
// created is still returned: writing a file there then reports why.
std::filesystem::path SettingsFolder(const std::filesystem::path& executablePath);

// The running program's file, from /proc/self/exe; empty when unknown.
std::filesystem::path ExecutablePath();

}  // namespace tarnak
