#include "cli_ui.h"

#include <exception>

#include "base/settings_folder.h"

#include <string>

namespace tarnak::cli {

void CliUserInterface::ProgressCount(int done, int total) {
  if (!progressLine_) return;
  err_ << "\r" << done << " of " << total << " Regions done..." << std::flush;
  progressShown_ = true;
}

void CliUserInterface::ProgressEnd() {
  if (!progressShown_) return;
  // Blank the line so that what follows starts clean.
  err_ << "\r\033[K" << std::flush;
  progressShown_ = false;
}

MsgResult CliUserInterface::Message(const std::string& text, const std::string& caption,
                                    MsgButtons buttons, MsgIcon icon) {
  ProgressEnd();  // a message on a line of its own
  const bool problem = icon == MsgIcon::Warning || icon == MsgIcon::Error;
  if (problem) ++problems_;
  if (problem && !subject_.empty()) err_ << "tarnak-cli: " << subject_ << ": ";
  // One message per line: the reader's "\r\n" before the line number
  // becomes a blank.
  std::string flat;
  flat.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') continue;
    flat += (c == '\n') ? ' ' : c;
  }
  err_ << (caption.empty() ? std::string() : caption + ": ") << flat << '\n';
  switch (buttons) {
    case MsgButtons::Ok:
      return MsgResult::Ok;
    case MsgButtons::OkCancel:
      return answer_ == MsgResult::Cancel ? MsgResult::Cancel : MsgResult::Ok;
    case MsgButtons::YesNo:
      return answer_ == MsgResult::No || answer_ == MsgResult::Cancel ? MsgResult::No
                                                                     : MsgResult::Yes;
    case MsgButtons::YesNoCancel:
      if (answer_ == MsgResult::Ok) return MsgResult::Yes;
      return answer_;
  }
  return answer_;
}

std::filesystem::path SettingsFolderOrEmpty() {
  try {
    return SettingsFolder(ExecutablePath());
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace tarnak::cli
