// A user interface for the dialog tests: remembers every message instead of
// showing a box, so no test ever waits on a modal window.
#pragma once

#include <string>
#include <vector>

#include "base/user_interface.h"

namespace tarnak::gui::testing {

class RecordingUi : public UserInterface {
 public:
  MsgResult Message(const std::string& text, const std::string&, MsgButtons,
                    MsgIcon icon) override {
    Messages.push_back(text);
    Icons.push_back(icon);
    return MsgResult::Ok;
  }
  void SetStatus(const std::string&) override {}
  void SetStatus2(const std::string&) override {}

  std::vector<std::string> Messages;
  std::vector<MsgIcon> Icons;
};

}  // namespace tarnak::gui::testing
