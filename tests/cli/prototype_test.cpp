// tarnak-cli prototype: the dialog's keys through --set, the directions,
// the JSON of the passes in machine Z, the NC file, and refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <unistd.h>

#include "cli_run.h"
#include "test_files.h"

namespace tarnak {
namespace {

const std::string kCube = std::string(TARNAK_CORPUS_DIR) + "/stl/pycam_cube_ascii_crlf_tabs.stl";

std::vector<std::string> CubeArgs(std::vector<std::string> more) {
  std::vector<std::string> args = {"prototype", kCube, "--set", "RoughDiameter=2", "--set",
                                   "RoughStepZ=2.5", "--set", "RoughFeed=100", "--set",
                                   "RoughPlunge=50", "--set", "RoughType=1", "--set",
                                   "FinishStepZ=20", "--set", "FinishFeed=80", "--margin", "1"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST(CliPrototype, CutsTheCubeAndWritesItsPasses) {
  const testing::CliRun r = testing::RunCli(CubeArgs({"--json", "-"}));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out.rfind("{\"status\": \"Ready...\", \"gouge\": ", 0), 0u) << r.Out.substr(0, 200);
  // The straight moves from the floor up to the nodes beside the walls cut
  // into the cube's corners: the report says so, and where.
  EXPECT_NE(r.Out.find("\"gouge_at\": {"), std::string::npos);
  // The 10 mm cube, top at 0: four rough levels and one finish level at
  // the stock bottom, the finish tool proposed from the rough diameter.
  for (const char* level : {"\"z\": -2.5,", "\"z\": -5,", "\"z\": -7.5,", "\"index\": 4, \"z\": -10,"})
    EXPECT_NE(r.Out.find(level), std::string::npos) << level;
  EXPECT_EQ(r.Out.find("\"index\": 5"), std::string::npos);
  EXPECT_NE(r.Out.find("\"feed\": 80"), std::string::npos);

  const testing::CliRun none = testing::RunCli(CubeArgs({"--finish-dir", "none"}));
  ASSERT_EQ(none.Status, 0) << none.Err;
  EXPECT_NE(none.Out.find("4 rough and 0 finish passes"), std::string::npos) << none.Out;

  std::random_device rd;
  const auto nc = std::filesystem::temp_directory_path() /
                  ("tarnak_cli_proto_" + std::to_string(::getpid()) + "_" + std::to_string(rd()) + ".nc");
  const testing::CliRun saved = testing::RunCli(CubeArgs({"-o", nc.string(), "--post", "Default"}));
  ASSERT_EQ(saved.Status, 0) << saved.Err;
  EXPECT_NE(testing::ReadAll(nc).find("Z-10."), std::string::npos);
  std::filesystem::remove(nc);
}

TEST(CliPrototype, RefusesWhatItCannotCut) {
  const struct {
    std::vector<std::string> Args;
    const char* Message;
  } cases[] = {
      {{"prototype", kCube, "--set", "RoughDiameter=0"}, "Rough tool diameter must be greater than 0."},
      {{"prototype", kCube, "--finish-dir", "z"}, "--finish-dir needs x, y or none"},
      {{"prototype", kCube, "--set", "RoughType=5"}, "RoughType"},
      {CubeArgs({"--set", "RoughStepXY=0.00001", "--set", "FinishDiameter=2"}), "Rough X and Y steps too small"},
      {{"prototype", std::string(TARNAK_CORPUS_DIR) + "/stl/stl-models_faceless.ascii.stl"}, "No facets"},
  };
  for (const auto& c : cases) {
    const testing::CliRun r = testing::RunCli(c.Args);
    EXPECT_EQ(r.Status, 2) << c.Message;
    EXPECT_NE((r.Err + r.Out).find(c.Message), std::string::npos) << r.Err << r.Out;
  }
}

}  // namespace
}  // namespace tarnak
