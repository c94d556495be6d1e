#include "startup.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include "qt_user_interface.h"
#include "splash.h"

namespace tarnak::gui {

std::unique_ptr<TfrmTarnak> StartTarnak(const QStringList& arguments,
                                        const StartupFolders& folders, int splashMilliseconds) {
  QGuiApplication::setApplicationDisplayName(kApplicationTitle);

  TfrmSplash splash;
  splash.ShowNow();

  // The main window reads the options and the post as it is made, then
  // makes every dialog and tool window, hidden.
  auto window = std::make_unique<TfrmTarnak>(folders);

  if (splashMilliseconds > 0) {
    QEventLoop pause;
    QTimer::singleShot(splashMilliseconds, &pause, &QEventLoop::quit);
    pause.exec(QEventLoop::ExcludeUserInputEvents);
  }
  splash.close();

  window->showMaximized();

  if (arguments.size() > 1) {
    const QString path = arguments.at(1);
    TfrmTarnak* w = window.get();
    QTimer::singleShot(0, w, [w, path] { w->OpenDrawing(path); });
  }
  return window;
}

}  // namespace tarnak::gui
