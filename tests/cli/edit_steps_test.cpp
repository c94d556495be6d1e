// The command line's edit steps: applied in order after the selection, seen
// in the JSON dump; malformed steps refused before anything is read.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli_run.h"

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

}  // namespace
}  // namespace tarnak
