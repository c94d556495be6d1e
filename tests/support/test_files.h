// Small file and command-line helpers shared by the tests that write files
// or run tarnak-cli in-process.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tarnak::testing {

// The whole file, bytes as they are; empty when it cannot be read.
inline std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Replaces the file with `text`, bytes as they are.
inline void WriteAll(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
}

// Temporary files of the atomic writer (".NAME.tmpPID-N") left in `folder`.
inline int TemporariesIn(const std::filesystem::path& folder) {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().filename().string().find(".tmp") != std::string::npos) ++n;
  return n;
}

}  // namespace tarnak::testing
