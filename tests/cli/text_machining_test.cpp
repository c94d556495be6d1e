// Text made into toolpaths: a contour along the outlines of a DXF text and
// an engraving along a single-stroke (Hershey) text, each program run
// through LinuxCNC's interpreter, with every cut near the text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "cli_run.h"
#include "rs274_oracle.h"

namespace tarnak::cli {
namespace {

namespace fs = std::filesystem;

// "Tarnak 12" 10 high at (5, 5).
std::string TextDrawing() {
  return "0\nSECTION\n2\nENTITIES\n0\nTEXT\n8\n0\n10\n5\n20\n5\n30\n0\n40\n10\n1\nTarnak 12\n"
         "0\nENDSEC\n0\nEOF\n";
}

TEST(TextMachining, OutlineContourAndHersheyEngravingRunInRs274) {
  if (!tarnak::testing::Rs274Available()) GTEST_SKIP() << "rs274 (linuxcnc-uspace) is not installed";
  const fs::path home = fs::temp_directory_path() / ("tarnak-cli-text-" + std::to_string(::getpid()));
  fs::remove_all(home);
  fs::create_directories(home);
  ASSERT_EQ(::setenv("TARNAK_HOME", home.c_str(), 1), 0);
  const std::string drawing = (home / "text.dxf").string();
  std::ofstream(drawing, std::ios::binary) << TextDrawing();

  struct Case {
    const char* Font;
    const char* Select;
    const char* Compensation;  // an engraving follows the stroke itself
  };
  for (const Case c : {Case{"DejaVu Sans", "closed", "Compensation=Cutout"},
                       Case{"Hershey Roman Simplex", "open", "Compensation=None"}}) {
    SCOPED_TRACE(c.Font);
    std::ofstream(home / "Options.cfg", std::ios::binary) << "[Options]\r\nFont=" << c.Font << "\r\n";
    const fs::path nc = home / "text.ngc";
    fs::remove(nc);
    const tarnak::testing::CliRun r =
        tarnak::testing::RunCli({"contour", drawing, "--select", c.Select, "--preset", "EndMill 3mm Wood", "--set", c.Compensation, "--depth", "0.5", "-o", nc.string()});
    ASSERT_EQ(r.Status, 0) << r.Err << r.Out;
    const tarnak::testing::Rs274Result run = tarnak::testing::RunRs274(nc, home);
    ASSERT_TRUE(run.Clean()) << run.Errors;
    size_t feeds = 0;
    for (const auto& t : run.Tools)
      for (const auto& p : t.Feeds) {
        ++feeds;
        // The text spans about 5 .. 65 in X and 3 .. 14 in Y; the tool's
        // offset and the lead moves stay within a few units.
        EXPECT_TRUE(p.X > -5 && p.X < 80 && p.Y > -5 && p.Y < 25) << p.X << ", " << p.Y;
      }
    EXPECT_GT(feeds, 50u);
  }
  ::unsetenv("TARNAK_HOME");
  std::error_code ec;
  fs::remove_all(home, ec);
}

}  // namespace
}  // namespace tarnak::cli
