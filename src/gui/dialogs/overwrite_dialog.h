// The question asked when the NC file chosen for saving already exists:
// overwrite it or append to it.
//
// Created once by the main window; before writing an existing file it calls
// Ask() and hands the answer to SaveToolpathsCommand as
// SaveToolpathsOptions::IfExists.
#pragma once

#include <QDialog>
#include <optional>

#include "shell/save_command.h"

class QLabel;
class QPushButton;

namespace tarnak::gui {

class TfrmOverWrite : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmOverWrite(QWidget* parent = nullptr);

  // Shows the question modally. Overwrite or Append as chosen; nothing when
  // the question was dismissed (Escape or the window's close box), in which
  // case the caller must leave the file alone and not save.
  std::optional<ExistingNcFile> Ask();
  // The answer of the last showing (also after show()/open() and a click).
  std::optional<ExistingNcFile> answer() const { return answer_; }

  QLabel* lblMessage;
  QPushButton* cmdOverwrite;
  QPushButton* cmdAppend;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void choose(ExistingNcFile answer);
  std::optional<ExistingNcFile> answer_;
};

}  // namespace tarnak::gui
