// The main window's command handlers. Each calls the core command that does
// the work and then brings the window up to date.
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <exception>
#include <filesystem>
#include <new>
#include <utility>

#include "about.h"
#include "dialogs/options_dialog.h"
#include "dialogs/overwrite_dialog.h"
#include "dialogs/post_dialog.h"
#include "dialogs/strategy_dialogs.h"
#include "file_filter.h"
#include "main_window.h"
#include "shell/edit_commands.h"
#include "order_window.h"
#include "text_window.h"
#include "shell/save_command.h"
#include "qt_user_interface.h"
#include "selection/region_selection.h"
#include "shell/commands.h"
#include "shell/gerber_command.h"
#include "base/numbers.h"
#include "status_bar.h"
#include "shell/strategy_commands.h"
#include "toolpaths/toolpath_model.h"

namespace tarnak::gui {

namespace {

std::filesystem::path ToPath(const QString& path) {
  return std::filesystem::path(path.toStdString());
}

// Runs a toolpath command so that running out of memory is a message, not
// the end of the program: the toolpath list is put back as it was (the
// half-built one is freed first, which gives the memory back). False when
// memory ran out.
template <typename Command>
bool RunGuarded(Document& doc, UserInterface& ui, Command&& command) {
  TTNOutRegionArray before = doc.Toolpaths;
  try {
    command();
    return true;
  } catch (const std::bad_alloc&) {
    doc.Toolpaths.clear();
    doc.Toolpaths.shrink_to_fit();
    doc.Toolpaths = std::move(before);
    doc.PickMode = kPickNone;
    doc.Cancel.Reset();
    ui.Message("Out of memory: the job is too large for this computer. Make Z Step or Step Over "
               "larger, or select fewer Regions. The toolpaths are as they were.",
               kApplicationTitle, MsgButtons::Ok, MsgIcon::Warning);
    ui.SetStatus("Ready...");
    return false;
  }
}

}  // namespace

void TfrmTarnak::NotInThisVersion() {
  ui_->Message("This command is not available in this version.", kApplicationTitle,
               MsgButtons::Ok, MsgIcon::Information);
}

long long TfrmTarnak::SelectedElementCount() const {
  long long n = 0;
  for (size_t i = 1; i < doc_->Regions.size(); ++i)
    if (doc_->Regions[i].Selected) n += static_cast<long long>(doc_->Regions[i].Elements.size());
  return n;
}

// ---------------------------------------------------------------- File

QString TfrmTarnak::AskOpenPath(const char* classicFilter) {
  const QString filter = QtFileFilter(classicFilter);
  if (OpenFileDialog) return OpenFileDialog(filter);
  const QString path = QFileDialog::getOpenFileName(this, QString(), QDir::currentPath(), filter);
  // The file dialogs set the current folder, as the wall profile library
  // is looked for there.
  if (!path.isEmpty()) QDir::setCurrent(QFileInfo(path).absolutePath());
  return path;
}

QString TfrmTarnak::AskSavePath(const QString& filter, const QString& proposed, const QString& suffix,
                                bool confirmOverwrite) {
  if (SaveFileDialog) return SaveFileDialog(filter, proposed, suffix);
  QFileDialog dialog(this, QString(), QDir::currentPath(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(suffix);
  if (!confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!proposed.isEmpty()) dialog.selectFile(proposed);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString path = dialog.selectedFiles().constFirst();
  QDir::setCurrent(QFileInfo(path).absolutePath());
  return path;
}

void TfrmTarnak::mnuOpenDxfClick() {
  doc_->PickMode = kPickNone;
  doc_->Cancel.Reset();
  const QString path = AskOpenPath(kOpenDrawingFilter);
  if (path.isEmpty()) return;
  OpenDrawing(path);
}

void TfrmTarnak::OpenDrawing(const QString& path) {
  if (QFileInfo(path).suffix().toUpper() == "STL") {
    OpenStlModel(path);
    return;
  }
  if (running_) return;
  // The toolpaths of this drawing do not belong to the next one.
  if (!ConfirmDiscardToolpaths(*doc_, [this] { return SaveNcProgram(); })) return;
  CommandScope scope(*this, true);
  if (!scope) return;
  ActivateEditor(false);

  OpenResult result = OpenResult::Failed;
  {
    // Out of memory while reading: the drawing shown stays.
    TTNRegionArray before = doc_->Regions;
    const std::string name = doc_->FileName;
    try {
      // Gerber and drill files go to the board readers, the rest is DXF.
      result = IsBoardFileName(path.toStdString()) ? OpenBoardFile(*doc_, path.toStdString()).Status
                                                   : OpenDxfCommand(*doc_, path.toStdString());
    } catch (const std::bad_alloc&) {
      doc_->Regions.clear();
      doc_->Regions.shrink_to_fit();
      doc_->Regions = std::move(before);
      doc_->FileName = name;
      doc_->ComputeExtents();
      ui_->Message("Out of memory while reading " + path.toStdString() +
                       ": the drawing is too large for this computer.",
                   kApplicationTitle, MsgButtons::Ok, MsgIcon::Warning);
      ui_->SetStatus("Ready...");
      return;
    }
  }
  switch (result) {
    case OpenResult::Cancelled:
    case OpenResult::Failed:
      // The document is as it was, and so is the window.
      return;
    case OpenResult::Empty:
      LeaveStlMode();
      ForgetToolpaths();
      ViewIcons(0);
      if (!mnuViewAll->isChecked()) mnuViewAllClick();
      DrawGeometry();
      ShowFileInTitle(QString());
      return;
    case OpenResult::Loaded:
      break;
  }

  LeaveStlMode();
  ViewIcons(1);
  ViewFitExtents();
  if (doc_->Regions.size() > 1) {
    popupEnabled_ = true;
    SetSelectMenu(true);
    SetItemEnabled(mnuClose, true);
    mnuEdit->menuAction()->setVisible(true);
    SetMenuEnabled(mnuEdit, true);
    mnuSTLEdit->menuAction()->setVisible(false);
  } else {
    SetItemEnabled(mnuClose, false);
  }
  SetItemEnabled(SaveGeometryDXF1, true);
  ForgetToolpaths();
  // The new Regions come unselected.
  SetShowSelected(false);
  ToolPathIcons(false);
  if (!mnuViewAll->isChecked()) mnuViewAllClick();
  Set2DMode();
  DrawGeometry();
  NoteFileOpened(path);
}

void TfrmTarnak::mnuCloseClick() {
  doc_->Close();
  if (editorShown_) CloseEditorProgram();
  LeaveStlMode();
  popupEnabled_ = false;
  SetSelectMenu(false);
  ToolPathIcons(false);
  SetShowSelected(false);
  SetItemEnabled(mnuViewToolPaths, false);
  ToolButton15->setEnabled(false);
  // Nothing is left to save.
  SetSaveCommands(false);
  if (doc_->Regions.size() <= 1 && doc_->NCMoves.size() <= 1) ViewIcons(0);
  mnuViewAllClick();
  DrawGeometry();
  SetItemEnabled(mnuClose, false);
  ShowFileInTitle(QString());
}

void TfrmTarnak::mnuExitClick() { close(); }

void TfrmTarnak::mnuSaveToolpathsClick() { SaveNcProgram(); }

void TfrmTarnak::ForgetToolpaths() {
  SetSaveCommands(false);
  SetItemEnabled(mnuViewToolPaths, false);
  ToolButton15->setEnabled(false);
}

bool TfrmTarnak::SaveNcProgram() {
  CommandScope scope(*this, false);
  if (!scope) return false;
  // A run cut short by Escape is saved only when the user says so.
  if (!ConfirmSaveToolpaths(*doc_)) return false;
  const TTNPostProcessor& post = doc_->PostDefinition;
  const QString filter = QtFileFilter(QString::fromStdString(NcFileFilter(post)));
  const QString proposed = QString::fromStdString(ProposedNcFileName(*doc_));
  const QString suffix = QString::fromStdString(post.Extension);
  // The program asks its own question: overwrite or append.
  const QString path = AskSavePath(filter, proposed, suffix, false);
  if (path.isEmpty()) return false;

  SaveToolpathsOptions options;
  std::error_code ec;
  if (std::filesystem::exists(ToPath(path), ec)) {
    std::optional<ExistingNcFile> answer;
    if (OverwriteQuestion)
      answer = OverwriteQuestion(path);
    else if (frmOverWrite)
      answer = frmOverWrite->Ask();
    // Dismissing the question leaves the file alone.
    if (!answer) return false;
    options.IfExists = *answer;
  }

  QApplication::setOverrideCursor(Qt::WaitCursor);
  bool written = false;
  try {
    SaveToolpathsCommand(*doc_, ToPath(path), options);
    written = true;
  } catch (const std::exception& e) {
    QApplication::restoreOverrideCursor();
    ui_->Message(e.what(), kApplicationTitle, MsgButtons::Ok, MsgIcon::Error);
    return false;
  }
  QApplication::restoreOverrideCursor();
  return written;
}

void TfrmTarnak::OpenGerber1Click() {
  doc_->PickMode = kPickNone;
  doc_->Cancel.Reset();
  const QString filter = QtFileFilter(kGerberFilter);
  const QString path = OpenFileDialog
                           ? OpenFileDialog(filter)
                           : QFileDialog::getOpenFileName(this, QString(), QDir::currentPath(), filter);
  if (!path.isEmpty()) OpenDrawing(path);
}
void TfrmTarnak::Add1Click() {
  if (doc_->StlMode || !frmText1) return;
  Set2DMode();
  frmText1->FormShow();
}

void TfrmTarnak::TextAdded() {
  if (doc_->Regions.size() <= 1) return;
  ViewIcons(1);
  DrawGeometry();
  SetItemEnabled(mnuClose, true);
}

// ---------------------------------------------------------------- Edit

void TfrmTarnak::SetMachiningOrder1Click() { ApplySelection(StartMachiningOrder(*doc_)); }


// ---------------------------------------------------------------- Setup

void TfrmTarnak::mnuOptionsClick() {
  if (!frmOptions) return;
  frmOptions->Execute();
  DrawGeometry();
}
void TfrmTarnak::EditPostProcessor1Click() {
  if (!frmPost) return;
  frmPost->OpenPostEditor();
}

// ---------------------------------------------------------------- View

void TfrmTarnak::mnuZoomPrevClick() { ViewZoomPrevious(); }
void TfrmTarnak::mnuZoomInClick() { ViewZoomBy(0.2); }
void TfrmTarnak::mnuZoomOutClick() { ViewZoomBy(-0.2); }
void TfrmTarnak::mnuZoomWindowClick() { ViewZoomWindow(); }

void TfrmTarnak::mnuZoomAllClick() {
  ViewFitExtents();
  DrawGeometry();
}

void TfrmTarnak::mnuZoomSelectedClick() {
  if (editorShown_ || !AnyRegionSelected(doc_->Regions)) return;
  ViewZoomSelected();
}

void TfrmTarnak::N2DView1Click() {
  if (is3D_)
    Set2DMode();
  else
    Set3DMode();
  ViewFitExtents();
  DrawGeometry();
}

void TfrmTarnak::mnuRedrawClick() { DrawGeometry(); }

void TfrmTarnak::mnuShowDirsClick() {
  ViewSetDirections(mnuShowDirs->isChecked());
  DrawGeometry();
}

void TfrmTarnak::mnuInfoClick() {
  ViewSetInfo(mnuInfo->isChecked());
  DrawGeometry();
}

void TfrmTarnak::mnuViewAllClick() {
  doc_->ViewMode = 0;
  popupEnabled_ = true;
  if (doc_->Regions.size() > 1 && !doc_->StlMode) SetSelectMenu(true);
  SyncViewModeChecks();
  DrawGeometry();
}

void TfrmTarnak::mnuViewSelectedClick() {
  if (editorShown_ || !AnyRegionSelected(doc_->Regions)) {
    SyncViewModeChecks();
    return;
  }
  doc_->ViewMode = 1;
  popupEnabled_ = false;
  SyncViewModeChecks();
  DrawGeometry();
  SetStatus2(QString("Select %1").arg(SelectedElementCount()));
}

void TfrmTarnak::mnuViewToolPathsClick() {
  if (editorShown_) {
    SyncViewModeChecks();
    return;
  }
  doc_->ViewMode = 3;
  popupEnabled_ = false;
  SetSelectMenu(false);
  SyncViewModeChecks();
  DrawGeometry();
}

void TfrmTarnak::mnuToolBarClick() { ToolBar1->setVisible(mnuToolBar->isChecked()); }

// ---------------------------------------------------------------- Select

void TfrmTarnak::ApplySelection(const SelectionResult& r) {
  if (!r.Handled) return;
  if (r.ToolpathIcons == IconState::On) ToolPathIcons(true);
  if (r.ToolpathIcons == IconState::Off) ToolPathIcons(false);
  if (r.ShowInfo && !mnuInfo->isChecked()) {
    mnuInfo->setChecked(true);
    ViewSetInfo(true);
  }
  SetShowSelected(r.AnySelected && !editorShown_);
  if (r.ViewAll && !mnuViewAll->isChecked())
    mnuViewAllClick();
  else if (r.Redraw)
    DrawGeometry();
  if (r.ShowOrderWindow && frmOrder) frmOrder->FormShow();
}

void TfrmTarnak::RunLongSelection(SelectionResult (*command)(Document&)) {
  CommandScope scope(*this, true);
  if (!scope) return;
  UpdatePickTolerance();
  const SelectionResult result = command(*doc_);
  ApplySelection(result);
}

void TfrmTarnak::mnuAutoAllClick() { RunLongSelection(&SelectAll); }
void TfrmTarnak::mnuAutoAllClosedClick() { RunLongSelection(&SelectAllClosed); }
void TfrmTarnak::AllasIsl1Click() { RunLongSelection(&SelectAllAsIslands); }
void TfrmTarnak::mnuAutoAllOpenClick() { ApplySelection(SelectAllOpen(*doc_)); }
void TfrmTarnak::mnuAutoEmptyCirclesClick() { ApplySelection(SelectEmptyCircles(*doc_)); }
void TfrmTarnak::mnuAutoWindowClick() { ApplySelection(StartSelectWindow(*doc_)); }
void TfrmTarnak::mnuAutoRegionClick() { ApplySelection(StartSelectRegion(*doc_)); }
void TfrmTarnak::mnuAutoSingleClick() { ApplySelection(StartSelectSingle(*doc_)); }
void TfrmTarnak::mnuAddBoundaryClick() { ApplySelection(StartAddBoundary(*doc_)); }
void TfrmTarnak::mnuAddIslandClick() { ApplySelection(StartAddIsland(*doc_)); }
void TfrmTarnak::mnuDeselectAllClick() { ApplySelection(DeselectAll(*doc_)); }
void TfrmTarnak::mnuDeselectAllOpenClick() { ApplySelection(DeselectAllOpen(*doc_)); }
void TfrmTarnak::mnuDeselectAllClosedClick() { ApplySelection(DeselectAllClosed(*doc_)); }
void TfrmTarnak::mnuDeselectWindowClick() { ApplySelection(StartDeselectWindow(*doc_)); }
void TfrmTarnak::mnuDeselectRegionClick() { ApplySelection(StartDeselectRegion(*doc_)); }
void TfrmTarnak::mnuDeselectSingleClick() { ApplySelection(StartDeselectSingle(*doc_)); }
void TfrmTarnak::mnuDeselectEmptyCirclesClick() { ApplySelection(DeselectEmptyCircles(*doc_)); }
void TfrmTarnak::mnuCancelClick() { ApplySelection(CancelPick(*doc_)); }

// The view's context menu: each item triggers its Select menu twin.
void TfrmTarnak::SelectAll1Click() { mnuAutoAll->trigger(); }
void TfrmTarnak::SelectAllOpen1Click() { mnuAutoAllOpen->trigger(); }
void TfrmTarnak::SelectAllClosed1Click() { mnuAutoAllClosed->trigger(); }
void TfrmTarnak::AllasIslandsPCB1Click() { AllasIsl1->trigger(); }
void TfrmTarnak::SelectWindow1Click() { mnuAutoWindow->trigger(); }
void TfrmTarnak::SelectRegion1Click() { mnuAutoRegion->trigger(); }
void TfrmTarnak::SelectSingle1Click() { mnuAutoSingle->trigger(); }
void TfrmTarnak::SelectEmptyCircles1Click() { mnuAutoEmptyCircles->trigger(); }
void TfrmTarnak::SingleBoundary1Click() { mnuAddBoundary->trigger(); }
void TfrmTarnak::SingleIsland1Click() { mnuAddIsland->trigger(); }
void TfrmTarnak::DeSelectAll1Click() { mnuDeselectAll->trigger(); }
void TfrmTarnak::DeSelectOpen1Click() { mnuDeselectAllOpen->trigger(); }
void TfrmTarnak::DeSelectClosed1Click() { mnuDeselectAllClosed->trigger(); }
void TfrmTarnak::DeSelectWindow1Click() { mnuDeselectWindow->trigger(); }
void TfrmTarnak::DeSelectRegion1Click() { mnuDeselectRegion->trigger(); }
void TfrmTarnak::DeSelectSingle1Click() { mnuDeselectSingle->trigger(); }
void TfrmTarnak::DeSelectEmptyCircles1Click() { mnuDeselectEmptyCircles->trigger(); }
void TfrmTarnak::Cancel1Click() { mnuCancel->trigger(); }

// ---------------------------------------------------------------- the view's mouse

void TfrmTarnak::ViewMouseDown(Point2 p, MouseButton button) {
  if (running_) return;
  if (doc_->PickMode == kPickFirstElement) {
    if (button == MouseButton::Left && ChangeFirstElementClick(*doc_, p).Redraw) DrawGeometry();
    return;
  }
  if (frmText1 && frmText1->isVisible() && doc_->PickMode == Pick{kPickTextByPoint}) {
    frmText1->PointerAt(p);
    frmText1->btnAddTextClick();
    return;
  }
  const SelectionResult result = SelectionClick(*doc_, p, button);
  if (!result.Handled) return;
  ApplySelection(result);
  if (frmOrder && frmOrder->isVisible()) frmOrder->FollowCounter();
}

void TfrmTarnak::ViewMouseUp(const Box& window) {
  if (running_) return;
  ApplySelection(SelectionWindow(*doc_, window));
}

void TfrmTarnak::ViewMouseMove(Point2 p) {
  sbrBar->SetPanelText(3, QString::fromStdString(FormatNumber("%5.4f", p.X) + ", " +
                                                 FormatNumber("%5.4f", p.Y)));
  if (frmText1 && frmText1->isVisible()) frmText1->PointerAt(p);
}

// ---------------------------------------------------------------- Toolpaths

bool TfrmTarnak::ShowStrategyDialog(StrategyDialogBase* dialog) {
  if (!dialog) return false;
  return dialog->Execute();
}

void TfrmTarnak::ShowStrategyResult(StrategyResult result) {
  if (result == StrategyResult::NothingSelected || result == StrategyResult::NotAllAsIslands) return;
  // New toolpaths are what the user wants to see; the command reported a
  // missing result itself.
  if (result == StrategyResult::Made) doc_->ViewMode = 3;
  CheckForToolpaths(false);
}

void TfrmTarnak::mnuContourClick() {
  if (!AnyRegionSelected(doc_->Regions)) {
    ui_->Message("Nothing Selected! - Select Regions First", kApplicationTitle, MsgButtons::Ok,
                 MsgIcon::Warning);
    return;
  }
  if (!ShowStrategyDialog(frmContour)) return;
  CommandScope scope(*this, true);
  if (!scope) return;
  StrategyResult result = StrategyResult::None;
  if (!RunGuarded(*doc_, *ui_, [&] { result = ContourCommand(*doc_, frmContour->toolpathsMode()); }))
    return;
  ShowStrategyResult(result);
}

void TfrmTarnak::mnuPocketClick() {
  if (!CheckPocketSelection(*doc_)) return;
  if (!ShowStrategyDialog(frmPocket)) return;
  CommandScope scope(*this, true);
  if (!scope) return;
  StrategyResult result = StrategyResult::None;
  if (!RunGuarded(*doc_, *ui_, [&] { result = PocketCommand(*doc_, frmPocket->toolpathsMode()); }))
    return;
  ShowStrategyResult(result);
}

void TfrmTarnak::mnuDrillClick() {
  if (!ShowStrategyDialog(frmDrill)) return;
  CommandScope scope(*this, true);
  if (!scope) return;
  StrategyResult result = StrategyResult::None;
  if (!RunGuarded(*doc_, *ui_, [&] { result = DrillCommand(*doc_, frmDrill->toolpathsMode()); }))
    return;
  ShowStrategyResult(result);
}

void TfrmTarnak::mnuPCBClick() {
  if (!CheckRoutePcbSelection(*doc_)) return;
  if (!ShowStrategyDialog(frmPCB)) return;
  CommandScope scope(*this, true);
  if (!scope) return;
  StrategyResult result = StrategyResult::None;
  if (!RunGuarded(*doc_, *ui_, [&] { result = RoutePcbCommand(*doc_, frmPCB->toolpathsMode()); }))
    return;
  ShowStrategyResult(result);
}

// ---------------------------------------------------------------- Help

void TfrmTarnak::mnuHelpContentsClick() {
  std::error_code ec;
  if (!std::filesystem::exists(helpFile_, ec)) {
    // Without the help file, the user manual in the desktop's browser.
    const std::filesystem::path manual = ManualIndex();
    if (!manual.empty()) {
      const QUrl url = QUrl::fromLocalFile(QString::fromStdString(manual.string()));
      if (!(OpenUrl ? OpenUrl(url) : QDesktopServices::openUrl(url)))
        ui_->Message("Help file " + helpFile_.string() + " not found, and the manual " +
                         manual.string() + " could not be shown in a browser.",
                     kApplicationTitle, MsgButtons::Ok, MsgIcon::Warning);
      return;
    }
    ui_->Message("Help file " + helpFile_.string() + " not found.", kApplicationTitle,
                 MsgButtons::Ok, MsgIcon::Warning);
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(helpFile_.string())));
}

void TfrmTarnak::mnuAboutClick() {
  if (frmAbout1) frmAbout1->exec();
}

}  // namespace tarnak::gui
