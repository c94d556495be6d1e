// Pocket toolpaths.
//
// The main check is independent of the offset engine: the area swept by the
// tool disc along every rough path of a level (the links fed at depth
// included) is rasterised on a fine grid with exact point-to-line and
// point-to-arc distances, and compared with the area that should be
// cleared, computed per cell from exact distances to the drawing's
// outlines: a cell must be cleared when it lies in the pocket at least the
// stock away from every wall and a tool disc that fits (its centre at least
// radius + stock from every wall) reaches it. Nothing may be cut closer
// than the stock to a wall, and at least 99 % of what should be cleared
// must be cleared when the step-over is at most the tool radius.
//
// Then the job structure: loops of a plain rectangle, links, pass order,
// depth levels and Island tops, the finish modes and the command.
#include "toolpaths/pocket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "geometry/primitives.h"
#include "shell/selection_commands.h"
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

// ------------------------------------------------------------ geometry here

// Where the horizontal line at height y crosses the Element: lines and the
// y-monotone parts of arcs (split at their top and bottom), each counted
// over a half-open range of heights so that a shared end is counted once.
void Crossings(const TTNEntity& e, double y, std::vector<double>& xs) {
  if (e.Radius == 0) {
    if ((e.Y > y) != (e.Y2 > y)) xs.push_back(e.X + (y - e.Y) / (e.Y2 - e.Y) * (e.X2 - e.X));
    return;
  }
  const double r = std::fabs(e.Radius), sweep = Sweep(e);
  // Cut the sweep at the angles pi/2 and 3pi/2 (top and bottom).
  std::vector<double> cuts{0.0, 1.0};
  for (double special : {kPi / 2, 3 * kPi / 2}) {
    const double along = Wrap(sweep > 0 ? special - e.StartAngle() : e.StartAngle() - special);
    const double t = along / std::fabs(sweep);
    if (t > 0 && t < 1) cuts.push_back(t);
  }
  std::sort(cuts.begin(), cuts.end());
  for (size_t k = 0; k + 1 < cuts.size(); ++k) {
    const Point2 a = Eval(e, cuts[k]), b = Eval(e, cuts[k + 1]);
    if ((a.Y > y) == (b.Y > y)) continue;
    const double mid = e.StartAngle() + (cuts[k] + cuts[k + 1]) / 2 * sweep;
    const double h = std::sqrt(std::max(0.0, r * r - (y - e.Y) * (y - e.Y)));
    xs.push_back(std::cos(mid) >= 0 ? e.X + h : e.X - h);
  }
}

// ------------------------------------------------------------ drawings

TTNEntity L(double x1, double y1, double x2, double y2) { return MakeLine(x1, y1, x2, y2); }

TTNRegion Closed(TTNEntityArray els) {
  TTNRegion r;
  r.Elements = std::move(els);
  RegionBounds(r);
  r.Direction = static_cast<uint8_t>(RegionIsClockwise(r));
  return r;
}

TTNRegion Poly(const std::vector<Point2>& p) {
  TTNEntityArray els;
  for (size_t k = 0; k < p.size(); ++k) {
    const Point2 a = p[k], b = p[(k + 1) % p.size()];
    els.push_back(L(a.X, a.Y, b.X, b.Y));
  }
  return Closed(els);
}

TTNRegion Rectangle(double x0, double y0, double x1, double y1) {
  return Poly({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

TTNRegion Circle(double cx, double cy, double r) { return Closed({MakeArc(cx, cy, r, 0, 0)}); }

// Two rooms joined by a corridor narrower than the tool.
TTNRegion Dumbbell(double corridor) {
  const double h = corridor / 2;
  return Poly({{0, 0},
               {10, 0},
               {10, 5 - h},
               {14, 5 - h},
               {14, 0},
               {24, 0},
               {24, 10},
               {14, 10},
               {14, 5 + h},
               {10, 5 + h},
               {10, 10},
               {0, 10}});
}

// Two rooms meeting at a waist too narrow for the tool: a short way across.
TTNRegion Waist() {
  return Poly({{0, 0},
               {10, 0},
               {10, 4.25},
               {10.5, 4.25},
               {10.5, 0},
               {20.5, 0},
               {20.5, 10},
               {10.5, 10},
               {10.5, 5.75},
               {10, 5.75},
               {10, 10},
               {0, 10}});
}

// Five sharp points: corners of 36 degrees, where inward loops keep their
// points and lie furthest apart.
TTNRegion Star() {
  std::vector<Point2> p;
  for (int k = 0; k < 10; ++k) {
    const double a = kPi / 2 + k * kPi / 5, r = k % 2 ? 6 : 15;
    p.push_back({r * std::cos(a), r * std::sin(a)});
  }
  return Poly(p);
}

// A glyph-like outline: a thick letter with serifs, a notched top edge and
// a round bowl, giving many small concave corners and arcs both ways.
TTNRegion Glyph() {
  TTNEntityArray els;
  std::vector<Point2> p{{0, 0}, {6, 0}, {6, 1}, {5, 1}, {5, 6}, {12, 6}};
  for (size_t k = 0; k + 1 < p.size(); ++k)
    els.push_back(L(p[k].X, p[k].Y, p[k + 1].X, p[k + 1].Y));
  // A bowl bulging out to the right, then a bite back in.
  els.push_back(MakeArc(12, 10, 4, 3 * kPi / 2, kPi / 2));
  els.push_back(L(12, 14, 9, 14));
  els.push_back(MakeArc(9, 15.5, -1.5, 3 * kPi / 2, kPi / 2));
  // The notched top edge: teeth 1.2 wide, 1 deep.
  double x = 9;
  const double y = 17;
  std::vector<Point2> q{{9, 17}};
  while (x - 1.2 > 1.0) {
    q.push_back({x - 1.2, y});
    q.push_back({x - 1.2, y - 1});
    q.push_back({x - 2.4, y - 1});
    q.push_back({x - 2.4, y});
    x -= 2.4;
  }
  q.push_back({0, 17});
  q.push_back({0, 0});
  for (size_t k = 0; k + 1 < q.size(); ++k)
    els.push_back(L(q[k].X, q[k].Y, q[k + 1].X, q[k + 1].Y));
  return Closed(els);
}

// ------------------------------------------------------------ running a job

struct Job {
  TestUserInterface ui;
  Document doc{ui};

  explicit Job(double radius = 1.0, double step = 1.0, double stock = 0.0) {
    TTNMachiningParameters& p = doc.MachiningParams;
    p.Rough.Radius = radius;
    p.Rough.StockToLeave = stock;
    p.Finish.StockToLeave = stock;
    p.Rough.XYStep = step;
    p.Rough.ZStep = 1;
    p.Rough.Feed = 500;
    p.Rough.PlungeFeed = 100;
    p.Rough.SpindleSpeed = 12000;
    p.Rough.ToolNumber = 1;
    p.Finish.ToolNumber = 2;
    p.Finish.Feed = 300;
    p.Depth = 1;
    p.RapidHeight = 2;
    doc.Options.Program.Dir = false;
    doc.Options.Program.PocketDir = false;
    doc.Options.Program.Trace = false;
  }

  // Adds a closed Region turned to the options' direction.
  int Add(TTNRegion r) {
    RegionSetDirection(r, doc.Options.Program.Dir ? 1 : 0);
    doc.Regions.push_back(std::move(r));
    return static_cast<int>(doc.Regions.size()) - 1;
  }

  void SelectAll() {
    doc.ComputeExtents();
    SelectAllClosed(doc);
  }

  PocketResult Run() {
    SelectAll();
    return PocketCommand(doc);
  }

  const TTNOutRegionArray& Paths() const { return doc.Toolpaths; }
  int Count() const { return ToolpathCount(doc.Toolpaths); }
  std::vector<const TTNOutRegion*> AtDepth(double z) const {
    std::vector<const TTNOutRegion*> out;
    for (size_t k = 1; k < doc.Toolpaths.size(); ++k)
      if (std::fabs(doc.Toolpaths[k].Depth - z) < 1e-9) out.push_back(&doc.Toolpaths[k]);
    return out;
  }
};

// ------------------------------------------------------------ the machined area

struct AreaReport {
  int ToClear = 0;     // cells that should be cleared
  int Cleared = 0;     // of those, cells the tool reached
  int Gouges = 0;      // cells cut closer than the stock to a wall
  double Worst = 0.0;  // deepest of them, below the stock
  double Share() const { return ToClear ? double(Cleared) / ToClear : 0.0; }
};

// Squared Euclidean distance transform (in cells) along one row or column
// of a grid holding 0 for the cells of a set and infinity elsewhere: the
// lower envelope of the parabolas rooted at the set's cells.
void Edt1(std::vector<double>& f, size_t n, size_t stride, size_t offset) {
  std::vector<double> g(n), z(n + 1);
  std::vector<size_t> v(n);
  for (size_t i = 0; i < n; ++i) g[i] = f[offset + i * stride];
  size_t first = 0;
  while (first < n && std::isinf(g[first])) ++first;
  if (first == n) return;  // nothing of the set here: all stay infinite
  size_t k = 0;
  v[0] = first;
  z[0] = -INFINITY;
  z[1] = INFINITY;
  auto meet = [&](size_t q, size_t p) {
    return ((g[q] + double(q) * double(q)) - (g[p] + double(p) * double(p))) /
           (2.0 * double(q) - 2.0 * double(p));
  };
  for (size_t q = first + 1; q < n; ++q) {
    if (std::isinf(g[q])) continue;
    double s = meet(q, v[k]);
    while (s <= z[k]) {
      --k;
      s = meet(q, v[k]);
    }
    ++k;
    v[k] = q;
    z[k] = s;
    z[k + 1] = INFINITY;
  }
  k = 0;
  for (size_t q = 0; q < n; ++q) {
    while (z[k + 1] < double(q)) ++k;
    const double d = double(q) - double(v[k]);
    f[offset + q * stride] = d * d + g[v[k]];
  }
}

// The outlines are all walls of the level (the pocket is what lies inside
// an odd number of them). The paths at depth z sweep the tool disc; a link
// fed at depth sweeps it too.
AreaReport MachinedArea(const std::vector<TTNEntityArray>& outlines, const TTNOutRegionArray& paths,
                        double z, double radius, double stock, double cell) {
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (const TTNEntityArray& o : outlines)
    for (const TTNEntity& e : o) {
      TTNEntity b = e;
      ElementBounds(b);
      x0 = std::min(x0, b.MinX);
      y0 = std::min(y0, b.MinY);
      x1 = std::max(x1, b.MaxX);
      y1 = std::max(y1, b.MaxY);
    }
  x0 -= 2 * radius;
  y0 -= 2 * radius;
  x1 += 2 * radius;
  y1 += 2 * radius;
  const size_t nx = size_t((x1 - x0) / cell) + 1, ny = size_t((y1 - y0) / cell) + 1;
  auto centre = [&](size_t i, size_t j) {
    return Point2{x0 + (static_cast<double>(i) + 0.5) * cell,
                  y0 + (static_cast<double>(j) + 0.5) * cell};
  };

  // Signed distance to the walls, positive in the pocket: parity along each
  // row, exact distances near the walls (beyond `cap` only the sign counts).
  const double cap = radius + stock + 4 * cell;
  std::vector<double> depthIn(nx * ny, cap);
  auto near = [&](const TTNEntity& e, double reachOut, auto&& visit) {
    TTNEntity b = e;
    ElementBounds(b);
    const long i0 = std::max(0L, long((b.MinX - reachOut - x0) / cell) - 1);
    const long i1 = std::min(long(nx) - 1, long((b.MaxX + reachOut - x0) / cell) + 1);
    const long j0 = std::max(0L, long((b.MinY - reachOut - y0) / cell) - 1);
    const long j1 = std::min(long(ny) - 1, long((b.MaxY + reachOut - y0) / cell) + 1);
    for (long j = j0; j <= j1; ++j)
      for (long i = i0; i <= i1; ++i)
        visit(size_t(j) * nx + size_t(i), centre(size_t(i), size_t(j)));
  };
  for (const TTNEntityArray& o : outlines)
    for (const TTNEntity& e : o)
      near(e, cap,
           [&](size_t k, Point2 c) { depthIn[k] = std::min(depthIn[k], ElementDist(e, c)); });
  std::vector<double> xs;
  for (size_t j = 0; j < ny; ++j) {
    const double y = centre(0, j).Y;
    xs.clear();
    for (const TTNEntityArray& o : outlines)
      for (const TTNEntity& e : o) Crossings(e, y, xs);
    std::sort(xs.begin(), xs.end());
    size_t next = 0;
    bool inside = false;
    for (size_t i = 0; i < nx; ++i) {
      while (next < xs.size() && xs[next] < centre(i, j).X) {
        inside = !inside;
        ++next;
      }
      if (!inside) depthIn[j * nx + i] = -depthIn[j * nx + i];
    }
  }

  // Where a tool disc that fits may stand, and how far each cell is from it.
  std::vector<double> reach(nx * ny);
  for (size_t k = 0; k < nx * ny; ++k) reach[k] = depthIn[k] >= radius + stock ? 0.0 : INFINITY;
  for (size_t j = 0; j < ny; ++j) Edt1(reach, nx, 1, j * nx);
  for (size_t i = 0; i < nx; ++i) Edt1(reach, ny, nx, i);
  const double reach2 = (radius / cell) * (radius / cell);

  // What the tool swept.
  std::vector<char> cut(nx * ny, 0);
  auto sweep = [&](const TTNEntity& e) {
    near(e, radius, [&](size_t k, Point2 c) {
      if (!cut[k] && ElementDist(e, c) <= radius) cut[k] = 1;
    });
  };
  Point2 last{0, 0};
  for (size_t k = 1; k < paths.size(); ++k) {
    const TTNOutRegion& p = paths[k];
    if (p.Elements.empty()) continue;
    if (std::fabs(p.Depth - z) < 1e-9) {
      if (p.LinkKind == kLinkFeedAtDepth)
        sweep(L(last.X, last.Y, Eval(p.Elements.front(), 0).X, Eval(p.Elements.front(), 0).Y));
      for (const TTNEntity& e : p.Elements) sweep(e);
    }
    last = Eval(p.Elements.back(), 1);
  }

  AreaReport rep;
  for (size_t k = 0; k < nx * ny; ++k) {
    const bool should = depthIn[k] >= stock && reach[k] <= reach2;
    if (should) {
      ++rep.ToClear;
      rep.Cleared += cut[k];
    }
    if (cut[k] && depthIn[k] < stock - 1e-3) {
      ++rep.Gouges;
      rep.Worst = std::max(rep.Worst, stock - depthIn[k]);
    }
  }
  return rep;
}

struct AreaCase {
  std::string Name;
  std::vector<TTNRegion> Regions;  // all closed; nesting makes Boundaries and Islands
};

std::vector<AreaCase> AreaCases() {
  return {
      {"Rectangle", {Rectangle(0, 0, 20, 10)}},
      {"Circle", {Circle(0, 0, 8)}},
      {"OneIsland", {Rectangle(0, 0, 30, 20), Circle(12, 9, 3)}},
      // The two right Islands stand closer than the tool fits between; the
      // left one comes within a tool width of the wall.
      {"ThreeIslands",
       {Rectangle(0, 0, 40, 24), Rectangle(2.5, 6, 8, 18), Circle(22, 12, 4),
        Circle(30.5, 12, 3.5)}},
      {"Neck", {Dumbbell(1.5)}},
      {"Waist", {Waist()}},
      {"PocketInIsland", {Rectangle(0, 0, 40, 30), Rectangle(8, 6, 32, 24), Circle(20, 15, 5)}},
      {"Glyph", {Glyph()}},
      {"Star", {Star()}},
      {"IslandGrid",
       {Rectangle(0, 0, 48, 30), Circle(8, 8, 2.5), Circle(20, 8, 3), Circle(32, 8, 2),
        Circle(8, 21, 3.5), Circle(20, 21, 2.5), Circle(34, 20, 3)}},
  };
}

struct AreaParams {
  double Step;
  double Stock;
};

class PocketArea : public ::testing::TestWithParam<AreaParams> {};

TEST_P(PocketArea, ClearsWhatAToolThatFitsReachesAndNothingElse) {
  const AreaParams prm = GetParam();
  const double radius = 1.0;
  for (const AreaCase& c : AreaCases()) {
    SCOPED_TRACE(c.Name);
    Job job(radius, prm.Step, prm.Stock);
    std::vector<TTNEntityArray> walls;
    for (const TTNRegion& r : c.Regions) {
      job.Add(r);
      walls.push_back(r.Elements);
    }
    ASSERT_EQ(job.Run(), PocketResult::Made);
    const AreaReport rep = MachinedArea(walls, job.Paths(), 1.0, radius, prm.Stock, 0.03);
    std::printf("%-14s step %.1f stock %.2f: %7.3f %% of %d cells cleared, %d gouges\n",
                c.Name.c_str(), prm.Step, prm.Stock, 100 * rep.Share(), rep.ToClear, rep.Gouges);
    EXPECT_EQ(rep.Gouges, 0) << "worst " << rep.Worst;
    EXPECT_GE(rep.Share(), 0.99);
  }
}

INSTANTIATE_TEST_SUITE_P(Steps, PocketArea,
                         ::testing::Values(AreaParams{1.0, 0.0}, AreaParams{0.6, 0.0},
                                           AreaParams{1.0, 0.25}));

// The check itself: a job missing its innermost pass leaves area, a pass
// moved outwards cuts into the wall.
TEST(PocketAreaCheck, SeesAMissingPassAndAGouge) {
  Job job;
  job.Add(Rectangle(0, 0, 20, 10));
  ASSERT_EQ(job.Run(), PocketResult::Made);
  const std::vector<TTNEntityArray> walls{Rectangle(0, 0, 20, 10).Elements};
  TTNOutRegionArray paths = job.Paths();
  paths.pop_back();
  EXPECT_LT(MachinedArea(walls, paths, 1.0, 1.0, 0.0, 0.04).Share(), 0.95);
  paths = job.Paths();
  for (TTNEntity& e : paths[1].Elements) {
    e.X -= 0.1;
    e.X2 -= 0.1;
  }
  const AreaReport rep = MachinedArea(walls, paths, 1.0, 1.0, 0.0, 0.04);
  EXPECT_GT(rep.Gouges, 0);
  EXPECT_NEAR(rep.Worst, 0.1, 0.04);
}

// ------------------------------------------------------------ loops and order

Box PathBox(const TTNOutRegion& p) {
  TTNRegion r;
  r.Elements = p.Elements;
  RegionBounds(r);
  return r.Bounds();
}

void ExpectBox(const Box& b, double x0, double y0, double x1, double y1) {
  EXPECT_NEAR(b.MinX, x0, 1e-9);
  EXPECT_NEAR(b.MinY, y0, 1e-9);
  EXPECT_NEAR(b.MaxX, x1, 1e-9);
  EXPECT_NEAR(b.MaxY, y1, 1e-9);
}

TEST(PocketLoops, RectangleLoopsStepInwardsUntilTheyVanish) {
  Job job;  // tool radius 1, step 1, no stock, depth 1, rapid height 2
  job.Add(Rectangle(0, 0, 20, 10));
  ASSERT_EQ(job.Run(), PocketResult::Made);
  ASSERT_EQ(job.Count(), 4);
  for (int k = 1; k <= 4; ++k) {
    SCOPED_TRACE(k);
    const TTNOutRegion& p = job.Paths()[k];
    ExpectBox(PathBox(p), k, k, 20 - k, 10 - k);
    for (const TTNEntity& e : p.Elements) {
      ASSERT_EQ(e.Radius, 0.0);
      // Every corner of the loop is a corner of the rectangle k inwards.
      EXPECT_TRUE(std::fabs(e.X - k) < 1e-9 || std::fabs(e.X - (20 - k)) < 1e-9);
      EXPECT_TRUE(std::fabs(e.Y - k) < 1e-9 || std::fabs(e.Y - (10 - k)) < 1e-9);
    }
    // Cut from the corner nearest where the tool is: the lower left.
    EXPECT_NEAR(p.Elements.front().X, k, 1e-9);
    EXPECT_NEAR(p.Elements.front().Y, k, 1e-9);
    EXPECT_EQ(p.Depth, 1.0);
    EXPECT_EQ(p.ToolNumber, 1);
    EXPECT_EQ(p.Feed, 500.0);
    EXPECT_EQ(p.LeadMoves, 0);
    if (k == 1) {
      EXPECT_EQ(p.LinkKind, kLinkRetract);
      EXPECT_EQ(p.RapidLevel, -2.0);
    } else {  // a short step in open area: fed across at depth
      EXPECT_EQ(p.LinkKind, kLinkFeedAtDepth);
      EXPECT_EQ(p.RapidLevel, 1.0);
    }
  }
}

TEST(PocketLoops, PocketDirCutsTheInnermostLoopFirst) {
  Job job;
  job.doc.Options.Program.PocketDir = true;
  job.Add(Rectangle(0, 0, 20, 10));
  ASSERT_EQ(job.Run(), PocketResult::Made);
  ASSERT_EQ(job.Count(), 4);
  ExpectBox(PathBox(job.Paths()[1]), 4, 4, 16, 6);
  ExpectBox(PathBox(job.Paths()[4]), 1, 1, 19, 9);
}

TEST(PocketLoops, OutlinesStoredTheOtherWayAreStillCutInside) {
  Job job;
  TTNRegion boundary = Rectangle(0, 0, 20, 10);
  RegionSetDirection(boundary, 1);  // against the options' direction
  job.doc.Regions.push_back(boundary);
  TTNRegion island = Circle(10, 5, 2);
  RegionSetDirection(island, 0);
  job.doc.Regions.push_back(island);
  ASSERT_EQ(job.Run(), PocketResult::Made);
  const AreaReport rep =
      MachinedArea({boundary.Elements, island.Elements}, job.Paths(), 1.0, 1.0, 0.0, 0.04);
  EXPECT_EQ(rep.Gouges, 0);
  EXPECT_GE(rep.Share(), 0.99);
}

TEST(PocketLoops, OrderPassesTakesTheNearestLoopAndStartsItThere) {
  TTNRegionArray passes{Rectangle(10, 0, 12, 2), Rectangle(0, 0, 2, 2), Rectangle(4, 0, 6, 2)};
  for (TTNRegion& r : passes) RegionSetDirection(r, 0);
  // The middle one starts at its top right corner.
  std::rotate(passes[2].Elements.begin(), passes[2].Elements.begin() + 2, passes[2].Elements.end());
  OrderPasses(passes, 1, false);
  ASSERT_EQ(passes.size(), 3u);
  EXPECT_EQ(passes[0].MinX, 0.0);
  EXPECT_EQ(passes[1].MinX, 4.0);
  EXPECT_EQ(passes[2].MinX, 10.0);
  // Rotated to begin with the Element nearest to where the last one began,
  // the others following in their order.
  // (its bottom edge: the nearest-Element rules measure to the start of an
  // Element the point does not project onto).
  const Point2 s = ElementStart(passes[1].Elements.front());
  EXPECT_EQ(s.X, 4.0);
  EXPECT_EQ(s.Y, 0.0);
  EXPECT_EQ(ElementStart(passes[1].Elements[1]).X, 6.0);
  EXPECT_EQ(ElementStart(passes[1].Elements[3]).Y, 2.0);
  // The first pass keeps its mark and alone stays selected.
  EXPECT_EQ(passes[2].Parent, 1);
  EXPECT_EQ(passes[2].Selected, 1);
  EXPECT_EQ(passes[0].Selected, 0);
  OrderPasses(passes, 0, true);
  EXPECT_EQ(passes[0].MinX, 10.0);
}

// ------------------------------------------------------------ links

struct LinkCase {
  TTNMachiningParameters Params;
  TTNRegionArray Loops;

  LinkCase() {
    Params.Rough.Radius = 1;
    Params.RapidHeight = 2;
    TTNRegion area = Rectangle(0, 0, 40, 20);
    area.Parent = 1;
    Loops.push_back(area);
  }
  void Obstacle(TTNRegion r) {
    RegionSetDirection(r, 1);
    r.Parent = 0;
    Loops.push_back(r);
  }
  // Two square passes; the second starts at its lower left corner.
  TTNRegionArray Passes(double x0, double x1) {
    TTNRegionArray p{Rectangle(x0 - 1, 5, x0, 6), Rectangle(x1, 5, x1 + 1, 6)};
    std::rotate(p[0].Elements.begin(), p[0].Elements.begin() + 1, p[0].Elements.end());
    for (TTNRegion& r : p) r.Depth = 3;
    return p;  // the first ends at (x0, 5)
  }
};

TEST(PocketLinks, ShortLinksFeedAtDepthAndCrossingAnIslandRetracts) {
  LinkCase c;
  TTNRegionArray p = c.Passes(10, 12);
  LinkPocketPasses(p, c.Loops, c.Params, {10, 5}, 2.0);
  EXPECT_EQ(p[0].LinkKind, kLinkRetract);
  EXPECT_EQ(p[0].RapidLevel, 0.0);  // the level above less the rapid height
  EXPECT_EQ(p[1].LinkKind, kLinkFeedAtDepth);
  EXPECT_EQ(p[1].RapidLevel, 3.0);

  c.Obstacle(Rectangle(10.5, 4, 11.5, 7));
  LinkPocketPasses(p, c.Loops, c.Params, {10, 5}, 2.0);
  EXPECT_EQ(p[1].LinkKind, kLinkRetract);
  EXPECT_EQ(p[1].RapidLevel, -2.0);
}

TEST(PocketLinks, LongLinksLiftAboveTheLevelBefore) {
  LinkCase c;
  TTNRegionArray p = c.Passes(10, 20);
  LinkPocketPasses(p, c.Loops, c.Params, {0, 0}, 2.0);
  EXPECT_EQ(p[1].LinkKind, kLinkRetract);
  EXPECT_EQ(p[1].RapidLevel, 0.0);
  LinkPocketPasses(p, c.Loops, c.Params, {0, 0}, 0.0);  // the first level
  EXPECT_EQ(p[1].RapidLevel, -2.0);
  EXPECT_EQ(p[0].RapidLevel, -2.0);
}

// Two rooms whose first passes face each other across a wall too thin for
// the tool: the straight way between them crosses no outline except at its
// ends, and feeding across (or lifting only a little) would cut the wall.
TEST(PocketLinks, AWayBetweenSeparateAreasRetractsFully) {
  LinkCase c;
  c.Loops.clear();
  TTNRegionArray rooms{Rectangle(0, 0, 10, 10), Rectangle(11.5, 0, 21.5, 10)};
  for (TTNRegion& r : rooms) {
    RegionSetDirection(r, 0);
    r.Parent = 1;
    r.Depth = 3;
    c.Loops.push_back(r);
  }
  // The first room ends at (10, 5) and the second starts at (11.5, 5).
  rooms[0].Elements = {L(10, 5, 10, 10), L(10, 10, 0, 10), L(0, 10, 0, 0), L(0, 0, 10, 0),
                       L(10, 0, 10, 5)};
  rooms[1].Elements = {L(11.5, 5, 11.5, 0), L(11.5, 0, 21.5, 0), L(21.5, 0, 21.5, 10),
                       L(21.5, 10, 11.5, 10), L(11.5, 10, 11.5, 5)};
  LinkPocketPasses(rooms, c.Loops, c.Params, {0, 0}, 2.0);
  EXPECT_EQ(rooms[1].LinkKind, kLinkRetract);
  EXPECT_EQ(rooms[1].RapidLevel, -2.0);
}

// ------------------------------------------------------------ levels

TEST(PocketLevels, ZStepZeroCutsInOneLevelAndKeepsTheDepthAsStep) {
  Job job;
  job.doc.MachiningParams.Rough.ZStep = 0;
  job.doc.MachiningParams.Depth = 0;  // the Regions keep their own depths
  job.Add(Rectangle(0, 0, 20, 10));
  job.Add(Rectangle(30, 0, 50, 10));
  job.SelectAll();
  job.doc.Regions[1].Depth = 3;
  job.doc.Regions[2].Depth = 5;
  ASSERT_EQ(PocketCommand(job.doc), PocketResult::Made);
  EXPECT_EQ(job.doc.MachiningParams.Rough.ZStep, 3.0);
  std::vector<double> depths;
  for (size_t k = 1; k < job.Paths().size(); ++k) {
    const double z = job.Paths()[k].Depth;
    if (std::find(depths.begin(), depths.end(), z) == depths.end()) depths.push_back(z);
  }
  EXPECT_EQ(depths, (std::vector<double>{3.0, 5.0}));
  EXPECT_EQ(job.AtDepth(3).size(), 8u);  // both Regions at 3, the second also at 5
}

TEST(PocketLevels, IslandsStandBelowTheirTopsAndNestedOnesAreLeftOut) {
  TestUserInterface ui;
  Document doc(ui);
  doc.Regions.push_back(Rectangle(0, 0, 60, 40));    // 1: Boundary, depth 3
  doc.Regions.push_back(Rectangle(5, 5, 25, 35));    // 2: Island, top at 1.5
  doc.Regions.push_back(Rectangle(10, 10, 20, 30));  // 3: pocket in 2
  doc.Regions.push_back(Rectangle(12, 12, 18, 28));  // 4: Island in 3: inside Island 2
  doc.Regions.push_back(Circle(40, 20, 5));          // 5: Island, top at 2 (on a level)
  doc.ComputeExtents();
  SelectAllClosed(doc);
  ASSERT_EQ(doc.Regions[4].Owner, 3);
  const double depths[] = {0, 3, 1.5, 3, 0.5, 2};
  for (int i = 1; i <= 5; ++i) doc.Regions[i].Depth = depths[i];
  // A drafted wall on the Boundary: 0.5 further at depth 1, nothing at 3.
  TTNRegionArray profiles(2);
  profiles[1] = Closed({L(0, 0, 1, 10)});
  profiles[1].Open = 1;
  doc.Regions[1].WallProfile = 1;
  doc.Regions[1].WallDelta = 1;
  doc.Regions[1].Depth = 2;
  double zStep = 1;
  TTNMasterRegionArray masters;
  bool noWall = true;
  ASSERT_TRUE(BuildPocketLevels(doc.Regions, profiles, 0.0, 1.0, zStep, true, masters, &noWall));
  EXPECT_FALSE(noWall);
  ASSERT_EQ(masters.size(), 2u);  // the Boundary and the pocket in the Island
  const TTNMasterRegion& m = masters[0];
  ASSERT_EQ(m.Levels.size(), 2u);
  EXPECT_NEAR(m.Levels[0].Distance, 1.5, 1e-9);
  EXPECT_NEAR(m.Levels[1].Distance, 1.0, 1e-9);
  auto regionsOf = [](const TTNMachineRegion& level) {
    std::vector<int> out;
    for (const TTNIsland& i : level.Islands) out.push_back(i.Region);
    return out;
  };
  // At 1 the Island 2 is not there yet but 4, standing in it, is; at 2, 4
  // stands on 2 and 5 tops out.
  EXPECT_EQ(regionsOf(m.Levels[0]), (std::vector<int>{4}));
  EXPECT_EQ(regionsOf(m.Levels[1]), (std::vector<int>{2}));
  EXPECT_EQ(doc.Regions[5].PocketFlag, 1);
  EXPECT_EQ(doc.Regions[2].PocketFlag, 0);
  EXPECT_EQ(masters[1].Region, 3);
  EXPECT_EQ(regionsOf(masters[1].Levels.back()), (std::vector<int>{4}));
}

TEST(PocketLevels, BottomStockLiftsTheLastLevelAndIslandTops) {
  Job job;
  job.doc.MachiningParams.Depth = 3;
  job.doc.MachiningParams.BottomStock = 0.25;
  job.Add(Rectangle(0, 0, 30, 20));
  job.Add(Rectangle(10, 5, 20, 15));
  job.SelectAll();
  job.doc.Regions[2].Depth = 1.5;
  ASSERT_EQ(PocketCommand(job.doc), PocketResult::Made);
  EXPECT_FALSE(job.AtDepth(2.75).empty());
  EXPECT_TRUE(job.AtDepth(3).empty());
  EXPECT_FALSE(job.AtDepth(1.25).empty());  // the Island's top, stock left on it
}

// ------------------------------------------------------------ Island tops

struct TopJob : Job {
  explicit TopJob(double islandDepth, bool trace = false) {
    doc.MachiningParams.Depth = 3;
    doc.Options.Program.Trace = trace;
    Add(Rectangle(0, 0, 30, 20));
    Add(Rectangle(10, 5, 20, 15));
    SelectAll();
    doc.Regions[2].Depth = islandDepth;
  }
};

TEST(PocketIslandTops, ATopOnALevelIsClearedByThatLevelOnly) {
  TopJob job(2.0);
  ASSERT_EQ(PocketCommand(job.doc), PocketResult::Made);
  const auto at1 = job.AtDepth(1), at2 = job.AtDepth(2);
  ASSERT_EQ(at1.size(), at2.size());
  for (size_t k = 0; k < at1.size(); ++k) {
    const Box a = PathBox(*at1[k]), b = PathBox(*at2[k]);
    EXPECT_EQ(a.MinX, b.MinX);
    EXPECT_EQ(a.MaxY, b.MaxY);
  }
  EXPECT_EQ(job.Count(), int(at1.size() + at2.size() + job.AtDepth(3).size()));
}

TEST(PocketIslandTops, ATopBetweenLevelsIsPocketedOnceAtItsDepth) {
  TopJob job(1.5);
  ASSERT_EQ(PocketCommand(job.doc), PocketResult::Made);
  const auto top = job.AtDepth(1.5);
  ASSERT_FALSE(top.empty());
  ExpectBox(PathBox(*top.front()), 11, 6, 19, 14);  // the outermost loop comes first
  for (const TTNOutRegion* p : top) {
    const Box b = PathBox(*p);
    EXPECT_GE(b.MinX, 11 - 1e-9);
    EXPECT_LE(b.MaxX, 19 + 1e-9);
  }
  // Linked from the level before: over the Island, a full retract.
  EXPECT_EQ(top.front()->LinkKind, kLinkRetract);
  EXPECT_EQ(top.front()->RapidLevel, -2.0);
  EXPECT_EQ(job.AtDepth(2).size() + job.AtDepth(3).size() + top.size() + job.AtDepth(1).size(),
            size_t(job.Count()));
}

TEST(PocketIslandTops, TraceRunsTheToolCentreOnTheOutlineWhereItFits) {
  TopJob job(1.5, true);
  ASSERT_EQ(PocketCommand(job.doc), PocketResult::Made);
  ExpectBox(PathBox(*job.AtDepth(1.5).front()), 10, 5, 20, 15);

  // Next to the wall the tool on the outline would cut into the wall.
  Job near;
  near.doc.MachiningParams.Depth = 3;
  near.doc.Options.Program.Trace = true;
  near.Add(Rectangle(0, 0, 30, 20));
  near.Add(Rectangle(10, 0.5, 20, 15));
  near.SelectAll();
  near.doc.Regions[2].Depth = 1.5;
  ASSERT_EQ(PocketCommand(near.doc), PocketResult::Made);
  ExpectBox(PathBox(*near.AtDepth(1.5).front()), 11, 1.5, 19, 14);
}

// A Region marked as standing in an Island (its Owner is the Island) is
// pocketed after the Boundary's levels, as a group of its own.
TEST(PocketIslandTops, ARegionInAnIslandIsPocketedAfterTheGroup) {
  Job job;
  job.doc.MachiningParams.Depth = 0;
  job.Add(Rectangle(0, 0, 40, 30));
  job.Add(Rectangle(8, 6, 32, 24));
  job.Add(Rectangle(14, 10, 26, 20));
  job.SelectAll();
  TTNRegionArray& r = job.doc.Regions;
  r[1].Depth = 2;
  r[3].Owner = 2;  // an Island of the Island
  r[3].Depth = 1;
  ASSERT_EQ(PocketCommand(job.doc), PocketResult::Made);
  const auto inner = job.AtDepth(1);
  std::vector<const TTNOutRegion*> inside;
  for (const TTNOutRegion* p : inner) {
    const Box b = PathBox(*p);
    if (b.MinX >= 14 && b.MaxX <= 26 && b.MinY >= 10 && b.MaxY <= 20) inside.push_back(p);
  }
  ASSERT_FALSE(inside.empty());
  ExpectBox(PathBox(*inside.front()), 15, 11, 25, 19);
  // After every path of the Boundary.
  EXPECT_EQ(inside.back(), &job.Paths().back());
}

// ------------------------------------------------------------ finish

struct FinishJob : Job {
  explicit FinishJob(int mode, double finishRadius = 1.0, double stock = 0.0)
      : Job(1.0, 1.0, stock) {
    TTNMachiningParameters& p = doc.MachiningParams;
    p.FinishMode = mode;
    p.Finish.Radius = finishRadius;
    p.Finish.XYStep = 0.8;
    p.Finish.ZStep = 1;
    p.BottomStock = mode == kFinishAll ? stock : 0.0;
    p.EntryKind = kLeadArc;
    p.EntryLength = 0.5;
    Add(Rectangle(0, 0, 30, 20));
    Add(Circle(15, 10, 3));
  }
  std::vector<const TTNOutRegion*> Finish() const {
    std::vector<const TTNOutRegion*> out;
    for (size_t k = 1; k < doc.Toolpaths.size(); ++k)
      if (doc.Toolpaths[k].ToolNumber == 2) out.push_back(&doc.Toolpaths[k]);
    return out;
  }
};

TEST(PocketFinish, IslandsOnlyCutsTheIslandContourWithLeadMoves) {
  FinishJob job(kFinishIslands, 0.5);
  ASSERT_EQ(job.Run(), PocketResult::Made);
  const auto fin = job.Finish();
  ASSERT_EQ(fin.size(), 1u);
  ExpectBox(PathBox(*fin[0]), 11.5, 6.5, 18.5, 13.5);
  EXPECT_EQ(fin[0]->LeadMoves, 1);
  EXPECT_TRUE(fin[0]->EntryMove.Mark);
  EXPECT_EQ(fin[0]->Feed, 300.0);
}

TEST(PocketFinish, BoundaryContoursAreLeftOutWhenTheRoughPassCutThemAlready) {
  FinishJob same(kFinishIslandsAndBoundaries, 1.0);
  ASSERT_EQ(same.Run(), PocketResult::Made);
  EXPECT_EQ(same.Finish().size(), 1u);
  FinishJob smaller(kFinishIslandsAndBoundaries, 0.5);
  ASSERT_EQ(smaller.Run(), PocketResult::Made);
  const auto fin = smaller.Finish();
  ASSERT_EQ(fin.size(), 2u);
  Box outer = PathBox(*fin[0]);
  if (outer.MinX > 1) outer = PathBox(*fin[1]);
  ExpectBox(outer, 0.5, 0.5, 29.5, 19.5);
}

TEST(PocketFinish, BothAndBottomClearsTheFloorAgainWithTheFinishStep) {
  FinishJob job(kFinishAll, 1.0, 0.2);
  job.doc.MachiningParams.Depth = 2;
  ASSERT_EQ(job.Run(), PocketResult::Made);
  int atBottom = 0, above = 0;
  for (const TTNOutRegion* p : job.Finish()) (p->Depth == 2.0 ? atBottom : above)++;
  EXPECT_EQ(above, 2);  // the two contours of level 1
  EXPECT_GT(atBottom, 8);
  // The floor passes carry no lead moves; the contours do.
  int leads = 0;
  for (const TTNOutRegion* p : job.Finish()) leads += p->LeadMoves;
  EXPECT_EQ(leads, 4);
  // The rough pass stopped above the floor.
  EXPECT_FALSE(job.AtDepth(1.8).empty());
}

TEST(PocketFinish, AFinishStepOfZeroDoesNotHang) {
  FinishJob job(kFinishAll, 1.0, 0.2);
  job.doc.MachiningParams.Finish.XYStep = 0;
  ASSERT_EQ(job.Run(), PocketResult::Made);
  EXPECT_EQ(job.Finish().size(), 2u);
}

// An Island assigned by hand need not lie in its Boundary: what stands
// outside is no part of the pocket, and nothing is cut there.
TEST(PocketFinish, AnIslandOutsideItsBoundaryIsNotCut) {
  FinishJob job(kFinishIslands, 0.5);
  job.SelectAll();
  TTNRegion outside = Circle(45, 10, 3);
  RegionSetDirection(outside, 0);
  outside.Selected = 1;
  outside.Owner = outside.Parent = 1;
  outside.Level = 1;
  job.doc.Regions.push_back(outside);
  ASSERT_EQ(PocketCommand(job.doc), PocketResult::Made);
  for (size_t k = 1; k < job.Paths().size(); ++k) EXPECT_LE(PathBox(job.Paths()[k]).MaxX, 30.0);
  EXPECT_EQ(job.Finish().size(), 1u);
}

// ------------------------------------------------------------ the command

TEST(PocketCommand, NothingSelectedIsReported) {
  Job job;
  job.Add(Rectangle(0, 0, 20, 10));
  EXPECT_EQ(PocketCommand(job.doc), PocketResult::NothingSelected);
  ASSERT_EQ(job.ui.Messages.size(), 1u);
  EXPECT_EQ(job.ui.Messages[0].Text, "Nothing Selected! - Select Regions First");
}

TEST(PocketCommand, NoPathsIsReportedAndReplacesTheOldList) {
  Job job(1.0, 0.0);  // no step-over
  job.Add(Rectangle(0, 0, 20, 10));
  TTNRegion old = Rectangle(0, 0, 1, 1);
  AppendToolpath(job.doc.Toolpaths, old, job.doc.MachiningParams.Rough);
  EXPECT_EQ(job.Run(), PocketResult::None);
  EXPECT_EQ(job.Count(), 0);
  ASSERT_EQ(job.ui.Messages.size(), 1u);
  EXPECT_EQ(job.ui.Messages[0].Text, "Toolpaths not Created.  Check Parameters.");
  EXPECT_EQ(job.ui.LastStatus(), "Ready...");
  EXPECT_EQ(job.doc.PickMode, kPickNone);
}

TEST(PocketCommand, EscapeStopsTheJobAndKeepsWhatWasCut) {
  Job job;
  job.doc.MachiningParams.Depth = 3;
  job.Add(Rectangle(0, 0, 20, 10));
  job.SelectAll();
  const int before = job.ui.EventsProcessed;
  Pick pickModeSeen{-1};
  job.ui.OnProcessEvents = [&](int n) {
    if (n == before + 1) pickModeSeen = job.doc.PickMode;
    if (n == before + 7) job.doc.RequestAbort();
  };
  EXPECT_EQ(PocketCommand(job.doc), PocketResult::Cancelled);
  EXPECT_EQ(pickModeSeen, kPickModePocket);
  EXPECT_GT(job.Count(), 0);
  EXPECT_TRUE(job.AtDepth(3).empty());
  EXPECT_EQ(job.ui.LastStatus(), "Operation Cancelled...");
  EXPECT_EQ(job.doc.PickMode, kPickNone);
}

// ------------------------------------------------------------ first passes

TEST(PocketFirstPass, IslandsWhoseClearancesOverlapMakeOneObstacleLoop) {
  Job job;
  job.Add(Rectangle(0, 0, 40, 24));
  job.Add(Circle(22, 12, 4));
  job.Add(Circle(30.5, 12, 3.5));
  job.SelectAll();
  TTNMachineRegion level;
  level.Region = 1;
  level.Distance = 1;
  level.Z = 1;
  level.Islands = {{2, 1.0}, {3, 1.0}};
  TTNRegionArray mainLoops, obstacles;
  ASSERT_TRUE(FirstPass(job.doc.Cancel, job.doc.Regions, level, 0, {}, mainLoops, obstacles));
  ASSERT_EQ(mainLoops.size(), 1u);
  ASSERT_EQ(obstacles.size(), 1u);
  ExpectBox(obstacles[0].Bounds(), 17, 7, 35, 17);
  // Every point of it lies 1 from the nearer circle and no nearer the other.
  const TTNRegion& a = job.doc.Regions[2];
  const TTNRegion& b = job.doc.Regions[3];
  for (const TTNEntity& e : obstacles[0].Elements)
    for (double t : {0.0, 0.3, 0.5, 0.9}) {
      const Point2 q = Eval(e, t);
      const double da = ArcDist(q, a.Elements[0]), db = ArcDist(q, b.Elements[0]);
      EXPECT_NEAR(std::min(da, db), 1.0, 1e-7);
    }
  EXPECT_EQ(RegionIsClockwise(obstacles[0]), 1);
}

}  // namespace
}  // namespace tarnak
