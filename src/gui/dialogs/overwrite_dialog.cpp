#include "dialogs/overwrite_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tarnak::gui {

namespace {
QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

TfrmOverWrite::TfrmOverWrite(QWidget* parent) : QDialog(parent) {
  setObjectName("TfrmOverWrite");
  setWindowTitle(Text(kNcFileExistsCaption));
  setModal(true);

  lblMessage = new QLabel(Text(kNcFileExistsText), this);
  lblMessage->setObjectName("lblMessage");
  cmdOverwrite = new QPushButton(Text(kNcOverwriteButton), this);
  cmdOverwrite->setObjectName("cmdOverwrite");
  cmdAppend = new QPushButton(Text(kNcAppendButton), this);
  cmdAppend->setObjectName("cmdAppend");
  // Enter must not decide for the user whether the file is replaced.
  cmdOverwrite->setAutoDefault(false);
  cmdAppend->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdOverwrite);
  buttons->addWidget(cmdAppend);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblMessage);
  layout->addLayout(buttons);

  connect(cmdOverwrite, &QPushButton::clicked, this, [this] { choose(ExistingNcFile::Overwrite); });
  connect(cmdAppend, &QPushButton::clicked, this, [this] { choose(ExistingNcFile::Append); });
}

std::optional<ExistingNcFile> TfrmOverWrite::Ask() {
  exec();
  return answer_;
}

void TfrmOverWrite::showEvent(QShowEvent* event) {
  answer_.reset();
  QDialog::showEvent(event);
}

void TfrmOverWrite::choose(ExistingNcFile answer) {
  answer_ = answer;
  accept();
}

}  // namespace tarnak::gui
