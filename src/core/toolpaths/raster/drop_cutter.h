// The exact drop cutter: the lowest height of the tool tip at (x, y) at
// which the cutter touches no triangle, found from the places where it
// first touches one (a vertex, a point on an edge, a point of the facet).
//
// The height grid only knows the model at its nodes, so a cutter placed by
// it can dip into the surface between nodes (and, for features narrower
// than a step, at them). The drop cutter measures that: the gouge report
// of a run, and the correction of the grid's nodes after gouge control, so
// that the tool tip at every node stands exactly on the model.
//
// Over one triangle the tip height at which a point p of it is touched is
// z(p) - h(|p - c|) (h: the cutter profile, c: the axis); the drop is the
// largest such value over the points within the radius. That function is
// concave over the triangle for all three cutters, so its largest value
// lies at a vertex inside the radius, where an edge crosses the rim, at
// the one critical point along an edge (ball: where the edge is tangent to
// the sphere's section; V: where the edge's slope meets the cone's), at
// the facet's critical point (ball: the tangent point; V: under the tip
// when the facet is less steep than the cone) or at the rim's highest
// point over the facet (end mill and steep facets under a V).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "base/cancel.h"
#include "import/stl/stl_triangle.h"
#include "toolpaths/raster/cutter_profile.h"
#include "toolpaths/raster/raster.h"
#include "toolpaths/toolpath_model3d.h"

namespace tarnak {

inline constexpr double kNoContact = -std::numeric_limits<double>::infinity();

// The tip height at which the cutter on the axis (x, y) first touches the
// triangle raised by `lift`, or kNoContact when no point of it lies within
// the radius.
double TriangleDrop(const CutterProfile& cutter, const TTNTriangle& triangle, double x, double y,
                    double lift = 0.0);

// The triangles filed by XY cell, each cell's list sorted by highest Z
// first, so that a search for contacts above a known height stops early.
class TriangleBins {
 public:
  TriangleBins(const TTNTriangleArray& triangles, double cellSize);

  // max(floor, the drop over every triangle raised by `lift`).
  double Drop(const CutterProfile& cutter, double x, double y, double floor, double lift = 0.0) const;

  const TTNTriangleArray& Triangles() const { return *triangles_; }

 private:
  const TTNTriangleArray* triangles_;
  double x0_ = 0.0, y0_ = 0.0, cell_ = 1.0;
  long columns_ = 0, rows_ = 0;
  // What a cell keeps of a triangle: its XY box and top, and its index.
  struct Item {
    float MinX, MinY, MaxX, MaxY, MaxZ;
    uint32_t Index;
  };
  std::vector<uint32_t> start_;  // per cell, into items_ (CSR)
  std::vector<Item> items_;
};

// Raises every node of a male model's grid (heights are tip heights after
// gouge control, up to 0) to the exact drop of the cutter of `diameter`
// over the triangles raised by `stock`: the grid is then exact at its
// nodes. Nodes at the stock top stay there. Returns false when cancelled.
bool DropCutterNodes(TTNZGrid& grid, const TTNTriangleArray& triangles, int toolType,
                     double toolAngle, double diameter, double stock, const CancelToken& cancel);

// The gouge report's cutter is narrower than the real one by this part of
// its radius. Points are kept as 32-bit floats, so a pass that runs its
// rim exactly along a wall (as the exact nodes do where a wall is a
// radius away) is moved into or out of it by a few millionths of a unit;
// with the shank's vertical side that would read as a dip of the wall's
// whole height. Contacts this close to the rim are not counted.
inline constexpr double kGougeRimTolerance = 1e-5;

struct GougeMeasure {
  double Depth = 0.0;  // largest dip below the model, 0 when none
  double X = 0.0, Y = 0.0, Z = 0.0;
  int Pass = -1;
};

// The largest depth by which `cutter` dips below the triangles at the
// points of passes [first, last) and along the straight moves between
// consecutive points of a pass. Moves are sampled every `spacing` (at
// least at their ends); around the deepest sample of a move that beats the
// worst so far, the peak of the dip is searched between its neighbours.
// The cutter's radius is taken kGougeRimTolerance narrower. Returns with
// what it has found when cancelled.
GougeMeasure MeasureGouge(const TTNOutRegionArray3D& passes, std::size_t first, std::size_t last,
                          const CutterProfile& cutter, const TriangleBins& bins, double spacing,
                          const CancelToken& cancel);

}  // namespace tarnak
