// tarnak-cli pcb: a real board routed with two passes and written through
// a post, the program run through LinuxCNC's interpreter: it runs cleanly,
// every cut lies at the isolation depth within the board, and a second
// pass adds paths; the routing's own options are refused out of range.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "cli_run.h"
#include "rs274_oracle.h"

namespace tarnak::cli {
namespace {

namespace fs = std::filesystem;

const std::string kBoards = std::string(TARNAK_CORPUS_DIR) + "/gerber/";

int ToolpathsIn(const std::string& json) {
  int n = 0;
  for (std::size_t at = 0; (at = json.find("\"linkKind\"", at)) != std::string::npos; ++at) ++n;
  return n;
}

TEST(PcbCommand, RoutesARealBoardIntoAProgramTheInterpreterRuns) {
  if (!tarnak::testing::Rs274Available()) GTEST_SKIP() << "rs274 (linuxcnc-uspace) is not installed";
  const fs::path home = fs::temp_directory_path() / ("tarnak-cli-pcb-" + std::to_string(::getpid()));
  fs::remove_all(home);
  fs::create_directories(home);
  ASSERT_EQ(::setenv("TARNAK_HOME", home.c_str(), 1), 0);
  const std::string board = kBoards + "pcb2gcode_EasySDR_Gerber_TopLayer.GTL";  // millimetres
  const std::vector<std::string> tool = {"--set", "RoughDiameter=0.2", "--set", "RoughFeed=100",
                                         "--set", "RoughPlunge=50", "--set", "RapidHeight=2",
                                         "--depth", "0.05"};
  auto run = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {"pcb", board};
    args.insert(args.end(), tool.begin(), tool.end());
    args.insert(args.end(), extra.begin(), extra.end());
    return tarnak::testing::RunCli(args);
  };

  const auto one = run({"--json", "-"});
  ASSERT_EQ(one.Status, 0) << one.Err;
  const fs::path nc = home / "board.ngc";
  const auto two = run({"--passes", "2", "--overlap", "0.3", "--json", "-", "-o", nc.string()});
  ASSERT_EQ(two.Status, 0) << two.Err;
  EXPECT_GT(ToolpathsIn(one.Out), 20);
  EXPECT_GT(ToolpathsIn(two.Out), ToolpathsIn(one.Out));

  const tarnak::testing::Rs274Result r = tarnak::testing::RunRs274(nc, home);
  ASSERT_TRUE(r.Clean()) << r.Errors;
  size_t cuts = 0;
  for (const auto& t : r.Tools)
    for (const auto& p : t.Feeds) {
      // The copper spans about 0.3 .. 79.2 x 0.3 .. 46.7 mm; every cut at the depth.
      EXPECT_TRUE(p.X > -1 && p.X < 81 && p.Y > -1 && p.Y < 48.5) << p.X << ", " << p.Y;
      if (p.Z < 0) {
        EXPECT_NEAR(p.Z, -0.05, 1e-9);
        ++cuts;
      }
    }
  EXPECT_GT(cuts, 1000u);

  EXPECT_EQ(run({"--passes", "0"}).Status, 2);
  const auto overlap = run({"--overlap", "1"});
  EXPECT_EQ(overlap.Status, 2);
  EXPECT_NE(overlap.Err.find("Pass overlap must be at least 0 and less than 1."), std::string::npos)
      << overlap.Err;
  ::unsetenv("TARNAK_HOME");
  std::error_code ec;
  fs::remove_all(home, ec);
}

}  // namespace
}  // namespace tarnak::cli
