// tarnak-cli gerber: a millimetre board at its real size, the tool offset
// merging neighbours, the direction asked for, and a refusal by name.
// tarnak-cli drill-file: every hole of a drill file drilled once, as
// LinuxCNC's interpreter runs the program.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <utility>

#include "cli_run.h"
#include "rs274_oracle.h"

namespace tarnak::cli {
namespace {

const std::string kBoards = std::string(TARNAK_CORPUS_DIR) + "/gerber/";

TEST(GerberCommand, ImportsAtRealSizeAndRefusesNegativeImages) {
  const auto plain = testing::RunCli({"gerber", kBoards + "pcb2gcode_EasySDR_Gerber_TopLayer.GTL"});
  EXPECT_EQ(plain.Status, 0) << plain.Err;
  EXPECT_EQ(plain.Out, "143 Regions Created...\n");
  // Pads and tracks closer than twice the offset share one outline.
  const auto wide = testing::RunCli({"gerber", kBoards + "pcb2gcode_EasySDR_Gerber_TopLayer.GTL",
                                     "--offset", "5", "--dir", "cw", "--json", "-"});
  EXPECT_EQ(wide.Status, 0) << wide.Err;
  EXPECT_EQ(wide.Out.rfind("{\"status\": \"41 Regions Created...\", \"extents\": [", 0), 0u) << wide.Out.substr(0, 200);
  EXPECT_EQ(wide.Out.find("\"direction\": 0"), std::string::npos);
  EXPECT_EQ(wide.Out.find("\"open\": 1"), std::string::npos);

  const auto neg = testing::RunCli({"gerber", kBoards + "gerbv_polarity_6_vbat.gbr"});
  EXPECT_EQ(neg.Status, 2);
  EXPECT_NE(neg.Err.find("Negative Polarity Read...Convert to Positive Before Importing."),
            std::string::npos);
  EXPECT_EQ(testing::RunCli({"gerber", "--offset", "x", "a.gbr"}).Status, 2);
  // A drill file is told by its M48 header, whatever its extension.
  const auto drill = testing::RunCli({"gerber", kBoards + "gerbv_hellboard.plated-drill.cnc"});
  EXPECT_EQ(drill.Out, "360 Regions Created...\n") << drill.Err;
}

TEST(GerberCommand, DrillFileDrillsEveryHoleOnce) {
  if (!tarnak::testing::Rs274Available()) GTEST_SKIP() << "rs274 (linuxcnc-uspace) is not installed";
  namespace fs = std::filesystem;
  const fs::path home = fs::temp_directory_path() / ("tarnak-cli-drill-file-" + std::to_string(::getpid()));
  fs::remove_all(home);
  fs::create_directories(home);
  ASSERT_EQ(::setenv("TARNAK_HOME", home.c_str(), 1), 0);
  const std::string file = kBoards + "pcb2gcode_project-controller.drl";
  // The hole centres as the board import reports them: the middle of each
  // full circle's box.
  const auto dump = testing::RunCli({"gerber", file, "--json", "-"});
  ASSERT_EQ(dump.Status, 0) << dump.Err;
  std::set<std::pair<long, long>> holes;
  const std::regex box(R"re("box": \[([-0-9.e]+), ([-0-9.e]+), ([-0-9.e]+), ([-0-9.e]+)\])re");
  for (std::sregex_iterator it(dump.Out.begin(), dump.Out.end(), box), end; it != end; ++it) {
    const double minX = std::stod((*it)[1]), minY = std::stod((*it)[2]), maxY = std::stod((*it)[3]),
                 maxX = std::stod((*it)[4]);
    holes.insert({std::lround((minX + maxX) * 500), std::lround((minY + maxY) * 500)});
  }
  ASSERT_GT(holes.size(), 50u);

  const fs::path nc = home / "holes.ngc";
  const auto r = testing::RunCli(
      {"drill-file", file, "--preset", "Drill 0.8mm", "--depth", "1.6", "-o", nc.string()});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const tarnak::testing::Rs274Result run = tarnak::testing::RunRs274(nc, home);
  ASSERT_TRUE(run.Clean()) << run.Errors;
  std::multiset<std::pair<long, long>> drilled;
  for (const auto& t : run.Tools)
    for (const auto& p : t.Feeds)
      if (std::fabs(p.Z + 1.6) < 1e-6) drilled.insert({std::lround(p.X * 1000), std::lround(p.Y * 1000)});
  EXPECT_EQ(drilled.size(), holes.size());
  const std::set<std::pair<long, long>> distinct(drilled.begin(), drilled.end());
  EXPECT_EQ(distinct, holes);
  ::unsetenv("TARNAK_HOME");
  std::error_code ec;
  fs::remove_all(home, ec);
}

}  // namespace
}  // namespace tarnak::cli
