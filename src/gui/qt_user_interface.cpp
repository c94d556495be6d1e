#include "qt_user_interface.h"

#include <QApplication>
#include <QMessageBox>

#include "status_bar.h"

namespace tarnak::gui {

QtUserInterface::QtUserInterface(QWidget* owner, TStatusBar* bar) : owner_(owner), bar_(bar) {}

MsgResult QtUserInterface::Message(const std::string& text, const std::string& caption,
                                   MsgButtons buttons, MsgIcon icon) {
  if (hook_) return hook_(text, caption, buttons, icon);

  QMessageBox box(owner_);
  box.setWindowTitle(caption.empty() ? QString(kApplicationTitle) : QString::fromStdString(caption));
  box.setText(QString::fromStdString(text));
  switch (icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::None: break;
  }
  switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  // A wait cursor set by a long command would otherwise hide the arrow the
  // user needs to answer.
  const bool waiting = QApplication::overrideCursor() != nullptr;
  if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int answer = box.exec();
  if (waiting) QApplication::restoreOverrideCursor();
  switch (answer) {
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Ok: return MsgResult::Ok;
    default:
      // Closed with Escape or the close box: the safe answer for the
      // buttons offered.
      if (buttons == MsgButtons::Ok) return MsgResult::Ok;
      if (buttons == MsgButtons::YesNo) return MsgResult::No;
      return MsgResult::Cancel;
  }
}

void QtUserInterface::SetStatus(const std::string& text) {
  bar_->SetPanelText(0, QString::fromStdString(text));
}

void QtUserInterface::SetStatus2(const std::string& text) {
  if (hintShown_) {
    hintCovered_ = QString::fromStdString(text);
    return;
  }
  bar_->SetPanelText(2, QString::fromStdString(text));
}

void QtUserInterface::SetHint(const std::string& text) {
  if (text.empty()) {
    if (!hintShown_) return;
    hintShown_ = false;
    bar_->SetPanelText(2, hintCovered_);
    return;
  }
  if (!hintShown_) hintCovered_ = bar_->PanelText(2);
  hintShown_ = true;
  bar_->SetPanelText(2, QString::fromStdString(text));
}

void QtUserInterface::ProgressStart(int maximum) { bar_->ProgressStart(maximum); }
void QtUserInterface::ProgressStep() { bar_->ProgressStep(); }
void QtUserInterface::ProgressEnd() { bar_->ProgressEnd(); }
void QtUserInterface::ProgressCount(int done, int total) { bar_->ProgressCount(done, total); }

void QtUserInterface::ProcessEvents() { QCoreApplication::processEvents(); }

}  // namespace tarnak::gui
