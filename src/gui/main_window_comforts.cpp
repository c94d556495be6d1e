// The main window's everyday comforts, beyond its menus: keyboard
// shortcuts, the File menu's recent files, the open file's name in the
// title, and drawings dropped on the window.
//
// Dropped and recent files go through the open command itself (its menu
// item, with the file dialog answered by the path), so they meet every
// check and question that command has, and nothing else opens files.
#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "main_window.h"
#include "qt_user_interface.h"
#include "shell/gerber_command.h"
#include "base/options.h"
#include "base/profile_file.h"

#ifndef TARNAK_MANUAL_DIR
#define TARNAK_MANUAL_DIR ""
#endif

namespace tarnak::gui {

namespace {

// What the open dialog's filter lets through.
bool OpensAsDrawing(const QFileInfo& file) {
  const QString suffix = file.suffix().toUpper();
  return file.isFile() && (suffix == "DXF" || suffix == "STL" ||
                           IsBoardFileName(file.fileName().toStdString()));
}

QString MenuText(std::size_t number, const QString& path) {
  QString name = QFileInfo(path).fileName();
  name.replace('&', "&&");
  return QString("&%1 %2").arg(number).arg(name);
}

}  // namespace

void TfrmTarnak::CreateComforts() {
  // Only keys that no menu item of the program uses already.
  mnuOpenDxf->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  mnuSaveToolpaths->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  mnuHelpContents->setShortcut(QKeySequence(Qt::Key_F1));
  mnuZoomIn->setShortcuts(
      {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::KeypadModifier | Qt::Key_Plus)});
  mnuZoomOut->setShortcuts(
      {QKeySequence(Qt::Key_Minus), QKeySequence(Qt::KeypadModifier | Qt::Key_Minus)});
  mnuZoomAll->setShortcut(QKeySequence(Qt::Key_Home));

  // The recent files sit above Exit, as numbered items.
  recentSeparator_ = mnuFile->insertSeparator(mnuExit);
  for (std::size_t i = 0; i < kMaxRecentFiles; ++i) {
    auto* item = new QAction(this);
    item->setObjectName(QString("mnuRecent%1").arg(i + 1));
    item->setVisible(false);
    connect(item, &QAction::triggered, this, [this, i] {
      if (!running_) RecentFileClick(i);
    });
    mnuFile->insertAction(recentSeparator_, item);
    mnuRecentFiles.push_back(item);
  }
  mnuFile->setToolTipsVisible(true);
  UpdateRecentFilesMenu();

  setAcceptDrops(true);
}

void TfrmTarnak::UpdateRecentFilesMenu() {
  const std::vector<std::string>& list = doc_->Options.RecentFiles;
  for (std::size_t i = 0; i < mnuRecentFiles.size(); ++i) {
    QAction* item = mnuRecentFiles[i];
    const bool used = i < list.size();
    item->setVisible(used);
    if (!used) continue;
    const QString path = QString::fromStdString(list[i]);
    item->setText(MenuText(i + 1, path));
    item->setToolTip(QDir::toNativeSeparators(path));
    item->setData(path);
  }
  // The separator would stand alone above Exit.
  if (recentSeparator_ != nullptr) recentSeparator_->setVisible(!list.empty());
}

void TfrmTarnak::RecentFileClick(std::size_t index) {
  std::vector<std::string>& list = doc_->Options.RecentFiles;
  if (index >= list.size()) return;
  const QString path = QString::fromStdString(list[index]);
  OpenThroughMenu(path);
  // A file that has gone since leaves the list once the open command has
  // said so.
  if (!QFileInfo::exists(path)) {
    std::erase(list, path.toStdString());
    UpdateRecentFilesMenu();
    if (!folders_.Settings.empty()) {
      try {
        SaveRecentFiles(doc_->Options, OptionsFilePath(folders_.Settings));
      } catch (const std::exception&) {
        // The list only helps; a settings folder that cannot be written
        // is reported when the options are saved.
      }
    }
  }
}

void TfrmTarnak::OpenThroughMenu(const QString& path) {
  if (running_ || openingThroughMenu_ || !mnuOpenDxf->isEnabled()) return;
  const QFileInfo file(path);
  const QString absolute = file.absoluteFilePath();
  // What choosing the file in the open dialog would do: the dialog's folder
  // becomes the current one (the wall profile library is looked for there).
  if (file.exists()) QDir::setCurrent(file.absolutePath());
  openingThroughMenu_ = true;
  std::function<QString(const QString&)> dialog = std::move(OpenFileDialog);
  OpenFileDialog = [absolute](const QString&) { return absolute; };
  mnuOpenDxf->trigger();
  OpenFileDialog = std::move(dialog);
  openingThroughMenu_ = false;
}

void TfrmTarnak::NoteFileOpened(const QString& path) {
  ShowFileInTitle(path);
  if (path.isEmpty()) return;
  const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  if (!AddRecentFile(doc_->Options.RecentFiles, absolute.toStdString())) return;
  UpdateRecentFilesMenu();
  if (folders_.Settings.empty()) return;
  try {
    SaveRecentFiles(doc_->Options, OptionsFilePath(folders_.Settings));
  } catch (const std::exception&) {
    // The list only helps; a settings folder that cannot be written is
    // reported when the options are saved.
  }
}

void TfrmTarnak::ShowFileInTitle(const QString& path) {
  if (path.isEmpty()) {
    setWindowTitle(kApplicationTitle);
    return;
  }
  setWindowTitle(QFileInfo(path).fileName() + " - " + kApplicationTitle);
}

QString TfrmTarnak::DroppableFile(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls()) return {};
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) continue;
    const QFileInfo file(url.toLocalFile());
    if (OpensAsDrawing(file)) return file.absoluteFilePath();
  }
  return {};
}

void TfrmTarnak::dragEnterEvent(QDragEnterEvent* event) {
  if (!running_ && mnuOpenDxf->isEnabled() && !DroppableFile(event->mimeData()).isEmpty())
    event->acceptProposedAction();
}

void TfrmTarnak::dropEvent(QDropEvent* event) {
  const QString path = DroppableFile(event->mimeData());
  if (path.isEmpty() || running_) return;
  event->acceptProposedAction();
  // Opened once the drop has finished, so the program the file came from
  // is not kept waiting while the drawing is read.
  QTimer::singleShot(0, this, [this, path] { OpenThroughMenu(path); });
}

std::filesystem::path TfrmTarnak::ManualIndex() const {
  std::error_code ec;
  const std::filesystem::path beside = folders_.Program / "manual" / "index.html";
  if (!folders_.Program.empty() && std::filesystem::is_regular_file(beside, ec)) return beside;
  const std::filesystem::path built = std::filesystem::path(TARNAK_MANUAL_DIR) / "index.html";
  if (std::string(TARNAK_MANUAL_DIR).empty() || !std::filesystem::is_regular_file(built, ec))
    return {};
  return built;
}

}  // namespace tarnak::gui
