// Cancellation and progress of long work, without the document.
//
// A long algorithm (offsetting, chaining, island detection, a strategy's
// loops) takes a CancelToken and looks at it at fixed points: Poll() lets
// pending window events run (where the window sees Escape) and tells whether
// to stop; stopped() only reads the flag, cheap enough for inner loops. The
// window's Escape and the command line's Ctrl+C set the flag with Stop();
// a command clears it with Reset() before it starts, so that an Escape from
// before belongs to no job.
//
// The flag is a lock-free atomic so that a signal handler may set it.
#pragma once

#include <atomic>

#include "base/user_interface.h"

namespace tarnak {

class CancelToken {
 public:
  CancelToken() = default;
  explicit CancelToken(UserInterface& ui) : ui_(&ui) {}
  CancelToken(const CancelToken&) = delete;
  CancelToken& operator=(const CancelToken&) = delete;

  // Where Poll lets events through and progress goes; none: nowhere.
  void Attach(UserInterface* ui) { ui_ = ui; }

  bool stopped() const noexcept { return flag_.load(std::memory_order_relaxed); }
  void Stop() noexcept { flag_.store(true, std::memory_order_relaxed); }
  void Reset() noexcept { flag_.store(false, std::memory_order_relaxed); }

  // Lets pending events run, then tells whether the work must stop.
  bool Poll() const {
    if (ui_) ui_->ProcessEvents();
    return stopped();
  }

  // Counted progress: `done` of `total` items (Regions) finished. The first
  // report of a run shows the gauge, ProgressEnd removes it.
  void Progress(int done, int total) const {
    if (ui_) ui_->ProgressCount(done, total);
  }
  void ProgressEnd() const {
    if (ui_) ui_->ProgressEnd();
  }

 private:
  static_assert(std::atomic<bool>::is_always_lock_free);
  std::atomic<bool> flag_{false};
  UserInterface* ui_ = nullptr;
};

}  // namespace tarnak
