// The program's start: title, splash window, the main window with every
// dialog, a short pause, then the main window maximised, and a drawing
// named on the command line opened once the event loop runs.
#pragma once

#include <QStringList>
#include <memory>

#include "main_window.h"

namespace tarnak::gui {

inline constexpr int kSplashMilliseconds = 1000;

// `arguments` as QCoreApplication::arguments(): the program, then at most
// one drawing to open.
std::unique_ptr<TfrmTarnak> StartTarnak(const QStringList& arguments,
                                        const StartupFolders& folders,
                                        int splashMilliseconds = kSplashMilliseconds);

}  // namespace tarnak::gui
