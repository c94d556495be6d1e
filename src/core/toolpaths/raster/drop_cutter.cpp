#include "toolpaths/raster/drop_cutter.h"

#include <algorithm>
#include <cmath>

namespace tarnak {

namespace {

struct P3 {
  double x, y, z;
};

// Bins are enlarged until the filed items stay below this (a model of
// long slivers would otherwise file each one in thousands of cells).
constexpr double kMaxBinItems = 4e7;
constexpr double kMaxBins = 4e6;

// A facet this close to vertical has no top of its own: its edges carry
// its highest points over any XY.
constexpr double kVerticalFacet = 1e-12;

}  // namespace

double TriangleDrop(const CutterProfile& cutter, const TTNTriangle& triangle, double x, double y,
                    double lift) {
  const double r = cutter.Radius;
  const double r2 = r * r;
  const TTNVertex* in[3] = {&triangle.V0, &triangle.V1, &triangle.V2};
  P3 v[3];
  for (int i = 0; i < 3; ++i) v[i] = {in[i]->X, in[i]->Y, static_cast<double>(in[i]->Z) + lift};
  double best = kNoContact;
  const auto take = [&best](double z) {
    if (z > best) best = z;
  };
  const double rimHeight = cutter.Height(r);

  // Vertices within the radius.
  for (const P3& p : v) {
    const double dx = p.x - x, dy = p.y - y;
    const double d2 = dx * dx + dy * dy;
    if (d2 <= r2) take(p.z - cutter.Height(std::sqrt(d2)));
  }

  // Edges: where they cross the rim, and their one critical point inside.
  for (int i = 0; i < 3; ++i) {
    const P3& a = v[i];
    const P3& b = v[(i + 1) % 3];
    const double ex = b.x - a.x, ey = b.y - a.y;
    const double l2 = ex * ex + ey * ey;
    if (!(l2 > 0.0)) continue;  // vertical edge: its top vertex is the contact
    const double ax = x - a.x, ay = y - a.y;
    const double t0 = (ax * ex + ay * ey) / l2;
    const double cross = ax * ey - ay * ex;
    const double perp2 = cross * cross / l2;
    if (perp2 > r2) continue;
    const double half = std::sqrt((r2 - perp2) / l2);
    const double lo = std::max(0.0, t0 - half), hi = std::min(1.0, t0 + half);
    if (lo > hi) continue;
    const auto zAt = [&](double t) { return a.z + t * (b.z - a.z); };
    if (t0 - half >= 0.0 && t0 - half <= 1.0) take(zAt(t0 - half) - rimHeight);
    if (t0 + half >= 0.0 && t0 + half <= 1.0) take(zAt(t0 + half) - rimHeight);

    const double l = std::sqrt(l2);
    const double m = (b.z - a.z) / l;  // rise per unit of XY along the edge
    double u = 0.0;                    // XY offset of the critical point from the foot
    bool critical = false;
    if (cutter.Type == kToolBall) {
      // The sphere's section in the edge's vertical plane is a circle of
      // radius rs; the line touches it where the circle's slope is m.
      const double rs = std::sqrt(std::max(0.0, r2 - perp2));
      u = rs * m / std::sqrt(1.0 + m * m);
      critical = true;
    } else if (cutter.Type == kToolV && std::fabs(m) < cutter.ConeRise) {
      // The cone's section is a hyperbola; its slope equals m once.
      const double q = m / cutter.ConeRise;
      u = std::sqrt(perp2) * q / std::sqrt(1.0 - q * q);
      critical = true;
    }
    if (critical) {
      const double t = t0 + u / l;
      if (t >= lo && t <= hi) take(zAt(t) - cutter.Height(std::min(r, std::sqrt(perp2 + u * u))));
    }
  }

  // The facet: its critical point and the rim's highest point over it.
  const double ux = v[1].x - v[0].x, uy = v[1].y - v[0].y, uz = v[1].z - v[0].z;
  const double wx = v[2].x - v[0].x, wy = v[2].y - v[0].y, wz = v[2].z - v[0].z;
  double nx = uy * wz - uz * wy, ny = uz * wx - ux * wz, nz = ux * wy - uy * wx;
  const double nn = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (!(nn > 0.0) || std::fabs(nz) <= kVerticalFacet * nn) return best;
  if (nz < 0.0) {
    nx = -nx;
    ny = -ny;
    nz = -nz;
  }
  const auto inside = [&](double px, double py) {
    double sign = 0.0;
    for (int i = 0; i < 3; ++i) {
      const P3& a = v[i];
      const P3& b = v[(i + 1) % 3];
      const double s = (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
      if (s == 0.0) continue;
      if (sign == 0.0) sign = s;
      else if ((s > 0.0) != (sign > 0.0)) return false;
    }
    return true;
  };
  const auto zPlane = [&](double px, double py) {
    return v[0].z - (nx * (px - v[0].x) + ny * (py - v[0].y)) / nz;
  };
  const double gx = -nx / nz, gy = -ny / nz;  // the facet's slope in XY
  const double g = std::sqrt(gx * gx + gy * gy);
  if (cutter.Type == kToolBall) {
    // The sphere touches the plane below its centre along the normal.
    const double px = x - r * nx / nn, py = y - r * ny / nn;
    if (inside(px, py)) take(zPlane(px, py) - cutter.Height(r * std::sqrt(nx * nx + ny * ny) / nn));
  } else if ((cutter.Type == kToolV && g <= cutter.ConeRise) || g == 0.0) {
    // A facet flatter than the cone (or a flat one under an end mill)
    // meets the tip first.
    if (inside(x, y)) take(zPlane(x, y));
  }
  if (g > 0.0) {
    const double px = x + r * gx / g, py = y + r * gy / g;
    if (inside(px, py)) take(zPlane(px, py) - rimHeight);
  }
  return best;
}

namespace {

float TopOf(const TTNTriangle& t) { return std::max({t.V0.Z, t.V1.Z, t.V2.Z}); }

}  // namespace

TriangleBins::TriangleBins(const TTNTriangleArray& triangles, double cellSize)
    : triangles_(&triangles) {
  if (triangles.empty()) return;
  double minX = triangles[0].V0.X, maxX = minX, minY = triangles[0].V0.Y, maxY = minY;
  for (const TTNTriangle& t : triangles) {
    for (const TTNVertex* p : {&t.V0, &t.V1, &t.V2}) {
      minX = std::min(minX, static_cast<double>(p->X));
      maxX = std::max(maxX, static_cast<double>(p->X));
      minY = std::min(minY, static_cast<double>(p->Y));
      maxY = std::max(maxY, static_cast<double>(p->Y));
    }
  }
  x0_ = minX;
  y0_ = minY;
  cell_ = std::isfinite(cellSize) && cellSize > 0.0 ? cellSize : 1.0;
  cell_ = std::max(cell_, std::max(maxX - minX, maxY - minY) / 2000.0);
  const auto cellOf = [this](double v, double origin) {
    return static_cast<long>(std::floor((v - origin) / cell_));
  };
  // Grow the cells until the index is of a sensible size.
  for (;;) {
    columns_ = cellOf(maxX, x0_) + 1;
    rows_ = cellOf(maxY, y0_) + 1;
    double items = 0.0;
    for (const TTNTriangle& t : triangles) {
      const double tx0 = std::min({t.V0.X, t.V1.X, t.V2.X}), tx1 = std::max({t.V0.X, t.V1.X, t.V2.X});
      const double ty0 = std::min({t.V0.Y, t.V1.Y, t.V2.Y}), ty1 = std::max({t.V0.Y, t.V1.Y, t.V2.Y});
      items += static_cast<double>(cellOf(tx1, x0_) - cellOf(tx0, x0_) + 1) *
               static_cast<double>(cellOf(ty1, y0_) - cellOf(ty0, y0_) + 1);
    }
    if (items <= kMaxBinItems && static_cast<double>(columns_) * static_cast<double>(rows_) <= kMaxBins)
      break;
    cell_ *= 2.0;
  }

  const auto cells = static_cast<std::size_t>(columns_ * rows_);
  std::vector<uint32_t> count(cells + 1, 0);
  const auto forCells = [&](const TTNTriangle& t, auto&& f) {
    const double tx0 = std::min({t.V0.X, t.V1.X, t.V2.X}), tx1 = std::max({t.V0.X, t.V1.X, t.V2.X});
    const double ty0 = std::min({t.V0.Y, t.V1.Y, t.V2.Y}), ty1 = std::max({t.V0.Y, t.V1.Y, t.V2.Y});
    for (long r = cellOf(ty0, y0_); r <= cellOf(ty1, y0_); ++r)
      for (long c = cellOf(tx0, x0_); c <= cellOf(tx1, x0_); ++c)
        f(static_cast<std::size_t>(r * columns_ + c));
  };
  for (const TTNTriangle& t : triangles) forCells(t, [&](std::size_t cell) { ++count[cell + 1]; });
  start_.assign(cells + 1, 0);
  for (std::size_t i = 0; i < cells; ++i) start_[i + 1] = start_[i] + count[i + 1];
  std::vector<Item>& items = items_;
  items.resize(start_[cells]);
  std::vector<uint32_t> fill(start_.begin(), start_.end() - 1);
  for (std::size_t i = 0; i < triangles.size(); ++i) {
    const TTNTriangle& t = triangles[i];
    const Item item{std::min({t.V0.X, t.V1.X, t.V2.X}), std::min({t.V0.Y, t.V1.Y, t.V2.Y}),
                       std::max({t.V0.X, t.V1.X, t.V2.X}), std::max({t.V0.Y, t.V1.Y, t.V2.Y}),
                       TopOf(t), static_cast<uint32_t>(i)};
    forCells(t, [&](std::size_t cell) { items[fill[cell]++] = item; });
  }
  for (std::size_t c = 0; c < cells; ++c) {
    std::sort(items.begin() + start_[c], items.begin() + start_[c + 1],
              [](const Item& a, const Item& b) { return a.MaxZ > b.MaxZ; });
  }
}

double TriangleBins::Drop(const CutterProfile& cutter, double x, double y, double floor,
                          double lift) const {
  double best = floor;
  if (columns_ == 0) return best;
  const double r = cutter.Radius;
  const auto clampCell = [](double v, long n) {
    return static_cast<long>(std::clamp(std::floor(v), 0.0, static_cast<double>(n - 1)));
  };
  const double fx0 = (x - r - x0_) / cell_, fx1 = (x + r - x0_) / cell_;
  const double fy0 = (y - r - y0_) / cell_, fy1 = (y + r - y0_) / cell_;
  if (fx1 < 0.0 || fy1 < 0.0 || fx0 >= static_cast<double>(columns_) || fy0 >= static_cast<double>(rows_))
    return best;
  const long c0 = clampCell(fx0, columns_), c1 = clampCell(fx1, columns_);
  const long r0 = clampCell(fy0, rows_), r1 = clampCell(fy1, rows_);
  for (long row = r0; row <= r1; ++row) {
    for (long col = c0; col <= c1; ++col) {
      const auto cell = static_cast<std::size_t>(row * columns_ + col);
      for (uint32_t k = start_[cell]; k < start_[cell + 1]; ++k) {
        const Item& item = items_[k];
        // Lists run from the highest triangle down: none after this one
        // can reach above what is known.
        if (static_cast<double>(item.MaxZ) + lift <= best) break;
        const double dx = std::max({static_cast<double>(item.MinX) - x, 0.0, x - static_cast<double>(item.MaxX)});
        const double dy = std::max({static_cast<double>(item.MinY) - y, 0.0, y - static_cast<double>(item.MaxY)});
        const double d2 = dx * dx + dy * dy;
        if (d2 > r * r) continue;
        // No point of the triangle is nearer the axis than its box.
        if (static_cast<double>(item.MaxZ) + lift - cutter.Height(std::sqrt(d2)) <= best) continue;
        best = std::max(best, TriangleDrop(cutter, (*triangles_)[item.Index], x, y, lift));
      }
    }
  }
  return best;
}

bool DropCutterNodes(TTNZGrid& grid, const TTNTriangleArray& triangles, int toolType,
                     double toolAngle, double diameter, double stock, const CancelToken& cancel) {
  if (grid.Empty() || triangles.empty()) return !cancel.stopped();
  const CutterProfile cutter = CutterProfile::Make(toolType, toolAngle, diameter);
  const TriangleBins bins(triangles, std::max(cutter.Radius, std::min(grid.XStep, grid.YStep)));
  const std::size_t rows = grid.Rows(), columns = grid.Columns();
  const std::size_t every = std::max<std::size_t>(1, rows / 100);
  for (std::size_t row = 0; row < rows; ++row) {
    if (row % every == 0) {
      cancel.Progress(static_cast<int>(row), static_cast<int>(rows));
      if (cancel.Poll()) return false;
    }
    const double y = grid.NodeY(row);
    for (std::size_t col = 0; col < columns; ++col) {
      float& node = grid.At(row, col);
      if (node >= 0.0f) continue;  // at the stock top already
      const double drop = bins.Drop(cutter, grid.NodeX(col), y, node, stock);
      node = static_cast<float>(std::min(0.0, drop));
    }
  }
  return true;
}

GougeMeasure MeasureGouge(const TTNOutRegionArray3D& passes, std::size_t first, std::size_t last,
                          const CutterProfile& fullCutter, const TriangleBins& bins,
                          double spacing, const CancelToken& cancel) {
  CutterProfile cutter = fullCutter;
  cutter.Radius *= 1.0 - kGougeRimTolerance;
  GougeMeasure worst;
  last = std::min(last, passes.size());
  if (!(spacing > 0.0)) spacing = std::max(cutter.Radius / 4.0, 1e-3);
  std::size_t samples = 0, nextPoll = 0;
  const auto sample = [&](double x, double y, double z, int pass) {
    // Only a contact above the deepest dip so far can change the answer.
    const double floor = z + worst.Depth;
    const double drop = bins.Drop(cutter, x, y, floor);
    // Compared with the floor itself: (z + depth) - z may round above depth.
    if (drop > floor) worst = GougeMeasure{drop - z, x, y, z, pass};
    ++samples;
  };
  for (std::size_t p = first; p < last; ++p) {
    const std::vector<TTNPoint3D>& points = passes[p].Points;
    const int pass = static_cast<int>(p);
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (samples >= nextPoll) {
        nextPoll = samples + 4096;
        if (cancel.Poll()) return worst;
      }
      const TTNPoint3D& b = points[i];
      sample(b.X, b.Y, b.Z, pass);
      if (i == 0) continue;
      const TTNPoint3D& a = points[i - 1];
      const double len = std::hypot(static_cast<double>(b.X) - a.X, static_cast<double>(b.Y) - a.Y);
      const auto pieces = static_cast<std::size_t>(std::min(1e7, std::ceil(len / spacing)));
      const auto at = [&](double t) {
        return P3{a.X + t * (static_cast<double>(b.X) - a.X), a.Y + t * (static_cast<double>(b.Y) - a.Y),
                  a.Z + t * (static_cast<double>(b.Z) - a.Z)};
      };
      const double before = worst.Depth;
      double bestT = -1.0;
      for (std::size_t j = 1; j < pieces; ++j) {
        const double t = static_cast<double>(j) / static_cast<double>(pieces);
        const P3 q = at(t);
        const double depth = worst.Depth;
        sample(q.x, q.y, q.z, pass);
        if (worst.Depth > depth) bestT = t;
      }
      // The deepest sample of this move beat the worst so far: the dip
      // rises to a peak near it (where the cutter's rim reaches an edge of
      // the model, or the surface bulges between nodes), found by a
      // golden-section search between the samples on either side.
      if (bestT >= 0.0 && worst.Depth > before) {
        const double step = 1.0 / static_cast<double>(pieces);
        double lo = std::max(0.0, bestT - step), hi = std::min(1.0, bestT + step);
        const auto dip = [&](double t) {
          const P3 q = at(t);
          return bins.Drop(cutter, q.x, q.y, kNoContact) - q.z;
        };
        constexpr double kGolden = 0.6180339887498949;
        double t1 = hi - kGolden * (hi - lo), t2 = lo + kGolden * (hi - lo);
        double f1 = dip(t1), f2 = dip(t2);
        for (int k = 0; k < 40; ++k) {
          if (f1 < f2) {
            lo = t1;
            t1 = t2;
            f1 = f2;
            t2 = lo + kGolden * (hi - lo);
            f2 = dip(t2);
          } else {
            hi = t2;
            t2 = t1;
            f2 = f1;
            t1 = hi - kGolden * (hi - lo);
            f1 = dip(t1);
          }
        }
        const double t = f1 > f2 ? t1 : t2;
        const P3 q = at(t);
        sample(q.x, q.y, q.z, pass);
      }
    }
  }
  return worst;
}

}  // namespace tarnak
