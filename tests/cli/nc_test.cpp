// tarnak-cli nc and renumber end to end: the moves of a program as JSON,
// either reading, and a renumbered copy written without touching the
// original.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_run.h"
#include "test_files.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;

TEST(CliNc, MovesAsJsonAndRenumberedCopy) {
  const fs::path dir = fs::temp_directory_path() / ("tarnak_cli_nc_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path program = dir / "p.nc";
  testing::WriteAll(program, "(start)\nG1 X10 Y0\nG01 X10 Y5\n");

  const fs::path dxf = dir / "p.dxf";
  testing::CliRun r =
      testing::RunCli({"nc", program.string(), "--standard", "--json", "-", "--dxf", dxf.string()});
  ASSERT_EQ(r.Status, 0) << r.Err;
  // The two feeds as lines of the drawing (its reading is checked by another reader elsewhere).
  const std::string drawing = testing::ReadAll(dxf);
  std::size_t lines = 0;
  for (std::size_t at = drawing.find("\r\nLINE\r\n"); at != std::string::npos;
       at = drawing.find("\r\nLINE\r\n", at + 1))
    ++lines;
  EXPECT_EQ(lines, 2u);
  EXPECT_NE(r.Out.find("\"lines\": 3"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("{\"line\": 2, \"kind\": 1, \"x\": 10, \"y\": 0, \"z\": 0, \"radius\": 0, "
                       "\"x2\": 10, \"y2\": 5"),
            std::string::npos)
      << r.Out;
  // The default post reading takes "G01" only, and says what to try.
  r = testing::RunCli({"nc", program.string(), "--post", "Default"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_NE(r.Out.find("Lines 3\n1 moves"), std::string::npos) << r.Out;

  const fs::path out = dir / "q.nc";
  r = testing::RunCli({"renumber", program.string(), "--start", "10", "--increment", "10", "--post",
                       "Default", "-o", out.string()});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::string numbered = testing::ReadAll(out);
  EXPECT_EQ(numbered.rfind("(start)\nN10 G1 X10 Y0\nN20 G01", 0), 0u) << numbered;
  EXPECT_EQ(testing::ReadAll(program), "(start)\nG1 X10 Y0\nG01 X10 Y5\n");
  EXPECT_NE(testing::RunCli({"renumber", program.string(), "--start", "x1", "--increment", "1"}).Status, 0);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tarnak
