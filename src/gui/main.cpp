#include <QApplication>
#include <exception>
#include <iostream>

#include "base/allocator.h"
#include "startup.h"
#include "translations.h"

int main(int argc, char** argv) {
  tarnak::KeepFreedMemoryForReuse();
  QApplication app(argc, argv);
  tarnak::gui::InstallQtTranslations(app);
  tarnak::gui::StartupFolders folders;
  try {
    folders = tarnak::gui::StartupFolders::ForThisProgram();
  } catch (const std::exception& e) {
    // Without a settings folder the program still runs, on its start values.
    std::cerr << "tarnak: " << e.what() << '\n';
  }
  auto window = tarnak::gui::StartTarnak(QApplication::arguments(), folders);
  return app.exec();
}
