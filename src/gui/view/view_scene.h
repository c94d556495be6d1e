// What the drawing view keeps between paints: the projection from drawing
// space onto the view plane, and the document's geometry turned into
// painter paths in drawing units.
//
// The paths are built once per change of the document (a drawing of
// 100,000 Elements takes a noticeable moment to turn into paths) and only
// transformed when painted, so zooming, panning and repainting never walk
// the Element lists again. Paths are grouped by what decides their pen and
// their height: a Region group per selection state and depth, a toolpath
// group per colour and depth. Inside a group every point lies at the same
// height, so one affine transform per group maps it to the screen in both
// the top and the oblique view.
#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QTransform>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "geometry/geometry.h"
#include "shell/document.h"
#include "base/options.h"
#include "toolpaths/motion_list.h"

namespace tarnak::gui {

// ---- projection ------------------------------------------------------------

// The fixed viewing direction. Drawing space is (x, y, z) with z up (a depth
// d lies at z = -d); the view plane is (u, v) with v up. The top view is
// the plain (x, y); the oblique view turns the drawing by 30 degrees about
// z and tilts it by 45 degrees, so heights show as vertical offsets.
class ViewProjection {
 public:
  void Set2D();
  void Set3D();
  // The oblique view turned by the user: `turn` degrees about z, `tilt`
  // degrees from the plane (kept within kMinTilt..90 so that a screen point
  // still meets the plane z = 0).
  void Set3D(double turn, double tilt);
  bool Is3D() const { return is3D_; }
  double Turn() const { return turn_; }
  double Tilt() const { return tilt_; }

  // The view-plane point of a drawing point.
  QPointF Project(double x, double y, double z) const;
  // The drawing point on the plane z = 0 that projects to uv.
  Point2 Unproject(QPointF uv) const;
  // (x, y) at height z onto the view plane, as an affine transform.
  QTransform PlaneAt(double z) const;

  static constexpr double kAngle2DTurn = 0.0;   // degrees
  static constexpr double kAngle2DTilt = 90.0;
  static constexpr double kAngle3DTurn = 30.0;
  static constexpr double kAngle3DTilt = 45.0;
  static constexpr double kMinTilt = 10.0;

 private:
  bool is3D_ = false;
  double turn_ = kAngle2DTurn;
  double tilt_ = kAngle2DTilt;
  // cos and sin of the turn about z and of the tilt; exactly (1, 0, 1, 0)
  // in the top view so that heights never leak into it through rounding.
  double ct_ = 1.0, st_ = 0.0, sp_ = 1.0, cp_ = 0.0;
};

// An Element with no infinite or undefined coordinate; others are skipped.
bool IsFiniteElement(const TTNEntity& e);
// The height a depth is drawn at (a depth that is not a number: 0).
double HeightOfDepth(double depth);

// ---- cached geometry -------------------------------------------------------

// How a Region is coloured.
enum class RegionPen : int {
  UnselectedClosed = 0,  // "UnClosed"
  UnselectedOpen = 1,    // "UnOpen"
  Boundary = 2,          // "Closed": selected, closed, Owner 0
  Island = 3,            // "Island": selected, closed, Owner set
  SelectedOpen = 4,      // "Open"
};
RegionPen RegionPenOf(const TTNRegion& r);
bool IsSelectedPen(RegionPen pen);
Colour PenColour(RegionPen pen, const TTNViewOptions& view);

// A straight move in drawing space, used for the links between toolpaths
// (rises, traverses and plunges need their own heights at each end).
struct Segment3 {
  double X1, Y1, Z1, X2, Y2, Z2;
};

struct RegionGroup {
  RegionPen Pen = RegionPen::UnselectedClosed;
  double Z = 0.0;
  QPainterPath Path;  // drawing units
};

struct ToolpathGroup {
  Colour ToolColour = 0;
  double Z = 0.0;
  QPainterPath Path;  // the cutting moves, drawing units
};

struct LinkGroup {
  Colour ToolColour = 0;
  bool Rapid = false;  // dashed when set
  std::vector<Segment3> Moves;
};

struct ViewScene {
  std::uint64_t Fingerprint = 0;
  bool Valid = false;
  // Unselected pens first, so that a selected Region sharing an outline
  // with an unselected one shows its selection.
  std::vector<RegionGroup> Regions;
  std::vector<ToolpathGroup> Feeds;
  std::vector<LinkGroup> Links;
  long long AllElements = 0;       // Elements of every Region
  long long SelectedElements = 0;  // Elements of the selected Regions
  long long ToolpathMoves = 0;     // moves of the toolpaths themselves (with lead moves)
  // Height range of everything held, for fitting the oblique view.
  double MinZ = 0.0;
  double MaxZ = 0.0;
};

// A digest of everything the scene is built from; a change of any Region's
// Elements, depth or selection state, or of any toolpath, changes it.
std::uint64_t SceneFingerprint(const Document& doc);

// Rebuilds the scene from the document.
void BuildScene(const Document& doc, ViewScene& scene);

// Appends one Element to a path in drawing units.
void AppendElement(QPainterPath& path, const TTNEntity& e);

// Appends one motion of the motion list (a line or an arc) to a path in
// drawing units.
void AppendMotion(QPainterPath& path, const Motion& m);

// The segments a link motion (a rise, traverse, plunge, feed across or a
// drilling cycle) is drawn with: rapids dashed, feeds solid.
void LinkSegments(const Motion& m, std::vector<Segment3>& rapids, std::vector<Segment3>& feeds);

// The link moves of one toolpath from (cur, curZ), as the motion list makes
// them: rapid moves go to `rapids`, feed moves (plunges, feeds across at
// depth, drilling) to `feeds`; cur and curZ become the point where the
// toolpath's own moves start (for a drilled hole: above the hole).
void ToolpathLinkMoves(const TTNOutRegion& t, Point2& cur, double& curZ,
                       std::vector<Segment3>& rapids, std::vector<Segment3>& feeds);

// ---- the picture of a loaded NC program -----------------------------------

// Colours of the NC picture (0x00BBGGRR), one per kind of move, so that a
// rapid, a cut, an arc and a drilled hole are told apart at a glance.
inline constexpr Colour kNCFeedColour = 0xC00000;      // straight cuts: blue
inline constexpr Colour kNCArcColour = 0x008000;       // arcs: green
inline constexpr Colour kNCRapidColour = 0x0000D0;     // rapids: red, dashed
inline constexpr Colour kNCDrillColour = 0xC000C0;     // drill plunges and their marks
inline constexpr Colour kNCToolChangeColour = 0x0080FF;  // tool-change marks: orange

// A point the NC picture marks with a small symbol of constant screen size.
struct NCMark {
  double X = 0.0, Y = 0.0, Z = 0.0;
};

// The moves First..Last of an NC program's motion list, grouped as the
// toolpaths are: cuts at one height as painter paths per colour and
// height, everything that changes height (rapids dashed, plunges and
// ramps solid) as segments.
struct NCPicture {
  bool Valid = false;
  int First = 1;
  int Last = 0;
  std::vector<ToolpathGroup> Feeds;
  std::vector<LinkGroup> Links;
  std::vector<NCMark> DrillMarks;  // the bottom of each drill plunge
  std::vector<NCMark> ToolMarks;   // where each tool change happens
  long long Moves = 0;             // moves drawn (tool changes included)
  double MinZ = 0.0;
  double MaxZ = 0.0;
};

// Builds the picture of moves first..last of a move list (slot 0 empty),
// through NCMovesToMotions, with the toolpath drawing's own helpers.
void BuildNCPicture(const TTNEdEntityArray& moves, int first, int last, NCPicture& picture);

// Start and end of a toolpath, as the links take them.
using tarnak::ToolpathEndPoint;
using tarnak::ToolpathStartPoint;

// The direction mark of one Element: its middle point and the direction
// pointing back along it (radians), for the two strokes at +-45 degrees.
struct DirectionMark {
  Point2 Middle;
  double Back = 0.0;
};
DirectionMark ElementDirectionMark(const TTNEntity& e);

// The information overlay's label of Region `index`: the index; "-" and
// the first selection work value when it is set; ", " and the depth
// ("%.3F") when it is not 0; the wall profile number and wall delta when a
// profile is set, as ", n, d" in the selected-Regions view and ",(n, d)"
// otherwise. Numbers use the current decimal separator.
std::string RegionLabel(const TTNRegion& r, std::size_t index, bool selectedView);

}  // namespace tarnak::gui
