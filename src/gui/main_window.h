// The main window. For now: open a drawing and report what was imported;
// the drawing view, selection and toolpath commands come later.
#pragma once

#include <QMainWindow>
#include <memory>

#include "qt_user_interface.h"
#include "shell/document.h"

namespace tarnak::gui {

class TfrmTarnak : public QMainWindow {
  Q_OBJECT
 public:
  TfrmTarnak();
  void OpenDrawing(const QString& path);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private slots:
  void mnuOpenDxfClick();
  void mnuCloseClick();

 private:
  std::unique_ptr<QtUserInterface> ui_;
  std::unique_ptr<Document> doc_;
};

}  // namespace tarnak::gui
