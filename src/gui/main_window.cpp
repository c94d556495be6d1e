#include "main_window.h"

#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

#include "shell/commands.h"

namespace tarnak::gui {

TfrmTarnak::TfrmTarnak() {
  setWindowTitle("Tarnak 2000");
  setMinimumSize(565, 250);
  auto* centre = new QLabel(this);
  centre->setAlignment(Qt::AlignCenter);
  centre->setStyleSheet("background: white");
  setCentralWidget(centre);

  ui_ = std::make_unique<QtUserInterface>(this, statusBar());
  doc_ = std::make_unique<Document>(*ui_);

  QMenu* file = menuBar()->addMenu("ファイル(&F)");
  QAction* open = file->addAction("DXF,STLファイルを開く(&O)");
  connect(open, &QAction::triggered, this, &TfrmTarnak::mnuOpenDxfClick);
  QAction* close = file->addAction("閉じる(&C)");
  connect(close, &QAction::triggered, this, &TfrmTarnak::mnuCloseClick);
  QAction* exit = file->addAction("終了(&E)");
  connect(exit, &QAction::triggered, this, &QWidget::close);
  statusBar()->showMessage("Ready...");
}

void TfrmTarnak::OpenDrawing(const QString& path) {
  setCursor(Qt::WaitCursor);
  OpenDxfCommand(*doc_, path.toStdString());
  unsetCursor();
}

void TfrmTarnak::mnuOpenDxfClick() {
  const QString path = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                    "DXF Files (*.Dxf *.dxf *.DXF)");
  if (!path.isEmpty()) OpenDrawing(path);
}

void TfrmTarnak::mnuCloseClick() {
  doc_->Close();
  statusBar()->showMessage("Ready...");
}

void TfrmTarnak::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    doc_->RequestAbort();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

}  // namespace tarnak::gui
