// Blocks and splines expanded: placements checked against points worked out
// by hand, splines against their exact curves.
#include <gtest/gtest.h>

#include <cmath>
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

// Distance from p to the polyline's lines and arcs (bulges), seen from above.
double DistanceToChain(const std::vector<DxfPoint>& v, double x, double y) {
  double best = 1e300;
  for (size_t i = 0; i + 1 < v.size(); ++i) {
    const DxfPoint a = v[i], b = v[i + 1];
    const double steps = 200;
    const double sweep = 4 * std::atan(a.W);
    for (int k = 0; k <= steps; ++k) {
      double px, py;
      const double f = k / steps;
      if (a.W == 0) {
        px = a.X + f * (b.X - a.X);
        py = a.Y + f * (b.Y - a.Y);
      } else {
        const double kk = (1 / a.W - a.W) / 2;
        const double cx = (a.X + b.X - (b.Y - a.Y) * kk) / 2, cy = (a.Y + b.Y + (b.X - a.X) * kk) / 2;
        const double r = std::hypot(a.X - cx, a.Y - cy);
        const double ang = std::atan2(a.Y - cy, a.X - cx) + f * sweep;
        px = cx + r * std::cos(ang);
        py = cy + r * std::sin(ang);
      }
      best = std::min(best, std::hypot(px - x, py - y));
    }
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

}  // namespace
}  // namespace tarnak
