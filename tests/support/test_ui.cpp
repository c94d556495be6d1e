#include "test_ui.h"

namespace tarnak::testing {

MsgResult TestUserInterface::Message(const std::string& text, const std::string& caption,
                                     MsgButtons buttons, MsgIcon icon) {
  Messages.push_back({text, caption, buttons, icon});
  if (buttons == MsgButtons::Ok) return MsgResult::Ok;
  if (Answers.empty()) return DefaultAnswer;
  MsgResult r = Answers.front();
  Answers.pop_front();
  return r;
}

void TestUserInterface::ProcessEvents() {
  ++EventsProcessed;
  if (OnProcessEvents) OnProcessEvents(EventsProcessed);
}

}  // namespace tarnak::testing
