#include "view/vector_display.h"

#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "geometry/primitives.h"
#include "selection/region_geometry.h"
#include "base/numbers.h"
#include "toolpaths/toolpath_model.h"

namespace tarnak::gui {

namespace {

// Zoom stops here: beyond it the picture's pixel coordinates lose meaning.
constexpr double kMinWindowSpan = 1e-6;
constexpr double kMaxWindowSpan = 1e12;
// A drag must span this many pixels in both directions to be a window.
constexpr int kDragPixels = 2;

QColor ToQColor(Colour c) { return QColor(QRgb(ColourToRgb(c & kColourMax))); }

QPen SolidPen(Colour c) {
  QPen pen(ToQColor(c), 0);
  pen.setCosmetic(true);
  return pen;
}

// The rapid-move line pattern 0xEAEAEAEA: each byte 11101010, read from the
// top bit, is three pixels on, then off, on, off, on, off.
QPen RapidPen(Colour c) {
  QPen pen = SolidPen(c);
  pen.setDashPattern({3.0, 1.0, 1.0, 1.0, 1.0, 1.0});
  return pen;
}

ViewWindow Normalised(const ViewWindow& w) {
  return {std::min(w.MinX, w.MaxX), std::max(w.MinX, w.MaxX), std::min(w.MinY, w.MaxY),
          std::max(w.MinY, w.MaxY)};
}

bool Finite(const ViewWindow& w) {
  return std::isfinite(w.MinX) && std::isfinite(w.MaxX) && std::isfinite(w.MinY) &&
         std::isfinite(w.MaxY);
}

}  // namespace

MouseButton CoreButton(Qt::MouseButton button) {
  switch (button) {
    case Qt::RightButton: return MouseButton::Right;
    case Qt::MiddleButton: return MouseButton::Middle;
    default: return MouseButton::Left;
  }
}

TVectorDisplay3D::TVectorDisplay3D(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  // Space + drag pans: the view must hear the Space key.
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::CrossCursor);
  setMinimumSize(1, 1);
  pendingPlane_ = window_;
  previous_ = window_;
}

TVectorDisplay3D::~TVectorDisplay3D() = default;

void TVectorDisplay3D::SetDocument(Document* doc) {
  doc_ = doc;
  sceneInvalid_ = true;
  UpdatePickTolerance();
  WindowChanged();
}

// ---- window and zoom ---------------------------------------------------------

QTransform TVectorDisplay3D::PlaneToScreen() const {
  const double cx = (window_.MinX + window_.MaxX) / 2.0;
  const double cy = (window_.MinY + window_.MaxY) / 2.0;
  const double w = width();
  const double h = height();
  return QTransform(scale_, 0.0, 0.0, -scale_, w / 2.0 - cx * scale_, h / 2.0 + cy * scale_);
}

QPointF TVectorDisplay3D::PlaneToPixel(QPointF uv) const {
  const double cx = (window_.MinX + window_.MaxX) / 2.0;
  const double cy = (window_.MinY + window_.MaxY) / 2.0;
  return {width() / 2.0 + (uv.x() - cx) * scale_, height() / 2.0 - (uv.y() - cy) * scale_};
}

QPointF TVectorDisplay3D::PixelToPlane(QPointF pixel) const {
  const double cx = (window_.MinX + window_.MaxX) / 2.0;
  const double cy = (window_.MinY + window_.MaxY) / 2.0;
  if (scale_ <= 0.0) return {cx, cy};
  return {cx + (pixel.x() - width() / 2.0) / scale_, cy - (pixel.y() - height() / 2.0) / scale_};
}

QPointF TVectorDisplay3D::DrawingToScreen(double x, double y, double z) const {
  return PlaneToPixel(projection_.Project(x, y, z));
}

Point2 TVectorDisplay3D::ScreenToDrawing(QPointF pixel) const {
  return projection_.Unproject(PixelToPlane(pixel));
}

Box TVectorDisplay3D::ScreenRectToDrawing(const QRectF& rect) const {
  const QRectF r = rect.normalized();
  const Point2 corners[4] = {ScreenToDrawing(r.topLeft()), ScreenToDrawing(r.topRight()),
                             ScreenToDrawing(r.bottomLeft()), ScreenToDrawing(r.bottomRight())};
  Box b = Box::FromMinMax(corners[0].X, corners[0].Y, corners[0].X, corners[0].Y);
  for (const Point2& c : corners) {
    b.MinX = std::min(b.MinX, c.X);
    b.MaxX = std::max(b.MaxX, c.X);
    b.MinY = std::min(b.MinY, c.Y);
    b.MaxY = std::max(b.MaxY, c.Y);
  }
  return b;
}

QString TVectorDisplay3D::PositionText(Point2 p) {
  return QString::fromStdString(FormatNumber("%5.4f", p.X) + ", " + FormatNumber("%5.4f", p.Y));
}

ViewWindow TVectorDisplay3D::ProjectBox(const Box& box, double minZ, double maxZ) const {
  const double xs[2] = {box.MinX, box.MaxX};
  const double ys[2] = {box.MinY, box.MaxY};
  const double zs[2] = {minZ, maxZ};
  ViewWindow w;
  bool first = true;
  for (double x : xs) {
    for (double y : ys) {
      for (double z : zs) {
        const QPointF uv = projection_.Project(x, y, z);
        if (first) {
          w = {uv.x(), uv.x(), uv.y(), uv.y()};
          first = false;
        }
        w.MinX = std::min(w.MinX, uv.x());
        w.MaxX = std::max(w.MaxX, uv.x());
        w.MinY = std::min(w.MinY, uv.y());
        w.MaxY = std::max(w.MaxY, uv.y());
      }
    }
  }
  return w;
}

bool TVectorDisplay3D::FitPlane(const ViewWindow& plane, int marginX, int marginY) {
  const ViewWindow b = Normalised(plane);
  if (!Finite(b)) return false;
  const double w = width();
  const double h = height();
  const double spanX = b.MaxX - b.MinX;
  const double spanY = b.MaxY - b.MinY;
  // An axis without extent cannot set a scale; it takes 1.
  const double sx = spanX > 0.0 ? (w - 2.0 * marginX) / spanX : 1.0;
  const double sy = spanY > 0.0 ? (h - 2.0 * marginY) / spanY : 1.0;
  const double s = std::min(sx, sy);
  if (!(sx > 0.0 && sy > 0.0) || !std::isfinite(s)) {
    // Not laid out yet, or smaller than its margins: fit once it has room.
    fitPending_ = true;
    pendingPlane_ = b;
    pendingMarginX_ = marginX;
    pendingMarginY_ = marginY;
    window_ = b;
    WindowChanged();
    return false;
  }
  fitPending_ = false;
  const double cx = (b.MinX + b.MaxX) / 2.0;
  const double cy = (b.MinY + b.MaxY) / 2.0;
  scale_ = s;
  window_ = {cx - w / (2.0 * s), cx + w / (2.0 * s), cy - h / (2.0 * s), cy + h / (2.0 * s)};
  UpdatePickTolerance();
  WindowChanged();
  return true;
}

void TVectorDisplay3D::Fit(const Box& box, int marginX, int marginY, double minZ, double maxZ) {
  const ViewWindow plane = ProjectBox(box, minZ, maxZ);
  FitPlane(plane, marginX, marginY);
  // Until the user moves the picture, a resize keeps the box fitted: the
  // window settles on its size in steps when it is first shown.
  followFit_ = true;
  followPlane_ = plane;
  followMarginX_ = marginX;
  followMarginY_ = marginY;
}

void TVectorDisplay3D::SavePrevious() {
  previous_ = window_;
  previousScale_ = scale_;
  previousTurn_ = projection_.Is3D() ? projection_.Turn() : ViewProjection::kAngle3DTurn;
  previousTilt_ = projection_.Is3D() ? projection_.Tilt() : ViewProjection::kAngle3DTilt;
  gestureSaved_ = false;
}

void TVectorDisplay3D::SaveBeforeGesture() {
  if (gestureSaved_) return;
  SavePrevious();
  gestureSaved_ = true;
}

void TVectorDisplay3D::CentreSoThat(QPointF uv, QPointF pixel) {
  if (!(scale_ > 0.0)) return;
  const double cx = uv.x() - (pixel.x() - width() / 2.0) / scale_;
  const double cy = uv.y() + (pixel.y() - height() / 2.0) / scale_;
  const double hw = width() / (2.0 * scale_);
  const double hh = height() / (2.0 * scale_);
  const ViewWindow next{cx - hw, cx + hw, cy - hh, cy + hh};
  if (!Finite(next)) return;
  window_ = next;
}

void TVectorDisplay3D::ZoomAbout(QPointF pixel, double factor) {
  followFit_ = false;
  if (!(scale_ > 0.0) || !(factor > 0.0) || !std::isfinite(factor) || fitPending_) return;
  const double next = scale_ * factor;
  const double spanX = width() / next;
  const double spanY = height() / next;
  if (!(spanX >= kMinWindowSpan && spanY >= kMinWindowSpan) || spanX > kMaxWindowSpan ||
      spanY > kMaxWindowSpan)
    return;  // as far as it goes
  const QPointF uv = PixelToPlane(pixel);
  SaveBeforeGesture();
  scale_ = next;
  CentreSoThat(uv, pixel);
  UpdatePickTolerance();
  WindowChanged();
  DrawGeometry();
}

void TVectorDisplay3D::PanBy(QPointF pixels) {
  followFit_ = false;
  if (!(scale_ > 0.0) || fitPending_) return;
  const QPointF centre(width() / 2.0, height() / 2.0);
  // The plane point now at the centre is to show `pixels` further on.
  CentreSoThat(PixelToPlane(centre), centre + pixels);
  WindowChanged();
  DrawGeometry();
}

void TVectorDisplay3D::TurnBy(double turn, double tilt) {
  followFit_ = false;
  if (!Is3D() || doc_ == nullptr || !(scale_ > 0.0) || fitPending_) return;
  const DrawingExtentsRec& e = doc_->DrawingExtents;
  const double x = (e.MinX + e.MaxX) / 2.0;
  const double y = (e.MinY + e.MaxY) / 2.0;
  double z = 0.0;
  if (doc_->StlMode) {
    z = (e.MinZ + e.MaxZ) / 2.0;
  } else if (scene_.Valid) {
    z = (scene_.MinZ + scene_.MaxZ) / 2.0;
  }
  const QPointF pixel = DrawingToScreen(x, y, z);
  projection_.Set3D(projection_.Turn() + turn, projection_.Tilt() + tilt);
  CentreSoThat(projection_.Project(x, y, z), pixel);
  WindowChanged();
  DrawGeometry();
}

void TVectorDisplay3D::ZoomBy(double f) {
  followFit_ = false;
  const ViewWindow& c = window_;
  const double dx = (c.MaxX - c.MinX) * f;
  const double dy = (c.MaxY - c.MinY) * f;
  const ViewWindow next{c.MinX + dx, c.MaxX - dx, c.MinY + dy, c.MaxY - dy};
  const double spanX = next.MaxX - next.MinX;
  const double spanY = next.MaxY - next.MinY;
  if (!(spanX >= kMinWindowSpan && spanY >= kMinWindowSpan) || spanX > kMaxWindowSpan ||
      spanY > kMaxWindowSpan)
    return;  // as far as it goes
  SavePrevious();
  FitPlane(next, 0, 0);
  DrawGeometry();
}

void TVectorDisplay3D::ZoomPrevious() {
  if (previousScale_ <= 0.0) return;  // nothing to go back to
  followFit_ = false;
  gestureSaved_ = false;
  std::swap(window_, previous_);
  std::swap(scale_, previousScale_);
  if (projection_.Is3D()) {
    // A turned view goes back to the angles it had, too.
    const double turn = projection_.Turn();
    const double tilt = projection_.Tilt();
    projection_.Set3D(previousTurn_, previousTilt_);
    previousTurn_ = turn;
    previousTilt_ = tilt;
  }
  if (scale_ > 0.0) fitPending_ = false;
  UpdatePickTolerance();
  WindowChanged();
  DrawGeometry();
}

void TVectorDisplay3D::ZoomWindow() {
  if (doc_ == nullptr) return;
  doc_->PickMode = kPickZoomWindow;
  doc_->ui().SetStatus("Click and Drag Selection Window");
}

void TVectorDisplay3D::ZoomToScreenRect(const QRectF& rect) {
  followFit_ = false;
  const QRectF r = rect.normalized();
  const QPointF a = PixelToPlane(r.topLeft());
  const QPointF b = PixelToPlane(r.bottomRight());
  const ViewWindow plane = Normalised({a.x(), b.x(), a.y(), b.y()});
  if (plane.MaxX - plane.MinX < kMinWindowSpan || plane.MaxY - plane.MinY < kMinWindowSpan)
    return;
  SavePrevious();
  FitPlane(plane, 0, 0);
  DrawGeometry();
}

void TVectorDisplay3D::ZoomAll() {
  if (doc_ == nullptr) return;
  if (ncShown_ && !doc_->NCExtents.Empty) {
    // The program, not the drawing beside it, is what the user looks at.
    const NCExtentsRec& n = doc_->NCExtents;
    SavePrevious();
    Fit(Box::FromMinMax(n.MinX, n.MinY, n.MaxX, n.MaxY), kZoomMargin, kZoomMargin,
        Is3D() ? n.MinZ : 0.0, Is3D() ? n.MaxZ : 0.0);
    DrawGeometry();
    return;
  }
  const DrawingExtentsRec& e = doc_->DrawingExtents;
  double minZ = 0.0;
  double maxZ = 0.0;
  if (Is3D()) {
    if (doc_->StlMode) {
      minZ = e.MinZ;
      maxZ = e.MaxZ;
    } else if (!Busy()) {
      EnsureScene();
      minZ = scene_.MinZ;
      maxZ = scene_.MaxZ;
    }
  }
  SavePrevious();
  Fit(Box::FromMinMax(e.MinX, e.MinY, e.MaxX, e.MaxY), kZoomMargin, kZoomMargin, minZ, maxZ);
  DrawGeometry();
}

bool TVectorDisplay3D::ZoomSelected() {
  if (doc_ == nullptr) return false;
  bool any = false;
  Box box;
  double minZ = 0.0;
  for (std::size_t i = 1; i < doc_->Regions.size(); ++i) {
    const TTNRegion& r = doc_->Regions[i];
    if (r.Selected == 0 || r.Elements.empty()) continue;
    if (!any) {
      box = r.Bounds();
      any = true;
    } else {
      box.MinX = std::min(box.MinX, r.MinX);
      box.MinY = std::min(box.MinY, r.MinY);
      box.MaxY = std::max(box.MaxY, r.MaxY);
      box.MaxX = std::max(box.MaxX, r.MaxX);
    }
    minZ = std::min(minZ, HeightOfDepth(r.Depth));
  }
  if (!any) return false;
  SavePrevious();
  Fit(box, kZoomMargin, kZoomMargin, Is3D() ? minZ : 0.0, 0.0);
  DrawGeometry();
  return true;
}

void TVectorDisplay3D::Set2D() {
  projection_.Set2D();
  WindowChanged();
}

void TVectorDisplay3D::Set3D() {
  projection_.Set3D();
  WindowChanged();
}

void TVectorDisplay3D::SetDrawDirectionsMode(bool on) {
  marks_ = on;
  WindowChanged();
}

void TVectorDisplay3D::SetInfoMode(bool on) {
  info_ = on;
  WindowChanged();
}

void TVectorDisplay3D::UpdatePickTolerance() {
  if (doc_ != nullptr && scale_ != 0.0) doc_->PickTolerance = kPickPixels / scale_;
}

void TVectorDisplay3D::WindowChanged() {
  frameDirty_ = true;
  update();
}

void TVectorDisplay3D::SetNCShown(bool shown) {
  ncShown_ = shown;
  WindowChanged();
}

void TVectorDisplay3D::SetNCRange(int first, int last) {
  ncFirst_ = first;
  ncLast_ = last;
  WindowChanged();
}

void TVectorDisplay3D::EnsureNCPicture() {
  if (!ncMovesValid_ || ncMoveCount_ != doc_->NCMoves.size()) {
    ncMoveCount_ = doc_->NCMoves.size();
    ncMovesValid_ = true;
    nc_.Valid = false;
  }
  if (!nc_.Valid || nc_.First != ncFirst_ || nc_.Last != ncLast_)
    BuildNCPicture(doc_->NCMoves, ncFirst_, ncLast_, nc_);
}

void TVectorDisplay3D::InvalidateGeometry() {
  ncMovesValid_ = false;
  sceneInvalid_ = true;
  stl_.Invalidate();
  WindowChanged();
}

void TVectorDisplay3D::EnsureScene() {
  if (sceneInvalid_ || !scene_.Valid || SceneFingerprint(*doc_) != scene_.Fingerprint) {
    BuildScene(*doc_, scene_);
    sceneInvalid_ = false;
  }
}

// ---- drawing -------------------------------------------------------------------

QString TVectorDisplay3D::DrawGeometry() {
  if (doc_ == nullptr || doc_->Busy) return {};
  RenderFrame();
  update();
  const QString text = StatusText();
  doc_->ui().SetStatus2(text.toStdString());
  return text;
}

QString TVectorDisplay3D::StatusText() const {
  if (doc_ != nullptr && doc_->StlMode) return stlStatus_;
  if (doc_ == nullptr || !scene_.Valid) return {};
  switch (doc_->ViewMode) {
    case 1: return QStringLiteral("Select ") + QString::number(scene_.SelectedElements);
    case 3: return QStringLiteral("Tool ") + QString::number(scene_.ToolpathMoves);
    default: return QStringLiteral("All ") + QString::number(scene_.AllElements);
  }
}

void TVectorDisplay3D::RenderFrame() {
  // A hidden view hears of its size only when shown; fit when there is room.
  if (fitPending_) FitPlane(pendingPlane_, pendingMarginX_, pendingMarginY_);
  frameDirty_ = false;
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (QSizeF(size()) * ratio).toSize();
  if (frame_.size() != pixels) frame_ = QImage(pixels, QImage::Format_RGB32);
  frame_.setDevicePixelRatio(ratio);
  back_ = doc_ != nullptr ? doc_->Options.View.Back : kColourWhite;
  if (frame_.isNull()) return;
  frame_.fill(ToQColor(back_));
  if (doc_ == nullptr) return;

  EnsureScene();
  UpdatePickTolerance();
  if (doc_->StlMode) {
    stlStatus_.clear();
    if (scale_ > 0.0) stlStatus_ = stl_.Draw(frame_, *doc_, projection_, PlaneToScreen());
    if (ncShown_ && scale_ > 0.0) {
      QPainter p(&frame_);
      DrawNCPicture(p);
    }
    return;
  }
  if (scale_ <= 0.0) return;

  QPainter p(&frame_);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setBrush(Qt::NoBrush);
  if (ncShown_) DrawNCPicture(p);
  switch (doc_->ViewMode) {
    case 1:
      DrawRegions(p, true);
      break;
    case 3:
      if (doc_->Options.View.DrawBoundaries) DrawRegions(p, false);
      DrawToolpaths(p);
      DrawDrillMarks(p);
      break;
    default:
      DrawRegions(p, false);
      break;
  }
  if (marks_) DrawMarks(p);
  if (info_) DrawOverlay(p);
}

void TVectorDisplay3D::DrawRegions(QPainter& p, bool selectedOnly) {
  const QTransform screen = PlaneToScreen();
  const TTNViewOptions& view = doc_->Options.View;
  for (const RegionGroup& g : scene_.Regions) {
    if (selectedOnly && !IsSelectedPen(g.Pen)) continue;
    p.setTransform(projection_.PlaneAt(g.Z) * screen);
    p.setPen(SolidPen(PenColour(g.Pen, view)));
    p.drawPath(g.Path);
  }
  p.resetTransform();
}

// Links and rapids as lines (rapids dashed), feeds as one path per height;
// the toolpaths' picture and an NC program's are drawn alike.
void TVectorDisplay3D::DrawMotionGroups(QPainter& p, const std::vector<LinkGroup>& links,
                                        const std::vector<ToolpathGroup>& feeds) {
  std::vector<QLineF> lines;
  for (const LinkGroup& g : links) {
    lines.clear();
    lines.reserve(g.Moves.size());
    for (const Segment3& s : g.Moves) {
      const QPointF a = DrawingToScreen(s.X1, s.Y1, s.Z1);
      const QPointF b = DrawingToScreen(s.X2, s.Y2, s.Z2);
      if (a == b) continue;  // straight up or down in the top view
      lines.emplace_back(a, b);
    }
    p.setPen(g.Rapid ? RapidPen(g.ToolColour) : SolidPen(g.ToolColour));
    p.drawLines(lines.data(), static_cast<int>(lines.size()));
  }
  const QTransform screen = PlaneToScreen();
  for (const ToolpathGroup& g : feeds) {
    p.setTransform(projection_.PlaneAt(g.Z) * screen);
    p.setPen(SolidPen(g.ToolColour));
    p.drawPath(g.Path);
  }
  p.resetTransform();
}

void TVectorDisplay3D::DrawToolpaths(QPainter& p) { DrawMotionGroups(p, scene_.Links, scene_.Feeds); }

void TVectorDisplay3D::DrawDrillMarks(QPainter& p) {
  // A drilled hole is a single point of the path; without a mark it would
  // show only as the end of its rapid moves. A circle with a cross at the
  // hole's bottom, the same size on the screen at every zoom, in the
  // toolpath's colour.
  constexpr double kRadius = 5.0;
  constexpr double kArm = 8.0;
  std::map<Colour, QPainterPath> marks;
  const QRectF visible = QRectF(rect()).adjusted(-kArm, -kArm, kArm, kArm);
  for (std::size_t i = 1; i < doc_->Toolpaths.size(); ++i) {
    const TTNOutRegion& t = doc_->Toolpaths[i];
    if (t.Elements.empty() || (t.LinkKind != kLinkDrillLinear && t.LinkKind != kLinkDrillCanned))
      continue;
    if (!IsFiniteElement(t.Elements.front())) continue;
    const Point2 hole = ElementStart(t.Elements.front());
    const QPointF at = DrawingToScreen(hole.X, hole.Y, HeightOfDepth(t.Depth));
    if (!visible.contains(at)) continue;
    // A drilling record carries no colour of its own (0); its mark then
    // takes the rough toolpath colour, drilling being done with the rough
    // tool, so that it does not pass for an unselected outline.
    const Colour own = static_cast<Colour>(t.Colour) & kColourMax;
    QPainterPath& path = marks[own != 0 ? own : (doc_->Options.View.RTool & kColourMax)];
    path.addEllipse(at, kRadius, kRadius);
    path.moveTo(at.x() - kArm, at.y());
    path.lineTo(at.x() + kArm, at.y());
    path.moveTo(at.x(), at.y() - kArm);
    path.lineTo(at.x(), at.y() + kArm);
  }
  for (const auto& [colour, path] : marks) {
    p.setPen(SolidPen(colour));
    p.drawPath(path);
  }
}

void TVectorDisplay3D::DrawNCPicture(QPainter& p) {
  EnsureNCPicture();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setBrush(Qt::NoBrush);
  DrawMotionGroups(p, nc_.Links, nc_.Feeds);
  // Marks of a fixed size on the screen: a drilled hole as a circle with
  // a cross at its bottom, a tool change as a square.
  constexpr double kRadius = 5.0;
  constexpr double kArm = 8.0;
  const QRectF visible = QRectF(rect()).adjusted(-kArm, -kArm, kArm, kArm);
  QPainterPath drills;
  for (const NCMark& m : nc_.DrillMarks) {
    const QPointF at = DrawingToScreen(m.X, m.Y, m.Z);
    if (!visible.contains(at)) continue;
    drills.addEllipse(at, kRadius, kRadius);
    drills.moveTo(at.x() - kArm, at.y());
    drills.lineTo(at.x() + kArm, at.y());
    drills.moveTo(at.x(), at.y() - kArm);
    drills.lineTo(at.x(), at.y() + kArm);
  }
  p.setPen(SolidPen(kNCDrillColour));
  p.drawPath(drills);
  QPainterPath tools;
  for (const NCMark& m : nc_.ToolMarks) {
    const QPointF at = DrawingToScreen(m.X, m.Y, m.Z);
    if (!visible.contains(at)) continue;
    tools.addRect(QRectF(at.x() - kRadius, at.y() - kRadius, 2 * kRadius, 2 * kRadius));
  }
  p.setPen(SolidPen(kNCToolChangeColour));
  p.drawPath(tools);
}

void TVectorDisplay3D::DrawMarks(QPainter& p) {
  const double length = scale_ > 0.0 ? kPickPixels / scale_ : 0.0;
  const bool every = doc_->Options.View.MarkDirs;
  // One path per colour: the painter strokes one path of many short pieces
  // somewhat faster than the same pieces as separate lines.
  std::map<Colour, QPainterPath> strokes;
  auto mark = [&](const TTNEntity& e, double z, QPainterPath& out) {
    if (!IsFiniteElement(e)) return;
    const DirectionMark m = ElementDirectionMark(e);
    const QPointF at = DrawingToScreen(m.Middle.X, m.Middle.Y, z);
    const double a1 = m.Back + kPi / 4.0;
    const double a2 = m.Back - kPi / 4.0;
    out.moveTo(DrawingToScreen(m.Middle.X + length * std::cos(a1),
                               m.Middle.Y + length * std::sin(a1), z));
    out.lineTo(at);
    out.lineTo(DrawingToScreen(m.Middle.X + length * std::cos(a2),
                               m.Middle.Y + length * std::sin(a2), z));
  };

  if (doc_->ViewMode == 3) {
    for (std::size_t i = 1; i < doc_->Toolpaths.size(); ++i) {
      const TTNOutRegion& t = doc_->Toolpaths[i];
      if (t.Elements.empty() || !LinkCutsPath(t.LinkKind)) continue;  // a hole has no direction
      QPainterPath& out = strokes[static_cast<Colour>(t.Colour) & kColourMax];
      const double z = HeightOfDepth(t.Depth);
      const std::size_t n = every ? t.Elements.size() : 1;
      for (std::size_t k = 0; k < n; ++k) mark(t.Elements[k], z, out);
    }
  } else {
    const bool selectedOnly = doc_->ViewMode == 1;
    const TTNViewOptions& view = doc_->Options.View;
    for (std::size_t i = 1; i < doc_->Regions.size(); ++i) {
      const TTNRegion& r = doc_->Regions[i];
      if (r.Elements.empty()) continue;
      const RegionPen pen = RegionPenOf(r);
      if (selectedOnly && !IsSelectedPen(pen)) continue;
      QPainterPath& out = strokes[PenColour(pen, view)];
      const double z = HeightOfDepth(r.Depth);
      const std::size_t n = every ? r.Elements.size() : 1;
      for (std::size_t k = 0; k < n; ++k) mark(r.Elements[k], z, out);
    }
  }
  for (const auto& [colour, path] : strokes) {
    p.setPen(SolidPen(colour));
    p.drawPath(path);
  }
}

void TVectorDisplay3D::DrawOverlay(QPainter& p) {
  p.setFont(font());
  const QFontMetricsF metrics(font());
  p.setBackgroundMode(Qt::OpaqueMode);
  p.setBackground(ToQColor(back_));
  p.setPen(ToQColor(~back_ & kColourMax));
  // Labels whose corner lies well off the picture cannot show.
  const QRectF visible = QRectF(rect()).adjusted(-400.0, -2.0 * metrics.height(), 0.0, 0.0);
  auto label = [&](const TTNEntity& first, double z, const std::string& text) {
    if (!IsFiniteElement(first)) return;
    const Point2 s = ElementStart(first);
    const QPointF at = DrawingToScreen(s.X, s.Y, z);
    if (!visible.contains(at)) return;
    p.drawText(at + QPointF(0.0, metrics.ascent()), QString::fromStdString(text));
  };

  if (doc_->ViewMode == 3) {
    for (std::size_t i = 1; i < doc_->Toolpaths.size(); ++i) {
      const TTNOutRegion& t = doc_->Toolpaths[i];
      if (t.Elements.empty()) continue;
      label(t.Elements.front(), HeightOfDepth(t.Depth), std::to_string(i));
    }
  } else {
    const bool selectedOnly = doc_->ViewMode == 1;
    for (std::size_t i = 1; i < doc_->Regions.size(); ++i) {
      const TTNRegion& r = doc_->Regions[i];
      if (r.Elements.empty() || (selectedOnly && r.Selected == 0)) continue;
      label(r.Elements.front(), HeightOfDepth(r.Depth), RegionLabel(r, i, selectedOnly));
    }
  }
  p.setBackgroundMode(Qt::TransparentMode);
}

void TVectorDisplay3D::paintEvent(QPaintEvent* event) {
  if (frameDirty_ && !Busy()) RenderFrame();
  QPainter p(this);
  const QRect area = event->rect();
  const qreal ratio = frame_.devicePixelRatio();
  if (frame_.isNull() || (QSizeF(frame_.size()) / ratio).toSize() != size())
    p.fillRect(area, ToQColor(back_));
  if (!frame_.isNull()) {
    const QRectF source(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio);
    p.drawImage(QRectF(area), frame_, source);
  }
  if (bandShown_) {
    QPen pen(ToQColor(~back_ & kColourMax), 0, Qt::DotLine);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(pressAt_, dragAt_).normalized());
  }
  if (textPreview_) {
    QPen pen(ToQColor(~back_ & kColourMax), 0, Qt::DashLine);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const Box& b = *textPreview_;
    // Four projected corners, so that the box lies on the drawing in the
    // oblique view too.
    const QPointF corners[4] = {DrawingToScreen(b.MinX, b.MinY), DrawingToScreen(b.MaxX, b.MinY),
                                DrawingToScreen(b.MaxX, b.MaxY), DrawingToScreen(b.MinX, b.MaxY)};
    p.drawPolygon(corners, 4);
  }
}

void TVectorDisplay3D::SetTextPreview(bool shown, tarnak::Box box) {
  if (shown) {
    textPreview_ = box;
  } else {
    textPreview_.reset();
  }
  update();
}

void TVectorDisplay3D::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (fitPending_) {
    FitPlane(pendingPlane_, pendingMarginX_, pendingMarginY_);
  } else if (followFit_) {
    FitPlane(followPlane_, followMarginX_, followMarginY_);
  } else if (scale_ > 0.0) {
    // Same centre and scale: the drawing stays put and the edges move.
    const double cx = (window_.MinX + window_.MaxX) / 2.0;
    const double cy = (window_.MinY + window_.MaxY) / 2.0;
    const double hw = width() / (2.0 * scale_);
    const double hh = height() / (2.0 * scale_);
    window_ = {cx - hw, cx + hw, cy - hh, cy + hh};
  }
  WindowChanged();
}

// ---- mouse -----------------------------------------------------------------------

bool TVectorDisplay3D::WindowModeActive() const {
  if (doc_ == nullptr) return false;
  const Pick mode = doc_->PickMode;
  return mode == kPickZoomWindow || mode == kPickSelectWindow || mode == kPickDeselectWindow;
}

void TVectorDisplay3D::ShowNavigationCursor() {
  if (pressed_ && drag_ != Drag::Pick)
    setCursor(Qt::ClosedHandCursor);
  else if (spaceDown_)
    setCursor(Qt::OpenHandCursor);
  else
    setCursor(Qt::CrossCursor);
}

void TVectorDisplay3D::mousePressEvent(QMouseEvent* event) {
  if (pressed_) return;  // a second button during a drag
  pressed_ = true;
  pressButton_ = event->button();
  pressAt_ = event->position();
  dragAt_ = pressAt_;
  lastAt_ = pressAt_;
  bandShown_ = false;
  drag_ = Drag::Pick;
  if (pressButton_ == Qt::MiddleButton || (pressButton_ == Qt::LeftButton && spaceDown_))
    drag_ = Drag::Pan;
  else if (pressButton_ == Qt::LeftButton && Is3D() &&
           (event->modifiers() & Qt::ShiftModifier) != 0)
    drag_ = Drag::Turn;
  if (drag_ != Drag::Pick) {
    // One drag, one step back for ZoomPrevious.
    gestureSaved_ = false;
    ShowNavigationCursor();
    return;
  }
  if (doc_ != nullptr && doc_->PickMode == kPickZoomWindow) return;
  emit MouseDown(ScreenToDrawing(pressAt_), pressButton_);
}

void TVectorDisplay3D::mouseMoveEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  if (pressed_) {
    dragAt_ = at;
    if (drag_ == Drag::Pan && at != lastAt_) {
      SaveBeforeGesture();
      PanBy(at - lastAt_);
    } else if (drag_ == Drag::Turn && at != lastAt_) {
      SaveBeforeGesture();
      const QPointF d = at - lastAt_;
      TurnBy(d.x() * kTurnPerPixel, -d.y() * kTurnPerPixel);
    } else if (pressButton_ == Qt::LeftButton && WindowModeActive()) {
      bandShown_ = true;
      update();
    }
    lastAt_ = at;
  }
  emit MouseMoved(ScreenToDrawing(at));
}

void TVectorDisplay3D::mouseReleaseEvent(QMouseEvent* event) {
  if (!pressed_ || event->button() != pressButton_) return;
  pressed_ = false;
  if (drag_ != Drag::Pick) {
    drag_ = Drag::Pick;
    ShowNavigationCursor();
    return;
  }
  if (bandShown_) {
    bandShown_ = false;
    update();
  }
  const QPointF at = event->position();
  const bool window = pressButton_ == Qt::LeftButton &&
                      std::abs(qRound(at.x()) - qRound(pressAt_.x())) >= kDragPixels &&
                      std::abs(qRound(at.y()) - qRound(pressAt_.y())) >= kDragPixels;
  if (doc_ != nullptr && doc_->PickMode == kPickZoomWindow) {
    if (pressButton_ != Qt::LeftButton) return;
    doc_->PickMode = kPickNone;
    doc_->ui().SetStatus("Ready...");
    if (window) ZoomToScreenRect(QRectF(pressAt_, at));
    return;
  }
  emit MouseUp(ScreenToDrawing(at), pressButton_);
  if (window) emit WindowPicked(ScreenRectToDrawing(QRectF(pressAt_, at)));
}

void TVectorDisplay3D::wheelEvent(QWheelEvent* event) {
  const QPoint delta = event->angleDelta();
  const int eighths = delta.y() != 0 ? delta.y() : delta.x();
  if (eighths == 0) {
    event->ignore();
    return;
  }
  event->accept();
  // Wheel steps in quick succession are one zoom for ZoomPrevious.
  const auto now = static_cast<qint64>(event->timestamp());
  if (lastWheelMs_ < 0 || now - lastWheelMs_ > 500 || now < lastWheelMs_) gestureSaved_ = false;
  lastWheelMs_ = now;
  ZoomAbout(event->position(), std::pow(kWheelStep, eighths / 120.0));
}

void TVectorDisplay3D::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space) {
    if (!event->isAutoRepeat()) {
      spaceDown_ = true;
      ShowNavigationCursor();
    }
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TVectorDisplay3D::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space) {
    if (!event->isAutoRepeat()) {
      spaceDown_ = false;
      ShowNavigationCursor();
    }
    event->accept();
    return;
  }
  QWidget::keyReleaseEvent(event);
}

void TVectorDisplay3D::enterEvent(QEnterEvent* event) {
  // Space is pressed before the drag starts, so the view must have the
  // keyboard while the mouse is over it (a tool button that kept the focus
  // would take the Space for a click).
  if (!hasFocus() && window()->isActiveWindow()) setFocus(Qt::MouseFocusReason);
  QWidget::enterEvent(event);
}

void TVectorDisplay3D::focusOutEvent(QFocusEvent* event) {
  // A Space released elsewhere is never heard here.
  spaceDown_ = false;
  ShowNavigationCursor();
  QWidget::focusOutEvent(event);
}

}  // namespace tarnak::gui
