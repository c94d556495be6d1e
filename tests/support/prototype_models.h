// Small STL models for the prototype machining tests, and a run of the
// prototype command on one of them through the dialog's field model.
//
// Models are placed as the open command places them with STLDepth 0: their
// top at Z = 0, the stock box their box.
#pragma once

#include <cmath>
#include <numbers>
#include <string>

#include "import/stl/stl_mesh.h"
#include "import/stl/stl_triangle.h"
#include "shell/document.h"
#include "shell/prototype_command.h"
#include "toolpaths/raster/prototype_fields.h"

namespace tarnak::testing {

inline void AddTriangle(TTNTriangleArray& tris, double ax, double ay, double az, double bx,
                        double by, double bz, double cx, double cy, double cz) {
  TTNTriangle t;
  t.V0 = {static_cast<float>(ax), static_cast<float>(ay), static_cast<float>(az)};
  t.V1 = {static_cast<float>(bx), static_cast<float>(by), static_cast<float>(bz)};
  t.V2 = {static_cast<float>(cx), static_cast<float>(cy), static_cast<float>(cz)};
  t.NormalZ = 1.0f;
  SortTriangleVertices(t);
  tris.push_back(t);
}

// A quad as two triangles, corners in order.
inline void AddQuad(TTNTriangleArray& tris, const double (&p)[4][3]) {
  AddTriangle(tris, p[0][0], p[0][1], p[0][2], p[1][0], p[1][1], p[1][2], p[2][0], p[2][1], p[2][2]);
  AddTriangle(tris, p[0][0], p[0][1], p[0][2], p[2][0], p[2][1], p[2][2], p[3][0], p[3][1], p[3][2]);
}

// Moves the model so that its top is at 0 (as OpenStl with STLDepth 0).
inline void PlaceTopAtZero(TTNTriangleArray& tris) {
  StlModelBox box;
  MeshBox(tris, box);
  TranslateMesh(tris, 0.0, 0.0, -box.MaxZ);
}

// A dome of radius r on the plane, `rings` x `sectors` facets.
inline TTNTriangleArray Hemisphere(double r, int rings = 10, int sectors = 24) {
  TTNTriangleArray tris;
  const auto at = [&](int ring, int sector, double (&p)[3]) {
    const double polar = (std::numbers::pi / 2.0) * ring / rings;  // 0 at the top
    const double az = 2.0 * std::numbers::pi * sector / sectors;
    p[0] = r * std::sin(polar) * std::cos(az);
    p[1] = r * std::sin(polar) * std::sin(az);
    p[2] = r * std::cos(polar);
  };
  for (int i = 0; i < rings; ++i) {
    for (int j = 0; j < sectors; ++j) {
      double q[4][3];
      at(i, j, q[0]);
      at(i + 1, j, q[1]);
      at(i + 1, j + 1, q[2]);
      at(i, j + 1, q[3]);
      if (i == 0)
        AddTriangle(tris, q[0][0], q[0][1], q[0][2], q[1][0], q[1][1], q[1][2], q[2][0], q[2][1], q[2][2]);
      else
        AddQuad(tris, q);
    }
  }
  PlaceTopAtZero(tris);
  return tris;
}

// A square pyramid: base side `side`, apex `height` above it.
inline TTNTriangleArray Pyramid(double side, double height) {
  TTNTriangleArray tris;
  const double h = side / 2.0;
  const double c[4][2] = {{-h, -h}, {h, -h}, {h, h}, {-h, h}};
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    AddTriangle(tris, c[i][0], c[i][1], 0.0, c[j][0], c[j][1], 0.0, 0.0, 0.0, height);
  }
  PlaceTopAtZero(tris);
  return tris;
}

// A roof: two slopes meeting in a sharp ridge along Y at X = 0.
inline TTNTriangleArray Ridge(double halfWidth, double length, double height) {
  TTNTriangleArray tris;
  AddQuad(tris, {{-halfWidth, 0, 0}, {0, 0, height}, {0, length, height}, {-halfWidth, length, 0}});
  AddQuad(tris, {{0, 0, height}, {halfWidth, 0, 0}, {halfWidth, length, 0}, {0, length, height}});
  PlaceTopAtZero(tris);
  return tris;
}

// A flat-topped block (a mesa) with sloped sides: top `top` square at 0,
// foot `foot` square at -height.
inline TTNTriangleArray Mesa(double top, double foot, double height) {
  TTNTriangleArray tris;
  const double t = top / 2.0, f = foot / 2.0;
  AddQuad(tris, {{-t, -t, height}, {t, -t, height}, {t, t, height}, {-t, t, height}});
  const double ct[4][2] = {{-t, -t}, {t, -t}, {t, t}, {-t, t}};
  const double cf[4][2] = {{-f, -f}, {f, -f}, {f, f}, {-f, f}};
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    AddQuad(tris, {{cf[i][0], cf[i][1], 0}, {cf[j][0], cf[j][1], 0}, {ct[j][0], ct[j][1], height},
                   {ct[i][0], ct[i][1], height}});
  }
  PlaceTopAtZero(tris);
  return tris;
}

// A tool as the dialog takes it.
struct PrototypeTool {
  int Type = kToolBall;
  double Diameter = 3.0;
  double Angle = 0.0;  // V only
  double Step = 0.5;   // X and Y step
  double ZStep = 100.0;
  int Number = 1;
};

// Loads the model into the document (stock box = its box, as the open
// command does) and fills the parameters through the dialog's fields.
// Returns the problem text, empty when the fields were accepted.
inline std::string PreparePrototype(Document& doc, TTNTriangleArray model, const PrototypeTool& rough,
                                    const PrototypeTool& finish, int finishDir = kFinishDirY,
                                    double stock = 0.0, double margin = 0.0) {
  doc.Triangles = std::move(model);
  doc.StlMode = true;
  StlModelBox b;
  MeshBox(doc.Triangles, b);
  TTNMachiningParameters& p = doc.MachiningParams;
  PlaceModelStock(b, doc.DrawingExtents, p);
  PrototypeDialogFields f;
  const auto set = [](double v) { return std::to_string(v); };
  f.Tools.RapidHeight = "2";
  f.Tools.RoughPlunge = "50";
  f.Tools.StockToLeave = set(stock);
  f.Tools.RoughDiameter = set(rough.Diameter);
  f.Tools.RoughStepXY = f.Tools.RoughStepY = set(rough.Step);
  f.Tools.RoughStepZ = set(rough.ZStep);
  f.Tools.RoughFeed = "100";
  f.Tools.RoughTool = std::to_string(rough.Number);
  SetRoughToolType(f, rough.Type);
  f.Tools.RoughAngle = set(rough.Angle);
  f.Tools.FinishDiameter = set(finish.Diameter);
  f.Tools.FinishStepXY = f.Tools.FinishStepY = set(finish.Step);
  f.Tools.FinishStepZ = set(finish.ZStep);
  f.Tools.FinishFeed = "80";
  f.Tools.FinishTool = std::to_string(finish.Number);
  SetFinishToolType(f, finish.Type);
  f.Tools.FinishAngle = set(finish.Angle);
  f.FinishDir = finishDir;
  ShowStockBox(p, f);
  if (margin != 0.0) {
    f.Margin = set(margin);
    ApplyMargin(doc.DrawingExtents, f);
  }
  LineNumbering numbering;
  const auto problem = FillPrototypeParams(f, p, numbering);
  return problem ? problem->Message : std::string();
}

}  // namespace tarnak::testing
