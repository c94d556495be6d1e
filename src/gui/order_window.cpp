#include "order_window.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/selection_commands.h"
#include "shell/document.h"

namespace tarnak::gui {

TfrmOrder::TfrmOrder(Document& doc, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), doc_(doc) {
  setObjectName("TfrmOrder");
  setWindowTitle("加工順");

  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Edit1 = new QSpinBox(this);
  Edit1->setObjectName("Edit1");
  Edit1->setRange(1, 1);
  Edit1->setValue(1);
  Edit1->installEventFilter(this);
  connect(Edit1, &QSpinBox::valueChanged, this, &TfrmOrder::Edit1Change);

  btnOK = new QPushButton("OK", this);
  btnOK->setObjectName("btnOK");
  connect(btnOK, &QPushButton::clicked, this, &QWidget::hide);

  auto* row = new QHBoxLayout;
  row->addWidget(Edit1, 1);
  row->addWidget(btnOK);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addLayout(row);
  setFixedWidth(220);
}

void TfrmOrder::FormShow() {
  const int n = std::max(static_cast<int>(doc_.Regions.size()) - 1, 1);
  doc_.OrderCounter = 1;
  Label1->setText(QString::fromStdString(OrderWindowLabel(doc_)));
  {
    const QSignalBlocker block(Edit1);
    Edit1->setRange(1, n);
    Edit1->setValue(1);
  }
  show();
  raise();
  Edit1->setFocus();
  Edit1->selectAll();
}

void TfrmOrder::FollowCounter() {
  const QSignalBlocker block(Edit1);
  Edit1->setValue(std::clamp(doc_.OrderCounter, Edit1->minimum(), Edit1->maximum()));
}

void TfrmOrder::Edit1Change(int value) { SetOrderCounter(doc_, value); }

bool TfrmOrder::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Edit1 && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
    hide();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tarnak::gui
