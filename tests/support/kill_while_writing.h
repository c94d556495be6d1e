// Kills a writer at a random moment: the body runs in a child process
// that gets SIGKILL after a random delay, as a crash or a power cut would
// stop the program.
#pragma once

#include <chrono>
#include <csignal>
#include <functional>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tarnak::testing {

// True when the child finished before the kill came.
inline bool RunAndKill(const std::function<void()>& write, std::chrono::microseconds delay) {
  const pid_t child = ::fork();
  if (child == 0) {
    try {
      write();
    } catch (...) {
      ::_exit(1);
    }
    ::_exit(0);
  }
  std::this_thread::sleep_for(delay);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The time one write takes, measured in a child like the killed ones.
inline std::chrono::microseconds TimeOfOneWrite(const std::function<void()>& write) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    write();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               start);
}

}  // namespace tarnak::testing
