// Blocks and splines expanded: placements checked against points worked out
// by hand, splines against their exact curves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "dxf_test_util.h"
#include "import/dxf/dxf_expand.h"
#include "import/dxf/dxf_reader.h"

namespace tarnak {
namespace {

using dxftest::DxfText;
using dxftest::EntitiesOf;
using dxftest::RecordingUi;

constexpr double kPiD = 3.14159265358979323846;

std::unique_ptr<DXF_Object> ReadExpanded(const std::string& text, RecordingUi& ui) {
  DxfReadOptions o;
  o.ExpandBlocks = true;
  return ReadDxfBuffer("mem.dxf", text, ui, o);
}

DxfText& Insert(DxfText& t, const std::string& name, double x, double y, double sx, double sy,
                double rot) {
  return t.G(0, "INSERT").G(8, "0").G(2, name).G(10, DxfText::Num(x)).G(20, DxfText::Num(y))
      .G(30, "0").G(41, DxfText::Num(sx)).G(42, DxfText::Num(sy)).G(50, DxfText::Num(rot));
}

DxfPoint ArcPoint(const Arc_& a, double angle) {
  return {a.P1.X + a.Radius * std::cos(angle), a.P1.Y + a.Radius * std::sin(angle), 0, 0};
}

// Block INNER: an arc about (1, 0) of radius 1 from 0 to 90 degrees, base
// (1, 0). OUTER inserts INNER at (0, 0) mirrored in X and scaled by 2,
// base (0, 0); the drawing inserts OUTER at (10, 5) rotated by 90 degrees.
// Inner point p: mirror+scale gives (-2 px', 2 py') with p' = p - (1, 0),
// then rotating by 90 gives (-2 py', -2 px') + (10, 5).
TEST(DxfExpand, MirroredRotatedScaledNestedArcAndSelfInsert) {
  DxfText t;
  t.BeginSection("BLOCKS");
  t.G(0, "BLOCK").G(8, "0").G(2, "inner").G(70, "0").G(10, "1").G(20, "0").G(30, "0");
  t.G(0, "ARC").G(8, "0").G(10, "1").G(20, "0").G(30, "0").G(40, "1").G(50, "0").G(51, "90");
  t.G(0, "ENDBLK");
  t.G(0, "BLOCK").G(8, "0").G(2, "OUTER").G(70, "0").G(10, "0").G(20, "0").G(30, "0");
  Insert(t, "INNER", 0, 0, -2, 2, 0);
  Insert(t, "OUTER", 0, 0, 1, 1, 0);  // inserts itself: refused
  t.G(0, "ENDBLK");
  t.EndSection();
  t.BeginSection("ENTITIES");
  Insert(t, "OUTER", 10, 5, 1, 1, 90);
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = ReadExpanded(t.Str(), ui);
  const auto arcs = EntitiesOf(*d, "ARC");
  ASSERT_EQ(arcs.size(), 1u);
  const auto& a = dynamic_cast<const Arc_&>(*arcs[0]);
  EXPECT_NEAR(a.P1.X, 10.0, 1e-12);
  EXPECT_NEAR(a.P1.Y, 5.0, 1e-12);
  EXPECT_NEAR(a.Radius, 2.0, 1e-12);
  // Inner start (2, 0): p' = (1, 0) -> (10, 3); inner end (1, 1): p' = (0, 1)
  // -> (8, 5). The mirror turns the arc: counter-clockwise it runs from the
  // placed end to the placed start.
  const DxfPoint s = ArcPoint(a, a.StartAngle), e = ArcPoint(a, a.EndAngle);
  EXPECT_NEAR(s.X, 8.0, 1e-9);
  EXPECT_NEAR(s.Y, 5.0, 1e-9);
  EXPECT_NEAR(e.X, 10.0, 1e-9);
  EXPECT_NEAR(e.Y, 3.0, 1e-9);
  int selfNotes = 0;
  for (const auto& c : ui.Calls) {
    EXPECT_EQ(c.Text.find("Explode all Blocks"), std::string::npos);
    if (c.Text.find("\"OUTER\" inserts itself") != std::string::npos) ++selfNotes;
  }
  EXPECT_EQ(selfNotes, 1);
}

TEST(DxfExpand, ArrayPlacesEveryCopyAndOptionOffKeepsTheNote) {
  DxfText t;
  t.BeginSection("BLOCKS");
  t.G(0, "BLOCK").G(8, "0").G(2, "B").G(70, "0").G(10, "0").G(20, "0").G(30, "0");
  t.Line("0", 0, 0, 1, 0);
  t.G(0, "ENDBLK").EndSection();
  t.BeginSection("ENTITIES");
  Insert(t, "B", 0, 0, 1, 1, 0).G(70, "3").G(71, "2").G(44, "5").G(45, "7");
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = ReadExpanded(t.Str(), ui);
  const auto lines = EntitiesOf(*d, "LINE");
  ASSERT_EQ(lines.size(), 6u);
  double sumX = 0, sumY = 0;
  for (const auto* l : lines) {
    sumX += dynamic_cast<const Line_&>(*l).P1.X;
    sumY += dynamic_cast<const Line_&>(*l).P1.Y;
  }
  EXPECT_DOUBLE_EQ(sumX, 2 * (0 + 5 + 10));
  EXPECT_DOUBLE_EQ(sumY, 3 * 7);

  RecordingUi off;
  auto plain = ReadDxfBuffer("mem.dxf", t.Str(), off);
  EXPECT_EQ(EntitiesOf(*plain, "LINE").size(), 0u);
  ASSERT_EQ(off.Calls.size(), 1u);
  EXPECT_NE(off.Calls[0].Text.find("Explode all Blocks"), std::string::npos);
}

// Distance from p to the polyline's lines and arcs (bulges), seen from
// above, worked out exactly for each line and arc.
double DistanceToChain(const std::vector<DxfPoint>& v, double x, double y) {
  double best = 1e300;
  for (size_t i = 0; i + 1 < v.size(); ++i) {
    const DxfPoint a = v[i], b = v[i + 1];
    const double dx = b.X - a.X, dy = b.Y - a.Y;
    double d;
    if (a.W == 0) {
      const double l2 = dx * dx + dy * dy;
      const double t = l2 > 0 ? std::clamp(((x - a.X) * dx + (y - a.Y) * dy) / l2, 0.0, 1.0) : 0.0;
      d = std::hypot(a.X + t * dx - x, a.Y + t * dy - y);
    } else {
      const double kk = (1 / a.W - a.W) / 2;
      const double cx = (a.X + b.X - dy * kk) / 2, cy = (a.Y + b.Y + dx * kk) / 2;
      const double r = std::hypot(a.X - cx, a.Y - cy);
      const double sweep = 4 * std::atan(a.W);
      // Angle from the start to p, measured the way the arc turns.
      double turn = std::atan2(y - cy, x - cx) - std::atan2(a.Y - cy, a.X - cx);
      if (sweep < 0) turn = -turn;
      turn = std::fmod(turn + 8 * kPiD, 2 * kPiD);
      d = turn <= std::fabs(sweep) ? std::fabs(std::hypot(x - cx, y - cy) - r)
                                   : std::min(std::hypot(x - a.X, y - a.Y), std::hypot(x - b.X, y - b.Y));
    }
    best = std::min(best, d);
  }
  return best;
}

TEST(DxfExpand, ClampedCubicStaysOnItsExactPoints) {
  // Clamped cubic Bezier (0,0) (1,2) (3,2) (4,0): B(t) in closed form.
  SplineData s;
  s.Degree = 3;
  s.Knots = {0, 0, 0, 0, 1, 1, 1, 1};
  s.Control = {{0, 0, 0, 0}, {1, 2, 0, 0}, {3, 2, 0, 0}, {4, 0, 0, 0}};
  const double tol = 0.005;
  const auto v = SplineToBulgeVertices(s, tol);
  ASSERT_GE(v.size(), 2u);
  EXPECT_LT(v.size(), 40u);  // arcs, not hundreds of chords
  EXPECT_NEAR(v.front().X, 0, 1e-12);
  EXPECT_NEAR(v.back().X, 4, 1e-12);
  for (int i = 0; i <= 50; ++i) {
    const double t = i / 50.0, u = 1 - t;
    const double x = 3 * u * u * t * 1 + 3 * u * t * t * 3 + t * t * t * 4;
    const double y = 3 * u * u * t * 2 + 3 * u * t * t * 2;
    EXPECT_LT(DistanceToChain(v, x, y), tol) << "t = " << t;
  }
}

TEST(DxfExpand, RationalCircleGivesOneArcPerSpan) {
  // Unit circle as four rational quadratic spans.
  const double w = std::sqrt(0.5);
  SplineData s;
  s.Degree = 2;
  s.Flags = 1 | 4;
  s.Knots = {0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 4};
  s.Control = {{1, 0, 0, 0},  {1, 1, 0, 0},   {0, 1, 0, 0},  {-1, 1, 0, 0}, {-1, 0, 0, 0},
               {-1, -1, 0, 0}, {0, -1, 0, 0}, {1, -1, 0, 0}, {1, 0, 0, 0}};
  s.Weights = {1, w, 1, w, 1, w, 1, w, 1};
  const auto v = SplineToBulgeVertices(s, 0.005);
  ASSERT_EQ(v.size(), 5u);
  for (size_t i = 0; i + 1 < v.size(); ++i)
    EXPECT_NEAR(v[i].W, std::tan(kPiD / 8), 1e-6);  // a quarter turn each
}

// Cox-de Boor basis function N(i, p) at u, written out independently of
// the reader's de Boor evaluation.
double Basis(const std::vector<double>& k, size_t i, int p, double u) {
  if (p == 0) {
    const bool last = u == k.back() && k[i] < k[i + 1] && k[i + 1] == k.back();
    return (k[i] <= u && u < k[i + 1]) || last ? 1.0 : 0.0;
  }
  const size_t pp = static_cast<size_t>(p);
  double a = 0, b = 0;
  if (k[i + pp] > k[i]) a = (u - k[i]) / (k[i + pp] - k[i]) * Basis(k, i, p - 1, u);
  if (k[i + pp + 1] > k[i + 1]) b = (k[i + pp + 1] - u) / (k[i + pp + 1] - k[i + 1]) * Basis(k, i + 1, p - 1, u);
  return a + b;
}

// Random smooth clamped cubics of several spans: the outline stays within
// the tolerance of the exact curve both ways, turns smoothly at every
// vertex (the curve has no corner), and is arcs rather than a polygon.
TEST(DxfExpand, SplinesBecomeTangentContinuousArcsWithinTheTolerance) {
  std::mt19937 rng(20261209);
  std::uniform_real_distribution<double> coord(-50.0, 50.0);
  const double tol = 0.01;
  for (int trial = 0; trial < 30; ++trial) {
    SplineData s;
    s.Degree = 3;
    const size_t n = 4 + static_cast<size_t>(trial % 6);
    for (size_t i = 0; i < n; ++i) s.Control.push_back({coord(rng), coord(rng), 0, 0});
    s.Knots = {0, 0, 0, 0};
    for (size_t i = 1; i + 3 < n; ++i) s.Knots.push_back(static_cast<double>(i));
    for (int i = 0; i < 4; ++i) s.Knots.push_back(static_cast<double>(n - 3));
    const auto v = SplineToBulgeVertices(s, tol);
    ASSERT_GE(v.size(), 2u);
    auto exact = [&](double u) {
      double x = 0, y = 0;
      for (size_t i = 0; i < n; ++i) {
        const double b = Basis(s.Knots, i, 3, u);
        x += b * s.Control[i].X;
        y += b * s.Control[i].Y;
      }
      return std::pair{x, y};
    };
    const double top = s.Knots.back();
    std::vector<std::pair<double, double>> dense;
    for (int i = 0; i <= 2000; ++i) dense.push_back(exact(top * i / 2000.0));
    for (size_t i = 0; i < dense.size(); i += 10)
      ASSERT_LT(DistanceToChain(v, dense[i].first, dense[i].second), tol) << "trial " << trial;
    // Every vertex, and the middle of every arc, near the curve.
    auto nearCurve = [&](double x, double y) {
      double best = 1e300;
      for (size_t i = 0; i + 1 < dense.size(); ++i) {
        const double dx = dense[i + 1].first - dense[i].first, dy = dense[i + 1].second - dense[i].second;
        const double l2 = dx * dx + dy * dy;
        double t = l2 > 0 ? ((x - dense[i].first) * dx + (y - dense[i].second) * dy) / l2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        best = std::min(best, std::hypot(dense[i].first + t * dx - x, dense[i].second + t * dy - y));
      }
      return best;
    };
    double kink = 0;
    for (size_t i = 0; i + 1 < v.size(); ++i) {
      const DxfPoint a = v[i], b = v[i + 1];
      const double sweep = 4 * std::atan(a.W), chord = std::atan2(b.Y - a.Y, b.X - a.X);
      const double sag = a.W * std::hypot(b.X - a.X, b.Y - a.Y) / 2;
      const double mx = (a.X + b.X) / 2 + sag * std::sin(chord), my = (a.Y + b.Y) / 2 - sag * std::cos(chord);
      ASSERT_LT(nearCurve(a.X, a.Y), tol) << "trial " << trial;
      ASSERT_LT(nearCurve(mx, my), tol) << "trial " << trial;
      if (i + 2 < v.size()) {
        const DxfPoint c = v[i + 2];
        const double arrive = chord + sweep / 2;
        const double leave = std::atan2(c.Y - b.Y, c.X - b.X) - 2 * std::atan(b.W);
        kink = std::max(kink, std::fabs(std::remainder(leave - arrive, 2 * kPiD)));
      }
    }
    EXPECT_LT(kink, 1e-3) << "trial " << trial;
    size_t arcs = 0;
    for (const DxfPoint& p : v) arcs += p.W != 0.0;
    EXPECT_GT(2 * arcs, v.size() - 1) << "trial " << trial;
  }
}

}  // namespace
}  // namespace tarnak
