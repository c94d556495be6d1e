// The window's side of the core's user interface: message boxes, the
// status bar panels and event processing.
#pragma once

#include <QStatusBar>
#include <QWidget>

#include "shell/user_interface.h"

namespace tarnak::gui {

class QtUserInterface : public UserInterface {
 public:
  QtUserInterface(QWidget* owner, QStatusBar* bar);
  MsgResult Message(const std::string& text, const std::string& caption, MsgButtons buttons,
                    MsgIcon icon) override;
  void SetStatus(const std::string& text) override;
  void SetStatus2(const std::string& text) override;
  void ProcessEvents() override;

 private:
  QWidget* owner_;
  QStatusBar* bar_;
};

}  // namespace tarnak::gui
