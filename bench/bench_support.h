// What the output benchmarks share: the thread's CPU time, the median of
// the per-iteration figures, and the folder the files go to.
#pragma once

#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace tarnak::bench {

// User and system time of the calling thread, in seconds.
inline double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// A memory file system when there is one: the disk's write-back would
// otherwise throttle every writer alike and hide what they cost.
// TARNAK_BENCH_DIR names another folder.
inline std::filesystem::path BenchFolder() {
  std::error_code ec;
  const char* chosen = std::getenv("TARNAK_BENCH_DIR");
  if (chosen != nullptr && *chosen != '\0') return chosen;
  return std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                       : std::filesystem::temp_directory_path();
}

}  // namespace tarnak::bench
