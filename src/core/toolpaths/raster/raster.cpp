#include "toolpaths/raster/raster.h"

#include <algorithm>
#include <cmath>

#include "toolpaths/raster/cutter_profile.h"

namespace tarnak {

namespace {

// A job whose raster passes would visit more nodes than this (nodes times
// levels) is refused: at some ten nanoseconds a visit it would run for
// minutes, and its points could exhaust memory.
constexpr double kMaxNodeVisits = 4e9;
// A mask wider than this (cells) means a step far below the tool's size.
constexpr double kMaxMaskCells = 4e6;

const TTNToolSettings& ToolOf(const TTNMachiningParameters& params, bool rough) {
  return rough ? params.Rough : params.Finish;
}

// Mask rows or columns for a tool of diameter d: round(d / step), raised to
// the next even number when odd, plus one (so the axis is a cell).
double MaskCount(double diameter, double step) {
  double n = std::round(diameter / step);
  if (std::fmod(n, 2.0) != 0.0) n += 1.0;
  return n + 1.0;
}

// Level Z values of a pass: -dz, -2dz, ... down to the depth.
double LevelCount(double depth, double dz) {
  if (!(dz > 0.0) || depth >= 0.0) return 1.0;
  return std::ceil(-depth / dz - 1e-9);
}

std::string FormatGridNodes(double nodes) {
  if (!std::isfinite(nodes) || nodes > 1e15) return "too many";
  if (nodes >= 1e6) return std::to_string(std::llround(nodes / 1e6)) + " million";
  return std::to_string(std::llround(nodes));
}

// Sliding maximum over `half` either side, in place, over `count` values
// `stride` apart (a monotone queue: each value enters and leaves once).
void SlidingMax(float* values, std::size_t count, std::size_t stride, std::size_t half,
                std::vector<float>& out, std::vector<std::size_t>& queue) {
  out.resize(count);
  queue.clear();
  std::size_t head = 0;
  for (std::size_t i = 0; i < count + half; ++i) {
    if (i < count) {
      const float v = values[i * stride];
      while (queue.size() > head && values[queue.back() * stride] <= v) queue.pop_back();
      queue.push_back(i);
    }
    if (i >= half) {
      const std::size_t at = i - half;
      while (queue[head] + half < at) ++head;
      out[at] = values[queue[head] * stride];
    }
  }
  for (std::size_t i = 0; i < count; ++i) values[i * stride] = out[i];
}

}  // namespace

GridSize PlannedGridSize(const TTNMachiningParameters& params, const TTNToolSettings& tool) {
  GridSize size;
  if (!(tool.XYStep > 0.0) || !(tool.YStep > 0.0) || !(params.X2 > params.X1) ||
      !(params.Y2 > params.Y1))
    return size;
  size.NX = std::floor((params.X2 - params.X1) / tool.XYStep) + 1.0;
  size.NY = std::floor((params.Y2 - params.Y1) / tool.YStep) + 1.0;
  return size;
}

std::string RasterJobProblem(const TTNMachiningParameters& params, bool rough) {
  const TTNToolSettings& tool = ToolOf(params, rough);
  const char* which = rough ? "Rough" : "Finish";
  const GridSize size = PlannedGridSize(params, tool);
  if (!std::isfinite(size.Nodes()) || size.Nodes() > kMaxGridNodes)
    return std::string(which) + " X and Y steps too small for the stock box: the grid would have " +
           FormatGridNodes(size.Nodes()) + " nodes.";
  const double diameter = 2.0 * (tool.Radius + (rough ? tool.StockToLeave : 0.0));
  if (tool.XYStep > 0.0 && tool.YStep > 0.0 &&
      MaskCount(diameter, tool.XYStep) * MaskCount(diameter, tool.YStep) > kMaxMaskCells)
    return std::string(which) + " X and Y steps too small for the tool diameter.";
  const double levels = LevelCount(params.Z1, tool.ZStep);
  if (!std::isfinite(levels) || levels * size.Nodes() > kMaxNodeVisits)
    return std::string(which) + " Z step too small for the depth and the grid.";
  return {};
}

bool CreateGrid(const TTNTriangleArray& triangles, TTNZGrid& grid,
                const TTNMachiningParameters& params, bool rough, const CancelToken& cancel) {
  const TTNToolSettings& tool = ToolOf(params, rough);
  const double s = rough ? params.Rough.StockToLeave : 0.0;
  const int direction = grid.Direction;
  grid = TTNZGrid{};
  grid.Direction = direction;
  if (params.Z1 == params.Z2) return true;
  const GridSize size = PlannedGridSize(params, tool);
  if (size.NX < 1.0 || size.NY < 1.0 || size.Nodes() > kMaxGridNodes) return true;

  grid.XStep = tool.XYStep;
  grid.YStep = tool.YStep;
  grid.X0 = params.X1;
  grid.Y0 = params.Y1;
  grid.NX = static_cast<int>(size.NX);
  grid.NY = static_cast<int>(size.NY);
  const bool male = params.Male != 0;
  grid.Heights.assign(grid.Rows() * grid.Columns(), male ? static_cast<float>(params.Z1 + s) : 0.0f);

  const auto columnOf = [&](double x) {
    return std::clamp(std::trunc((x - grid.X0) / grid.XStep), -2.0, static_cast<double>(grid.NX) + 2.0);
  };
  const auto rowOf = [&](double y) {
    return std::clamp(std::trunc((y - grid.Y0) / grid.YStep), -2.0, static_cast<double>(grid.NY) + 2.0);
  };
  const std::size_t every = std::max<std::size_t>(1, triangles.size() / 100);
  for (std::size_t i = 0; i < triangles.size(); ++i) {
    if (i % every == 0) {
      cancel.Progress(static_cast<int>(i / every), 100);
      if (cancel.Poll()) return false;
    }
    const TTNTriangle& t = triangles[i];
    const double ax = t.V0.X, ay = t.V0.Y, az = t.V0.Z;
    const double bx = t.V1.X, by = t.V1.Y, bz = t.V1.Z;
    const double cx = t.V2.X, cy = t.V2.Y, cz = t.V2.Z;
    // The plane from the unit normal: z = -(Nx x + Ny y + d) / Nz.
    double nx = (by - ay) * (cz - az) - (bz - az) * (cy - ay);
    double ny = (bz - az) * (cx - ax) - (bx - ax) * (cz - az);
    double nz = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(len > 0.0)) continue;
    nx /= len;
    ny /= len;
    nz /= len;
    if (std::fabs(nz) < 1e-12) continue;  // a vertical facet covers no node
    const double d = -(nx * ax + ny * ay + nz * az);

    const int c0 = static_cast<int>(std::max(0.0, columnOf(std::min({ax, bx, cx})) - 1.0));
    const int c1 = static_cast<int>(std::min(static_cast<double>(grid.NX), columnOf(std::max({ax, bx, cx})) + 1.0));
    const int r0 = static_cast<int>(std::max(0.0, rowOf(std::min({ay, by, cy})) - 1.0));
    const int r1 = static_cast<int>(std::min(static_cast<double>(grid.NY), rowOf(std::max({ay, by, cy})) + 1.0));
    const double px[3] = {ax, bx, cx}, py[3] = {ay, by, cy};
    for (int row = r0; row <= r1; ++row) {
      const double y = grid.NodeY(static_cast<std::size_t>(row));
      for (int col = c0; col <= c1; ++col) {
        const double x = grid.NodeX(static_cast<std::size_t>(col));
        // Even-odd crossing test on the three edges: a node on an edge
        // shared by two facets counts for exactly one of them.
        bool in = false;
        for (int k = 0, j = 2; k < 3; j = k++) {
          if ((py[k] > y) != (py[j] > y) && x < (px[j] - px[k]) * (y - py[k]) / (py[j] - py[k]) + px[k])
            in = !in;
        }
        if (!in) continue;
        const double v = -(nx * x + ny * y + d) / nz + s;
        float& node = grid.At(static_cast<std::size_t>(row), static_cast<std::size_t>(col));
        if (male) {
          if (v > 0.0) node = 0.0f;
          else if (v > node) node = static_cast<float>(v);
        } else if (v < node) {
          node = static_cast<float>(v);
        }
      }
    }
  }
  return true;
}

ToolMask MakeToolMask(int toolType, double toolAngle, double yStep, double xStep, double diameter) {
  ToolMask mask;
  if (!(xStep > 0.0) || !(yStep > 0.0) || !(diameter > 0.0) ||
      MaskCount(diameter, xStep) * MaskCount(diameter, yStep) > kMaxMaskCells)
    return mask;
  const CutterProfile cutter = CutterProfile::Make(toolType, toolAngle, diameter);
  mask.Rows = static_cast<int>(MaskCount(diameter, yStep));
  mask.Columns = static_cast<int>(MaskCount(diameter, xStep));
  mask.Cells.resize(static_cast<std::size_t>(mask.Rows) * static_cast<std::size_t>(mask.Columns));
  const double r2 = cutter.Radius * cutter.Radius;
  for (int i = 0; i < mask.Rows; ++i) {
    const double dy = (i - mask.Rows / 2) * yStep;
    for (int j = 0; j < mask.Columns; ++j) {
      const double dx = (j - mask.Columns / 2) * xStep;
      const double d2 = dx * dx + dy * dy;
      mask.Cells[static_cast<std::size_t>(i) * static_cast<std::size_t>(mask.Columns) +
                 static_cast<std::size_t>(j)] =
          d2 >= r2 ? kOutsideTool : std::max(0.0, cutter.Height(std::sqrt(d2)));
    }
  }
  return mask;
}

bool GougeControl(TTNZGrid& grid, int toolType, double toolAngle, double diameter,
                  const CancelToken& cancel) {
  if (grid.Empty()) return true;
  const ToolMask mask = MakeToolMask(toolType, toolAngle, grid.YStep, grid.XStep, diameter);
  if (mask.Cells.empty()) return true;
  // Per mask row the span of cells inside the tool, so the search never
  // looks at the cells outside it.
  std::vector<int> spanLo(static_cast<std::size_t>(mask.Rows)), spanHi(static_cast<std::size_t>(mask.Rows));
  for (int i = 0; i < mask.Rows; ++i) {
    int lo = mask.Columns, hi = -1;
    for (int j = 0; j < mask.Columns; ++j) {
      if (mask.At(i, j) < kOutsideTool) {
        lo = std::min(lo, j);
        hi = std::max(hi, j);
      }
    }
    spanLo[static_cast<std::size_t>(i)] = lo;
    spanHi[static_cast<std::size_t>(i)] = hi;
  }
  const std::vector<float> h0 = grid.Heights;
  const int rows = static_cast<int>(grid.Rows()), columns = static_cast<int>(grid.Columns());
  const int mr = mask.Rows / 2, mc = mask.Columns / 2;
  // The highest height under the mask's box around each node: no cell can
  // lift the tip above it (the mask is never negative), so a node with
  // nothing higher around it keeps its height at once, and a search stops
  // as soon as it reaches that bound.
  std::vector<float> around = h0;
  {
    std::vector<float> scratch;
    std::vector<std::size_t> queue;
    const auto cols = static_cast<std::size_t>(columns), rws = static_cast<std::size_t>(rows);
    for (std::size_t r = 0; r < rws; ++r)
      SlidingMax(&around[r * cols], cols, 1, static_cast<std::size_t>(mc), scratch, queue);
    for (std::size_t c = 0; c < cols; ++c)
      SlidingMax(&around[c], rws, cols, static_cast<std::size_t>(mr), scratch, queue);
  }
  // The cells inside the tool from the lowest mask value up, as offsets
  // into the grid: for nodes away from the border the search takes them in
  // that order and stops once no later cell (its mask value at least this
  // one's) can lift the tip further than it is.
  struct Cell {
    std::ptrdiff_t Offset;
    double Value;
  };
  std::vector<Cell> ordered;
  for (int i = 0; i < mask.Rows; ++i)
    for (int j = spanLo[static_cast<std::size_t>(i)]; j <= spanHi[static_cast<std::size_t>(i)]; ++j)
      ordered.push_back({static_cast<std::ptrdiff_t>(i - mr) * columns + (j - mc), mask.At(i, j)});
  std::sort(ordered.begin(), ordered.end(), [](const Cell& a, const Cell& b) { return a.Value < b.Value; });
  const int every = std::max(1, rows / 100);
  for (int r = 0; r < rows; ++r) {
    if (r % every == 0) {
      cancel.Progress(r, rows);
      if (cancel.Poll()) return false;
    }
    const bool innerRow = r >= mr && r + mr < rows;
    for (int c = 0; c < columns; ++c) {
      if (innerRow && c >= mc && c + mc < columns) {
        const std::size_t node = static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) +
                                 static_cast<std::size_t>(c);
        const double h = h0[node];
        if (h >= 0.0) continue;
        const double most = std::min(0.0, static_cast<double>(around[node]));
        if (most <= h) continue;
        const float* at = &h0[node];
        double lift = 0.0;
        for (const Cell& cell : ordered) {
          if (most - h - cell.Value <= lift) break;
          const double t = at[cell.Offset] - h - cell.Value;
          if (t > lift) lift = t;
        }
        grid.Heights[node] = static_cast<float>(h + lift);
        continue;
      }
      const double h = h0[static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) +
                          static_cast<std::size_t>(c)];
      if (h >= 0.0) continue;
      const std::size_t node = static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) +
                               static_cast<std::size_t>(c);
      // The tip cannot rise above the stock top, nor above the highest
      // height around: stop once it is at either.
      const double most = std::min(0.0, static_cast<double>(around[node]));
      if (most <= h) continue;
      double lift = 0.0;
      for (int i = std::max(0, mr - r); i < mask.Rows && r + i - mr < rows && h + lift < most; ++i) {
        const std::size_t mi = static_cast<std::size_t>(i);
        const int j0 = std::max(spanLo[mi], mc - c), j1 = std::min(spanHi[mi], columns - 1 - c + mc);
        const float* line = &h0[static_cast<std::size_t>(r + i - mr) * static_cast<std::size_t>(columns)];
        const double* cells = &mask.Cells[mi * static_cast<std::size_t>(mask.Columns)];
        for (int j = j0; j <= j1; ++j) {
          const double t = line[c + j - mc] - h - cells[j];
          if (t > lift) {
            lift = t;
            if (h + lift >= most) break;
          }
        }
      }
      grid.At(static_cast<std::size_t>(r), static_cast<std::size_t>(c)) = static_cast<float>(h + lift);
    }
  }
  return true;
}

std::string DisplayLimitMessage(std::size_t total) {
  return "Only the first " + std::to_string(total) + " Toolpaths will be displayed.";
}

RasterResult RasterPaths(const TTNZGrid& grid, TTNOutRegionArray3D& passes,
                         TTNMachiningParameters& params, bool rough, double tolerance,
                         const CancelToken& cancel) {
  RasterResult result;
  if (cancel.stopped() || params.Z1 == 0.0 || (grid.Direction != 1 && grid.Direction != 2) ||
      grid.Empty())
    return result;
  TTNToolSettings& tool = rough ? params.Rough : params.Finish;
  tool.CutDirection = grid.Direction;
  const double dz = tool.ZStep;
  if (!(dz > 0.0) || !std::isfinite(params.Z1)) return result;
  if (!(tolerance >= 0.0)) tolerance = 0.0;

  // Rows of the raster: grid rows along X (direction 1), or grid columns
  // along Y (direction 2), the same walk with the axes exchanged.
  const bool alongX = grid.Direction == 1;
  const std::size_t lines = alongX ? grid.Rows() : grid.Columns();
  const std::size_t nodes = alongX ? grid.Columns() : grid.Rows();
  const std::size_t lineStride = alongX ? grid.Columns() : 1;
  const std::size_t nodeStride = alongX ? 1 : grid.Columns();
  const double levels = LevelCount(params.Z1, dz);
  std::size_t counted = 0;
  for (const TTNOutRegion3D& pass : passes) counted += pass.Points.size();
  // Each call announces the limit once, counting the passes already made.
  bool counting = true;
  const std::size_t every = std::max<std::size_t>(1, lines / 100);
  std::vector<double> h(nodes);

  for (double level = 1.0; level <= levels; level += 1.0) {
    double z = -level * dz;
    if (level == levels || z < params.Z1) z = params.Z1;
    TTNOutRegion3D pass;
    pass.Feed = tool.Feed;
    pass.PlungeFeed = tool.PlungeFeed;
    pass.ToolNumber = tool.ToolNumber;
    pass.SpindleSpeed = tool.SpindleSpeed;
    pass.Name = tool.Name.substr(0, kPass3DNameMaxLength);
    pass.Level = z;
    pass.RapidLevel = params.RapidHeight;
    pass.CutDirection = grid.Direction;
    pass.Colour = tool.Colour;
    std::vector<TTNPoint3D>& out = pass.Points;

    for (std::size_t line = 0; line < lines; ++line) {
      if (line % every == 0) {
        cancel.Progress(static_cast<int>((level - 1.0) * static_cast<double>(lines)) + static_cast<int>(line),
                        static_cast<int>(levels * static_cast<double>(lines)));
        if (cancel.Poll()) {
          result.Cancelled = true;
          break;
        }
      }
      const bool forwards = line % 2 == 0;
      for (std::size_t k = 0; k < nodes; ++k) {
        const std::size_t n = forwards ? k : nodes - 1 - k;
        h[k] = std::max(static_cast<double>(grid.Heights[line * lineStride + n * nodeStride]), z);
      }
      const auto emit = [&](std::size_t k) {
        const std::size_t n = forwards ? k : nodes - 1 - k;
        const double x = alongX ? grid.NodeX(n) : grid.NodeX(line);
        const double y = alongX ? grid.NodeY(line) : grid.NodeY(n);
        out.push_back(TTNPoint3D{kPoint3DCut, static_cast<float>(x), static_cast<float>(y),
                                 static_cast<float>(h[k])});
      };
      // The straight continuation from an anchor node with a slope per
      // node; nodes on it (within the tolerance) are dropped.
      emit(0);
      std::size_t anchor = 0;
      double slope = 0.0;
      bool pending = false;
      for (std::size_t k = 1; k < nodes; ++k) {
        const double predicted = h[anchor] + slope * static_cast<double>(k - anchor);
        if (std::fabs(h[k] - predicted) > tolerance) {
          if (pending) emit(k - 1);  // the pending node is always the one before
          emit(k);
          anchor = k - 1;
          slope = h[k] - h[k - 1];
          pending = false;
        } else {
          pending = true;
        }
      }
      // The pending node, if any, is the last one; otherwise the last node
      // was emitted by the test.
      if (pending) emit(nodes - 1);
    }
    passes.push_back(std::move(pass));
    ++result.Passes;
    if (counting) {
      counted += passes.back().Points.size();
      if (counted > kDisplayPointLimit) {
        result.DisplayLimitTotal = counted;
        counting = false;
      }
    }
    if (result.Cancelled) break;
  }
  return result;
}

void AirMoves(TTNOutRegionArray3D& passes, const TTNMachiningParameters& params, std::size_t first) {
  const double top = params.Z2;
  for (std::size_t p = first; p < passes.size(); ++p) {
    std::vector<TTNPoint3D>& points = passes[p].Points;
    std::vector<TTNPoint3D> out;
    bool changed = false;
    std::size_t i = 0;
    while (i < points.size()) {
      if (!(points[i].Z > top)) {
        out.push_back(points[i++]);
        continue;
      }
      std::size_t j = i + 1;
      float highest = points[i].Z;
      while (j < points.size() && points[j].Z >= top) highest = std::max(highest, points[j++].Z);
      if (j - i > 1) {
        const auto up = static_cast<float>(highest + params.RapidHeight);
        out.push_back(points[i]);
        out.push_back(TTNPoint3D{kPoint3DRapid, points[i].X, points[i].Y, up});
        out.push_back(TTNPoint3D{kPoint3DRapid, points[j - 1].X, points[j - 1].Y, up});
        out.push_back(points[j - 1]);
        changed = true;
      } else {
        out.push_back(points[i]);
      }
      i = j;
    }
    if (changed) points = std::move(out);
  }
}

bool FinishReusesRoughGrid(const TTNMachiningParameters& params) {
  const TTNToolSettings& r = params.Rough;
  const TTNToolSettings& f = params.Finish;
  return r.Radius == f.Radius && r.XYStep == f.XYStep && r.YStep == f.YStep &&
         r.ToolType == f.ToolType && r.ToolAngle == f.ToolAngle && r.ToolNumber == f.ToolNumber &&
         r.StockToLeave == 0.0;
}

}  // namespace tarnak
