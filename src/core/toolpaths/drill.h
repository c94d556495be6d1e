// Drill toolpaths: one hole at the centre of the box of every selected
// closed Region, drilled in nearest-neighbour order from the lower-left
// corner of the selection.
//
// A hole is a Toolpath holding one zero-length line at the hole centre; the
// NC writer turns it into a canned drilling cycle (LinkKind 6) or into
// linear moves (LinkKind 5), as the drill dialog's move-style choice says.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "base/cancel.h"
#include "geometry/geometry.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/toolpath_model.h"

namespace tarnak {

// The nearest hole: the index of its Region (0 when there is none) and the
// centre of that Region's box.
struct NearestHole {
  int Index = 0;
  Point2 Centre;
};

// Among the selected closed Regions (from index 1; a Region without
// Elements or with a box that is not finite has no centre and is passed
// over), the one whose box centre has the smallest squared distance to
// `point`; on equal distances the first in array order.
NearestHole NearestRegion(const TTNRegionArray& regions, Point2 point);

// The smallest box holding the boxes of all selected Regions, open ones
// included (from index 1); none when no Region is selected.
std::optional<Box> SelectionBox(const TTNRegionArray& regions);

// The nearest-neighbour walk over `points` from `start`: first the point
// with the smallest squared distance (dx * dx + dy * dy) to `start`, then
// each time the remaining point nearest to the last one; on equal distances
// the point that comes first in `points`. Returns positions in `points`.
// The search runs over a uniform grid, so a walk costs about n log n rather
// than n * n. Events are let through every few hundred points; Escape there
// ends the walk early with the leading part of the order.
std::vector<std::size_t> NearestNeighbourOrder(const std::vector<Point2>& points, Point2 start,
                                               const CancelToken& cancel);

// Replaces the toolpath list with one drilling Toolpath per selected closed
// Region, starting with the hole nearest to the lower-left corner of
// SelectionBox and going on each time to the hole nearest to the last one
// (NearestRegion's rule, ties to the first in array order). Each Toolpath:
// Depth = the Region's depth, Feed, SpindleSpeed and ToolNumber of the
// rough tool, RapidLevel = minus the rapid height, LinkKind 6 with canned
// cycles and 5 without, Elements = one zero-length line at the hole centre;
// the other fields are 0. The Regions are not changed.
//
// Nothing is done, not even the emptying of the list, when the token is
// stopped at the start, or when Escape is seen in the first cancel.Poll().
// Events are processed again at intervals while the holes are ordered;
// Escape there stops the job with the holes appended so far. Progress
// counts the holes made. Returns the number of holes.
int DrillPaths(const CancelToken& cancel, const TTNRegionArray& regions,
               TTNOutRegionArray& toolpaths, const TTNMachiningParameters& params);

}  // namespace tarnak
