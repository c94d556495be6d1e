// The main window's side of STL models: opening one, the STL edit menu
// (the move, scale and rotate window and the flip) and the prototype
// command with its dialog. Each handler calls the shell's command and then
// brings the menus and the view up to date.
#include <QAction>
#include <QMenu>
#include <QToolButton>
#include <new>
#include <string>

#include "dialogs/prototype_dialog.h"
#include "dialogs/stl_move_dialog.h"
#include "main_window.h"
#include "qt_user_interface.h"
#include "shell/commands.h"
#include "shell/prototype_command.h"
#include "shell/stl_commands.h"
#include "view/vector_display.h"

namespace tarnak::gui {

void TfrmTarnak::CreateStlForms() {
  frmStl = new TfrmStl(*doc_, folders_.Settings, this);
  frmSTLMove = new TfrmSTLMove(*doc_, this);
  connect(frmSTLMove, &TfrmSTLMove::applied, this, [this] {
    Draw3D->InvalidateGeometry();
    mnuZoomAllClick();
  });
  frmStl->hide();
  frmSTLMove->hide();
}

void TfrmTarnak::LeaveStlMode() {
  mnuSTLEdit->menuAction()->setVisible(false);
  mnuEdit->menuAction()->setVisible(true);
  if (frmSTLMove) frmSTLMove->hide();
  Draw3D->InvalidateGeometry();
}

void TfrmTarnak::OpenStlModel(const QString& path) {
  if (running_) return;
  // The toolpaths of what is open now do not belong to the model.
  if (!ConfirmDiscardToolpaths(*doc_, [this] { return SaveNcProgram(); })) return;
  CommandScope scope(*this, true);
  if (!scope) return;
  ActivateEditor(false);

  StlOpenCommandResult result;
  try {
    result = OpenStl(*doc_, path.toStdString());
  } catch (const std::bad_alloc&) {
    ui_->Message("Out of memory while reading " + path.toStdString() +
                     ": the model is too large for this computer.",
                 kApplicationTitle, MsgButtons::Ok, MsgIcon::Warning);
    ui_->SetStatus("Ready...");
    return;
  }
  // A model that was not read leaves the window as it was; the reader has
  // said why.
  if (result.Status != StlOpenStatus::Loaded) return;

  const StlWindowChanges& w = result.Window;
  if (w.StlEditMenu) {
    mnuEdit->menuAction()->setVisible(false);
    SetMenuEnabled(mnuEdit, false);
    mnuSTLEdit->menuAction()->setVisible(true);
    SetMenuEnabled(mnuSTLEdit, true);
  }
  popupEnabled_ = false;
  SetSelectMenu(false);
  SetShowSelected(false);
  SetItemEnabled(SaveGeometryDXF1, false);
  SetItemEnabled(mnuClose, true);
  ForgetToolpaths();
  ViewIcons(3);
  ToolPathIcons(w.PrototypeOnly);
  if (frmStl) frmStl->SetMargin(QString::fromStdString(w.MarginText));
  if (frmSTLMove && frmSTLMove->isVisible()) frmSTLMove->ShowCurrent();
  SyncViewModeChecks();
  Draw3D->InvalidateGeometry();
  if (w.View3DZoomAll) {
    Set3DMode();
    ViewFitExtents();
  }
  DrawGeometry();
  NoteFileOpened(path);
}

void TfrmTarnak::MoveScaleandRotate1Click() {
  if (!doc_->StlMode || !frmSTLMove) return;
  frmSTLMove->FormShow();
}

void TfrmTarnak::mnuFlipModelClick() {
  if (!doc_->StlMode || !FlipModel(*doc_)) return;
  Draw3D->InvalidateGeometry();
  DrawGeometry();
}

void TfrmTarnak::mnuPrototypeClick() {
  if (!doc_->StlMode || doc_->Triangles.empty() || !frmStl) return;
  doc_->Cancel.Reset();
  if (!frmStl->Execute()) return;
  if (!(doc_->MachiningParams.Rough.ZStep > 0.0)) {
    doc_->PickMode = kPickNone;
    return;
  }
  CommandScope scope(*this, true);
  if (!scope) return;
  SetToolColours(doc_->MachiningParams, static_cast<int32_t>(doc_->Options.View.RTool),
                 static_cast<int32_t>(doc_->Options.View.FTool));
  PrototypeResult result;
  try {
    result = PrototypeCommand(*doc_);
  } catch (const std::bad_alloc&) {
    doc_->Toolpaths3D.clear();
    doc_->Toolpaths3D.shrink_to_fit();
    doc_->Cancel.Reset();
    ui_->Message("Out of memory: the job is too large for this computer. Make the steps larger "
                 "or the stock box smaller.",
                 kApplicationTitle, MsgButtons::Ok, MsgIcon::Warning);
    result.Status = PrototypeStatus::Refused;
  }
  doc_->PickMode = kPickNone;
  Draw3D->InvalidateGeometry();
  // A run that made nothing has its message; one the command refused or
  // that was cancelled has said so already.
  CheckForToolpaths(result.Status == PrototypeStatus::None);
  if (result.Status == PrototypeStatus::Made && result.GougeMeasured)
    SetStatus(QStringLiteral("Ready... ") + QString::fromStdString(GougeStatusText(result)));
}

}  // namespace tarnak::gui
