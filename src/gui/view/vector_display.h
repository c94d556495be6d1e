// The drawing view (the main window's `Draw3D`): shows the document's
// Regions coloured by selection state, its toolpaths with their rapid and
// feed moves, direction marks and the information overlay, in a top (2D)
// or oblique (3D) projection, and reports the mouse in drawing units.
//
// Using it from the main window
// -----------------------------
//   view->SetDocument(doc);                 // not owned; nullptr detaches
//   view->Fit(box, 20, 20);                 // after an import (ZoomAll does it)
//   view->DrawGeometry();                   // after every change of what is shown
//   view->InvalidateGeometry();             // optional: forces the paths to be rebuilt
//
// What is drawn follows doc.ViewMode (0 all Regions, 1 selected Regions,
// 3 toolpaths, with the Regions too when the "DrawBoundaries" option is
// on), the view colours of doc.Options.View, and the two switches
// SetDrawDirectionsMode (mnuShowDirs) and SetInfoMode (mnuInfo).
// DrawGeometry shows the count for status panel 2 ("All n", "Select n",
// "Tool n") through doc.ui().SetStatus2 and also returns it. While
// doc.Busy is set nothing is redrawn: the view keeps showing its last
// picture and does not read the document. In STL mode it shows the
// shaded model and its passes instead (stl_picture.h), with "Tris n" or
// "Tool n" for status panel 2.
//
// The view turns the geometry into painter paths once and reuses them
// until the geometry changes. It notices changes itself (a cheap digest of
// the Regions and toolpaths is compared on every redraw), so forgetting
// InvalidateGeometry costs nothing but a rebuild at the next redraw.
//
// Navigation belongs to the view alone and sends no signal but MouseMoved:
// the wheel zooms about the pointer, a middle-button drag or a left drag
// with Space held pans, and in the oblique view a left drag with Shift
// turns the picture about the drawing's centre.
//
// Mouse, other than navigation: MouseDown on every press, MouseUp on every
// release, and WindowPicked after a left-button drag of at least 2 pixels
// in both directions (a smaller drag is only a click), all in drawing units;
// MouseMoved on every move (PositionText formats it for status panel 3).
// PickMode 1 (zoom window) is handled here: the drag is zoomed to and no
// signal but MouseMoved is sent. The main window passes the rest on, e.g.
//   SelectionClick(doc, p, CoreButton(button)) and SelectionWindow(doc, box).
// While PickMode is a window mode (1, 29, 31) the dragged rectangle is shown.
//
// Changes of the window, the projection or the switches show at the next
// paint (or at once with DrawGeometry). Every drawing coordinate here is in
// drawing units; in the oblique view a screen point stands for the point on
// the plane z = 0 under it.
#pragma once

#include <QImage>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <optional>

#include "geometry/geometry.h"
#include "shell/selection_commands.h"
#include "shell/document.h"
#include "view/stl_picture.h"
#include "view/view_scene.h"

namespace tarnak::gui {

// PickMode of the zoom-window drag.
inline constexpr Pick kPickZoomWindow{1};

// The part of the view plane shown (drawing units in the top view).
struct ViewWindow {
  double MinX = 0.0;
  double MaxX = 10.0;
  double MinY = 0.0;
  double MaxY = 10.0;
  bool operator==(const ViewWindow&) const = default;
};

// The core's mouse button for a Qt one.
MouseButton CoreButton(Qt::MouseButton button);

class TVectorDisplay3D : public QWidget {
  Q_OBJECT
 public:
  explicit TVectorDisplay3D(QWidget* parent = nullptr);
  ~TVectorDisplay3D() override;

  void SetDocument(Document* doc);
  Document* GetDocument() const { return doc_; }

  // ---- window and zoom ----------------------------------------------------
  const ViewWindow& Window() const { return window_; }
  const ViewWindow& PreviousWindow() const { return previous_; }
  // Pixels per drawing unit; 0 until the view has been fitted at a size
  // that leaves room for the drawing.
  double Scale() const { return scale_; }

  // Shows `box` centred, with marginX / marginY pixels on each side. An axis
  // along which the box has no extent takes 1 pixel per unit as its scale;
  // the smaller scale wins. When the view is too small for the margins the
  // fit is remembered and done as soon as the view has room; until the
  // user zooms, pans or turns, a resize fits the box again. Does not save
  // the previous window. In the oblique view the box is taken at heights
  // minZ..maxZ.
  void Fit(const Box& box, int marginX, int marginY, double minZ = 0.0, double maxZ = 0.0);
  // Zoom in (f = 0.2) or out (f = -0.2) about the centre: each side moves
  // in by f of the window's width and height; then fitted without margins.
  // Saves the previous window; redraws.
  void ZoomBy(double f);
  static constexpr double kZoomStep = 0.2;
  // Exchanges the current and the previous window (scale included), so it
  // returns exactly; redraws. Nothing happens before the first zoom.
  void ZoomPrevious();
  // Arms the zoom-window drag: PickMode 1, status "Click and Drag Selection
  // Window". The view then shows the dragged rectangle and zooms to it
  // (ZoomToScreenRect) on release; PickMode 0 and "Ready..." after it.
  void ZoomWindow();
  // Fits a rectangle of the widget (pixels) without margins; saves the
  // previous window; redraws.
  void ZoomToScreenRect(const QRectF& rect);
  // The whole drawing: DrawingExtents with 20-pixel margins (and the depth
  // range of the geometry in the oblique view); saves the previous window;
  // redraws.
  void ZoomAll();
  // The joint box of the selected Regions with 20-pixel margins; false (and
  // nothing changes) when no Region is selected. Saves the previous window;
  // redraws.
  bool ZoomSelected();
  static constexpr int kZoomMargin = 20;

  // ---- mouse navigation ------------------------------------------------------
  // Zooms by `factor` (above 1: closer) about a widget pixel: the drawing
  // point under that pixel stays under it. A run of wheel steps counts as
  // one zoom for ZoomPrevious, as does a whole pan or turn drag.
  void ZoomAbout(QPointF pixel, double factor);
  // The zoom of one wheel notch (120 eighths of a degree).
  static constexpr double kWheelStep = 1.25;
  // Moves the picture by a pixel offset: what lay under a pixel p now lies
  // under p + pixels.
  void PanBy(QPointF pixels);
  // Oblique view only: turns it by `turn` degrees about the vertical and
  // tilts it by `tilt` degrees, about the centre of the drawing, which
  // stays where it is on the screen.
  void TurnBy(double turn, double tilt);
  // Degrees of turn (and tilt) per pixel of a Shift + left drag.
  static constexpr double kTurnPerPixel = 0.5;

  // ---- projection -----------------------------------------------------------
  // The top view (angles 0 and 90 degrees) or the oblique one (30 and 45).
  // The window is kept as it is; the caller refits (see N2DView1).
  void Set2D();
  void Set3D();
  bool Is3D() const { return projection_.Is3D(); }
  // "2D" or "3D", for status panel 1.
  QString ModeText() const { return Is3D() ? QStringLiteral("3D") : QStringLiteral("2D"); }

  // ---- switches ----------------------------------------------------------------
  void SetDrawDirectionsMode(bool on);
  bool DrawDirectionsMode() const { return marks_; }
  void SetInfoMode(bool on);
  bool InfoMode() const { return info_; }

  // ---- drawing -----------------------------------------------------------------
  // Redraws everything for the current state and returns the text for
  // status panel 2 (also sent through doc.ui().SetStatus2). Does nothing
  // and returns an empty text while doc.Busy is set or without a document.
  QString DrawGeometry();
  // The document's geometry (Regions, toolpaths, the STL model or its
  // passes) has changed: rebuild the pictures at the next redraw.
  void InvalidateGeometry();
  // The last picture drawn, the size of the widget.
  const QImage& Frame() const { return frame_; }
  // The add-text window's preview box, drawn over the picture (so that the
  // old one is gone with the next paint); `shown` false takes it away.
  void SetTextPreview(bool shown, tarnak::Box box);
  const std::optional<Box>& TextPreview() const { return textPreview_; }

  // ---- the NC picture --------------------------------------------------------
  // While the NC editor pane is shown the view draws the loaded program's
  // moves (doc.NCMoves) First..Last, rapids dashed, cuts solid, arcs as
  // arcs, drill plunges and tool changes marked; zoom to all then fits
  // the program's extents (doc.NCExtents). After a new program was read,
  // call InvalidateGeometry.
  void SetNCShown(bool shown);
  bool NCShown() const { return ncShown_; }
  // The moves drawn, as move list indices (First > Last: none).
  void SetNCRange(int first, int last);
  int NCFirst() const { return ncFirst_; }
  int NCLast() const { return ncLast_; }
  // Moves in the last NC picture drawn (0 while it is not shown).
  long long NCMovesDrawn() const { return ncShown_ && nc_.Valid ? nc_.Moves : 0; }

  // ---- coordinates ---------------------------------------------------------------
  // Widget pixel of a drawing point (z = -depth).
  QPointF DrawingToScreen(double x, double y, double z = 0.0) const;
  // Drawing point under a widget pixel (on z = 0 in the oblique view).
  Point2 ScreenToDrawing(QPointF pixel) const;
  // The box in drawing units covered by a widget rectangle, corners in any
  // order.
  Box ScreenRectToDrawing(const QRectF& rect) const;
  // "X, Y" with each coordinate as "%5.4f" in the current decimal separator.
  static QString PositionText(Point2 p);

 signals:
  void MouseDown(tarnak::Point2 point, Qt::MouseButton button);
  void MouseUp(tarnak::Point2 point, Qt::MouseButton button);
  // The rubber band: MinX, MinY, MaxY, MaxX in drawing units.
  void WindowPicked(tarnak::Box window);
  void MouseMoved(tarnak::Point2 point);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void enterEvent(QEnterEvent* event) override;

 private:
  bool Busy() const { return doc_ != nullptr && doc_->Busy; }
  // Fits a window of the view plane; false when the widget leaves no room.
  bool FitPlane(const ViewWindow& plane, int marginX, int marginY);
  ViewWindow ProjectBox(const Box& box, double minZ, double maxZ) const;
  void SavePrevious();
  void WindowChanged();  // the picture no longer matches: redraw at the next paint
  void UpdatePickTolerance();
  QTransform PlaneToScreen() const;
  QPointF PlaneToPixel(QPointF uv) const;
  QPointF PixelToPlane(QPointF pixel) const;
  bool WindowModeActive() const;
  // Saves the previous window once per navigation gesture (a drag, or wheel
  // steps that follow each other closely).
  void SaveBeforeGesture();
  // Window of the same scale whose plane point `uv` lies under `pixel`.
  void CentreSoThat(QPointF uv, QPointF pixel);
  void ShowNavigationCursor();
  void DrawDrillMarks(QPainter& p);
  void EnsureNCPicture();
  void DrawNCPicture(QPainter& p);

  // Rebuilds the paths when the document's geometry has changed.
  void EnsureScene();
  void RenderFrame();
  void DrawRegions(QPainter& p, bool selectedOnly);
  void DrawToolpaths(QPainter& p);
  void DrawMotionGroups(QPainter& p, const std::vector<LinkGroup>& links,
                        const std::vector<ToolpathGroup>& feeds);
  void DrawMarks(QPainter& p);
  void DrawOverlay(QPainter& p);
  QString StatusText() const;

  Document* doc_ = nullptr;
  std::optional<Box> textPreview_;
  ViewProjection projection_;
  ViewWindow window_;
  ViewWindow previous_;
  double scale_ = 0.0;
  double previousScale_ = 0.0;
  // The oblique view's angles that go with the previous window.
  double previousTurn_ = ViewProjection::kAngle3DTurn;
  double previousTilt_ = ViewProjection::kAngle3DTilt;
  // A fit that could not be done yet because the view was too small.
  bool fitPending_ = true;
  ViewWindow pendingPlane_;
  int pendingMarginX_ = 0;
  int pendingMarginY_ = 0;
  // The last Fit, kept fitted through resizes until the user navigates.
  bool followFit_ = false;
  ViewWindow followPlane_;
  int followMarginX_ = 0;
  int followMarginY_ = 0;

  bool marks_ = false;
  bool info_ = false;

  bool ncShown_ = false;
  int ncFirst_ = 1;
  int ncLast_ = 0;
  // The picture is made again when the program changes (InvalidateGeometry
  // or another move count) or the range does.
  bool ncMovesValid_ = false;
  std::size_t ncMoveCount_ = 0;
  NCPicture nc_;

  ViewScene scene_;
  // The STL model's picture, kept per view transform (stl_picture.h).
  StlPicture stl_;
  QString stlStatus_;
  bool sceneInvalid_ = true;
  QImage frame_;
  bool frameDirty_ = true;
  Colour back_ = kColourWhite;

  // Mouse drag.
  bool pressed_ = false;
  Qt::MouseButton pressButton_ = Qt::NoButton;
  QPointF pressAt_;
  QPointF dragAt_;
  bool bandShown_ = false;
  // What the drag in progress does: a pick (the program's own mouse), or
  // moving the picture about.
  enum class Drag { Pick, Pan, Turn };
  Drag drag_ = Drag::Pick;
  QPointF lastAt_;      // pan and turn: where the last move ended
  bool spaceDown_ = false;
  bool gestureSaved_ = false;
  qint64 lastWheelMs_ = -1;
};

}  // namespace tarnak::gui
