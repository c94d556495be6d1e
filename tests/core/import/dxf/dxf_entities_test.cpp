#include "import/dxf/dxf_entities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dxf_test_util.h"
#include "geometry/primitives.h"
#include "import/dxf/dxf_reader.h"

namespace tarnak {
namespace {

using dxftest::EntitiesOf;
using dxftest::RecordingUi;

TEST(DxfNumberFormat, SevenSignificantDigitsSixDecimals) {
  EXPECT_EQ(FormatDxfNumber(12.5), "12.500000");
  EXPECT_EQ(FormatDxfNumber(-2.5), "-2.500000");
  EXPECT_EQ(FormatDxfNumber(0), "0.000000");
  EXPECT_EQ(FormatDxfNumber(90), "90.000000");
  EXPECT_EQ(FormatDxfNumber(123.456789), "123.456800");
  EXPECT_EQ(FormatDxfNumber(0.1234567891), "0.123457");
  EXPECT_EQ(FormatDxfNumber(1234567.25), "1234567.000000");
  // Halves go away from zero.
  EXPECT_EQ(FormatDxfNumber(1234566.5), "1234567.000000");
  EXPECT_EQ(FormatDxfNumber(-1234566.5), "-1234567.000000");
  EXPECT_EQ(FormatDxfNumber(0.0000004), "0.000000");
  EXPECT_EQ(FormatDxfNumber(-0.0000004), "0.000000");
  EXPECT_EQ(FormatDxfNumber(9999999.6), "1E7");
  EXPECT_EQ(FormatDxfNumber(12345678), "1.234568E7");
  EXPECT_EQ(FormatDxfNumber(-1e10), "-1E10");
  EXPECT_EQ(FormatDxfNumber(std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FormatDxfNumber(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(DxfColours, NumberModuloThirteenAndValueToNumber) {
  Line_ l;
  l.SetColourFromNumber(14);
  EXPECT_EQ(l.ColourNumber, 14);
  EXPECT_EQ(l.Colour, DxfColourFromNumber(1));
  l.SetColourFromNumber(-1);  // layer switched off: still a table entry
  EXPECT_EQ(l.Colour, DxfColourFromNumber(12));
  l.SetColourFromNumber(256);
  EXPECT_EQ(l.Colour, DxfColourFromNumber(256 % 13));
  l.SetColourFromValue(DxfColourFromNumber(5));
  EXPECT_EQ(l.ColourNumber, 5);
  l.SetColourFromValue(0x123456);
  EXPECT_EQ(l.ColourNumber, 0);
}

TEST(DxfOcs, ArbitraryAxis) {
  EXPECT_FALSE(MakeOcs(DxfPoint{0, 0, 1, 0}).has_value());
  EXPECT_FALSE(MakeOcs(DxfPoint{0, 0, 3, 0}).has_value());
  const auto down = MakeOcs(DxfPoint{0, 0, -1, 0});
  ASSERT_TRUE(down.has_value());
  const DxfPoint w = down->ToWorld(DxfPoint{1, 2, 3, 0});
  EXPECT_EQ(w.X, -1);
  EXPECT_EQ(w.Y, 2);
  EXPECT_EQ(w.Z, -3);
  // Just above the 1/64 threshold the world Z axis is used.
  const auto tilted = MakeOcs(DxfPoint{0.02, 0, 1, 0});
  ASSERT_TRUE(tilted.has_value());
  EXPECT_NEAR(tilted->Ax.Y, 1.0, 1e-12);
  const auto near = MakeOcs(DxfPoint{0.01, 0, 1, 0});
  EXPECT_NEAR(near->Ax.X, 1.0, 1e-3);
}

TEST(DxfEntityBasics, CountsOpenClosedAndNames) {
  DXF_Entity base;
  EXPECT_EQ(base.PointCount(), 1);
  EXPECT_EQ(base.SegmentCount(), 0);
  EXPECT_FALSE(base.IsOpen());
  EXPECT_FALSE(base.IsClosed());
  Line_ l;
  EXPECT_EQ(l.PointCount(), 2);
  EXPECT_EQ(l.SegmentCount(), 1);
  EXPECT_EQ(l.ClassName(), "LINE");
  EXPECT_FALSE(l.IsPolyline());
  Polyline_ p;
  p.Vertices = {{0, 0, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 0}};
  EXPECT_EQ(p.PointCount(), 3);
  EXPECT_EQ(p.SegmentCount(), 3);
  EXPECT_TRUE(p.IsOpen());
  p.Vertices.push_back({0, 0, 0, 0.5});
  EXPECT_TRUE(p.IsClosed());  // ends meet
  Polyface_mesh_ pm;
  EXPECT_TRUE(pm.IsPolyline());
  EXPECT_EQ(Face3D_().ClassName(), "3DFACE");
  EXPECT_EQ(Polygon_mesh_().ClassName(), "POLYGON_MESH");
}

TEST(DxfEntityGeometry, ExtentsOfArcsEllipsesAndBulges) {
  Arc_ a;
  a.P1 = {10, 0, 0, 0};
  a.Radius = 2;
  a.StartAngle = 3 * kPi / 2;
  a.EndAngle = kPi / 2;  // right half, through angle 0
  ExtentBox b;
  a.WidenExtents(b);
  EXPECT_NEAR(b.MinX, 10, 1e-12);
  EXPECT_NEAR(b.MaxX, 12, 1e-12);
  EXPECT_NEAR(b.MinY, -2, 1e-12);
  EXPECT_NEAR(b.MaxY, 2, 1e-12);

  Ellipse_ e;
  e.P1 = {0, 0, 0, 0};
  e.P2 = {0, 4, 0, 0};  // major axis along Y
  e.Ratio = 0.5;
  e.StartParam = 0;
  e.EndParam = kTwoPi;
  ExtentBox eb;
  e.WidenExtents(eb);
  EXPECT_NEAR(eb.MinX, -2, 1e-12);
  EXPECT_NEAR(eb.MaxX, 2, 1e-12);
  EXPECT_NEAR(eb.MaxY, 4, 1e-12);

  Polyline_ p;  // clockwise half circle from (0,0) to (2,0): over the top
  p.Vertices = {{0, 0, 0, -1}, {2, 0, 0, 0}};
  ExtentBox pb;
  p.WidenExtents(pb);
  EXPECT_NEAR(pb.MinY, 0, 1e-12);
  EXPECT_NEAR(pb.MaxY, 1, 1e-12);
  p.Vertices[0].W = 1;  // counter-clockwise: under the chord
  ExtentBox pc;
  p.WidenExtents(pc);
  EXPECT_NEAR(pc.MinY, -1, 1e-12);
  EXPECT_NEAR(pc.MaxY, 0, 1e-12);
}

TEST(DxfEntityGeometry, DistancesNearestVerticesAndHits) {
  Line_ l;
  l.P1 = {0, 0, 0, 0};
  l.P2 = {10, 0, 0, 0};
  EXPECT_DOUBLE_EQ(l.DistanceSquared({5, 3, 0, 0}), 9);
  EXPECT_DOUBLE_EQ(l.DistanceSquared({-3, 4, 0, 0}), 25);
  double d2 = 0;
  EXPECT_EQ(l.NearestVertex({9, 1, 0, 0}, d2), 1);
  EXPECT_DOUBLE_EQ(d2, 2);
  EXPECT_TRUE(l.Hit({5, 0.5, 0, 0}, 0.6));
  EXPECT_FALSE(l.Hit({5, 0.7, 0, 0}, 0.6));

  Arc_ a;  // upper half circle of radius 1
  a.Radius = 1;
  a.StartAngle = 0;
  a.EndAngle = kPi;
  EXPECT_NEAR(a.DistanceSquared({0, 2, 0, 0}), 1, 1e-12);
  EXPECT_NEAR(a.DistanceSquared({0, -2, 0, 0}), 5, 1e-12);  // nearest is an end

  Polyline_ p;
  p.Closed = true;
  p.Vertices = {{0, 0, 0, 0}, {4, 0, 0, 0}, {4, 4, 0, 0}};
  EXPECT_NEAR(p.DistanceSquared({1, 2, 0, 0}), 0.5, 1e-12);  // closing edge
  EXPECT_EQ(p.NearestVertex({4, 3, 0, 0}, d2), 2);
  DXF_Entity base;
  EXPECT_FALSE(base.Hit({0, 0, 0, 0}, 1));
  EXPECT_EQ(base.NearestVertex({0, 0, 0, 0}, d2), -1);
}

TEST(DxfEntityEditing, MoveSnapAndReplace) {
  Ellipse_ e;
  e.P1 = {1, 1, 0, 0};
  e.P2 = {3, 0, 0, 0};
  e.Move({1, 2, 0, 0});
  EXPECT_EQ(e.P1.X, 2);
  EXPECT_EQ(e.P2.X, 3);  // the axis is relative and stays
  e.ReplaceVertex(1, {2, 5, 0, 0});
  EXPECT_EQ(e.P2.X, 0);
  EXPECT_EQ(e.P2.Y, 2);

  Polyline_ p;
  p.Vertices = {{0.26, 0.74, 0, 0.5}, {1.1, 2.4, 0, 0}};
  p.SnapToGrid(0.5);
  EXPECT_EQ(p.Vertices[0].X, 0.5);
  EXPECT_EQ(p.Vertices[0].Y, 0.5);
  EXPECT_EQ(p.Vertices[0].W, 0.5);  // the bulge is no coordinate
  p.ReplaceVertex(1, {7, 8, 0, 0});
  p.ReplaceVertex(5, {7, 8, 0, 0});  // out of range: ignored
  EXPECT_EQ(p.Vertices[1].X, 7);
  p.Move({1, 1, 1, 0});
  EXPECT_EQ(p.Vertices[1].Z, 1);

  Text_ t;
  t.P1 = {1, 1, 0, 0};
  t.Align = {2, 1, 0, 0};
  t.Move({10, 0, 0, 0});
  EXPECT_EQ(t.Align.X, 12);
  t.SnapToGrid(0);  // no grid: unchanged
  EXPECT_EQ(t.P1.X, 11);
}

TEST(DxfEntityText, Description) {
  Line_ l;
  l.P1 = {1, 2, 0, 0};
  l.P2 = {3, 4.5, 0, 0};
  EXPECT_EQ(l.Description(), "WCS\r\nLINE\r\nOpen\r\n1.000000, 2.000000, 0.000000\r\n3.000000, 4.500000, 0.000000");
  Circle_ c;
  c.SetupOcs({0, 0, -1, 0});
  EXPECT_EQ(c.Description().rfind("OCS Axis 0.000000, 0.000000, -1.000000\r\nCIRCLE\r\nOpen\r\n", 0), 0u)
      << c.Description();
}

TEST(DxfLayers, ListNamesAndListsMustStayInStep) {
  DXF_Layer layer;
  layer.Name = "0";
  auto l = std::make_unique<Line_>();
  layer.Add(std::move(l));
  layer.Add(std::make_unique<Circle_>());
  layer.Add(std::make_unique<Line_>());
  ASSERT_EQ(layer.Lists.size(), 2u);
  EXPECT_EQ(layer.Lists[0]->Entities.size(), 2u);
  layer.ListNames.push_back("STRAY");
  EXPECT_THROW(
      {
        try {
          layer.ListFor("ARC");
        } catch (const std::exception& e) {
          EXPECT_STREQ(e.what(), "Entity list ID mismatch");
          throw;
        }
      },
      std::exception);
}

// Writes every entity of a drawing into an ENTITIES section and reads it back.
TEST(DxfEntityWriting, WrittenEntitiesReadBackAlike) {
  auto d = std::make_unique<DXF_Object>();
  auto layer = std::make_unique<DXF_Layer>();
  layer->Name = "CUT";
  auto line = std::make_unique<Line_>();
  line->P1 = {1, 2, 3, 0};
  line->P2 = {4.25, 5, 6, 0};
  line->SetColourFromNumber(3);
  layer->Add(std::move(line));
  auto arc = std::make_unique<Arc_>();
  arc->P1 = {1, 1, 0, 0};
  arc->Radius = 5;
  arc->StartAngle = kPi / 2;
  arc->EndAngle = kPi;
  layer->Add(std::move(arc));
  auto circle = std::make_unique<Circle_>();
  circle->P1 = {-1, -1, 0, 0};
  circle->Radius = 0.125;
  layer->Add(std::move(circle));
  auto pl = std::make_unique<Polyline_>();
  pl->Closed = true;
  pl->Width = 0.5;
  pl->Vertices = {{0, 0, 0, 0.5}, {10, 0, 0, 0}, {10, 10, 0, 0}, {0, 0, 0, 0}};
  layer->Add(std::move(pl));
  auto el = std::make_unique<Ellipse_>();
  el->P1 = {2, 3, 0, 0};
  el->P2 = {4, 0, 0, 0};
  el->Ratio = 0.5;
  el->StartParam = 0.5;
  el->EndParam = 2;
  layer->Add(std::move(el));
  auto face = std::make_unique<Face3D_>();
  face->Closed = true;
  face->Vertices = {{0, 0, 1, 0}, {1, 0, 1, 0}, {1, 1, 1, 0}};
  layer->Add(std::move(face));
  auto grid = std::make_unique<Polygon_mesh_>();
  grid->M = 1;
  grid->N = 2;
  grid->ClosedN = true;
  grid->Vertices = {{0, 0, 0, 0}, {1, 0, 0, 0}};
  layer->Add(std::move(grid));
  auto pf = std::make_unique<Polyface_mesh_>();
  pf->Vertices = {{0, 0, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 0}};
  Polyface_mesh_::Face f;
  f.V[0] = 0;
  f.V[1] = 1;
  f.V[2] = 2;
  pf->Faces.push_back(f);
  layer->Add(std::move(pf));
  auto text = std::make_unique<Text_>();
  text->P1 = {1, 1, 0, 0};
  text->Align = {1, 1, 0, 0};
  text->Text = "Hi";
  text->Height = 2;
  layer->Add(std::move(text));
  d->Layers.push_back(std::move(layer));

  std::string out = "0\r\nSECTION\r\n2\r\nENTITIES\r\n";
  for (const auto& list : d->Layers[0]->Lists)
    for (const auto& e : list->Entities) e->WriteDxf(out, "CUT");
  out += "0\r\nENDSEC\r\n0\r\nEOF\r\n";
  EXPECT_NE(out.find("0\r\nLINE\r\n8\r\nCUT\r\n62\r\n3\r\n10\r\n1.000000\r\n20\r\n2.000000\r\n"),
            std::string::npos);
  EXPECT_NE(out.find("50\r\n90.000000\r\n51\r\n180.000000\r\n"), std::string::npos);

  RecordingUi ui;
  auto back = ReadDxfBuffer("w.dxf", out, ui);
  EXPECT_TRUE(ui.Calls.empty());
  ASSERT_EQ(back->Layers.size(), 1u);
  EXPECT_EQ(back->Layers[0]->ListNames, d->Layers[0]->ListNames);
  const auto& l2 = dynamic_cast<const Line_&>(*EntitiesOf(*back, "LINE").at(0));
  EXPECT_EQ(l2.P2.X, 4.25);
  EXPECT_EQ(l2.ColourNumber, 3);
  const auto& a2 = dynamic_cast<const Arc_&>(*EntitiesOf(*back, "ARC").at(0));
  EXPECT_NEAR(a2.EndAngle, kPi, 1e-6);
  const auto& p2 = dynamic_cast<const Polyline_&>(*EntitiesOf(*back, "POLYLINE").at(0));
  EXPECT_TRUE(p2.Closed);
  EXPECT_EQ(p2.Vertices.size(), 4u);
  EXPECT_EQ(p2.Vertices[0].W, 0.5);
  EXPECT_EQ(p2.Width, 0.5);
  const auto& e2 = dynamic_cast<const Ellipse_&>(*EntitiesOf(*back, "ELLIPSE").at(0));
  EXPECT_EQ(e2.Ratio, 0.5);
  EXPECT_EQ(e2.EndParam, 2);
  EXPECT_EQ(dynamic_cast<const Face3D_&>(*EntitiesOf(*back, "3DFACE").at(0)).Vertices.size(), 3u);
  const auto& g2 = dynamic_cast<const Polygon_mesh_&>(*EntitiesOf(*back, "POLYGON_MESH").at(0));
  EXPECT_TRUE(g2.ClosedN);
  const auto& f2 = dynamic_cast<const Polyface_mesh_&>(*EntitiesOf(*back, "POLYFACE_MESH").at(0));
  ASSERT_EQ(f2.Faces.size(), 1u);
  EXPECT_EQ(f2.Faces[0].V[2], 2);
  EXPECT_EQ(f2.Faces[0].V[3], -1);
  EXPECT_EQ(dynamic_cast<const Text_&>(*EntitiesOf(*back, "TEXT").at(0)).Text, "Hi");

  const ExtentBox b1 = d->Extents(), b2 = back->Extents();
  EXPECT_NEAR(b1.MinX, b2.MinX, 1e-6);
  EXPECT_NEAR(b1.MaxY, b2.MaxY, 1e-6);
  EXPECT_EQ(d->NumPolylines(), 4);
  EXPECT_EQ(back->NumEntitiesAndVertices(), d->NumEntitiesAndVertices());
}

}  // namespace
}  // namespace tarnak
