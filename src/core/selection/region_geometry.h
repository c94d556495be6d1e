// Hit and containment tests behind the selection commands: which Region a
// click touches, where a Region lies, whether a point or a Region lies
// inside a closed Region, and the classification of a closed Region as a
// Boundary (material inside it is cut) or an Island (material inside it is
// left standing) from the Regions that enclose it.
//
// These are the plain, one-pair-at-a-time forms. The commands that test a
// whole drawing use the same rules through the indexes of region_index.h,
// which give identical answers.
#pragma once

#include "geometry/distance.h"
#include "geometry/extents.h"
#include "geometry/geometry.h"

namespace tarnak {

// What the probe point's distance along the first Element is divided by.
// Not 2: a probe in the middle of an Element lands too easily on a joint or
// on a symmetric neighbour.
inline constexpr double kProbeDivisor = 4.158;
// Fraction reported by RayHitFraction when the test segment meets nothing.
inline constexpr double kNoRayHit = 7.0;
// Pick radius in screen pixels.
inline constexpr double kPickPixels = 8.0;

// Index of the first Region (from 1, in index order) with an Element closer
// than `tolerance` to p (strictly); 0 when none. With `onlySelected` the
// unselected Regions are skipped.
int PickRegion(const TTNRegionArray& list, Point2 p, bool onlySelected, double tolerance);

// The point on a Region's first Element, 1/4.158 of the way along it, used
// to decide where the Region lies. A Region without Elements gives its box's
// lower-left corner.
Point2 RegionProbePoint(const TTNRegion& r);

// Even-odd test of p against a closed Region (false for an open one and for
// points outside its box widened by 0.0005). A full circle answers at once
// by its radius.
bool PointInRegion(Point2 p, const TTNRegion& r);

// The crossing count used by the single-Region pick: like PointInRegion's,
// but without the box test and the full-circle shortcut, and with a coarser
// grazing limit for arcs. Odd means inside.
int RegionCrossingCount(Point2 p, const TTNRegion& r);

// True when `inner` lies within `outer`, sides compared exactly (equal sides
// pass).
bool BoxInsideBox(const Box& outer, const Box& inner);

// Both closed, inner's box within outer's, and inner's probe point inside
// outer.
bool RegionInsideRegion(const TTNRegion& outer, const TTNRegion& inner);

// Where a horizontal test segment from p to (extents.MaxX + 1, p.Y) first
// meets the Region's outline, as a fraction 0..1 of the segment;
// kNoRayHit when it meets nothing.
double RayHitFraction(const DrawingExtentsRec& extents, Point2 p, const TTNRegion& r);

// Which enclosing Regions count when a closed Region is classified.
//  AllClosed: every closed Region that contains it (select all closed).
//  Single:    selected closed Regions around its probe point (one click).
//  Region:    Regions inside the clicked Region `Clicked` around its probe
//             point (the clicked Region is its Boundary at Level 0).
//  Window:    Regions whose probe point lies in `Window` around its probe
//             point.
enum class ClassifyKind { AllClosed, Single, Region, Window };

struct ClassifyVariant {
  ClassifyKind Kind = ClassifyKind::AllClosed;
  int Clicked = 0;  // Region kind: the clicked Region
  Box Window{};     // Window kind: the selection window
};

inline constexpr int kClassifiedBoundary = 1;
inline constexpr int kClassifiedIsland = 2;

// Classifies closed Region i: counts the enclosing Regions of the variant,
// and writes Selected = 1, Level = the count (the Region kind starts at 1),
// Parent = the counted Region whose outline lies nearest to the right of
// i's probe point (ties: the lower index; i itself, or the clicked Region,
// when none is met) and Owner = Parent for an Island, 0 for a Boundary.
// Returns kClassifiedBoundary or kClassifiedIsland. The AllClosed kind
// returns kClassifiedBoundary without changing anything for a Region that is
// already selected, open or empty. An index outside 1..last (or a clicked
// Region outside it) gives 0 and changes nothing.
int ClassifyRegion(TTNRegionArray& list, const DrawingExtentsRec& extents, int i,
                   const ClassifyVariant& variant);

// The pick tolerance of a view of widthPx x heightPx pixels fitted to the
// extents with marginPx on each side: 8 pixels in drawing units. An extent
// without width (or height) takes 1 as that axis's scale. 0 when the view
// leaves no room (a scale that is not positive).
double PickToleranceForView(const DrawingExtentsRec& extents, int widthPx, int heightPx,
                            int marginPx);

}  // namespace tarnak
