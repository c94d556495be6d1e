#include "editing/walls.h"

#include <cmath>
#include <exception>
#include <memory>
#include <new>
#include <system_error>
#include <utility>

#include "base/numbers.h"
#include "geometry/primitives.h"
#include "import/dxf/dxf_entities.h"
#include "import/dxf/dxf_reader.h"
#include "import/profiles/profile_building.h"

namespace tarnak {

namespace {

constexpr double kVerticalLine = 0.0001;  // |X2 - X| below this: no slope to read
constexpr double kFlatSlope = 1e-5;       // |slope| below this: a horizontal line
constexpr double kFlatWall = 1e-5;        // vertical scale below this: no wall height
constexpr double kOnArcSlack = 1e-9;      // angular slack when testing a point on an arc
constexpr double kNoWallHeight = 0.0001;  // island height over its floor below this: none

bool Valid(const TTNRegionArray& list, int i) {
  return i >= 0 && static_cast<size_t>(i) < list.size();
}

// Angular position of angle `a` along the arc from its start, in the
// direction of travel, in [0, 2pi).
double AlongArc(const TTNEntity& arc, double a) {
  double along = arc.Radius > 0 ? a - arc.StartAngle() : arc.StartAngle() - a;
  along = std::fmod(along, kTwoPi);
  if (along < 0) along += kTwoPi;
  return along;
}

// The X of the arc at height y. Of the two points of its circle at that
// height the one lying on the arc is taken; when both do, the one met first
// along the arc; when neither does (y at the very end of the arc, where
// rounding puts the point just outside), the one nearer an end of the arc.
double ArcXAt(const TTNEntity& arc, double y) {
  const double r = std::fabs(arc.Radius);
  const double dy = arc.Y - y;
  const double h = std::sqrt(std::fmax(0.0, r * r - dy * dy));
  const double xs[2] = {arc.X + h, arc.X - h};
  const double span = std::fabs(ArcSweep(arc));
  int best = -1;
  double bestAlong = 0.0;
  for (int k = 0; k < 2; ++k) {
    const double along = AlongArc(arc, PointAngle(Point2{arc.X, arc.Y}, Point2{xs[k], y}));
    const bool on = arc.IsFullCircle() || along <= span + kOnArcSlack;
    if (on && (best < 0 || along < bestAlong)) {
      best = k;
      bestAlong = along;
    }
  }
  if (best >= 0) return xs[best];
  Point2 s, e;
  ElementEnds(arc, s, e);
  auto nearEnd = [&](double x) {
    return std::fmin(std::hypot(x - s.X, y - s.Y), std::hypot(x - e.X, y - e.Y));
  };
  return nearEnd(xs[0]) <= nearEnd(xs[1]) ? xs[0] : xs[1];
}

}  // namespace

double WallDistance(const TTNRegionArray& regions, int i, double z, const TTNRegionArray& profiles,
                    double baseDistance, bool* noWallMark) {
  if (!Valid(regions, i)) return baseDistance;
  const TTNRegion& region = regions[static_cast<size_t>(i)];
  const int k = region.WallProfile;
  const int profileCount = profiles.empty() ? 0 : static_cast<int>(profiles.size()) - 1;
  if (k <= 0 || k > profileCount) return baseDistance;
  // Region i itself uses a profile, so the job does.
  if (noWallMark) *noWallMark = false;

  const int parent = region.Parent;
  const bool boundary = parent == i || !Valid(regions, parent);
  const double height =
      boundary ? region.Depth
               : std::fabs(region.Depth - regions[static_cast<size_t>(parent)].Depth);

  const TTNRegion& profile = profiles[static_cast<size_t>(k)];
  const double width = profile.MaxX - profile.MinX;
  const double tall = profile.MaxY - profile.MinY;
  // A profile without width or height cannot be stretched over the wall.
  if (!(width > 0.0) || !(tall > 0.0)) return baseDistance;
  const double sx = static_cast<double>(region.WallDelta) / width;
  const double sy = height / tall;
  if (!(sy >= kFlatWall)) return baseDistance;

  // Height in profile space: the profile's bottom at the wall's floor, its
  // top at the wall's top.
  const double y = region.Owner != 0 ? profile.MaxY - (z - region.Depth) / sy
                                     : profile.MinY + (region.Depth - z) / sy;

  const TTNEntity* hit = nullptr;
  for (const TTNEntity& e : profile.Elements) {
    if (e.MinY <= y && y <= e.MaxY) {
      hit = &e;
      break;
    }
  }
  if (!hit) return baseDistance;

  double x;
  if (hit->IsLine()) {
    const double run = hit->X2 - hit->X;
    if (std::fabs(run) < kVerticalLine) return baseDistance;
    const double m = (hit->Y2 - hit->Y) / run;
    if (std::fabs(m) < kFlatSlope) return baseDistance;
    x = hit->X + (y - hit->Y) / m;
  } else {
    x = ArcXAt(*hit, y);
  }
  const double d = baseDistance + (x - profile.MinX) * sx;
  return std::isfinite(d) ? d : baseDistance;
}

bool AssignWall(TTNRegionArray& regions, int k, int profile, double delta) {
  if (!(delta > 0.0) || !std::isfinite(delta) || profile < 1 || k < 1 || !Valid(regions, k))
    return false;
  TTNRegion& r = regions[static_cast<std::size_t>(k)];
  r.WallDelta = static_cast<float>(delta);
  r.WallProfile = profile;
  return true;
}

namespace {

// The Region whose floor Region `k`'s wall stands on. Parent is only filled
// in once the nesting is worked out for machining; until then an Island's
// Owner names its Boundary. Anything else counts as the Region itself.
int WallParent(const TTNRegionArray& regions, int k) {
  const TTNRegion& r = regions[static_cast<std::size_t>(k)];
  if (r.Parent >= 1 && Valid(regions, r.Parent)) return r.Parent;
  if (r.Owner >= 1 && Valid(regions, r.Owner)) return r.Owner;
  return k;
}

}  // namespace

std::string WallHeightText(const TTNRegionArray& regions, int k) {
  if (k < 1 || !Valid(regions, k)) return {};
  const TTNRegion& r = regions[static_cast<std::size_t>(k)];
  const double parentDepth = regions[static_cast<std::size_t>(WallParent(regions, k))].Depth;
  const double h = std::fabs(r.Depth - parentDepth);
  if (h > kNoWallHeight) return FormatNumber("%.4f", h);
  return FloatToStr(r.Depth);
}

bool WallFloorDepth(const TTNRegionArray& regions, int k, double& depth) {
  if (k < 1 || !Valid(regions, k)) return false;
  const TTNRegion& r = regions[static_cast<std::size_t>(k)];
  depth = r.Owner != 0 ? regions[static_cast<std::size_t>(WallParent(regions, k))].Depth : r.Depth;
  return true;
}

ProfileLoadResult LoadProfileFile(const std::filesystem::path& file, int closedDirection,
                                  CancelToken& cancel, UserInterface& ui,
                                  TTNRegionArray& profiles) {
  using Status = ProfileLoadResult::Status;
  const std::string name = file.string();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec))
    return {Status::Missing, "Profile library \"" + name + "\" not found"};

  std::unique_ptr<DXF_Object> drawing;
  try {
    drawing = ReadDxfFile(name, ui);
  } catch (const std::bad_alloc&) {
    return {Status::Bad, "Out of memory while reading the profile library \"" + name + "\""};
  } catch (const std::exception& e) {
    return {Status::Bad, "Profile library \"" + name + "\": " + e.what()};
  }
  if (cancel.Poll()) {
    cancel.Reset();
    return {Status::Cancelled, "Loading the profile library \"" + name + "\" was cancelled"};
  }

  // The same steps as a drawing import, without the text, the repair and
  // the nearest-neighbour order: profile k must stay the k-th from the left.
  TTNEntityArray loose;
  TTNRegionArray polylines;
  TTNRegionArray library(1);
  if (drawing)
    DxfToElements(cancel, *drawing, kNoSkipLayer, closedDirection, kEllipseTolerance, loose,
                  polylines);
  drawing.reset();
  if (!loose.empty()) ChainElements(cancel, loose, library, closedDirection, kChainTolerance);
  AppendRegions(polylines, 0, library);
  for (std::size_t i = 1; i < library.size(); ++i) library[i].Selected = 1;
  SortRegionsByMinX(cancel, library, 1, static_cast<int>(library.size()) - 1);
  JoinOpenRegions(cancel, library, kChainTolerance);
  SetClosedDirections(library, closedDirection);
  if (cancel.stopped()) {
    cancel.Reset();
    return {Status::Cancelled, "Loading the profile library \"" + name + "\" was cancelled"};
  }
  if (library.size() <= 1)
    return {Status::Bad, "Profile library \"" + name + "\" holds no profile (no lines, arcs or polylines)"};
  for (TTNRegion& r : library) r.Selected = 0;
  profiles = std::move(library);
  return {Status::Loaded, {}};
}

ProfileLoadResult LoadProfiles(const std::filesystem::path& folder, int closedDirection,
                               CancelToken& cancel, UserInterface& ui, TTNRegionArray& profiles) {
  return LoadProfileFile(folder / kProfilesFileName, closedDirection, cancel, ui, profiles);
}

}  // namespace tarnak
