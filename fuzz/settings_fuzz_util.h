// Settings files are read by name; the fuzz targets hand each input to the
// reader as a file in memory-backed storage, one per process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace tarnak::fuzz {

inline std::filesystem::path InputFile(const char* name, const uint8_t* data, size_t size) {
  std::filesystem::path folder = "/dev/shm";
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) folder = std::filesystem::temp_directory_path();
  folder /= "tarnak-fuzz-" + std::to_string(::getpid());
  std::filesystem::create_directories(folder, ec);
  // Removed when the fuzzer exits.
  static const struct Cleanup {
    std::filesystem::path Folder;
    ~Cleanup() {
      std::error_code ignored;
      std::filesystem::remove_all(Folder, ignored);
    }
  } cleanup{folder};
  const std::filesystem::path file = folder / name;
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return file;
}

}  // namespace tarnak::fuzz
