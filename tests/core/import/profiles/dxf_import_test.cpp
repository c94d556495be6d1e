// The import of whole drawings: DXF text in, Regions and status out.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>
#include <array>

#include "geometry/primitives.h"
#include "import/dxf/dxf_reader.h"
#include "import/profiles/profile_building.h"
#include "shell/commands.h"
#include "shell/dxf_import.h"
#include "test_ui.h"

namespace tarnak {
namespace {

using testing::TestUserInterface;

// Builds the ENTITIES section of a drawing group by group.
class DxfText {
 public:
  DxfText& G(int code, const std::string& v) {
    s_ += std::to_string(code) + "\n" + v + "\n";
    return *this;
  }
  DxfText& N(int code, double v) {
    char b[40];
    std::snprintf(b, sizeof b, "%.10g", v);
    return G(code, b);
  }
  DxfText& Line(double x1, double y1, double x2, double y2, const std::string& layer = "0") {
    return G(0, "LINE").G(8, layer).N(10, x1).N(20, y1).N(11, x2).N(21, y2);
  }
  DxfText& Circle(double x, double y, double r) {
    return G(0, "CIRCLE").G(8, "0").N(10, x).N(20, y).N(40, r);
  }
  // LWPOLYLINE of (x, y, bulge) vertices.
  DxfText& LwPoly(const std::vector<std::array<double, 3>>& v, bool closed) {
    G(0, "LWPOLYLINE").G(8, "0").G(90, std::to_string(v.size())).G(70, closed ? "1" : "0");
    for (const auto& p : v) {
      N(10, p[0]).N(20, p[1]);
      if (p[2] != 0) N(42, p[2]);
    }
    return *this;
  }
  DxfText& Ellipse(double cx, double cy, double mx, double my, double ratio, double t0, double t1) {
    return G(0, "ELLIPSE").G(8, "0").N(10, cx).N(20, cy).N(11, mx).N(21, my).N(40, ratio).N(41, t0).N(42, t1);
  }
  std::string Text() const { return "0\nSECTION\n2\nENTITIES\n" + s_ + "0\nENDSEC\n0\nEOF\n"; }

 private:
  std::string s_;
};

class ImportTest : public ::testing::Test {
 protected:
  TestUserInterface ui;
  Document doc{ui};

  std::string Import(const DxfText& d) {
    return ImportDxfDrawing(doc, ReadDxfBuffer("test.dxf", d.Text(), ui));
  }
};

TEST_F(ImportTest, EmptyDrawingLoadsNothing) {
  EXPECT_EQ(Import(DxfText()), "No Entities Loaded...");
  EXPECT_EQ(doc.Regions.size(), 1u);
  EXPECT_EQ(ui.LastStatus(), "No Entities Loaded...");
  // Texts and points alone make no Regions either.
  DxfText d;
  d.G(0, "POINT").G(8, "0").N(10, 1).N(20, 2);
  EXPECT_EQ(Import(d), "No Entities Loaded...");
}

TEST_F(ImportTest, StatusCountsRegionsAndOpenOnes) {
  DxfText d;
  d.Line(0, 0, 10, 0).Line(10, 0, 10, 10).Line(10, 10, 0, 10).Line(0, 10, 0, 0);
  d.Line(20, 0, 25, 5);
  d.Circle(50, 50, 3);
  EXPECT_EQ(Import(d), "3 Regions Created... 1 Open");
  EXPECT_EQ(ui.LastStatus(), "3 Regions Created... 1 Open");
  EXPECT_DOUBLE_EQ(doc.DrawingExtents.MinX, 0);
  EXPECT_DOUBLE_EQ(doc.DrawingExtents.MaxX, 53);
  EXPECT_DOUBLE_EQ(doc.DrawingExtents.MaxY, 53);
  EXPECT_DOUBLE_EQ(doc.DrawingExtents.Width, 53);
  // The selection marks used while importing are all cleared.
  for (size_t i = 1; i < doc.Regions.size(); ++i) EXPECT_EQ(doc.Regions[i].Selected, 0);
  // Nearest-neighbour order from the lower-left corner: the square first.
  EXPECT_EQ(doc.Regions[1].Elements.size(), 4u);
}

TEST_F(ImportTest, PolylineBulgesBecomeArcs) {
  DxfText d;
  // A slot: two straight sides and two half-circle ends.
  d.LwPoly({{0, 0, 0}, {10, 0, 1}, {10, 4, 0}, {0, 4, 1}}, true);
  Import(d);
  ASSERT_EQ(doc.Regions.size(), 2u);
  const TTNRegion& r = doc.Regions[1];
  EXPECT_EQ(r.Open, 0);
  ASSERT_EQ(r.Elements.size(), 4u);
  int arcs = 0;
  double length = 0;
  for (const auto& e : r.Elements) {
    if (e.IsArc()) {
      ++arcs;
      EXPECT_NEAR(std::fabs(e.Radius), 2, 1e-12);
    }
    length += ElementLength(e);
  }
  EXPECT_EQ(arcs, 2);
  EXPECT_NEAR(length, 20 + 4 * kPi, 1e-9);
  EXPECT_NEAR(r.MaxX, 12, 1e-12);
  EXPECT_NEAR(r.MinX, -2, 1e-12);
}

TEST_F(ImportTest, MirroredPolylineLandsWhereItIsDrawn) {
  // A slot drawn in a plane seen from below (extrusion 0, 0, -1): its
  // object X runs the other way, and its bulges turn the other way.
  DxfText d;
  d.G(0, "LWPOLYLINE").G(8, "0").G(90, "4").G(70, "1");
  d.N(10, 10).N(20, 0).N(10, 20).N(20, 0).N(42, 1).N(10, 20).N(20, 4).N(10, 10).N(20, 4).N(42, 1);
  d.N(210, 0).N(220, 0).N(230, -1);
  Import(d);
  ASSERT_EQ(doc.Regions.size(), 2u);
  const TTNRegion& r = doc.Regions[1];
  EXPECT_NEAR(r.MinX, -22, 1e-9);
  EXPECT_NEAR(r.MaxX, -8, 1e-9);
  EXPECT_NEAR(r.MinY, 0, 1e-9);
  EXPECT_NEAR(r.MaxY, 4, 1e-9);
  double length = 0;
  for (const auto& e : r.Elements) length += ElementLength(e);
  EXPECT_NEAR(length, 20 + 4 * kPi, 1e-9);
}

TEST_F(ImportTest, TwoBulgesOfOneMakeAFullCircle) {
  DxfText d;
  d.LwPoly({{0, 0, 1}, {4, 0, 1}}, true);
  Import(d);
  ASSERT_EQ(doc.Regions.size(), 2u);
  ASSERT_EQ(doc.Regions[1].Elements.size(), 1u);
  const TTNEntity& c = doc.Regions[1].Elements[0];
  EXPECT_TRUE(c.IsFullCircle());
  EXPECT_NEAR(std::fabs(c.Radius), 2, 1e-12);
  EXPECT_NEAR(c.X, 2, 1e-12);
}

TEST_F(ImportTest, ClosedPolylineRepeatingItsFirstVertexGetsNoExtraSegment) {
  DxfText d;
  d.LwPoly({{0, 0, 0}, {5, 0, 0}, {5, 5, 0}, {0, 0, 0}}, true);
  Import(d);
  ASSERT_EQ(doc.Regions.size(), 2u);
  EXPECT_EQ(doc.Regions[1].Elements.size(), 3u);
  EXPECT_EQ(doc.Regions[1].Open, 0);
}

TEST_F(ImportTest, CollinearPolylineSegmentsMerge) {
  DxfText d;
  d.LwPoly({{0, 0, 0}, {2, 0, 0}, {5, 0, 0}, {5, 5, 0}}, false);
  Import(d);
  ASSERT_EQ(doc.Regions.size(), 2u);
  EXPECT_EQ(doc.Regions[1].Elements.size(), 2u);
  EXPECT_EQ(doc.Regions[1].Open, 1);
}

TEST_F(ImportTest, WidePolylineIsItsCentreLine) {
  DxfText d;
  d.G(0, "LWPOLYLINE").G(8, "0").G(90, "2").G(70, "0").N(43, 0.5).N(10, 0).N(20, 0).N(40, 2).N(41, 2);
  d.N(10, 10).N(20, 0);
  Import(d);
  ASSERT_EQ(doc.Regions.size(), 2u);
  EXPECT_EQ(doc.Regions[1].Depth, 0);
  EXPECT_NEAR(doc.Regions[1].MaxY, 0, 1e-12);
}

TEST_F(ImportTest, DirectionOptionTurnsClosedRegions) {
  DxfText d;
  d.LwPoly({{0, 0, 0}, {5, 0, 0}, {5, 5, 0}, {0, 5, 0}}, true);
  d.Line(10, 0, 20, 0).Line(20, 0, 20, 10).Line(20, 10, 10, 0);
  for (bool cw : {false, true}) {
    doc.Options.Program.Dir = cw;
    Import(d);
    ASSERT_EQ(doc.Regions.size(), 3u);
    for (size_t i = 1; i < doc.Regions.size(); ++i) {
      EXPECT_EQ(RegionIsClockwise(doc.Regions[i]), cw ? 1 : 0);
      EXPECT_EQ(doc.Regions[i].Direction, cw ? 1 : 0);
    }
  }
}

TEST_F(ImportTest, FigureEightIsSplitOnlyWithTheFixOption) {
  // One closed outline that crosses itself in the middle.
  DxfText d;
  d.LwPoly({{0, 0, 0}, {10, 10, 0}, {10, 0, 0}, {0, 10, 0}}, true);
  EXPECT_EQ(Import(d), "1 Regions Created... 0 Open");
  doc.Options.Program.Fix = true;
  EXPECT_EQ(Import(d), "2 Regions Created... 0 Open");
  double area = 0;
  for (size_t i = 1; i < doc.Regions.size(); ++i) {
    const TTNRegion& r = doc.Regions[i];
    EXPECT_EQ(r.Open, 0);
    // Each lobe is a triangle with its apex at the crossing (5, 5).
    double a = 0;
    for (const auto& e : r.Elements) a += e.X * e.Y2 - e.X2 * e.Y;
    area += std::fabs(a) / 2;
    const Point2 s = ElementStart(r.Elements.front());
    const Point2 t = ElementEnd(r.Elements.back());
    EXPECT_NEAR(s.X, t.X, 1e-9);
    EXPECT_NEAR(s.Y, t.Y, 1e-9);
  }
  EXPECT_NEAR(area, 50, 1e-9);
}

TEST_F(ImportTest, SelfTouchingOutlineSplitsIntoTwoLoops) {
  // Two squares sharing the corner (5, 5), drawn as one closed polyline.
  DxfText d;
  d.LwPoly({{0, 0, 0}, {5, 0, 0}, {5, 5, 0}, {10, 5, 0}, {10, 10, 0}, {5, 10, 0}, {5, 5, 0}, {0, 5, 0}}, true);
  doc.Options.Program.Fix = true;
  EXPECT_EQ(Import(d), "2 Regions Created... 0 Open");
  for (size_t i = 1; i < doc.Regions.size(); ++i) EXPECT_EQ(doc.Regions[i].Elements.size(), 4u);
}

TEST_F(ImportTest, EllipseStaysWithinItsChordTolerance) {
  DxfText d;
  // Rotated ellipse, a = 20, b = 8, full turn.
  d.Ellipse(5, 5, 20 * std::cos(0.3), 20 * std::sin(0.3), 0.4, 0, kTwoPi);
  Import(d);
  ASSERT_EQ(doc.Regions.size(), 2u);
  const TTNRegion& r = doc.Regions[1];
  EXPECT_EQ(r.Open, 0);
  EXPECT_GT(r.Elements.size(), 20u);
  // Every chord's middle lies within the tolerance of the true curve, and
  // every vertex on it.
  auto curveDistance = [](Point2 p) {
    const double c = std::cos(-0.3), s = std::sin(-0.3);
    const double x = (p.X - 5) * c - (p.Y - 5) * s, y = (p.X - 5) * s + (p.Y - 5) * c;
    // Nearest curve point: refine around the point's own parameter.
    auto dist = [&](double t) { return std::hypot(x - 20 * std::cos(t), y - 8 * std::sin(t)); };
    double lo = std::atan2(y / 8, x / 20) - 0.3, hi = lo + 0.6;
    for (int k = 0; k < 200; ++k) {
      const double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
      if (dist(m1) < dist(m2)) hi = m2; else lo = m1;
    }
    return dist((lo + hi) / 2);
  };
  for (const auto& e : r.Elements) {
    EXPECT_LT(curveDistance(ElementStart(e)), 1e-7);  // written with 10 digits
    EXPECT_LT(curveDistance(ArcMidPoint(e)), kEllipseTolerance);
  }
}

TEST_F(ImportTest, EllipticalArcWrappingThroughZero) {
  DxfText d;
  // From parameter 5 round through 0 to 1: most of the ellipse, not a chord.
  d.Ellipse(0, 0, 10, 0, 0.5, 5.0, 1.0);
  Import(d);
  ASSERT_EQ(doc.Regions.size(), 2u);
  double length = 0;
  for (const auto& e : doc.Regions[1].Elements) length += ElementLength(e);
  EXPECT_GT(length, 15);
  EXPECT_GT(doc.Regions[1].MaxX, 9.9);
}

TEST_F(ImportTest, OpenCommandReportsUnreadableFilesAndClearsBusy) {
  const OpenResult r = OpenDxfCommand(doc, "/nonexistent/folder/drawing.dxf");
  EXPECT_EQ(r, OpenResult::Failed);
  EXPECT_FALSE(doc.Busy);
  ASSERT_FALSE(ui.Messages.empty());
  EXPECT_NE(ui.Messages.back().Text.find("drawing.dxf"), std::string::npos);
}

TEST_F(ImportTest, OpenCommandCancelledByEscapeKeepsTheDocument) {
  const auto dir = std::filesystem::temp_directory_path() / ("tarnak-open-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const auto path = dir / "square.dxf";
  {
    DxfText d;
    d.Line(0, 0, 1, 0).Line(1, 0, 1, 1).Line(1, 1, 0, 0);
    FILE* f = std::fopen(path.string().c_str(), "wb");
    const std::string t = d.Text();
    std::fwrite(t.data(), 1, t.size(), f);
    std::fclose(f);
  }
  ASSERT_EQ(OpenDxfCommand(doc, path.string()), OpenResult::Loaded);
  EXPECT_EQ(doc.FileName, "square");
  EXPECT_EQ(doc.Regions.size(), 2u);
  ui.OnProcessEvents = [&](int) { doc.RequestAbort(); };
  doc.Regions.push_back(doc.Regions[1]);
  EXPECT_EQ(OpenDxfCommand(doc, path.string()), OpenResult::Cancelled);
  EXPECT_EQ(ui.LastStatus(), "Operation Cancelled...");
  EXPECT_EQ(doc.Regions.size(), 3u);
  EXPECT_FALSE(doc.Cancel.stopped());
  EXPECT_FALSE(doc.Busy);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tarnak
