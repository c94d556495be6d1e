// The STL model's commands: where an opened model lies and what the
// document keeps when an open fails, the move window's Apply, and the
// flip, checked against the triangle invariants and the model's box.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <random>
#include <string>

#include "shell/commands.h"
#include "shell/document.h"
#include "shell/stl_commands.h"
#include "test_ui.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;

fs::path Write(const std::string& name, const std::string& text) {
  const fs::path dir =
      fs::temp_directory_path() / ("tarnak-stl-commands-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path p = dir / name;
  std::ofstream(p, std::ios::binary) << text;
  return p;
}

// A text STL of `n` random triangles in a box from (1, 2, 3) to (11, 7, 8).
std::string RandomModel(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> x(1, 11), y(2, 7), z(3, 8);
  std::string t = "solid m\n";
  for (int i = 0; i < n; ++i) {
    t += " facet normal 0 0 1\n  outer loop\n";
    for (int k = 0; k < 3; ++k)
      t += "   vertex " + std::to_string(x(rng)) + " " + std::to_string(y(rng)) + " " +
           std::to_string(z(rng)) + "\n";
    t += "  endloop\n endfacet\n";
  }
  // The corners, so the box is known exactly.
  t += " facet normal 0 0 1\n  outer loop\n   vertex 1 2 3\n   vertex 11 7 8\n   vertex 1 7 3\n"
       "  endloop\n endfacet\nendsolid m\n";
  return t;
}

void ExpectInvariants(const TTNTriangleArray& tris) {
  for (const TTNTriangle& t : tris) {
    ASSERT_LE(t.V0.Z, t.V1.Z);
    ASSERT_LE(t.V1.Z, t.V2.Z);
    ASSERT_EQ(t.MinZ, t.V0.Z);
    ASSERT_EQ(t.MaxZ, t.V2.Z);
  }
}

void ExpectStockIsExtents(const Document& doc) {
  const DrawingExtentsRec& e = doc.DrawingExtents;
  const TTNMachiningParameters& p = doc.MachiningParams;
  EXPECT_EQ(p.X1, e.MinX);
  EXPECT_EQ(p.Y1, e.MinY);
  EXPECT_EQ(p.Z1, e.MinZ);
  EXPECT_EQ(p.X2, e.MaxX);
  EXPECT_EQ(p.Y2, e.MaxY);
  EXPECT_EQ(p.Z2, e.MaxZ);
}

struct StlCommands : ::testing::Test {
  testing::TestUserInterface ui;
  Document doc{ui};
  void Open(double depth) {
    doc.Options.Program.STLDepth = depth;
    const fs::path p = Write("model.stl", RandomModel(200, 7));
    const StlOpenCommandResult r = OpenStl(doc, p.string());
    ASSERT_EQ(r.Status, StlOpenStatus::Loaded);
  }
};

TEST_F(StlCommands, OpenPlacesTheModelBelowTheTopAndReplacesTheDrawing) {
  const fs::path dxf = Write("a.dxf",
                             "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n5\n21\n0\n"
                             "0\nENDSEC\n0\nEOF\n");
  ASSERT_EQ(OpenDxfCommand(doc, dxf.string()), OpenResult::Loaded);
  doc.Toolpaths3D.resize(2);
  // PickMode and Busy hold while the file is read, and only then.
  Pick during = kPickNone;
  bool busy = false;
  ui.OnProcessEvents = [&](int) {
    during = doc.PickMode;
    busy = doc.Busy;
  };
  for (double depth : {0.0, 2.5}) {
    doc.Options.Program.STLDepth = depth;
    const fs::path p = Write("Model.Part.STL", RandomModel(200, 7));
    const StlOpenCommandResult r = OpenStl(doc, p.string());
    ASSERT_EQ(r.Status, StlOpenStatus::Loaded);
    EXPECT_EQ(during, kPickModeStlLoad);
    EXPECT_TRUE(busy);
    EXPECT_EQ(doc.PickMode, kPickNone);
    EXPECT_FALSE(doc.Busy);
    EXPECT_EQ(r.Triangles, 201u);
    EXPECT_TRUE(r.Window.StlEditMenu && r.Window.PrototypeOnly && r.Window.View3DZoomAll);
    EXPECT_EQ(r.Window.MarginText, "0.0");
    EXPECT_TRUE(doc.StlMode);
    EXPECT_EQ(doc.FileName, "Model");
    EXPECT_EQ(doc.Regions.size(), 1u);
    EXPECT_TRUE(doc.Toolpaths3D.empty());
    const DrawingExtentsRec& e = doc.DrawingExtents;
    // Top at -STLDepth, bottom the model's height below it (5 here).
    EXPECT_EQ(e.MaxZ, -depth);
    EXPECT_NEAR(e.MinZ, -depth - 5.0, 1e-5);
    EXPECT_NEAR(e.MidZ, (e.MinZ + e.MaxZ) / 2, 1e-12);
    EXPECT_NEAR(e.MinX, 1.0, 1e-6);
    EXPECT_NEAR(e.Width, 10.0, 1e-5);
    EXPECT_NEAR(e.Height, 5.0, 1e-5);
    StlModelBox b;
    MeshBox(doc.Triangles, b);
    EXPECT_NEAR(b.MaxZ, -depth, 1e-5);
    ExpectStockIsExtents(doc);
    ExpectInvariants(doc.Triangles);
  }

  // A file that cannot be read leaves the model as it was.
  const TTNTriangleArray before = doc.Triangles;
  const DrawingExtentsRec extents = doc.DrawingExtents;
  const StlOpenCommandResult bad = OpenStl(doc, Write("bad.stl", "solid x\nfacet normal 0 0 1\n"
                                                                 "outer loop\nvertex 1 2 x\n")
                                                    .string());
  EXPECT_EQ(bad.Status, StlOpenStatus::Failed);
  EXPECT_FALSE(bad.Window.StlEditMenu);
  EXPECT_EQ(doc.Triangles.size(), before.size());
  EXPECT_EQ(doc.DrawingExtents.MinZ, extents.MinZ);
  EXPECT_TRUE(doc.StlMode);
  EXPECT_EQ(doc.PickMode, kPickNone);
  ASSERT_FALSE(ui.Messages.empty());

  // A drawing, and Close, drop the model.
  ASSERT_EQ(OpenDxfCommand(doc, dxf.string()), OpenResult::Loaded);
  EXPECT_TRUE(doc.Triangles.empty());
  EXPECT_FALSE(doc.StlMode);
  Open(1.0);
  doc.Close();
  EXPECT_TRUE(doc.Triangles.empty());
  EXPECT_FALSE(doc.StlMode);
}

TEST_F(StlCommands, ApplyWithOnlyANewTopMovesStraightDown) {
  Open(0.0);
  const TTNTriangleArray before = doc.Triangles;
  const DrawingExtentsRec e = doc.DrawingExtents;
  StlMoveRequest r;
  r.X = e.MinX;
  r.Y = e.MinY;
  r.Top = -3.0;
  ApplyStlMove(doc, r);
  ASSERT_EQ(doc.Triangles.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    const TTNTriangle &a = before[i], &b = doc.Triangles[i];
    for (auto [p, q] : {std::pair{&a.V0, &b.V0}, {&a.V1, &b.V1}, {&a.V2, &b.V2}}) {
      ASSERT_FLOAT_EQ(p->X, q->X);
      ASSERT_FLOAT_EQ(p->Y, q->Y);
      ASSERT_NEAR(q->Z - p->Z, -3.0, 1e-5);
    }
  }
  const DrawingExtentsRec& m = doc.DrawingExtents;
  EXPECT_EQ(m.MaxZ, -3.0);
  EXPECT_NEAR(m.MinZ, e.MinZ - 3.0, 1e-5);
  // The middle plus the top: the plain middle only when the top is at 0.
  EXPECT_NEAR(m.MidZ, (m.MinZ + m.MaxZ) / 2 + m.MaxZ, 1e-12);
  EXPECT_EQ(m.MinX, e.MinX);
  EXPECT_EQ(m.Width, e.Width);
  ExpectStockIsExtents(doc);
  ExpectInvariants(doc.Triangles);
}

TEST_F(StlCommands, ScaleZeroAndOneChangeNothingAndMinusOneMirrors) {
  Open(0.0);
  const TTNTriangleArray before = doc.Triangles;
  const DrawingExtentsRec e = doc.DrawingExtents;
  for (double f : {0.0, 1.0}) {
    StlMoveRequest r{e.MinX, e.MinY, e.MaxZ, f, 2, 0.0};
    ApplyStlMove(doc, r);
    ASSERT_EQ(doc.Triangles.size(), before.size());
    EXPECT_EQ(0, std::memcmp(doc.Triangles.data(), before.data(),
                             before.size() * sizeof(TTNTriangle)))
        << "factor " << f;
  }
  // -1 through the origin, then back to the same corner and top: every
  // point p becomes (minX + maxX - x, minY + maxY - y, minZ + maxZ - z).
  StlMoveRequest r{e.MinX, e.MinY, e.MaxZ, -1.0, 2, 0.0};
  ApplyStlMove(doc, r);
  for (size_t i = 0; i < before.size(); ++i) {
    const TTNTriangle &a = before[i], &b = doc.Triangles[i];
    // The mirrored triangle's lowest vertex was the highest one.
    for (auto [p, q] : {std::pair{&a.V2, &b.V0}, {&a.V0, &b.V2}}) {
      ASSERT_NEAR(q->X, e.MinX + e.MaxX - p->X, 1e-4);
      ASSERT_NEAR(q->Y, e.MinY + e.MaxY - p->Y, 1e-4);
      ASSERT_NEAR(q->Z, e.MinZ + e.MaxZ - p->Z, 1e-4);
    }
  }
  EXPECT_NEAR(doc.DrawingExtents.MinZ, e.MinZ, 1e-5);
  ExpectInvariants(doc.Triangles);
}

TEST_F(StlCommands, FlipKeepsTheInvariantsAndTheBox) {
  for (double depth : {0.0, 4.0}) {
    Open(depth);
    const TTNTriangleArray before = doc.Triangles;
    const DrawingExtentsRec e = doc.DrawingExtents;
    StlModelBox b0;
    MeshBox(doc.Triangles, b0);
    ASSERT_TRUE(FlipModel(doc));
    ExpectInvariants(doc.Triangles);
    StlModelBox b1;
    MeshBox(doc.Triangles, b1);
    EXPECT_NEAR(b1.MinZ, b0.MinZ, 1e-5);
    EXPECT_NEAR(b1.MaxZ, b0.MaxZ, 1e-5);
    EXPECT_EQ(b1.MinX, b0.MinX);
    EXPECT_EQ(doc.DrawingExtents.MaxZ, e.MaxZ);
    ExpectStockIsExtents(doc);
    // Upside down: a triangle's lowest vertex was its highest.
    for (size_t i = 0; i < before.size(); ++i)
      ASSERT_NEAR(doc.Triangles[i].MinZ, b0.MinZ + b0.MaxZ - before[i].MaxZ, 1e-5);
  }
  doc.Close();
  EXPECT_FALSE(FlipModel(doc));
}

}  // namespace
}  // namespace tarnak
