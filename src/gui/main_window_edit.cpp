// The Edit menu's handlers: each runs its core command and brings the
// window up to date (redraw, direction marks, toolpath commands).
#include <QAction>
#include <QDir>

#include "edit_windows.h"
#include "main_window.h"
#include "editing/walls.h"
#include "selection/region_selection.h"
#include "shell/edit_commands.h"

namespace tarnak::gui {

namespace {

void AfterEdit(TfrmTarnak& w, const EditResult& r) {
  if (r.ShowDirections && !w.mnuShowDirs->isChecked()) {
    w.mnuShowDirs->setChecked(true);
    w.mnuShowDirsClick();
  }
  // The Region list may have lost its selection: the toolpath commands
  // follow it.
  if (r.Done) w.ToolPathIcons(!r.ToolpathIconsOff && AnyRegionSelected(w.doc().Regions));
  if (r.Redraw) w.DrawGeometry();
}

}  // namespace

void TfrmTarnak::mnuDeleteOpensClick() { AfterEdit(*this, DeleteSelectedCommand(*doc_)); }
void TfrmTarnak::mnuReverseDirLoopClick() { AfterEdit(*this, ReverseSelectedCommand(*doc_)); }
void TfrmTarnak::mnuChangeFirstEntityClick() { AfterEdit(*this, StartChangeFirstElement(*doc_)); }
void TfrmTarnak::mnuExplodeClick() { AfterEdit(*this, ExplodeCommand(*doc_)); }
void TfrmTarnak::mnuJoinClick() { AfterEdit(*this, JoinCommand(*doc_)); }
void TfrmTarnak::CombineSelectedRegions1Click() {
  CommandScope scope(*this, true);
  if (!scope) return;
  AfterEdit(*this, CombineCommand(*doc_));
}
void TfrmTarnak::AddDepths1Click() {
  if (doc_->Regions.size() < 2 || !frmAddDepths) return;
  frmAddDepths->show();
  frmAddDepths->raise();
}
void TfrmTarnak::ScaleSelected1Click() {
  if (!frmMove1 || (!doc_->StlMode && !CheckForSelected())) return;
  frmMove1->FormShow();
}
void TfrmTarnak::AddWalls1Click() {
  if (doc_->Regions.size() < 2 || !frmAddWalls) return;
  // Loaded once and kept; a missing library just leaves the lists empty.
  if (doc_->ProfileLibrary.size() < 2) {
    const ProfileLoadResult r =
        LoadProfiles(QDir::currentPath().toStdString(), doc_->Options.Program.Dir ? 1 : 0,
                     doc_->Cancel, doc_->ui(), doc_->ProfileLibrary);
    if (r.State == ProfileLoadResult::Status::Bad)
      doc_->ui().Message(r.Message, "Error", MsgButtons::Ok, MsgIcon::Error);
  }
  frmAddWalls->FormShow();
}

void TfrmTarnak::CreateEditWindows() {
  frmMove1 = new TfrmMove1(*doc_, this);
  frmAddDepths = new TfrmAddDepths(*doc_, this);
  frmAddWalls = new TfrmAddWalls(*doc_, this);
  connect(frmAddWalls, &TfrmAddWalls::applied, this, &TfrmTarnak::DrawGeometry);
  frmAddWalls->hide();
  connect(frmMove1, &TfrmMove1::applied, this, &TfrmTarnak::DrawGeometry);
  connect(frmAddDepths, &TfrmAddDepths::applied, this, &TfrmTarnak::DrawGeometry);
  frmMove1->hide();
  frmAddDepths->hide();
}

}  // namespace tarnak::gui
