// The raster paths against an exact drop cutter written here, apart from
// the program's own: for every triangle, the highest tip at which the
// cutter touches it is the largest value of z(p) - h(|p - c|) over the
// points p of the triangle within the radius. That function is concave
// over the (convex) part of the triangle inside the radius for the end
// mill, the ball and the V, so a nested golden-section search (over X,
// then over the chord in Y at that X) finds it to far below 1e-6 without
// any case analysis of vertex, edge and facet contacts. Near-vertical
// facets are searched along their edges.
//
// At the grid nodes the path must not be below this drop by more than
// 1e-4; between nodes it is sampled every eighth of a step, and the worst
// dip is printed (the price of the grid method) and compared with the
// program's own gouge report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "import/stl/stl_open.h"
#include "prototype_models.h"
#include "test_ui.h"
#include "toolpaths/raster/drop_cutter.h"

namespace tarnak {
namespace {

using testing::PrototypeTool;

constexpr double kNone = -std::numeric_limits<double>::infinity();
constexpr double kGolden = 0.6180339887498949;

struct Cutter {
  int Type;
  double R;
  double Rise;  // V: rise per unit radius
  double H(double d) const {
    if (Type == kToolBall) return R - std::sqrt(std::max(0.0, R * R - d * d));
    if (Type == kToolV) return Rise * d;
    return 0.0;
  }
};

// Golden-section search for the largest value of a unimodal f on [a, b].
template <class F>
double MaxOn(double a, double b, F&& f, int iterations) {
  if (!(b >= a)) return kNone;
  double best = std::max(f(a), f(b));
  double x1 = b - kGolden * (b - a), x2 = a + kGolden * (b - a);
  double f1 = f(x1), f2 = f(x2);
  for (int i = 0; i < iterations; ++i) {
    if (f1 < f2) {
      a = x1;
      x1 = x2;
      f1 = f2;
      x2 = a + kGolden * (b - a);
      f2 = f(x2);
    } else {
      b = x2;
      x2 = x1;
      f2 = f1;
      x1 = b - kGolden * (b - a);
      f1 = f(x1);
    }
  }
  return std::max({best, f1, f2});
}

struct V3 {
  double x, y, z;
};

double OracleTriangle(const Cutter& c, const TTNTriangle& t, double cx, double cy) {
  const V3 v[3] = {{t.V0.X, t.V0.Y, t.V0.Z}, {t.V1.X, t.V1.Y, t.V1.Z}, {t.V2.X, t.V2.Y, t.V2.Z}};
  const double r2 = c.R * c.R;
  double best = kNone;
  // Along each edge (concave in the edge parameter).
  for (int i = 0; i < 3; ++i) {
    const V3& a = v[i];
    const V3& b = v[(i + 1) % 3];
    const auto f = [&](double s) {
      const double x = a.x + s * (b.x - a.x), y = a.y + s * (b.y - a.y);
      const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      // Outside the radius: a penalty that falls towards it, so the
      // function stays unimodal.
      if (d2 > r2) return -1e9 - (d2 - r2);
      return a.z + s * (b.z - a.z) - c.H(std::sqrt(d2));
    };
    const double m = MaxOn(0.0, 1.0, f, 70);
    if (m > -1e8) best = std::max(best, m);
  }
  const double ux = v[1].x - v[0].x, uy = v[1].y - v[0].y, uz = v[1].z - v[0].z;
  const double wx = v[2].x - v[0].x, wy = v[2].y - v[0].y, wz = v[2].z - v[0].z;
  const double nx = uy * wz - uz * wy, ny = uz * wx - ux * wz, nz = ux * wy - uy * wx;
  if (std::fabs(nz) < 1e-9 * std::sqrt(nx * nx + ny * ny + nz * nz)) return best;
  const auto plane = [&](double x, double y) { return v[0].z - (nx * (x - v[0].x) + ny * (y - v[0].y)) / nz; };
  // The chord of the triangle at X = x.
  const auto chord = [&](double x, double& lo, double& hi) {
    lo = std::numeric_limits<double>::infinity();
    hi = -lo;
    for (int i = 0; i < 3; ++i) {
      const V3& a = v[i];
      const V3& b = v[(i + 1) % 3];
      if ((x < std::min(a.x, b.x)) || (x > std::max(a.x, b.x))) continue;
      if (a.x == b.x) {
        lo = std::min({lo, a.y, b.y});
        hi = std::max({hi, a.y, b.y});
      } else {
        const double y = a.y + (x - a.x) / (b.x - a.x) * (b.y - a.y);
        lo = std::min(lo, y);
        hi = std::max(hi, y);
      }
    }
  };
  const double x0 = std::max(std::min({v[0].x, v[1].x, v[2].x}), cx - c.R);
  const double x1 = std::min(std::max({v[0].x, v[1].x, v[2].x}), cx + c.R);
  const auto column = [&](double x) {
    double lo, hi;
    chord(x, lo, hi);
    const double half = std::sqrt(std::max(0.0, r2 - (x - cx) * (x - cx)));
    const double a = std::max(lo, cy - half), b = std::min(hi, cy + half);
    if (!(a <= b)) return -1e9 - (a - b);  // no chord: penalty falling towards one
    return MaxOn(a, b, [&](double y) {
      const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      return plane(x, y) - c.H(std::sqrt(std::min(d2, r2)));
    }, 50);
  };
  const double m = MaxOn(x0, x1, column, 50);
  if (m > -1e8) best = std::max(best, m);
  return best;
}

double OracleDrop(const Cutter& c, const TTNTriangleArray& tris, double x, double y) {
  double best = kNone;
  for (const TTNTriangle& t : tris) {
    const double bx0 = std::min({t.V0.X, t.V1.X, t.V2.X}), bx1 = std::max({t.V0.X, t.V1.X, t.V2.X});
    const double by0 = std::min({t.V0.Y, t.V1.Y, t.V2.Y}), by1 = std::max({t.V0.Y, t.V1.Y, t.V2.Y});
    const double dx = std::max({bx0 - x, 0.0, x - bx1}), dy = std::max({by0 - y, 0.0, y - by1});
    const double d = std::hypot(dx, dy);
    if (d > c.R) continue;
    const double top = std::max({t.V0.Z, t.V1.Z, t.V2.Z});
    if (top - c.H(d) <= best) continue;
    best = std::max(best, OracleTriangle(c, t, x, y));
  }
  return best;
}

// Built with AddressSanitizer the exact searches run tens of times slower:
// there the corpus model is left out and the moves between nodes are
// sampled more coarsely, so that the run stays within seconds.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct Model {
  const char* Name;
  TTNTriangleArray Tris;
  double Step;
  double Margin = 0.0;  // negative: only the middle of the model is cut
};

std::vector<Model> Models() {
  std::vector<Model> models;
  models.push_back({"hemisphere", testing::Hemisphere(8.0), 0.5});
  models.push_back({"pyramid", testing::Pyramid(12.0, 6.0), 0.5});
  models.push_back({"ridge", testing::Ridge(5.0, 6.0, 5.0), 0.45});
  if (kSanitized) return models;
  testing::TestUserInterface ui;
  CancelToken cancel;
  Model gear{"gearwheel (corpus)", {}, 1.0, -10.0};
  const StlOpenResult r = LoadStlModel(std::string(TARNAK_CORPUS_DIR) + "/stl/stl-models_gearwheel.bin.stl",
                                       0.0, gear.Tris, ui, cancel);
  EXPECT_EQ(r.Status, StlOpenStatus::Loaded);
  models.push_back(std::move(gear));
  return models;
}

const PrototypeTool kTools[] = {
    {kToolEndMill, 3.0, 0.0, 0.5, 100.0, 1},
    {kToolBall, 3.0, 0.0, 0.5, 100.0, 1},
    {kToolV, 3.0, 90.0, 0.5, 100.0, 1},
};

Cutter OracleCutter(const PrototypeTool& t) {
  return {t.Type, t.Diameter / 2.0, t.Type == kToolV ? 1.0 / std::tan(t.Angle * std::numbers::pi / 360.0) : 0.0};
}

// The program's drop cutter agrees with the one here wherever a cutter
// can touch the model.
TEST(GougeOracle, DropCutterAgreesWithTheSearchOverEachTriangle) {
  std::mt19937 rng(7);
  for (const Model& m : Models()) {
    StlModelBox box;
    MeshBox(m.Tris, box);
    std::uniform_real_distribution<double> ux(box.MinX - 1.0, box.MaxX + 1.0), uy(box.MinY - 1.0, box.MaxY + 1.0);
    const TriangleBins bins(m.Tris, 1.5);
    for (const PrototypeTool& tool : kTools) {
      const Cutter oracle = OracleCutter(tool);
      const CutterProfile cutter = CutterProfile::Make(tool.Type, tool.Angle, tool.Diameter);
      for (int i = 0; i < 60; ++i) {
        const double x = ux(rng), y = uy(rng);
        const double want = OracleDrop(oracle, m.Tris, x, y);
        const double got = bins.Drop(cutter, x, y, kNoContact);
        if (want == kNone) {
          EXPECT_EQ(got, kNoContact) << m.Name << " type " << tool.Type << " at " << x << ", " << y;
        } else {
          EXPECT_NEAR(got, want, 1e-5) << m.Name << " type " << tool.Type << " at " << x << ", " << y;
        }
      }
    }
  }
}

// The finish pass stands on the model at every node; between nodes the
// dip is measured, printed and matched against the command's report.
TEST(GougeOracle, PathsStandOnTheModelAtTheNodes) {
  for (const Model& m : Models()) {
    for (PrototypeTool tool : kTools) {
      tool.Step = m.Step;
      testing::TestUserInterface ui;
      Document doc(ui);
      // Roughing along the same rows with no tolerance: its pass is the
      // finishing pass, so the report covers only what is checked here.
      doc.Options.RoughTolerances.TanDev = 0.0;
      ASSERT_EQ(testing::PreparePrototype(doc, m.Tris, tool, tool, kFinishDirX, 0.0, m.Margin), "");
      const PrototypeResult result = PrototypeCommand(doc);
      ASSERT_EQ(result.Status, PrototypeStatus::Made);
      ASSERT_TRUE(result.GridReused);
      ASSERT_EQ(result.FinishPasses, 1);
      const Cutter oracle = OracleCutter(tool);
      const TTNOutRegion3D& pass = doc.Toolpaths3D.back();
      double worstAtNodes = 0.0, worstBetween = 0.0;
      for (std::size_t i = 0; i < pass.Points.size(); ++i) {
        const TTNPoint3D& p = pass.Points[i];
        const double drop = OracleDrop(oracle, doc.Triangles, p.X, p.Y);
        worstAtNodes = std::max(worstAtNodes, drop - p.Z);
        if (i == 0) continue;
        const TTNPoint3D& a = pass.Points[i - 1];
        const double len = std::hypot(p.X - a.X, p.Y - a.Y);
        // Only the triangles near this move can touch the cutter on it.
        TTNTriangleArray near;
        const double x0 = std::min(a.X, p.X) - oracle.R, x1 = std::max(a.X, p.X) + oracle.R;
        const double y0 = std::min(a.Y, p.Y) - oracle.R, y1 = std::max(a.Y, p.Y) + oracle.R;
        for (const TTNTriangle& t : doc.Triangles) {
          if (std::max({t.V0.X, t.V1.X, t.V2.X}) < x0 || std::min({t.V0.X, t.V1.X, t.V2.X}) > x1 ||
              std::max({t.V0.Y, t.V1.Y, t.V2.Y}) < y0 || std::min({t.V0.Y, t.V1.Y, t.V2.Y}) > y1)
            continue;
          near.push_back(t);
        }
        const int pieces = static_cast<int>(std::ceil(len / (m.Step / (kSanitized ? 2.0 : 8.0))));
        for (int k = 1; k < pieces; ++k) {
          const double t = static_cast<double>(k) / pieces;
          const double x = a.X + t * (p.X - a.X), y = a.Y + t * (p.Y - a.Y), z = a.Z + t * (p.Z - a.Z);
          worstBetween = std::max(worstBetween, OracleDrop(oracle, near, x, y) - z);
        }
      }
      std::printf("[ gouge    ] %-20s %-4s at nodes %.6f, between nodes %.4f (program reports %.4f)\n",
                  m.Name, tool.Type == kToolBall ? "ball" : tool.Type == kToolV ? "V90" : "end",
                  worstAtNodes, worstBetween, result.GougeDepth);
      EXPECT_LE(worstAtNodes, 1e-4) << m.Name << " type " << tool.Type;
      // The report is a real dip, where it says, and no shallower than
      // what the samples here found (it samples coarser, then searches
      // around its deepest samples).
      if (result.GougeDepth > 0.0) {
        // The report's cutter is a little narrower at the rim, and its
        // search puts the worst dip where that rim just reaches an edge; a
        // radius larger by a part in 1e9 keeps the contact in reach.
        Cutter reach = oracle;
        reach.R *= (1.0 - kGougeRimTolerance) * (1.0 + 1e-9);
        EXPECT_NEAR(OracleDrop(reach, doc.Triangles, result.GougeX, result.GougeY) - result.GougeZ,
                    result.GougeDepth, 1e-5) << m.Name << " at " << result.GougeX << ", " << result.GougeY << ", " << result.GougeZ << " pass " << result.GougePass;
      }
      EXPECT_GE(result.GougeDepth, 0.9 * worstBetween - 1e-4) << m.Name;
      EXPECT_GE(result.GougeDepth, worstAtNodes - 1e-4) << m.Name;
    }
  }
}

}  // namespace
}  // namespace tarnak
