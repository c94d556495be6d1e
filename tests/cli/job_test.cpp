// tarnak-cli job: several strategies, each with its own selection and
// preset, go into one NC program with a tool change between them. The
// program is run through LinuxCNC's interpreter; the presets are the ones
// the program ships, copied into a fresh settings folder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli_commands.h"
#include "cli_run.h"
#include "rs274_oracle.h"

namespace tarnak::cli {
namespace {

namespace fs = std::filesystem;
using tarnak::testing::Rs274Result;
using tarnak::testing::Rs274ToolRun;

using tarnak::testing::CliRun;
using tarnak::testing::RunCli;

// A 100 x 100 plate with three holes of radius 4.
std::string Plate() {
  std::string s = "0\nSECTION\n2\nENTITIES\n";
  s += "0\nLWPOLYLINE\n8\n0\n90\n4\n70\n1\n10\n0\n20\n0\n10\n100\n20\n0\n10\n100\n20\n100\n10\n0\n20\n100\n";
  for (auto [x, y] : {std::pair{30.0, 30.0}, {70.0, 30.0}, {50.0, 70.0}})
    s += "0\nCIRCLE\n8\n0\n10\n" + std::to_string(x) + "\n20\n" + std::to_string(y) + "\n40\n4\n";
  return s + "0\nENDSEC\n0\nEOF\n";
}

class JobCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::temp_directory_path() / ("tarnak-cli-job-" + std::to_string(::getpid()));
    fs::remove_all(home_);
    fs::create_directories(home_);
    ASSERT_EQ(::setenv("TARNAK_HOME", home_.c_str(), 1), 0);
    drawing_ = (home_ / "plate.dxf").string();
    std::ofstream(drawing_, std::ios::binary) << Plate();
  }
  void TearDown() override {
    ::unsetenv("TARNAK_HOME");
    std::error_code ec;
    fs::remove_all(home_, ec);
  }
  fs::path home_;
  std::string drawing_;
};

TEST_F(JobCommand, PocketContourAndDrillMakeOneProgramWithThreeTools) {
  if (!tarnak::testing::Rs274Available()) GTEST_SKIP() << "rs274 (linuxcnc-uspace) is not installed";
  const fs::path nc = home_ / "plate.ngc";
  const CliRun r = RunCli({"job", drawing_, "--op", "pocket --preset 'EndMill 6mm Wood' --depth 2",
                           "--op", "contour --preset \"EndMill 3mm Wood\" --depth 4 --select closed",
                           "--op", "drill --preset 'Drill 0.8mm' --depth 6", "-o", nc.string()});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_TRUE(fs::exists(home_ / "Configurations.cfg"));  // shipped presets, copied on first use

  const Rs274Result run = tarnak::testing::RunRs274(nc, home_);
  ASSERT_TRUE(run.Clean()) << run.Errors;
  std::vector<int> tools;
  for (const Rs274ToolRun& t : run.Tools) tools.push_back(t.Tool);
  ASSERT_EQ(tools, (std::vector<int>{2, 1, 5}));
  auto deepest = [](const Rs274ToolRun& t) {
    double z = 0;
    for (const auto& p : t.Feeds) z = std::min(z, p.Z);
    return z;
  };
  EXPECT_DOUBLE_EQ(deepest(run.Tools[0]), -2);
  for (const auto& p : run.Tools[0].Feeds) EXPECT_TRUE(p.X > 0 && p.X < 100 && p.Y > 0 && p.Y < 100);
  EXPECT_DOUBLE_EQ(deepest(run.Tools[1]), -4);
  bool outside = false;
  for (const auto& p : run.Tools[1].Feeds) outside = outside || p.X < 0 || p.X > 100;
  EXPECT_TRUE(outside);
  EXPECT_DOUBLE_EQ(deepest(run.Tools[2]), -6);
  int holes = 0;
  for (const auto& p : run.Tools[2].Feeds) {
    const bool centre = (std::abs(p.X - 30) < 1e-3 && std::abs(p.Y - 30) < 1e-3) ||
                        (std::abs(p.X - 70) < 1e-3 && std::abs(p.Y - 30) < 1e-3) ||
                        (std::abs(p.X - 50) < 1e-3 && std::abs(p.Y - 70) < 1e-3);
    EXPECT_TRUE(centre) << p.X << ", " << p.Y;
    if (std::abs(p.Z + 6) < 1e-6) ++holes;
  }
  EXPECT_EQ(holes, 3);
}

TEST_F(JobCommand, RefusesWhatNoOperationCouldUse) {
  const struct {
    std::vector<std::string> args;
    int status;
    const char* message;
  } cases[] = {
      {{"--op", "contour --preset 'EndMill 3mm Wood' --set RoughDiameter=0 --set Compensation=Left"},
       2,
       "tarnak-cli: --op \"contour --preset 'EndMill 3mm Wood' --set RoughDiameter=0 --set "
       "Compensation=Left\": Rough tool diameter must be greater than 0.\n"},
      {{"--op", "pocket --preset 'EndMill 6mm Wood' --set RoughStepXY=7"},
       2,
       "tarnak-cli: --op \"pocket --preset 'EndMill 6mm Wood' --set RoughStepXY=7\": Rough step-over "
       "must not be greater than the rough tool diameter.\n"},
      {{"--op", "drill --dir cw"}, 2, nullptr},
      {{"--op", "engrave --preset X"}, 2, nullptr},
      {{"--preset", "X", "--op", "drill"}, 2, nullptr},
      {{}, 2, nullptr},
      // The holes are not there when only open outlines are picked.
      {{"--op", "drill --preset 'Drill 0.8mm'", "--op", "drill --preset 'Drill 0.8mm' --select open"}, 1,
       nullptr},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"job", drawing_};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {"-o", (home_ / "out.ngc").string()});
    const CliRun r = RunCli(args);
    EXPECT_EQ(r.Status, c.status) << r.Err;
    if (c.message) {
      EXPECT_EQ(r.Err, c.message);
    }
    EXPECT_FALSE(fs::exists(home_ / "out.ngc")) << r.Err;
  }
}

}  // namespace
}  // namespace tarnak::cli
