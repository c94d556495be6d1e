// The window's side of the core's user interface: message boxes, the
// status bar panels, the progress bar and event processing.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "base/user_interface.h"

class QWidget;

namespace tarnak::gui {

class TStatusBar;

// Caption of message boxes whose caller gave none: the application title.
inline constexpr const char* kApplicationTitle = "Tarnak 2000";

class QtUserInterface : public UserInterface {
 public:
  QtUserInterface(QWidget* owner, TStatusBar* bar);

  MsgResult Message(const std::string& text, const std::string& caption, MsgButtons buttons,
                    MsgIcon icon) override;
  void SetStatus(const std::string& text) override;
  void SetStatus2(const std::string& text) override;
  void SetHint(const std::string& text) override;
  void ProgressStart(int maximum) override;
  void ProgressStep() override;
  void ProgressEnd() override;
  void ProgressCount(int done, int total) override;
  // Lets the window handle what is pending, keys included: this is where
  // Escape reaches the document during a long command.
  void ProcessEvents() override;

  // Answers message boxes instead of showing them (tests; a caller that
  // must not block). Unset: a real message box.
  using MessageHook = std::function<MsgResult(const std::string& text, const std::string& caption,
                                              MsgButtons buttons, MsgIcon icon)>;
  void SetMessageHook(MessageHook hook) { hook_ = std::move(hook); }

 private:
  QWidget* owner_;
  TStatusBar* bar_;
  MessageHook hook_;
  // Panel 2's text while a hint covers it.
  QString hintCovered_;
  bool hintShown_ = false;
};

}  // namespace tarnak::gui
