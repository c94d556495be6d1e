#include "qt_user_interface.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace tarnak::gui {

QtUserInterface::QtUserInterface(QWidget* owner, QStatusBar* bar) : owner_(owner), bar_(bar) {}

MsgResult QtUserInterface::Message(const std::string& text, const std::string& caption,
                                   MsgButtons buttons, MsgIcon icon) {
  QMessageBox box(owner_);
  box.setWindowTitle(QString::fromStdString(caption));
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
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    default: return MsgResult::Ok;
  }
}

void QtUserInterface::SetStatus(const std::string& text) {
  bar_->showMessage(QString::fromStdString(text));
}

void QtUserInterface::SetStatus2(const std::string& text) {
  bar_->showMessage(QString::fromStdString(text));
}

void QtUserInterface::ProcessEvents() { QCoreApplication::processEvents(); }

}  // namespace tarnak::gui
