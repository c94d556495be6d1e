// The File menu's two DXF saves: the toolpaths and the geometry. Both ask
// for a file with the same save dialog (no proposed name) and then run the
// core command; a file that cannot be written is a message naming it.
#include <QApplication>
#include <exception>
#include <filesystem>
#include <functional>

#include "file_filter.h"
#include "main_window.h"
#include "qt_user_interface.h"
#include "shell/dxf_export_commands.h"

namespace tarnak::gui {

namespace {

// The chosen file, empty when the dialog was cancelled.
QString AskDxfFile(TfrmTarnak& window) {
  const QString filter = QtFileFilter(QString::fromUtf8(kDxfSaveFilter.data(),
                                                        static_cast<qsizetype>(kDxfSaveFilter.size())));
  const QString suffix = QString::fromUtf8(kDxfDefaultExtension.data(),
                                           static_cast<qsizetype>(kDxfDefaultExtension.size()));
  return window.AskSavePath(filter, QString(), suffix, true);
}

// Runs `save` on the chosen file; true when it was written.
bool SaveDxf(TfrmTarnak& window,
             const std::function<void(const std::filesystem::path&)>& save) {
  const QString path = AskDxfFile(window);
  if (path.isEmpty()) return false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  try {
    save(std::filesystem::path(path.toStdString()));
  } catch (const std::exception& e) {
    QApplication::restoreOverrideCursor();
    window.ui().Message(e.what(), kApplicationTitle, MsgButtons::Ok, MsgIcon::Error);
    return false;
  }
  QApplication::restoreOverrideCursor();
  return true;
}

}  // namespace

void TfrmTarnak::mnuSaveToolToDxfClick() {
  CommandScope scope(*this, false);
  if (!scope) return;
  // With the editor pane shown, the moves of the program in it.
  const TTNEdEntityArray* moves = editorShown_ ? &doc_->NCMoves : nullptr;
  SaveDxf(*this, [this, moves](const std::filesystem::path& file) {
    SaveToolpathsDXFCommand(*doc_, file, moves);
  });
}

void TfrmTarnak::SaveGeometryDXF1Click() {
  CommandScope scope(*this, false);
  if (!scope) return;
  SaveDxf(*this, [this](const std::filesystem::path& file) {
    SaveGeometryDXFCommand(*doc_, file);
  });
}

}  // namespace tarnak::gui
