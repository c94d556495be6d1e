// The command line's edit steps: applied in order after the selection, seen
// in the JSON dump; malformed steps refused before anything is read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include <unistd.h>

#include "cli_run.h"
#include "test_files.h"

namespace tarnak {
namespace {

using testing::RunCli;

const std::string kDrawing = std::string(TARNAK_CORPUS_DIR) + "/dxf/dxf2gcode_DEMO_R10.DXF";

struct Extents {
  double MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;
};
Extents ExtentsOf(const std::string& json) {
  Extents e;
  const std::size_t at = json.find("\"extents\": [");
  if (at != std::string::npos)
    std::sscanf(json.c_str() + at, "\"extents\": [%lf, %lf, %lf, %lf", &e.MinX, &e.MaxX, &e.MinY, &e.MaxY);
  return e;
}

TEST(CliEditSteps, StepsApplyInOrder) {
  const auto plain = RunCli({"regions", kDrawing, "--select", "all", "--json", "-"});
  ASSERT_EQ(plain.Status, 0) << plain.Err;
  const Extents a = ExtentsOf(plain.Out);
  // Scale about the lower-left corner, then move it: the order matters.
  const auto edited = RunCli({"regions", kDrawing, "--select", "all", "--scale", "2", "--move",
                              "5,-3", "--rotate", "90", "--json", "-"});
  ASSERT_EQ(edited.Status, 0) << edited.Err;
  const Extents b = ExtentsOf(edited.Out);
  EXPECT_NEAR(b.MinX, 5.0, 1e-6);
  EXPECT_NEAR(b.MinY, -3.0, 1e-6);
  EXPECT_NEAR(b.MaxX - b.MinX, 2 * (a.MaxY - a.MinY), 1e-6);
  EXPECT_NEAR(b.MaxY - b.MinY, 2 * (a.MaxX - a.MinX), 1e-6);

  const auto combined = RunCli({"regions", kDrawing, "--select", "closed", "--explode", "--join",
                                "--combine", "--depth-boundaries", "3", "--json", "-"});
  ASSERT_EQ(combined.Status, 0) << combined.Err;
  EXPECT_NE(combined.Out.find("\"depth\": 3"), std::string::npos);
}

TEST(CliEditSteps, BadStepsAreRefused) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--move", "1"}, {"--scale", "x"}, {"--first-element", "1"}, {"--depth-islands", "-1"},
           {"--rotate"}, {"--first-element", "9999:0"}, {"--combine"}}) {
    std::vector<std::string> line = {"regions", kDrawing};
    line.insert(line.end(), args.begin(), args.end());
    const auto r = RunCli(line);
    EXPECT_EQ(r.Status, 2) << args[0];
    EXPECT_FALSE(r.Err.empty()) << args[0];
  }
}

// A drawing of LINE entities, each {x1, y1, x2, y2}.
std::string LinesDxf(const std::vector<std::vector<double>>& lines) {
  std::string d = "0\nSECTION\n2\nENTITIES\n";
  for (const auto& l : lines)
    d += "0\nLINE\n8\n0\n10\n" + std::to_string(l[0]) + "\n20\n" + std::to_string(l[1]) +
         "\n11\n" + std::to_string(l[2]) + "\n21\n" + std::to_string(l[3]) + "\n";
  return d + "0\nENDSEC\n0\nEOF\n";
}

// For every cutting depth of the program, the least and greatest distance
// of the feed moves' end points from the outline of the square 0..100.
std::map<double, std::pair<double, double>> OffsetsByDepth(const std::string& nc) {
  std::map<double, std::pair<double, double>> out;
  std::istringstream in(nc);
  std::string line;
  double x = 0, y = 0, z = 0;
  bool feed = false;
  while (std::getline(in, line)) {
    const auto word = [&](char c, double& v) {
      const std::size_t at = line.find(c);
      if (at != std::string::npos) v = std::strtod(line.c_str() + at + 1, nullptr);
      return at != std::string::npos;
    };
    if (line.find("G00") != std::string::npos) feed = false;
    if (line.find("G01") != std::string::npos || line.find("G02") != std::string::npos ||
        line.find("G03") != std::string::npos)
      feed = true;
    const bool moved = word('X', x) | word('Y', y);
    word('Z', z);
    if (!feed || !moved || z > -1e-9) continue;
    const double dx = std::max({0.0, -x, x - 100.0}), dy = std::max({0.0, -y, y - 100.0});
    const double d = std::hypot(dx, dy);
    auto [it, fresh] = out.try_emplace(std::round(-z * 1000) / 1000, d, d);
    if (!fresh) it->second = {std::min(it->second.first, d), std::max(it->second.second, d)};
  }
  return out;
}

// A sloping-line profile on a 10 deep square: the wall steps out by the full
// delta at the surface and not at all at the floor, linearly in between.
TEST(CliEditSteps, WallProfileWidensTheContourTowardsTheTop) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("tarnak_walls_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  testing::WriteAll(dir / "square.dxf",
                    LinesDxf({{0, 0, 100, 0}, {100, 0, 100, 100}, {100, 100, 0, 100}, {0, 100, 0, 0}}));
  testing::WriteAll(dir / "Profiles.DXF", LinesDxf({{0, 0, 1, 1}}));
  const auto run = [&](std::vector<std::string> extra, const std::string& nc) {
    std::vector<std::string> args = {"contour", (dir / "square.dxf").string(), "--set", "RoughFeed=300",
                                     "--set", "RoughPlunge=100", "--set", "RoughStepZ=2",
                                     "--set", "RoughDiameter=3", "--select", "all", "--depth", "10",
                                     "-o", (dir / nc).string()};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto r = RunCli(args);
    EXPECT_EQ(r.Status, 0) << r.Err;
    return OffsetsByDepth(testing::ReadAll(dir / nc));
  };
  const auto plain = run({}, "plain.nc");
  const auto walled =
      run({"--wall", "1:1:2", "--profiles", (dir / "Profiles.DXF").string()}, "walled.nc");
  ASSERT_EQ(plain.size(), 5u);
  ASSERT_EQ(walled.size(), plain.size());
  for (const auto& [depth, range] : walled) {
    const double expected = plain.at(depth).first + 2.0 * (10.0 - depth) / 10.0;
    EXPECT_NEAR(range.first, expected, 1e-3) << "depth " << depth;
    EXPECT_NEAR(range.second, expected, 1e-3) << "depth " << depth;
    EXPECT_NEAR(plain.at(depth).second, plain.at(depth).first, 1e-3);
  }

  // A missing or empty library is named; a wall beyond the library refused.
  for (const auto& [extra, says] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--profiles", (dir / "none.dxf").string(), "--wall", "1:1:2"}, "none.dxf"},
           {{"--wall", "1:1:2"}, "no profile 1"},
           {{"--profiles", (dir / "Profiles.DXF").string(), "--wall", "1:2:2"}, "no profile 2"},
           {{"--wall", "1:1:0"}, "delta above 0"}}) {
    std::vector<std::string> args = {"contour", (dir / "square.dxf").string(), "--depth", "10"};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto r = RunCli(args);
    EXPECT_EQ(r.Status, 2) << says;
    EXPECT_NE(r.Err.find(says), std::string::npos) << r.Err;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tarnak
