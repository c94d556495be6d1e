// Combine against an independent union: shapely's union of the same
// outlines (circles sampled at 4096 points) gives each merged Region's area
// and box. The scene is 1,000 circles and squares in rows, each overlapping
// the next, so that merging takes several passes.
#include "editing/combine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/primitives.h"
#include "signed_area.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;

struct Shape {
  bool Circle;
  double X, Y, Size;  // circle: centre and radius; square: lower-left and side
};

double Area(const TTNRegion& r) { return testing::SignedArea(r); }

struct Polygon {
  double MinX, MinY, MaxX, MaxY, Area;
};

const char* kOracle = R"(
import sys
from shapely.geometry import Point, box, Polygon
from shapely.ops import unary_union
shapes = []
for line in open(sys.argv[1]):
    k, x, y, s = line.split()
    x, y, s = float(x), float(y), float(s)
    shapes.append(Point(x, y).buffer(s, 1024) if k == 'C' else box(x, y, x + s, y + s))
u = unary_union(shapes)
for p in getattr(u, 'geoms', [u]):
    outer = Polygon(p.exterior)
    print(*outer.bounds, outer.area)
)";

std::vector<Polygon> ShapelyUnion(const std::vector<Shape>& shapes) {
  const fs::path dir = fs::temp_directory_path();
  const fs::path in = dir / ("tarnak_combine_" + std::to_string(::getpid()) + ".txt");
  const fs::path script = dir / ("tarnak_combine_" + std::to_string(::getpid()) + ".py");
  {
    std::ofstream f(in);
    f.precision(17);
    for (const Shape& s : shapes) f << (s.Circle ? "C " : "S ") << s.X << ' ' << s.Y << ' ' << s.Size << '\n';
    std::ofstream(script) << kOracle;
  }
  std::vector<Polygon> out;
  const std::string cmd = "/usr/bin/python3 '" + script.string() + "' '" + in.string() + "' 2>/dev/null";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (p) {
    std::string text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    ::pclose(p);
    std::istringstream lines(text);
    Polygon q{};
    while (lines >> q.MinX >> q.MinY >> q.MaxX >> q.MaxY >> q.Area) out.push_back(q);
  }
  fs::remove(in);
  fs::remove(script);
  return out;
}

bool ShapelyInstalled() { return std::system("/usr/bin/python3 -c 'import shapely' >/dev/null 2>&1") == 0; }

TEST(CombineOracle, UnionsAgreeWithShapely) {
  if (!ShapelyInstalled()) GTEST_SKIP() << "python3-shapely is not installed";
  std::mt19937 rng(15);
  std::uniform_real_distribution<double> jitter(-1.5, 1.5);
  std::vector<Shape> shapes;
  for (int row = 0; row < 200; ++row)
    for (int k = 0; k < 5; ++k) {
      const double x = (row % 20) * 60.0 + k * 8.0 + jitter(rng), y = (row / 20) * 30.0 + jitter(rng);
      if ((k + row) % 2 == 0)
        shapes.push_back({true, x + 5.0, y + 5.0, 5.0 + 0.3 * jitter(rng)});
      else
        shapes.push_back({false, x, y, 10.0 + 0.3 * jitter(rng)});
    }
  TTNRegionArray list(1);
  for (const Shape& s : shapes) {
    TTNRegion r;
    if (s.Circle) {
      r.Elements.push_back(MakeArc(s.X, s.Y, s.Size, 0.0, 0.0));
    } else {
      const double x0 = s.X, y0 = s.Y, x1 = s.X + s.Size, y1 = s.Y + s.Size;
      r.Elements = {MakeLine(x0, y0, x1, y0), MakeLine(x1, y0, x1, y1), MakeLine(x1, y1, x0, y1),
                    MakeLine(x0, y1, x0, y0)};
    }
    RegionBounds(r);
    r.Selected = 1;
    list.push_back(std::move(r));
  }
  const auto t0 = std::chrono::steady_clock::now();
  CancelToken cancel;
  CombineSelected(cancel, list);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("combine of %zu shapes: %.3f s, %zu Regions\n", shapes.size(), seconds, list.size() - 1);

  const std::vector<Polygon> oracle = ShapelyUnion(shapes);
  ASSERT_EQ(list.size() - 1, oracle.size());
  int checked = 0;
  for (size_t i = 1; i < list.size(); ++i) {
    const TTNRegion& u = list[i];
    const Polygon* match = nullptr;
    for (const Polygon& q : oracle)
      if (std::fabs(q.MinX - u.MinX) < 0.01 && std::fabs(q.MinY - u.MinY) < 0.01 &&
          std::fabs(q.MaxX - u.MaxX) < 0.01 && std::fabs(q.MaxY - u.MaxY) < 0.01)
        match = &q;
    ASSERT_NE(match, nullptr) << "Region " << i << " has no union of that box";
    const double size = std::max(u.MaxX - u.MinX, u.MaxY - u.MinY);
    for (double d : {match->MinX - u.MinX, match->MinY - u.MinY, match->MaxX - u.MaxX, match->MaxY - u.MaxY})
      EXPECT_LE(std::fabs(d), 1e-6 * size) << "Region " << i;
    EXPECT_NEAR(std::fabs(Area(u)), match->Area, 1e-6 * match->Area) << "Region " << i;
    EXPECT_EQ(u.Open, 0);
    ++checked;
  }
  EXPECT_EQ(static_cast<size_t>(checked), oracle.size());
}

}  // namespace
}  // namespace tarnak
