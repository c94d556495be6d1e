// The command line's user interface: messages go to the error stream and
// questions get the answer the caller chose beforehand.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <utility>

#include "base/user_interface.h"

namespace tarnak::cli {

class CliUserInterface : public UserInterface {
 public:
  // With `progressLine`, counted progress is shown on one line of `err`
  // (a terminal), rewritten in place.
  CliUserInterface(std::ostream& err, MsgResult answer, bool progressLine = false)
      : err_(err), answer_(answer), progressLine_(progressLine) {}

  MsgResult Message(const std::string& text, const std::string& caption, MsgButtons buttons,
                    MsgIcon icon) override;
  void SetStatus(const std::string& text) override { status_ = text; }
  void SetStatus2(const std::string&) override {}
  void ProgressCount(int done, int total) override;
  void ProgressEnd() override;

  // Names the file that warnings and errors are about ("tarnak-cli: FILE: "
  // before them); empty for none.
  void SetSubject(std::string file) { subject_ = std::move(file); }

  const std::string& Status() const { return status_; }
  // Messages shown with a warning or error icon (reader problems).
  int Problems() const { return problems_; }

 private:
  std::ostream& err_;
  MsgResult answer_;
  std::string status_;
  std::string subject_;
  int problems_ = 0;
  bool progressLine_ = false;
  bool progressShown_ = false;
};

// The settings folder the program would use, or empty when it cannot be
// found (then no preset or options file is read).
std::filesystem::path SettingsFolderOrEmpty();

}  // namespace tarnak::cli
