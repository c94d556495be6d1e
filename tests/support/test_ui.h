// A user interface for tests: records every call and answers questions
// from a script, so a test can play the user at an "OK / Cancel" prompt or
// press Escape at the n-th chance to process events.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/user_interface.h"

namespace tarnak::testing {

class TestUserInterface : public UserInterface {
 public:
  struct MessageCall {
    std::string Text;
    std::string Caption;
    MsgButtons Buttons;
    MsgIcon Icon;
  };

  MsgResult Message(const std::string& text, const std::string& caption, MsgButtons buttons,
                    MsgIcon icon) override;
  void SetStatus(const std::string& text) override { Statuses.push_back(text); }
  void SetStatus2(const std::string& text) override { Statuses2.push_back(text); }
  void SetHint(const std::string& text) override { Hints.push_back(text); }
  void ProgressStart(int maximum) override {
    ProgressMax = maximum;
    ProgressPos = 0;
  }
  void ProgressStep() override { ++ProgressPos; }
  void ProgressCount(int done, int total) override { Counts.push_back({done, total}); }
  void ProgressEnd() override { ++ProgressEnds; }
  void ProcessEvents() override;

  // Answers given in order; when the queue is empty a question gets
  // DefaultAnswer (OK-only boxes always get Ok).
  std::deque<MsgResult> Answers;
  MsgResult DefaultAnswer = MsgResult::Ok;
  // Called on every ProcessEvents with the running count (1-based).
  std::function<void(int)> OnProcessEvents;

  std::vector<MessageCall> Messages;
  std::vector<std::string> Statuses, Statuses2, Hints;
  int ProgressMax = 0;
  int ProgressPos = 0;
  struct Count {
    int Done, Total;
  };
  std::vector<Count> Counts;  // counted progress, in order
  int ProgressEnds = 0;
  int EventsProcessed = 0;

  std::string LastStatus() const { return Statuses.empty() ? std::string() : Statuses.back(); }
};

}  // namespace tarnak::testing
