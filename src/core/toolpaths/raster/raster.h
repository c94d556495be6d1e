// Raster machining of an STL model: the height grid, the cutter's mask,
// gouge control, the raster passes and the air moves.
//
// The model is sampled on a regular XY grid (the tool's X and Y steps over
// the stock box) into a field of heights: at each node the highest
// triangle over it for a male model (material around the part is
// removed), the lowest for a female one. Gouge control then raises every
// node until the cutter, with its tip there, clears every neighbouring
// height: the grid becomes the path of the tool tip. The passes follow the
// grid row by row (or column by column), level by level, dropping the
// points a straight move would pass within the tolerance.
//
// The grid is one contiguous array of 32-bit floats, row by row, so that a
// million-node grid is 4 MB and gouge control walks it with plain strides.
// Heights are real Z values: the stock top is Z = 0, below it negative.
//
// Cutters are described by their profile (cutter_profile.h); the mask is
// that profile sampled at the grid's node offsets. The grid method is exact
// only at the nodes: between nodes, and at nodes for features narrower
// than a step, the tool may dip below the surface; drop_cutter.h measures
// by how much.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/cancel.h"
#include "import/stl/stl_triangle.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/toolpath_model3d.h"

namespace tarnak {

// The height grid. Columns run along X, rows along Y; node (row, column)
// lies at (X0 + column * XStep, Y0 + row * YStep). Heights are kept row by
// row: Heights[row * Columns() + column].
struct TTNZGrid {
  double XStep = 0.0;
  double YStep = 0.0;
  double X0 = 0.0;
  double Y0 = 0.0;
  int Direction = 0;  // 1 rows along X, 2 columns along Y
  int NX = 0;         // NX + 1 columns
  int NY = 0;         // NY + 1 rows
  std::vector<float> Heights;

  bool Empty() const { return Heights.empty(); }
  std::size_t Columns() const { return static_cast<std::size_t>(NX) + 1; }
  std::size_t Rows() const { return static_cast<std::size_t>(NY) + 1; }
  float& At(std::size_t row, std::size_t column) { return Heights[row * Columns() + column]; }
  float At(std::size_t row, std::size_t column) const { return Heights[row * Columns() + column]; }
  double NodeX(std::size_t column) const { return X0 + static_cast<double>(column) * XStep; }
  double NodeY(std::size_t row) const { return Y0 + static_cast<double>(row) * YStep; }
};

// Grids beyond this many nodes are refused (two copies of 4 bytes a node
// are held during gouge control: 320 MB at the bound).
inline constexpr double kMaxGridNodes = 4e7;

// NX and NY for the stock box and steps: int((X2 - X1) / XStep) + 1 and the
// same for Y; both 0 when a step is not above 0 or the box is empty.
struct GridSize {
  double NX = 0.0;
  double NY = 0.0;
  double Nodes() const { return (NX + 1.0) * (NY + 1.0); }
};
GridSize PlannedGridSize(const TTNMachiningParameters& params, const TTNToolSettings& tool);

// The message for a job that cannot be held (grid nodes, or nodes times
// levels of the raster passes), or empty.
std::string RasterJobProblem(const TTNMachiningParameters& params, bool rough);

// Fills `grid` from the triangles for the rough tool (rough) or the finish
// tool: every node starts at Z1 + s (male, s = the rough stock to leave
// when roughing, else 0) or 0 (female); each triangle sets the nodes inside
// its XY projection to its plane height + s, the higher (male, nodes above
// the stock top held at 0) or the lower (female) one kept. Nothing (an
// empty grid) when Z1 = Z2, a step is not positive or the box is empty.
// Progress: triangles done of all. Returns false when cancelled.
bool CreateGrid(const TTNTriangleArray& triangles, TTNZGrid& grid,
                const TTNMachiningParameters& params, bool rough, const CancelToken& cancel);

// The cutter sampled at the grid's node offsets: Rows x Columns cells
// centred on the axis (both counts odd), each the height of the cutter's
// surface above its tip at that offset, or kOutsideTool beyond its radius.
inline constexpr double kOutsideTool = 2000000000.0;
struct ToolMask {
  int Rows = 0;
  int Columns = 0;
  std::vector<double> Cells;  // row by row
  double At(int row, int column) const {
    return Cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(Columns) +
                 static_cast<std::size_t>(column)];
  }
};
ToolMask MakeToolMask(int toolType, double toolAngle, double yStep, double xStep, double diameter);

// Raises every node below the stock top until the cutter of `diameter`
// with its tip there passes above every neighbouring height. Returns false
// when cancelled (the grid is then partly corrected).
bool GougeControl(TTNZGrid& grid, int toolType, double toolAngle, double diameter,
                  const CancelToken& cancel);

struct RasterResult {
  int Passes = 0;  // 3D passes appended (one per level)
  // The running total of points that first went past kDisplayPointLimit
  // in this call, if it did.
  std::optional<std::size_t> DisplayLimitTotal;
  bool Cancelled = false;
};

// Points the view draws at most.
inline constexpr std::size_t kDisplayPointLimit = 200000;
// "Only the first N Toolpaths will be displayed."
std::string DisplayLimitMessage(std::size_t total);

// Appends one 3D pass per level z = -dz, -2dz, ... down to the depth Z1 of
// the tool block of the pass (rough or finish), zigzagging along the grid's
// direction; along a row a node is emitted only where the straight
// continuation from the last emitted point misses it by more than
// `tolerance`. `params` gets the direction. Nothing when cancelled already,
// Z1 is 0 or the direction is neither 1 nor 2. The 200000-point count runs
// over the whole list (what the view would draw).
RasterResult RasterPaths(const TTNZGrid& grid, TTNOutRegionArray3D& passes,
                         TTNMachiningParameters& params, bool rough, double tolerance,
                         const CancelToken& cancel);

// Replaces each run of points above the stock top Z2 (more than one point)
// by its first point, a rapid up to the run's highest Z + rapid height, a
// rapid across to above the run's last point and the last point; passes
// from `first` on.
void AirMoves(TTNOutRegionArray3D& passes, const TTNMachiningParameters& params, std::size_t first);

// The finish tool cuts the rough grid unchanged: same radius, steps, type
// and angle, and no rough stock to leave.
bool FinishReusesRoughGrid(const TTNMachiningParameters& params);

}  // namespace tarnak
