#include <QApplication>
#include <QTimer>

#include "main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tarnak 2000");
  tarnak::gui::TfrmTarnak window;
  window.showMaximized();
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    const QString path = args.at(1);
    QTimer::singleShot(0, &window, [&window, path] { window.OpenDrawing(path); });
  }
  return app.exec();
}
