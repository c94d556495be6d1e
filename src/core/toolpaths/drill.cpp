#include "toolpaths/drill.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "geometry/primitives.h"
#include "selection/region_selection.h"

namespace tarnak {

namespace {

// Ordering n holes costs about n * n / 2 distance tests; pending events are
// let run after about this many, so that Escape is seen within a fraction
// of a second even for tens of thousands of holes.
constexpr std::size_t kTestsPerEventCheck = std::size_t{1} << 18;

// A Region that is drilled when selected: closed, with Elements, and with a
// box whose centre can be computed.
bool HasCentre(const TTNRegion& r, Point2& centre) {
  if (r.Open != 0 || r.Elements.empty()) return false;
  centre = {(r.MinX + r.MaxX) / 2, (r.MinY + r.MaxY) / 2};
  return std::isfinite(centre.X) && std::isfinite(centre.Y);
}

double Distance2(Point2 a, Point2 b) {
  const double dx = a.X - b.X, dy = a.Y - b.Y;
  return dx * dx + dy * dy;
}

struct Hole {
  Point2 Centre;
  int Index = 0;
};

}  // namespace

NearestHole NearestRegion(const TTNRegionArray& regions, Point2 point) {
  NearestHole best;
  double bestDistance = 0.0;
  for (std::size_t i = 1; i < regions.size(); ++i) {
    const TTNRegion& r = regions[i];
    Point2 centre;
    if (r.Selected == 0 || !HasCentre(r, centre)) continue;
    const double d = Distance2(centre, point);
    if (best.Index == 0 || d < bestDistance) {
      best.Index = static_cast<int>(i);
      best.Centre = centre;
      bestDistance = d;
    }
  }
  return best;
}

std::optional<Box> SelectionBox(const TTNRegionArray& regions) {
  std::optional<Box> box;
  for (std::size_t i = 1; i < regions.size(); ++i) {
    const TTNRegion& r = regions[i];
    if (r.Selected == 0) continue;
    if (!box) {
      box = r.Bounds();
      continue;
    }
    box->MinX = std::fmin(box->MinX, r.MinX);
    box->MinY = std::fmin(box->MinY, r.MinY);
    box->MaxX = std::fmax(box->MaxX, r.MaxX);
    box->MaxY = std::fmax(box->MaxY, r.MaxY);
  }
  return box;
}

int DrillPaths(const CancelToken& cancel, const TTNRegionArray& regions,
               TTNOutRegionArray& toolpaths, const TTNMachiningParameters& params) {
  if (cancel.stopped()) return 0;
  if (cancel.Poll()) return 0;
  ClearToolpaths(toolpaths);

  // The holes still to drill. The Regions themselves are left alone (rather
  // than unselecting each one as it is drilled), so the selection cannot be
  // lost whichever way the job ends.
  std::vector<Hole> holes;
  for (std::size_t i = 1; i < regions.size(); ++i) {
    Point2 centre;
    if (regions[i].Selected != 0 && HasCentre(regions[i], centre))
      holes.push_back({centre, static_cast<int>(i)});
  }
  const std::optional<Box> box = SelectionBox(regions);
  if (holes.empty() || !box) return 0;
  toolpaths.reserve(holes.size() + 1);

  TTNOutRegion hole;
  hole.Feed = params.Rough.Feed;
  // The spindle speed of the drill dialog must reach the NC program's
  // tool change; a hole written with speed 0 would be drilled with the
  // spindle standing still.
  hole.SpindleSpeed = static_cast<double>(params.Rough.SpindleSpeed);
  hole.ToolNumber = params.Rough.ToolNumber;
  hole.RapidLevel = -params.RapidHeight;
  hole.LinkKind = params.CannedCycles != 0 ? kLinkDrillCanned : kLinkDrillLinear;

  Point2 at{box->MinX, box->MinY};
  std::size_t tests = 0;
  const int total = static_cast<int>(holes.size());
  int made = 0;
  while (!holes.empty()) {
    // Nearest to the last hole; on equal distances the Region that comes
    // first in the list, whatever order the remaining holes are kept in.
    std::size_t best = 0;
    double bestDistance = Distance2(holes[0].Centre, at);
    for (std::size_t k = 1; k < holes.size(); ++k) {
      const double d = Distance2(holes[k].Centre, at);
      if (d < bestDistance || (d == bestDistance && holes[k].Index < holes[best].Index)) {
        best = k;
        bestDistance = d;
      }
    }
    tests += holes.size();

    const Hole next = holes[best];
    holes[best] = holes.back();
    holes.pop_back();

    hole.Depth = regions[static_cast<std::size_t>(next.Index)].Depth;
    hole.Elements = {MakeLine(next.Centre.X, next.Centre.Y, next.Centre.X, next.Centre.Y)};
    toolpaths.push_back(hole);
    ++made;
    at = next.Centre;

    if (tests >= kTestsPerEventCheck && !holes.empty()) {
      tests = 0;
      cancel.Progress(made, total);
      if (cancel.Poll()) break;
    }
  }
  cancel.Progress(made, total);
  return made;
}

}  // namespace tarnak
