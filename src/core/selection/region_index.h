// Indexes that let the selection commands test a whole drawing without
// measuring every Region against every other one.
//
// The containment rules are pairwise: select-all-closed asks, for every
// closed Region, which other closed Regions contain it. Asked naively that
// is N^2 box tests and, for drawings with long outlines (a board edge of
// thousands of segments around thousands of holes), N times E crossing
// tests. Two indexes cut this down while keeping every answer exactly as the
// plain tests of region_geometry.h give it:
//  - the geometry's box tree over the closed Region boxes finds the Regions
//    whose box meets a slightly widened query; only those get the exact
//    containment test, so no Region that passes it is ever missed;
//  - for Regions with many Elements, horizontal bands list the Elements
//    whose Y range meets each band; a crossing test or a ray only visits the
//    Elements of the bands it touches. An Element outside those bands cannot
//    take part in the crossing count (its Y range misses the point) nor meet
//    the horizontal test segment (its box misses the segment by more than
//    any tolerance of the intersection routine).
// The counting rules (parity, levels, the nearest outline as Parent, ties to
// the lower index) are shared with the plain forms through the helpers in
// selection_detail, and candidates are visited in ascending index order.
#pragma once

#include <cstddef>
#include <vector>

#include "geometry/box_tree.h"
#include "geometry/extents.h"
#include "geometry/geometry.h"
#include "selection/region_geometry.h"

namespace tarnak {

namespace selection_detail {

// Grazing limits for h^2 in the arc crossing test: the general point test
// and the single-pick count.
inline constexpr double kPointInGraze = 1e-11;
inline constexpr double kSingleGraze = 1e-8;

// Crossings of the half-line from p towards +X with one Element. With
// `circleShortcut`, a full circle adds nothing and sets `insideCircle` when
// p lies within it.
int ElementCrossings(const TTNEntity& e, Point2 p, double grazeLimit, bool circleShortcut,
                     bool& insideCircle);
// Smallest parameter on `segment` at which it meets e; kNoRayHit for none.
double ElementRayHit(const TTNEntity& segment, const TTNEntity& e);
// The horizontal test segment of RayHitFraction.
TTNEntity RaySegment(const DrawingExtentsRec& extents, Point2 p);

// Running state of one classification.
struct ClassifyTally {
  int Level = 0;
  bool Odd = false;
  int Parent = 0;
  double Best = 8.0;
};
ClassifyTally StartTally(const ClassifyVariant& variant, int i);
// One more enclosing Region j whose outline the test segment meets at
// `fraction`.
void CountEnclosing(ClassifyTally& t, int j, double fraction);
// Writes the role into the Region; returns kClassifiedBoundary/Island.
int FinishClassify(TTNRegion& r, const ClassifyTally& t);

}  // namespace selection_detail

// Elements of one Region sorted into horizontal bands.
class ElementBands {
 public:
  explicit ElementBands(const TTNRegion& r);
  // Calls f(element index) for each Element whose band range holds y.
  template <class F>
  void ForBand(double y, F&& f) const {
    const int b = Band(y);
    for (int k = start_[static_cast<std::size_t>(b)]; k < start_[static_cast<std::size_t>(b) + 1]; ++k)
      f(items_[static_cast<std::size_t>(k)]);
  }
  // Calls f for each Element of the bands that [y0, y1] touches; an Element
  // may come more than once.
  template <class F>
  void ForBands(double y0, double y1, F&& f) const {
    const int b1 = Band(y1);
    for (int b = Band(y0); b <= b1; ++b)
      for (int k = start_[static_cast<std::size_t>(b)]; k < start_[static_cast<std::size_t>(b) + 1]; ++k)
        f(items_[static_cast<std::size_t>(k)]);
  }

 private:
  int Band(double y) const;
  double y0_ = 0.0;
  double inv_ = 0.0;
  int count_ = 1;
  std::vector<int> start_;
  std::vector<int> items_;
};

// Everything the whole-drawing commands need over one Region list. The list
// must not change its geometry (Elements, boxes, Open) while the index is
// used; selection fields may change.
class RegionIndex {
 public:
  explicit RegionIndex(const TTNRegionArray& list);

  // The same answers as PointInRegion(p, list[j]) and
  // RayHitFraction(extents, p, list[j]).
  bool PointIn(Point2 p, int j) const;
  double RayHit(const DrawingExtentsRec& extents, Point2 p, int j) const;
  // ClassifyRegion on the indexed list.
  int Classify(TTNRegionArray& list, const DrawingExtentsRec& extents, int i,
               const ClassifyVariant& variant);
  Point2 Probe(int j) const { return probes_[static_cast<std::size_t>(j)]; }

 private:
  // Appends to candidates_ every closed Region whose box, widened by
  // `margin` on every side, contains q (in no particular order).
  void Containing(const Box& q, double margin);

  const TTNRegionArray* list_;
  // Closed Regions with Elements (boxes with a NaN side left out: no box
  // test can pass for them): their indices and a tree over their boxes.
  std::vector<int> closedIds_;
  BoxTree closed_;
  std::vector<Point2> probes_;
  std::vector<int> bandOf_;  // index into bands_, -1 for few Elements
  std::vector<ElementBands> bands_;
  std::vector<double> scale_;  // per Region: size of its numbers, for the ray margin
  std::vector<int> candidates_;
};

}  // namespace tarnak
