// The main window's side of the drawing view: creating it, the zoom and
// display switches the commands use, and its mouse.
#include <QMenu>
#include <QSplitter>

#include "main_window.h"
#include "selection/region_geometry.h"
#include "view/vector_display.h"

namespace tarnak::gui {

void TfrmTarnak::CreateView() {
  Draw3D = new TVectorDisplay3D(this);
  Draw3D->setObjectName("Draw3D");
  Draw3D->setCursor(Qt::CrossCursor);
  Draw3D->setContextMenuPolicy(Qt::CustomContextMenu);
  Draw3D->SetDocument(doc_.get());
  // The NC editor pane goes below the view (CreateEditor); while it is
  // hidden the view fills the splitter.
  Splitter1 = new QSplitter(Qt::Vertical, this);
  Splitter1->setObjectName("Splitter1");
  Splitter1->setChildrenCollapsible(false);
  Splitter1->addWidget(Draw3D);
  setCentralWidget(Splitter1);
}

void TfrmTarnak::ConnectView() {
  TVectorDisplay3D* view = Draw3D;
  connect(view, &TVectorDisplay3D::MouseDown, this,
          [this](Point2 p, Qt::MouseButton button) { ViewMouseDown(p, CoreButton(button)); });
  connect(view, &TVectorDisplay3D::WindowPicked, this, [this](Box box) { ViewMouseUp(box); });
  connect(view, &TVectorDisplay3D::MouseMoved, this, [this](Point2 p) { ViewMouseMove(p); });
  connect(view, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { ViewContextMenu(Draw3D->mapToGlobal(pos)); });
}

void TfrmTarnak::ViewContextMenu(const QPoint& globalPos) {
  if (ContextMenuAllowed()) PopupMenu2->popup(globalPos);
}

void TfrmTarnak::UpdatePickTolerance() {
  // The view sets the tolerance whenever it draws at a known scale; before
  // its first drawing, take that of a view fitted to the drawing.
  if (Draw3D->Scale() > 0.0 && doc_->PickTolerance > 0.0) return;
  doc_->PickTolerance =
      PickToleranceForView(doc_->DrawingExtents, Draw3D->width(), Draw3D->height(),
                           TVectorDisplay3D::kZoomMargin);
}

void TfrmTarnak::ViewFitExtents() {
  Draw3D->ZoomAll();
  UpdatePickTolerance();
}
void TfrmTarnak::ViewZoomBy(double fraction) { Draw3D->ZoomBy(fraction); }
void TfrmTarnak::ViewZoomPrevious() { Draw3D->ZoomPrevious(); }
void TfrmTarnak::ViewZoomWindow() { Draw3D->ZoomWindow(); }
void TfrmTarnak::ViewZoomSelected() { Draw3D->ZoomSelected(); }

void TfrmTarnak::ViewSet3D(bool on) {
  if (on)
    Draw3D->Set3D();
  else
    Draw3D->Set2D();
}

void TfrmTarnak::ViewSetDirections(bool on) { Draw3D->SetDrawDirectionsMode(on); }
void TfrmTarnak::ViewSetInfo(bool on) { Draw3D->SetInfoMode(on); }
void TfrmTarnak::ViewRepaint() { Draw3D->DrawGeometry(); }

}  // namespace tarnak::gui
