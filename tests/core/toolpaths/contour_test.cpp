// Contour toolpaths.
//
// The geometric checks measure every toolpath against its source outline
// with distance functions written here, independently of the offset engine:
// sampled densely along every Element, a contour must stay exactly the tool
// radius plus stock away from the outline, on the side that the
// compensation and the outline's direction call for, closed where the
// outline is closed; areas of convex offsets must match the plane-geometry
// formula. Then the job structure: depth levels, links, tools, finish pass,
// lead-move geometry and the command's reporting.
#include "toolpaths/contour.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "geometry/primitives.h"
#include "shell/document.h"
#include "shell/strategy_commands.h"
#include "outline_geometry.h"
#include "test_ui.h"

namespace tarnak {
namespace {

using testing::TestUserInterface;
using testing::Dist;
using testing::Wrap;
using testing::Sweep;
using testing::Eval;
using testing::SegmentDist;
using testing::ArcDist;
using testing::ElementDist;
using testing::OutlineDist;

// ------------------------------------------------------------ geometry here

// Unit direction of travel at fraction t: the chord between two points
// symmetric about it (on the Element's line or circle) is parallel to the
// tangent there.
Point2 Travel(const TTNEntity& e, double t) {
  const double h = 1e-4;
  const Point2 a = Eval(e, t - h), b = Eval(e, t + h);
  const double len = Dist(a, b);
  return {(b.X - a.X) / len, (b.Y - a.Y) / len};
}

// The outline as a fine polygon.
std::vector<Point2> Polygon(const TTNEntityArray& els, int perArc = 720) {
  std::vector<Point2> poly;
  for (const TTNEntity& e : els) {
    const int n = e.Radius == 0 ? 1 : perArc;
    for (int k = 0; k < n; ++k) poly.push_back(Eval(e, double(k) / n));
  }
  return poly;
}

bool Inside(const std::vector<Point2>& poly, Point2 p) {
  bool in = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    const Point2 a = poly[i], b = poly[j];
    if ((a.Y > p.Y) != (b.Y > p.Y) && p.X < (b.X - a.X) * (p.Y - a.Y) / (b.Y - a.Y) + a.X)
      in = !in;
  }
  return in;
}

// Exact signed area of a closed chain of lines and arcs (positive when
// counter-clockwise).
double Area(const TTNEntityArray& els) {
  double twice = 0;
  for (const TTNEntity& e : els) {
    const Point2 a = Eval(e, 0), b = Eval(e, 1);
    if (e.Radius == 0) {
      twice += a.X * b.Y - b.X * a.Y;
    } else {
      twice += e.X * (b.Y - a.Y) - e.Y * (b.X - a.X) + e.Radius * e.Radius * Sweep(e);
    }
  }
  return twice / 2;
}

bool IsClockwise(const TTNEntityArray& els) { return Area(els) < 0; }

// ------------------------------------------------------------ drawings

TTNEntity L(double x1, double y1, double x2, double y2) { return MakeLine(x1, y1, x2, y2); }

TTNRegion Closed(TTNEntityArray els) {
  TTNRegion r;
  r.Elements = std::move(els);
  RegionBounds(r);
  r.Direction = static_cast<uint8_t>(RegionIsClockwise(r));
  return r;
}

TTNRegion Open(TTNEntityArray els) {
  TTNRegion r;
  r.Open = 1;
  r.Elements = std::move(els);
  RegionBounds(r);
  return r;
}

TTNRegion Rectangle(double x0, double y0, double x1, double y1) {
  return Closed({L(x0, y0, x1, y0), L(x1, y0, x1, y1), L(x1, y1, x0, y1), L(x0, y1, x0, y0)});
}

TTNRegion Circle(double cx, double cy, double r) { return Closed({MakeArc(cx, cy, r, 0, 0)}); }

// A stadium: two half circles of radius r about (x0, y) and (x1, y).
TTNRegion Slot(double x0, double x1, double y, double r) {
  return Closed({L(x0, y - r, x1, y - r), MakeArc(x1, y, r, 3 * kPi / 2, kPi / 2),
                 L(x1, y + r, x0, y + r), MakeArc(x0, y, r, kPi / 2, 3 * kPi / 2)});
}

// Five sharp points: corners of 36 degrees, and concave corners between them.
TTNRegion Star(double cx, double cy, double outer, double inner) {
  std::vector<Point2> p;
  for (int k = 0; k < 10; ++k) {
    const double a = kPi / 2 + k * kPi / 5, r = k % 2 ? inner : outer;
    p.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
  }
  TTNEntityArray els;
  for (int k = 0; k < 10; ++k) els.push_back(L(p[k].X, p[k].Y, p[(k + 1) % 10].X, p[(k + 1) % 10].Y));
  return Closed(els);
}

// Counter-clockwise as drawn: a counter-clockwise arc bulging out and a
// clockwise arc biting in. Turned clockwise the two swap directions, so
// both directions of a job see arcs of both directions, convex and concave.
TTNRegion Arcs(double x, double y) {
  return Closed({L(x, y, x + 10, y), MakeArc(x + 10, y + 3, 3, 3 * kPi / 2, kPi / 2),
                 L(x + 10, y + 6, x + 6, y + 6), MakeArc(x + 4, y + 6, -2, 0, kPi),
                 L(x + 2, y + 6, x, y + 6), L(x, y + 6, x, y)});
}

TTNRegion ZigZag() {
  return Open({L(0, 0, 2, 2), L(2, 2, 4, 0), L(4, 0, 6, 2), L(6, 2, 8, 0)});
}

// A hook whose tip comes back closer to its first line than the offset.
TTNRegion Hook() {
  return Open({L(0, 0, 10, 0), L(10, 0, 10, 5), L(10, 5, 5, 5), L(5, 5, 5, 0.5)});
}

struct Drawing {
  std::string Name;
  TTNRegion Region;
  // Convex outlines: the area inside an offset at distance d is
  // A + P d + pi d^2 outside, and A - P d + c d^2 inside, with c = pi for
  // smooth outlines and 4 for a rectangle. NaN: not convex.
  double InsideCorner;
};

std::vector<Drawing> Drawings() {
  return {{"rectangle", Rectangle(0, 0, 20, 10), 4.0},
          {"circle", Circle(30, 5, 5), kPi},
          {"slot", Slot(0, 10, 30, 2), kPi},
          {"star", Star(40, 30, 10, 4), NAN},
          {"arcs", Arcs(60, 0), NAN}};
}

// ------------------------------------------------------------ running a job

constexpr double kRadius = 0.5, kStock = 0.25, kDistance = kRadius + kStock;
constexpr double kRapid = 2.0;

struct Job {
  TestUserInterface ui;
  Document doc{ui};

  Job() {
    TTNMachiningParameters& p = doc.MachiningParams;
    p.Rough.Radius = kRadius;
    p.Rough.StockToLeave = kStock;
    p.Rough.ZStep = 1;
    p.Rough.Feed = 500;
    p.Rough.PlungeFeed = 100;
    p.Rough.SpindleSpeed = 12000;
    p.Rough.ToolNumber = 1;
    p.Finish.Radius = 0.25;
    p.Finish.ZStep = 5;
    p.Finish.Feed = 300;
    p.Finish.ToolNumber = 2;
    p.Depth = 1;
    p.RapidHeight = kRapid;
    p.Compensation = kCompRight;
  }

  // Adds the Region selected, turned to the job's direction when closed.
  int Add(TTNRegion r, int level = 0, int parent = 0) {
    const int index = static_cast<int>(doc.Regions.size());
    r.Selected = 1;
    r.Level = level;
    r.Parent = parent ? parent : index;
    if (!r.Open) RegionSetDirection(r, doc.Options.Program.Dir ? 1 : 0);
    doc.Regions.push_back(std::move(r));
    return index;
  }

  const TTNOutRegionArray& Paths() const { return doc.Toolpaths; }
  int Count() const { return ToolpathCount(doc.Toolpaths); }
};

// Every sampled point of every Element of the path, with the Element.
template <class F>
void Sample(const TTNOutRegion& path, F&& f, int perElement = 64) {
  for (const TTNEntity& e : path.Elements)
    for (int k = 0; k <= perElement; ++k) f(e, double(k) / perElement);
}

// Distance of the path from the outline: minimum and maximum over samples.
std::pair<double, double> DistanceRange(const TTNOutRegion& path, const TTNEntityArray& outline) {
  double lo = INFINITY, hi = 0;
  Sample(path, [&](const TTNEntity& e, double t) {
    const double d = OutlineDist(outline, Eval(e, t));
    lo = std::min(lo, d);
    hi = std::max(hi, d);
  });
  return {lo, hi};
}

// The chain is continuous; closed paths end where they start.
void ExpectContinuous(const TTNOutRegion& path) {
  for (size_t k = 0; k + 1 < path.Elements.size(); ++k)
    EXPECT_LT(Dist(Eval(path.Elements[k], 1), Eval(path.Elements[k + 1], 0)), 3e-4);
  if (!path.Open) {
    EXPECT_LT(Dist(Eval(path.Elements.back(), 1), Eval(path.Elements.front(), 0)), 3e-4);
  }
}

// Fraction of the sampled points that lie inside the outline.
double InsideShare(const TTNOutRegion& path, const std::vector<Point2>& poly) {
  int in = 0, all = 0;
  Sample(path, [&](const TTNEntity& e, double t) {
    ++all;
    in += Inside(poly, Eval(e, t)) ? 1 : 0;
  }, 8);
  return double(in) / all;
}

// ------------------------------------------------------------ geometry of contours

struct SideCase {
  int Compensation;
  bool Clockwise;  // the Regions' direction (the options' Dir)
  bool Outside;    // where the path must run
};

class ContourGeometry : public ::testing::TestWithParam<SideCase> {};

std::string SideCaseName(const ::testing::TestParamInfo<SideCase>& info) {
  const char* comp[] = {"None", "Right", "Left", "Cutout"};
  return std::string(comp[info.param.Compensation]) +
         (info.param.Clockwise ? "Clockwise" : "CounterClockwise");
}

TEST_P(ContourGeometry, PathsRunAtToolRadiusPlusStockOnTheRightSide) {
  const SideCase c = GetParam();
  for (const Drawing& d : Drawings()) {
    SCOPED_TRACE(d.Name);
    Job job;
    job.doc.Options.Program.Dir = c.Clockwise;
    job.doc.MachiningParams.Compensation = c.Compensation;
    const int index = job.Add(d.Region);
    const TTNEntityArray outline = job.doc.Regions[static_cast<size_t>(index)].Elements;
    ASSERT_EQ(IsClockwise(outline), c.Clockwise);

    EXPECT_EQ(ContourCommand(job.doc), ContourResult::Made);
    ASSERT_GE(job.Count(), 1);
    const std::vector<Point2> poly = Polygon(outline);
    for (int k = 1; k <= job.Count(); ++k) {
      const TTNOutRegion& path = job.Paths()[static_cast<size_t>(k)];
      ASSERT_FALSE(path.Elements.empty());
      EXPECT_EQ(path.Open, 0);
      EXPECT_EQ(path.Depth, 1.0);
      ExpectContinuous(path);
      const auto [lo, hi] = DistanceRange(path, outline);
      EXPECT_GE(lo, kDistance - 1e-4);
      EXPECT_LE(hi, kDistance + 1e-4);
      EXPECT_EQ(InsideShare(path, poly), c.Outside ? 0.0 : 1.0);
    }
    // One loop around each of these outlines, on either side.
    EXPECT_EQ(job.Count(), 1);

    if (!std::isnan(d.InsideCorner) && job.Count() == 1) {
      const double a = std::fabs(Area(outline));
      double perimeter = 0;
      for (const TTNEntity& e : outline) perimeter += ElementLength(e);
      const double dd = kDistance;
      const double expected = c.Outside ? a + perimeter * dd + kPi * dd * dd
                                        : a - perimeter * dd + d.InsideCorner * dd * dd;
      EXPECT_NEAR(std::fabs(Area(job.Paths()[1].Elements)), expected, 1e-6 * expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sides, ContourGeometry,
    ::testing::Values(
        // Travelling counter-clockwise the outline's inside is on the left.
        SideCase{kCompRight, false, true}, SideCase{kCompLeft, false, false},
        SideCase{kCompRight, true, false}, SideCase{kCompLeft, true, true},
        // Cutout runs outside a Boundary whichever way it is stored in.
        SideCase{kCompCutout, false, true}, SideCase{kCompCutout, true, true}),
    SideCaseName);

TEST(ContourGeometry, CutoutRunsOutsideTheBoundaryAndInsideItsHoles) {
  for (bool clockwise : {false, true}) {
    SCOPED_TRACE(clockwise ? "clockwise" : "counter-clockwise");
    Job job;
    job.doc.Options.Program.Dir = clockwise;
    job.doc.MachiningParams.Compensation = kCompCutout;
    job.doc.MachiningParams.Depth = 3;
    const int boundary = job.Add(Rectangle(0, 0, 60, 40));
    const int hole1 = job.Add(Circle(10, 10, 4), 1, boundary);
    const int hole2 = job.Add(Star(30, 20, 9, 4), 1, boundary);
    const int hole3 = job.Add(Arcs(44, 5), 1, boundary);
    // An island of its own depth, shallower than the cut: it keeps it.
    job.doc.Regions[static_cast<size_t>(hole2)].Owner = boundary;
    job.doc.Regions[static_cast<size_t>(hole2)].Depth = 2;

    ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
    const TTNRegionArray& regions = job.doc.Regions;
    EXPECT_EQ(regions[static_cast<size_t>(hole1)].Owner, boundary);

    // Holes first (each level by level), then the Boundary.
    std::vector<int> order;
    std::vector<double> depths;
    for (int k = 1; k <= job.Count(); ++k) {
      const TTNOutRegion& path = job.Paths()[static_cast<size_t>(k)];
      depths.push_back(path.Depth);
      // Which Region does the path go round? The one it stays d away from.
      int source = 0;
      for (int r : {boundary, hole1, hole2, hole3}) {
        const auto [lo, hi] = DistanceRange(path, regions[static_cast<size_t>(r)].Elements);
        if (lo >= kDistance - 1e-4 && hi <= kDistance + 1e-4) source = r;
      }
      ASSERT_NE(source, 0) << "path " << k << " follows no outline";
      order.push_back(source);
      const bool island = source != boundary;
      EXPECT_EQ(path.Island, island ? 1 : 0);
      const std::vector<Point2> poly = Polygon(regions[static_cast<size_t>(source)].Elements);
      EXPECT_EQ(InsideShare(path, poly), island ? 1.0 : 0.0);
      // Clear of every other outline too.
      for (int r : {boundary, hole1, hole2, hole3})
        EXPECT_GE(DistanceRange(path, regions[static_cast<size_t>(r)].Elements).first,
                  kDistance - 1e-4);
    }
    EXPECT_EQ(order, (std::vector<int>{hole1, hole1, hole1, hole2, hole2, hole3, hole3, hole3,
                                       boundary, boundary, boundary}));
    EXPECT_EQ(depths, (std::vector<double>{1, 2, 3, 1, 2, 1, 2, 3, 1, 2, 3}));
  }
}

TEST(ContourGeometry, CutoutIslandDeeperThanItsBoundaryTakesTheBoundaryDepth) {
  Job job;
  job.doc.MachiningParams.Compensation = kCompCutout;
  job.doc.MachiningParams.Depth = 0;  // keep the Regions' own depths
  const int boundary = job.Add(Rectangle(0, 0, 40, 40));
  const int deep = job.Add(Circle(10, 10, 4), 1, boundary);
  const int none = job.Add(Circle(30, 30, 4), 1, boundary);
  job.doc.Regions[static_cast<size_t>(boundary)].Depth = 2;
  job.doc.Regions[static_cast<size_t>(deep)].Depth = 7;
  job.doc.Regions[static_cast<size_t>(none)].Depth = 0;
  ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
  EXPECT_EQ(job.doc.Regions[static_cast<size_t>(deep)].Depth, 2);
  EXPECT_EQ(job.doc.Regions[static_cast<size_t>(none)].Depth, 2);
  double deepest = 0;
  for (int k = 1; k <= job.Count(); ++k) deepest = std::max(deepest, job.Paths()[static_cast<size_t>(k)].Depth);
  EXPECT_EQ(deepest, 2);
  EXPECT_EQ(job.Count(), 6);
}

TEST(ContourGeometry, CutoutLeavesOpenRegionsAlone) {
  Job job;
  job.doc.MachiningParams.Compensation = kCompCutout;
  job.Add(ZigZag());
  EXPECT_EQ(ContourCommand(job.doc), ContourResult::None);
}

// Open Regions: the path follows the outline at the distance along its
// whole length, on the chosen side, from one end to the other.
TEST(ContourGeometry, OpenZigZagOnEitherSide) {
  for (int comp : {kCompRight, kCompLeft}) {
    SCOPED_TRACE(comp);
    Job job;
    job.doc.MachiningParams.Compensation = comp;
    const int index = job.Add(ZigZag());
    const TTNEntityArray outline = job.doc.Regions[static_cast<size_t>(index)].Elements;
    ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
    ASSERT_EQ(job.Count(), 1);
    const TTNOutRegion& path = job.Paths()[1];
    EXPECT_EQ(path.Open, 1);
    ExpectContinuous(path);
    const auto [lo, hi] = DistanceRange(path, outline);
    EXPECT_GE(lo, kDistance - 1e-4);
    EXPECT_LE(hi, kDistance + 1e-4);
    // Starts and ends beside the outline's ends, square to them.
    const double s = comp == kCompRight ? -1 : 1;  // right of travel is -left
    const double n = kDistance / std::sqrt(2.0);
    EXPECT_LT(Dist(Eval(path.Elements.front(), 0), {-s * n, s * n}), 1e-9);
    EXPECT_LT(Dist(Eval(path.Elements.back(), 1), {8 + s * n, s * n}), 1e-9);
    // Side: where the nearest outline point lies inside a segment, the
    // path point is on the wanted side of that segment.
    int tested = 0;
    Sample(path, [&](const TTNEntity& e, double t) {
      const Point2 p = Eval(e, t);
      for (const TTNEntity& o : outline) {
        const Point2 a{o.X, o.Y}, b{o.X2, o.Y2};
        const double len = Dist(a, b);
        const double along = ((p.X - a.X) * (b.X - a.X) + (p.Y - a.Y) * (b.Y - a.Y)) / len;
        if (along < 0.01 || along > len - 0.01) continue;
        if (std::fabs(SegmentDist(p, a, b) - kDistance) > 1e-4) continue;
        const double cross = (b.X - a.X) * (p.Y - a.Y) - (b.Y - a.Y) * (p.X - a.X);
        EXPECT_EQ(cross > 0 ? 1.0 : -1.0, s);
        ++tested;
      }
    });
    EXPECT_GT(tested, 100);
  }
}

// The hook's last line comes down within the offset of its first line. The
// path along the first line must leave out the stretch where the tool
// would cut into the last line from behind, and keep what lies before it;
// inside the hook the offset closes on itself where the last line's offset
// crosses the first line's.
TEST(ContourGeometry, OpenPathStaysClearOfItsOwnFarSide) {
  Job job;
  job.doc.MachiningParams.Compensation = kCompLeft;
  job.doc.MachiningParams.Rough.Radius = 1;
  job.doc.MachiningParams.Rough.StockToLeave = 0;
  const int index = job.Add(Hook());
  ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
  ASSERT_EQ(job.Count(), 2);
  const TTNOutRegion& lead = job.Paths()[1];
  const TTNOutRegion& loop = job.Paths()[2];
  EXPECT_EQ(lead.Open, 1);
  EXPECT_LT(Dist(Eval(lead.Elements.front(), 0), {0, 1}), 1e-9);
  EXPECT_LT(Dist(Eval(lead.Elements.back(), 1), {4, 1}), 1e-6);  // 1 short of x = 5
  EXPECT_EQ(loop.Open, 0);
  EXPECT_LT(Dist(Eval(loop.Elements.front(), 0), {6, 1}), 1e-6);
  EXPECT_NEAR(std::fabs(Area(loop.Elements)), 3 * 3, 1e-6);
  for (const TTNOutRegion* path : {&lead, &loop}) {
    ExpectContinuous(*path);
    const auto [lo, hi] =
        DistanceRange(*path, job.doc.Regions[static_cast<size_t>(index)].Elements);
    EXPECT_GE(lo, 1 - 1e-4);
    EXPECT_LE(hi, 1 + 1e-4);
  }
}

// The same with the last line stopping short of the first line's offset:
// nothing crosses, but the first line's offset passes the end point closer
// than the tool allows and must be cut round it.
TEST(ContourGeometry, OpenPathStaysClearOfItsOwnEnd) {
  Job job;
  job.doc.MachiningParams.Compensation = kCompLeft;
  job.doc.MachiningParams.Rough.Radius = 1;
  job.doc.MachiningParams.Rough.StockToLeave = 0;
  const int index = job.Add(Open({L(0, 0, 10, 0), L(10, 0, 10, 5), L(10, 5, 1, 5), L(1, 5, 1, 1.5)}));
  ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
  ASSERT_EQ(job.Count(), 2);
  const double reach = std::sqrt(0.75);  // y = 1 lies 1 from the end (1, 1.5) here
  const TTNOutRegion& lead = job.Paths()[1];
  const TTNOutRegion& rest = job.Paths()[2];
  EXPECT_LT(Dist(Eval(lead.Elements.front(), 0), {0, 1}), 1e-9);
  EXPECT_LT(Dist(Eval(lead.Elements.back(), 1), {1 - reach, 1}), 1e-6);
  EXPECT_LT(Dist(Eval(rest.Elements.front(), 0), {1 + reach, 1}), 1e-6);
  EXPECT_LT(Dist(Eval(rest.Elements.back(), 1), {2, 1.5}), 1e-9);
  for (const TTNOutRegion* path : {&lead, &rest}) {
    EXPECT_EQ(path->Open, 1);
    ExpectContinuous(*path);
    const auto [lo, hi] =
        DistanceRange(*path, job.doc.Regions[static_cast<size_t>(index)].Elements);
    EXPECT_GE(lo, 1 - 1e-4);
    EXPECT_LE(hi, 1 + 1e-4);
  }
}

// Random open polylines, crossing themselves or not, with arcs between
// some of their points: on either side, no path may come closer to the
// outline than the tool, and every path runs at exactly that distance.
TEST(ContourGeometry, RandomOpenOutlinesAreNeverCutInto) {
  std::mt19937 rng(20261208);
  std::uniform_real_distribution<double> coord(0, 10);
  std::uniform_int_distribution<int> arcChance(0, 3);
  int paths = 0;
  for (int round = 0; round < 40; ++round) {
    TTNEntityArray els;
    Point2 p{coord(rng), coord(rng)};
    for (int k = 0; k < 6; ++k) {
      const Point2 q{coord(rng), coord(rng)};
      if (arcChance(rng) == 0) {
        // A half circle on the chord p-q, either way round.
        const Point2 c{(p.X + q.X) / 2, (p.Y + q.Y) / 2};
        const double r = Dist(p, q) / 2;
        const double a = PointAngle(c, p), b = PointAngle(c, q);
        els.push_back(MakeArc(c.X, c.Y, k % 2 ? r : -r, a, b));
      } else {
        els.push_back(L(p.X, p.Y, q.X, q.Y));
      }
      p = q;
    }
    for (int comp : {kCompRight, kCompLeft}) {
      SCOPED_TRACE(std::to_string(round) + "/" + std::to_string(comp));
      Job job;
      job.doc.MachiningParams.Compensation = comp;
      const int index = job.Add(Open(els));
      ContourCommand(job.doc);
      for (int k = 1; k <= job.Count(); ++k) {
        const TTNOutRegion& path = job.Paths()[static_cast<size_t>(k)];
        ExpectContinuous(path);
        const auto [lo, hi] =
            DistanceRange(path, job.doc.Regions[static_cast<size_t>(index)].Elements);
        EXPECT_GE(lo, kDistance - 1e-4);
        EXPECT_LE(hi, kDistance + 1e-4);
        ++paths;
      }
    }
  }
  EXPECT_GT(paths, 80);
}

// Two segments cross (touching at shared end points aside).
bool SegmentsCross(Point2 a, Point2 b, Point2 c, Point2 d) {
  auto orient = [](Point2 p, Point2 q, Point2 r) {
    return (q.X - p.X) * (r.Y - p.Y) - (q.Y - p.Y) * (r.X - p.X);
  };
  const double d1 = orient(c, d, a), d2 = orient(c, d, b), d3 = orient(a, b, c),
               d4 = orient(a, b, d);
  return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0 && d3 != 0 &&
         d4 != 0;
}

// A closed outline that crosses or touches itself, judged on a fine polygon.
bool SelfIntersecting(const TTNEntityArray& els) {
  const std::vector<Point2> poly = Polygon(els, 48);
  const size_t n = poly.size();
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j + 1 == n) continue;
      if (SegmentsCross(poly[i], poly[(i + 1) % n], poly[j], poly[(j + 1) % n])) return true;
    }
  return false;
}

// Random star-shaped polygons with some edges bulged or bitten by half
// circles (those that cross themselves left out): on either side, every
// path keeps exactly the tool's distance.
TEST(ContourGeometry, RandomClosedOutlinesAreNeverCutInto) {
  std::mt19937 rng(8122026);
  std::uniform_real_distribution<double> radius(2, 8);
  std::uniform_int_distribution<int> arcChance(0, 3);
  int paths = 0, outlines = 0;
  for (int round = 0; round < 100; ++round) {
    const int n = 5 + round % 6;
    std::vector<Point2> v;
    for (int k = 0; k < n; ++k) {
      const double a = 2 * kPi * k / n, r = radius(rng);
      v.push_back({10 + r * std::cos(a), 10 + r * std::sin(a)});
    }
    TTNEntityArray els;
    for (int k = 0; k < n; ++k) {
      const Point2 p = v[k], q = v[(k + 1) % n];
      const int chance = arcChance(rng);
      if (chance <= 1) {
        const Point2 c{(p.X + q.X) / 2, (p.Y + q.Y) / 2};
        const double r = Dist(p, q) / 2;
        els.push_back(MakeArc(c.X, c.Y, chance == 0 ? r : -r, PointAngle(c, p), PointAngle(c, q)));
      } else {
        els.push_back(L(p.X, p.Y, q.X, q.Y));
      }
    }
    if (SelfIntersecting(els)) continue;
    ++outlines;
    for (int comp : {kCompRight, kCompLeft}) {
      SCOPED_TRACE(std::to_string(round) + "/" + std::to_string(comp));
      Job job;
      job.doc.MachiningParams.Compensation = comp;
      const int index = job.Add(Closed(els));
      ContourCommand(job.doc);
      for (int k = 1; k <= job.Count(); ++k) {
        const TTNOutRegion& path = job.Paths()[static_cast<size_t>(k)];
        ExpectContinuous(path);
        const auto [lo, hi] =
            DistanceRange(path, job.doc.Regions[static_cast<size_t>(index)].Elements);
        EXPECT_GE(lo, kDistance - 1e-4);
        EXPECT_LE(hi, kDistance + 1e-4);
        ++paths;
      }
    }
  }
  EXPECT_GT(outlines, 30);
  EXPECT_GE(paths, outlines);
}

TEST(ContourGeometry, ToolTooBigForTheRegionMakesNoPath) {
  Job job;
  job.doc.MachiningParams.Compensation = kCompLeft;  // inside
  job.Add(Circle(0, 0, 0.6));
  job.Add(Slot(10, 20, 0, 0.6));
  EXPECT_EQ(ContourCommand(job.doc), ContourResult::None);
  ASSERT_EQ(job.ui.Messages.size(), 1u);
  EXPECT_EQ(job.ui.Messages[0].Text, "Toolpaths not Created.  Check Parameters.");
}

TEST(ContourGeometry, NoCompensationCutsOnTheLine) {
  Job job;
  job.doc.MachiningParams.Compensation = kCompNone;
  job.doc.MachiningParams.Rough.StockToLeave = 0;
  const int closed = job.Add(Arcs(0, 0));
  const int open = job.Add(ZigZag());
  ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
  ASSERT_EQ(job.Count(), 2);
  const TTNRegionArray& regions = job.doc.Regions;
  const auto c = DistanceRange(job.Paths()[1], regions[static_cast<size_t>(closed)].Elements);
  const auto o = DistanceRange(job.Paths()[2], regions[static_cast<size_t>(open)].Elements);
  EXPECT_LT(c.second, 1e-9);
  EXPECT_LT(o.second, 1e-9);
  EXPECT_EQ(job.Paths()[1].Open, 0);
  EXPECT_EQ(job.Paths()[2].Open, 1);
  EXPECT_EQ(job.Paths()[2].Elements.size(), 4u);
}

// ------------------------------------------------------------ levels, links, tools

TEST(ContourJob, NoCompensationLeavesTheStockOnTheFloor) {
  Job job;
  TTNMachiningParameters& p = job.doc.MachiningParams;
  p.Compensation = kCompNone;
  p.Rough.StockToLeave = 0.5;
  p.Depth = 3;
  job.Add(Rectangle(1, 1, 11, 6));
  ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
  EXPECT_EQ(p.Rough.Radius, 0);
  EXPECT_EQ(p.Finish.Radius, 0);
  EXPECT_EQ(p.Rough.StockToLeave, 0);
  ASSERT_EQ(job.Count(), 3);
  EXPECT_EQ(job.Paths()[1].Depth, 1);
  EXPECT_EQ(job.Paths()[2].Depth, 2);
  EXPECT_EQ(job.Paths()[3].Depth, 2.5);
}

TEST(ContourJob, ZStepZeroCutsEachRegionFromTheFirstDepth) {
  Job job;
  job.doc.MachiningParams.Rough.ZStep = 0;
  job.doc.MachiningParams.Depth = 0;
  const int a = job.Add(Rectangle(0, 0, 10, 10));
  const int b = job.Add(Rectangle(20, 0, 30, 10));
  job.doc.Regions[static_cast<size_t>(a)].Depth = 3;
  job.doc.Regions[static_cast<size_t>(b)].Depth = 5;
  ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
  ASSERT_EQ(job.Count(), 3);
  EXPECT_EQ(job.Paths()[1].Depth, 3);
  EXPECT_EQ(job.Paths()[2].Depth, 3);
  EXPECT_EQ(job.Paths()[3].Depth, 5);
}

TEST(ContourJob, LevelsAndLinksFollowEachOther) {
  for (double step : {1.0, 2.0}) {
    Job job;
    job.doc.MachiningParams.Rough.ZStep = step;
    job.doc.MachiningParams.Depth = 3;
    job.Add(Rectangle(5, 5, 15, 10));
    job.Add(Circle(30, 10, 3));
    ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
    const std::vector<double> levels = step == 1 ? std::vector<double>{1, 2, 3}
                                                 : std::vector<double>{2, 3};
    ASSERT_EQ(job.Count(), 2 * static_cast<int>(levels.size()));
    for (size_t k = 0; k < 2 * levels.size(); ++k) {
      const TTNOutRegion& path = job.Paths()[k + 1];
      const size_t level = k % levels.size();
      EXPECT_EQ(path.Depth, levels[level]);
      if (level == 0) {
        // A new Region: retract, travel, plunge.
        EXPECT_EQ(path.LinkKind, kLinkRetract);
        EXPECT_EQ(path.RapidLevel, -kRapid);
      } else {
        // The next level of a closed path starts where the last one ended.
        EXPECT_EQ(path.LinkKind, kLinkInPlace);
        EXPECT_EQ(path.RapidLevel, path.Depth);
        const TTNOutRegion& prev = job.Paths()[k];
        EXPECT_LT(Dist(Eval(path.Elements.front(), 0), Eval(prev.Elements.back(), 1)), 1e-4);
      }
      EXPECT_EQ(path.ToolNumber, 1);
      EXPECT_EQ(path.Feed, 500);
      EXPECT_EQ(path.PlungeFeed, 100);
      EXPECT_EQ(path.SpindleSpeed, 12000);
    }
  }
}

// A program cannot know that the tool stands at the origin when it starts:
// a first path starting there is reached like any other.
TEST(ContourJob, PathStartingAtTheOriginIsStillReachedByARetract) {
  Job job;
  job.doc.MachiningParams.Compensation = kCompNone;
  job.doc.MachiningParams.Rough.StockToLeave = 0;
  job.Add(Rectangle(0, 0, 10, 5));
  ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
  ASSERT_EQ(job.Count(), 1);
  EXPECT_LT(Dist(Eval(job.Paths()[1].Elements.front(), 0), {0, 0}), 1e-12);
  EXPECT_EQ(job.Paths()[1].LinkKind, kLinkRetract);
  EXPECT_EQ(job.Paths()[1].RapidLevel, -job.doc.MachiningParams.RapidHeight);
}

TEST(ContourJob, FinishPassFollowsWithItsOwnToolFromTheOrigin) {
  Job job;
  TTNMachiningParameters& p = job.doc.MachiningParams;
  p.FinishMode = 1;
  p.Depth = 2;
  const int index = job.Add(Rectangle(5, 5, 15, 10));
  ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
  ASSERT_EQ(job.Count(), 3);  // rough at 1 and 2, finish at 2 (Z step 5)
  const TTNOutRegion& finish = job.Paths()[3];
  EXPECT_EQ(finish.ToolNumber, 2);
  EXPECT_EQ(finish.Feed, 300);
  EXPECT_EQ(finish.Depth, 2);
  EXPECT_EQ(finish.LeadMoves, 1);
  EXPECT_EQ(finish.LinkKind, kLinkRetract);
  const auto [lo, hi] =
      DistanceRange(finish, job.doc.Regions[static_cast<size_t>(index)].Elements);
  EXPECT_NEAR(lo, 0.25, 1e-4);
  EXPECT_NEAR(hi, 0.25, 1e-4);
  EXPECT_EQ(job.Paths()[1].LeadMoves, 0);  // no entry or exit kind chosen
}

TEST(ContourJob, CutoutSkipsTheFinishPass) {
  Job job;
  job.doc.MachiningParams.FinishMode = 1;
  job.doc.MachiningParams.Compensation = kCompCutout;
  job.Add(Rectangle(5, 5, 15, 10));
  ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
  ASSERT_EQ(job.Count(), 1);
  EXPECT_EQ(job.Paths()[1].ToolNumber, 1);
}

TEST(ContourJob, RoughPassReplacesEarlierToolpaths) {
  Job job;
  job.Add(Rectangle(5, 5, 15, 10));
  ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
  ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
  EXPECT_EQ(job.Count(), 1);
}

// ------------------------------------------------------------ the command

TEST(ContourCommand, SeparatesIslandsUnlessCutout) {
  Job job;
  job.doc.MachiningParams.Depth = 2;
  job.doc.MachiningParams.Rough.ZStep = 2;
  const int boundary = job.Add(Rectangle(0, 0, 40, 40));
  const int island = job.Add(Circle(20, 20, 5), 1, boundary);
  job.doc.Regions[static_cast<size_t>(island)].Owner = boundary;
  job.doc.Regions[static_cast<size_t>(island)].Depth = 0.5;
  ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
  EXPECT_EQ(job.doc.Regions[static_cast<size_t>(island)].Owner, 0);
  // Both cut by themselves at the dialog depth, the circle outside too.
  ASSERT_EQ(job.Count(), 2);
  EXPECT_EQ(job.Paths()[2].Depth, 2);
  EXPECT_EQ(job.Paths()[2].Island, 0);
  EXPECT_EQ(InsideShare(job.Paths()[2],
                        Polygon(job.doc.Regions[static_cast<size_t>(island)].Elements)),
            0.0);
  EXPECT_EQ(job.doc.PickMode, kPickNone);
  EXPECT_EQ(job.ui.LastStatus(), "Ready...");
  EXPECT_TRUE(job.ui.Messages.empty());
  EXPECT_EQ(job.doc.ViewMode, 0);  // what to show is the window's decision
}

TEST(ContourCommand, NothingSelectedReportsNoToolpaths) {
  Job job;
  TTNRegion r = Rectangle(0, 0, 5, 5);
  job.doc.Regions.push_back(r);  // not selected
  EXPECT_EQ(ContourCommand(job.doc), ContourResult::None);
  ASSERT_EQ(job.ui.Messages.size(), 1u);
  EXPECT_EQ(job.ui.Messages[0].Text, "Toolpaths not Created.  Check Parameters.");
  EXPECT_EQ(job.ui.LastStatus(), "Ready...");
  EXPECT_EQ(job.doc.PickMode, kPickNone);
}

TEST(ContourCommand, EscapeCancelsAndKeepsWhatWasCut) {
  for (int at : {1, 3}) {
    Job job;
    job.doc.MachiningParams.Depth = 3;
    job.Add(Rectangle(0, 0, 10, 10));
    job.Add(Rectangle(20, 0, 30, 10));
    std::vector<Pick> pickModes;
    job.ui.OnProcessEvents = [&](int n) {
      pickModes.push_back(job.doc.PickMode);
      if (n == at) job.doc.RequestAbort();
    };
    EXPECT_EQ(ContourCommand(job.doc), ContourResult::Cancelled);
    EXPECT_EQ(pickModes.front(), kPickModeContour);
    EXPECT_EQ(job.Count(), at - 1);
    EXPECT_EQ(job.ui.LastStatus(), "Operation Cancelled...");
    EXPECT_EQ(job.doc.PickMode, kPickNone);
  }
}

TEST(ContourCommand, MistypedZStepIsReported) {
  Job job;
  job.doc.MachiningParams.Depth = 1000;
  job.doc.MachiningParams.Rough.ZStep = 0.00001;
  job.Add(Rectangle(0, 0, 10, 10));
  EXPECT_EQ(ContourCommand(job.doc), ContourResult::None);
  ASSERT_EQ(job.ui.Messages.size(), 2u);
  EXPECT_NE(job.ui.Messages[0].Text.find("Z Step"), std::string::npos);
}

// ------------------------------------------------------------ linking

TEST(LinkPaths, SetsTheWayToEachStart) {
  TTNMachiningParameters params;
  params.RapidHeight = 1.5;
  std::vector<TTNRegion> r(4);
  r[0].Elements = {L(1, 1, 5, 1)};
  r[0].Depth = 2;
  r[1].Elements = {L(5.00007, 1, 5, 4)};  // within 0.0001 of the end before
  r[1].Depth = 3;
  r[2].Elements = {L(5.0002, 4, 1, 4)};  // not
  r[2].Depth = 4;
  r[3].Elements = {L(1, 4, 1, 1)};
  r[3].Depth = 4;
  LinkPaths(r, params, {1, 1.00009});
  EXPECT_EQ(r[0].LinkKind, kLinkInPlace);
  EXPECT_EQ(r[0].RapidLevel, 2);
  EXPECT_EQ(r[1].LinkKind, kLinkFeedAtDepth);
  EXPECT_EQ(r[1].RapidLevel, 2);  // the depth of the path before
  EXPECT_EQ(r[2].LinkKind, kLinkRetract);
  EXPECT_EQ(r[2].RapidLevel, -1.5);
  EXPECT_EQ(r[3].LinkKind, kLinkFeedAtDepth);
  EXPECT_EQ(r[3].RapidLevel, 4);

  LinkPaths(r, params, {0, 0});
  EXPECT_EQ(r[0].LinkKind, kLinkRetract);
  EXPECT_EQ(r[0].RapidLevel, -1.5);
}

// ------------------------------------------------------------ simplification

double ChainGap(const TTNEntityArray& els) {
  double gap = 0;
  for (size_t k = 0; k + 1 < els.size(); ++k)
    gap = std::max(gap, Dist(Eval(els[k], 1), Eval(els[k + 1], 0)));
  return gap;
}

TEST(SimplifyPath, MergesNearlyStraightRunsOfLines) {
  TTNArcTolerances tol{0, 0.001, 0};
  TTNRegion r = Open({L(0, 0, 1, 0), L(1, 0, 2, 0.0005), L(2, 0.0005, 3, 0), L(3, 0, 3, 2),
                      L(3, 2, 3, 4), MakeArc(4, 4, -1, kPi, kPi / 2), L(4, 5, 6, 5)});
  SimplifyPath(r, tol);
  ASSERT_EQ(r.Elements.size(), 4u);
  EXPECT_LT(Dist(Eval(r.Elements[0], 1), {3, 0}), 1e-12);
  EXPECT_LT(Dist(Eval(r.Elements[1], 1), {3, 4}), 1e-12);
  EXPECT_NE(r.Elements[2].Radius, 0);
  EXPECT_LT(ChainGap(r.Elements), 1e-12);
  EXPECT_EQ(r.MaxX, 6);
  EXPECT_EQ(r.MaxY, 5);

  // Beyond the deviation nothing merges.
  TTNRegion bent = Open({L(0, 0, 1, 0), L(1, 0, 2, 0.01)});
  SimplifyPath(bent, tol);
  EXPECT_EQ(bent.Elements.size(), 2u);
}

TEST(SimplifyPath, LineTurningBackIsNotSwallowed) {
  TTNRegion r = Open({L(0, 0, 10, 0), L(10, 0, 5, 0), L(5, 0, 5, 3)});
  SimplifyPath(r, TTNArcTolerances{0, 0.01, 0});
  ASSERT_EQ(r.Elements.size(), 3u);
  EXPECT_EQ(r.Elements[0].X2, 10);
}

TEST(SimplifyPath, ShortOrTightArcsBecomeLines) {
  const TTNEntityArray els = {L(0, 0, 10, 0), MakeArc(10, 0.05, 0.05, 3 * kPi / 2, kPi / 2),
                              L(10, 0.1, 0, 0.1), MakeArc(0, 5.1, 5, 3 * kPi / 2, 0)};
  TTNRegion byLength = Open(els);
  SimplifyPath(byLength, TTNArcTolerances{0.2, 0, 0});
  EXPECT_EQ(byLength.Elements[1].Radius, 0);  // length 0.157
  EXPECT_NE(byLength.Elements[3].Radius, 0);
  EXPECT_LT(ChainGap(byLength.Elements), 1e-12);

  TTNRegion byRadius = Open(els);
  SimplifyPath(byRadius, TTNArcTolerances{0, 0, 0.1});
  EXPECT_EQ(byRadius.Elements[1].Radius, 0);
  EXPECT_NE(byRadius.Elements[3].Radius, 0);

  TTNRegion untouched = Open(els);
  SimplifyPath(untouched, TTNArcTolerances{0, 0, 0});
  EXPECT_EQ(untouched.Elements.size(), 4u);
  EXPECT_NE(untouched.Elements[1].Radius, 0);

  // A single Element is left alone, a circle is never flattened.
  TTNRegion circle = Circle(0, 0, 0.01);
  SimplifyPath(circle, TTNArcTolerances{1, 1, 1});
  EXPECT_NE(circle.Elements[0].Radius, 0);
}

// ------------------------------------------------------------ lead moves

TTNOutRegionArray OnePath(TTNEntityArray els, uint8_t island = 0) {
  TTNOutRegionArray paths(2);
  paths[1].Elements = std::move(els);
  paths[1].LeadMoves = 1;
  paths[1].Island = island;
  return paths;
}

// +1 when p lies left of the travel direction f at q.
int SideOf(Point2 q, Point2 f, Point2 p) {
  const double cross = f.X * (p.Y - q.Y) - f.Y * (p.X - q.X);
  return cross > 0 ? 1 : -1;
}

struct LeadCase {
  int Dir, Compensation;
  uint8_t Island;
  int EntrySide;  // +1 left of travel, -1 right
};

TEST(AddLeadMoves, ComeFromTheSideTheToolIsOffsetTo) {
  const LeadCase cases[] = {
      {0, kCompNone, 0, 1},    {0, kCompRight, 0, -1}, {0, kCompLeft, 0, 1},
      {0, kCompCutout, 0, -1}, {0, kCompCutout, 1, 1}, {1, kCompNone, 0, -1},
      {1, kCompRight, 0, -1},  {1, kCompLeft, 0, 1},   {1, kCompCutout, 0, 1},
      {1, kCompCutout, 1, -1}};
  // A clockwise arc path: the tangent at each end comes from the arc.
  const TTNEntity arc = MakeArc(0, 0, -5, kPi / 2, kPi / 6);
  for (const LeadCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Dir) + "/" + std::to_string(c.Compensation) + "/" +
                 std::to_string(c.Island));
    for (int kind : {kLeadArc, kLeadPerpendicular, kLeadTangent}) {
      SCOPED_TRACE(kind);
      TTNOutRegionArray paths = OnePath({arc}, c.Island);
      AddLeadMoves(paths, kind, kind, c.Dir, c.Compensation, 0.4, 0.6);
      const TTNOutRegion& p = paths[1];
      ASSERT_TRUE(p.EntryMove.Mark);
      ASSERT_TRUE(p.ExitMove.Mark);
      const Point2 start = Eval(arc, 0), end = Eval(arc, 1);
      const Point2 fs = Travel(arc, 0), fe = Travel(arc, 1);
      const TTNEntity& in = p.EntryMove;
      const TTNEntity& out = p.ExitMove;
      // The entry ends at the start, the exit leaves from the end.
      EXPECT_LT(Dist(Eval(in, 1), start), 1e-9);
      EXPECT_LT(Dist(Eval(out, 0), end), 1e-9);

      if (kind == kLeadArc) {
        EXPECT_NEAR(std::fabs(in.Radius), 0.6, 1e-12);
        EXPECT_NEAR(std::fabs(out.Radius), 0.4, 1e-12);
        EXPECT_NEAR(std::fabs(Sweep(in)), kPi / 2, 1e-9);
        EXPECT_NEAR(std::fabs(Sweep(out)), kPi / 2, 1e-9);
        // Tangent to the path where they meet it.
        const Point2 ti = Travel(in, 1), to = Travel(out, 0);
        EXPECT_NEAR(ti.X * fs.X + ti.Y * fs.Y, 1, 1e-6);
        EXPECT_NEAR(to.X * fe.X + to.Y * fe.Y, 1, 1e-6);
        EXPECT_EQ(SideOf(start, fs, {in.X, in.Y}), c.EntrySide);
        EXPECT_EQ(SideOf(end, fe, {out.X, out.Y}), c.EntrySide);
      } else if (kind == kLeadPerpendicular) {
        const Point2 a = Eval(in, 0), b = Eval(out, 1);
        EXPECT_NEAR(Dist(a, start), 0.6, 1e-12);
        EXPECT_NEAR(Dist(b, end), 0.4, 1e-12);
        EXPECT_NEAR((start.X - a.X) * fs.X + (start.Y - a.Y) * fs.Y, 0, 1e-9);
        EXPECT_NEAR((b.X - end.X) * fe.X + (b.Y - end.Y) * fe.Y, 0, 1e-9);
        EXPECT_EQ(SideOf(start, fs, a), c.EntrySide);
        EXPECT_EQ(SideOf(end, fe, b), c.EntrySide);
      } else {
        const Point2 a = Eval(in, 0), b = Eval(out, 1);
        EXPECT_LT(Dist(a, {start.X - 0.6 * fs.X, start.Y - 0.6 * fs.Y}), 1e-9);
        EXPECT_LT(Dist(b, {end.X + 0.4 * fe.X, end.Y + 0.4 * fe.Y}), 1e-9);
      }
    }
  }
}

TEST(AddLeadMoves, AbsentWithoutKindLengthOrFlag) {
  TTNOutRegionArray paths = OnePath({L(0, 0, 10, 0)});
  AddLeadMoves(paths, kLeadArc, kLeadNone, 0, kCompRight, 0.5, 0);
  EXPECT_FALSE(paths[1].EntryMove.Mark);  // entry length 0
  EXPECT_FALSE(paths[1].ExitMove.Mark);   // exit kind none

  paths[1].LeadMoves = 0;
  AddLeadMoves(paths, kLeadArc, kLeadArc, 0, kCompRight, 0.5, 0.5);
  EXPECT_FALSE(paths[1].EntryMove.Mark);
  EXPECT_FALSE(paths[1].ExitMove.Mark);

  // Lines without length at the ends do not spoil the direction.
  paths = OnePath({L(0, 0, 0, 0), L(0, 0, 10, 0), L(10, 0, 10, 0)});
  AddLeadMoves(paths, kLeadTangent, kLeadTangent, 0, kCompRight, 1, 1);
  EXPECT_LT(Dist(Eval(paths[1].EntryMove, 0), {-1, 0}), 1e-12);
  EXPECT_LT(Dist(Eval(paths[1].ExitMove, 1), {11, 0}), 1e-12);
}

// Lead moves of real contours come from the waste side: they never come
// closer to the part than the path itself.
TEST(AddLeadMoves, ContourLeadsStayClearOfThePart) {
  for (int kind : {kLeadArc, kLeadPerpendicular, kLeadTangent}) {
    for (bool clockwise : {false, true}) {
      Job job;
      job.doc.Options.Program.Dir = clockwise;
      job.doc.MachiningParams.Compensation = clockwise ? kCompLeft : kCompRight;  // outside
      job.doc.MachiningParams.EntryKind = job.doc.MachiningParams.ExitKind = kind;
      job.doc.MachiningParams.EntryLength = job.doc.MachiningParams.ExitLength = 1;
      const int index = job.Add(Rectangle(0, 0, 20, 10));
      ASSERT_EQ(ContourCommand(job.doc), ContourResult::Made);
      ASSERT_EQ(job.Count(), 1);
      const TTNOutRegion& path = job.Paths()[1];
      EXPECT_EQ(path.LeadMoves, 1);
      ASSERT_TRUE(path.EntryMove.Mark);
      ASSERT_TRUE(path.ExitMove.Mark);
      const TTNEntityArray& outline = job.doc.Regions[static_cast<size_t>(index)].Elements;
      for (int k = 0; k <= 64; ++k) {
        EXPECT_GE(OutlineDist(outline, Eval(path.EntryMove, k / 64.0)), kDistance - 1e-9);
        EXPECT_GE(OutlineDist(outline, Eval(path.ExitMove, k / 64.0)), kDistance - 1e-9);
      }
    }
  }
}

}  // namespace
}  // namespace tarnak
