// The one channel through which the core reaches the person at the machine.
//
// The core never talks to a screen. The GUI, the command line and the tests
// each implement this interface: message boxes with a choice of buttons,
// the two status texts, a progress bar, and the processing of pending
// events (the moment at which Escape can be seen during a long loop).
#pragma once

#include <string>

namespace tarnak {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgResult { Ok, Cancel, Yes, No };

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // Shows a message and returns the button the user chose.
  virtual MsgResult Message(const std::string& text, const std::string& caption,
                            MsgButtons buttons, MsgIcon icon) = 0;
  // Status panel 0 (messages) and panel 2 (counts, secondary messages).
  virtual void SetStatus(const std::string& text) = 0;
  virtual void SetStatus2(const std::string& text) = 0;
  // A passing hint shown while a long step runs; empty text removes it.
  virtual void SetHint(const std::string& text) { (void)text; }
  // Progress bar: Start sets the maximum and resets the position.
  virtual void ProgressStart(int maximum) { (void)maximum; }
  virtual void ProgressStep() {}
  virtual void ProgressEnd() {}
  // Counted progress of a long command: `done` of `total` items (Regions)
  // finished. The first call of a run shows the gauge; ProgressEnd removes
  // it. Never processes events.
  virtual void ProgressCount(int done, int total) {
    (void)done;
    (void)total;
  }
  // Lets the window handle pending events (keys, paints).
  virtual void ProcessEvents() {}
};

// Answers every question with a fixed choice and discards everything else.
class SilentUserInterface : public UserInterface {
 public:
  explicit SilentUserInterface(MsgResult answer = MsgResult::Ok) : answer_(answer) {}
  MsgResult Message(const std::string&, const std::string&, MsgButtons buttons,
                    MsgIcon) override {
    if (buttons == MsgButtons::Ok) return MsgResult::Ok;
    return answer_;
  }
  void SetStatus(const std::string&) override {}
  void SetStatus2(const std::string&) override {}

 private:
  MsgResult answer_;
};

}  // namespace tarnak
