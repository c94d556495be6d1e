#include "about.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtGlobal>

namespace tarnak::gui {

TfrmAbout1::TfrmAbout1(QWidget* parent) : QDialog(parent) {
  setObjectName("TfrmAbout1");
  setWindowTitle("バージョン情報");
  setModal(true);

  lblTitle = new QLabel("Tarnak 2000", this);
  lblTitle->setObjectName("lblTitle");
  QFont big = lblTitle->font();
  big.setPointSizeF(big.pointSizeF() * 1.8);
  big.setBold(true);
  lblTitle->setFont(big);

  lblVersion = new QLabel(QString("Version %1").arg(kTarnakVersion), this);
  lblVersion->setObjectName("lblVersion");

  lblText = new QLabel(this);
  lblText->setObjectName("lblText");
  lblText->setWordWrap(true);
  lblText->setText(
      QString("CAM for small CNC mills, routers and engravers: contour, pocket and drill "
              "toolpaths from DXF drawings, written as NC code through post-processor "
              "definitions.\n\nBuilt with Qt %1.")
          .arg(QT_VERSION_STR));

  cmdOK = new QPushButton("OK", this);
  cmdOK->setObjectName("cmdOK");
  cmdOK->setDefault(true);
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdOK);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblTitle);
  layout->addWidget(lblVersion);
  layout->addSpacing(8);
  layout->addWidget(lblText);
  layout->addStretch(1);
  layout->addLayout(buttons);
  setFixedWidth(380);
}

}  // namespace tarnak::gui
