// tarnak-cli regions: every corpus drawing loads with the status it gives
// today, the JSON dump agrees with the status, and bad input exits with 2
// and a message naming the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli_commands.h"
#include "cli_run.h"

namespace tarnak::cli {
namespace {

namespace fs = std::filesystem;

using tarnak::testing::CliRun;
using tarnak::testing::RunCli;

std::string Corpus(const std::string& name) { return std::string(TARNAK_CORPUS_DIR) + "/dxf/" + name; }

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

fs::path TempFile(const std::string& name, const std::string& contents) {
  // One folder per test process: ctest runs tests in parallel, and two
  // processes rewriting the same drawing would read each other's halves.
  const fs::path dir = fs::temp_directory_path() / ("tarnak-cli-test-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path p = dir / name;
  std::ofstream(p, std::ios::binary) << contents;
  return p;
}

TEST(RegionsCommand, EveryCorpusDrawingLoadsWithItsStatus) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"dxf2gcode-plasma_fc_mounting_R12.dxf", "8 Regions Created... 0 Open"},
      {"dxf2gcode-plasma_fc_mounting_R2013.dxf", "8 Regions Created... 0 Open"},
      {"dxf2gcode-plasma_temple_noir_splines.dxf", "17 Regions Created... 16 Open"},
      {"dxf2gcode_Bogen_Ellipsen_Polylinien_Block.dxf", "No Entities Loaded..."},
      {"dxf2gcode_DEMO_R10.DXF", "50 Regions Created... 37 Open"},
      {"dxf2gcode_Ellipsenboegen_einfach.dxf", "5 Regions Created... 5 Open"},
      {"dxf2gcode_FLH-001_R12.dxf", "3 Regions Created... 0 Open"},
      {"dxf2gcode_Inkscape_export_splines.dxf", "No Entities Loaded..."},
      {"dxf2gcode_Polylinie_lwpoly_bulges.dxf", "1 Regions Created... 1 Open"},
      {"dxf2gcode_UAP_212718_R14.dxf", "2756 Regions Created... 1085 Open"},
      {"ezdxf_3dface.dxf", "745 Regions Created... 0 Open"},
      {"ezdxf_AC1003_LINE_Example.dxf", "3 Regions Created... 1 Open"},
      {"ezdxf_POLI-ALL210_12.DXF", "31 Regions Created... 16 Open"},
      {"ezdxf_R12_with_trash_beyond_EOF.dxf", "1 Regions Created... 0 Open"},
      {"ezdxf_small_r13_dos932.dxf", "7 Regions Created... 3 Open"},
      {"ezdxf_text_R2018_crlf.dxf", "1555 Regions Created... 34 Open"},
      {"ezdxf_uncommon.dxf", "262 Regions Created... 13 Open"},
  };
  size_t seen = 0;
  for (const auto& entry : fs::directory_iterator(std::string(TARNAK_CORPUS_DIR) + "/dxf")) {
    const std::string name = entry.path().filename().string();
    const auto it = std::find_if(expected.begin(), expected.end(),
                                 [&](const auto& e) { return e.first == name; });
    const CliRun r = RunCli({"regions", entry.path().string()});
    EXPECT_EQ(r.Status, 0) << name << ": " << r.Err;
    if (it == expected.end()) {
      ADD_FAILURE() << "new corpus drawing without a recorded status: " << name << " -> " << r.Out;
      continue;
    }
    ++seen;
    EXPECT_EQ(r.Out, it->second + "\n") << name;
  }
  EXPECT_EQ(seen, expected.size());
}

TEST(RegionsCommand, JsonAgreesWithTheStatusAndTheFlags) {
  // A square drawn as four loose lines and one open line.
  const std::string dxf =
      "0\nSECTION\n2\nENTITIES\n"
      "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n10\n21\n0\n"
      "0\nLINE\n8\n0\n10\n10\n20\n0\n11\n10\n21\n10\n"
      "0\nLINE\n8\n0\n10\n10\n20\n10\n11\n0\n21\n10\n"
      "0\nLINE\n8\n0\n10\n0\n20\n10\n11\n0\n21\n0\n"
      "0\nLINE\n8\n0\n10\n20\n20\n0\n11\n30\n21\n0.125\n"
      "0\nENDSEC\n0\nEOF\n";
  const fs::path drawing = TempFile("square.dxf", dxf);
  const CliRun ccw = RunCli({"regions", drawing.string(), "--json", "-"});
  ASSERT_EQ(ccw.Status, 0) << ccw.Err;
  EXPECT_EQ(ccw.Out.rfind("{\"status\": \"2 Regions Created... 1 Open\"", 0), 0u) << ccw.Out;
  EXPECT_EQ(Count(ccw.Out, "\"index\": "), 2u);
  EXPECT_EQ(Count(ccw.Out, "\"x2\": "), 5u);
  EXPECT_NE(ccw.Out.find("\"extents\": [0, 30, 0, 10]"), std::string::npos) << ccw.Out;
  EXPECT_NE(ccw.Out.find("0.125"), std::string::npos);  // full precision
  EXPECT_NE(ccw.Out.find("\"open\": 0, \"direction\": 0"), std::string::npos);

  const CliRun cw = RunCli({"regions", drawing.string(), "--dir", "cw", "--json", "-"});
  EXPECT_NE(cw.Out.find("\"open\": 0, \"direction\": 1"), std::string::npos) << cw.Out;

  // With a file: the status line first, the same JSON in the file.
  const fs::path json = drawing.parent_path() / "square.json";
  const CliRun file = RunCli({"regions", drawing.string(), "--json", json.string()});
  EXPECT_EQ(file.Out, "2 Regions Created... 1 Open\n");
  std::ifstream in(json);
  std::stringstream written;
  written << in.rdbuf();
  EXPECT_EQ(written.str(), ccw.Out);
}

TEST(RegionsCommand, BadArgumentsAndUnreadableFilesExitWithTwo) {
  EXPECT_EQ(RunCli({}).Status, 2);
  EXPECT_EQ(RunCli({"frobnicate"}).Status, 2);
  EXPECT_EQ(RunCli({"regions"}).Status, 2);
  EXPECT_EQ(RunCli({"regions", "a.dxf", "--dir", "up"}).Status, 2);
  EXPECT_EQ(RunCli({"regions", "a.dxf", "--json"}).Status, 2);
  const CliRun missing = RunCli({"regions", "/no/such/folder/missing-drawing.dxf"});
  EXPECT_EQ(missing.Status, 2);
  EXPECT_NE(missing.Err.find("missing-drawing.dxf"), std::string::npos) << missing.Err;
  EXPECT_EQ(Count(missing.Err, "\n"), 1u) << missing.Err;
}

TEST(RegionsCommand, ReaderWarningsGoToStderrAndStrictStops) {
  // The second LINE has a broken coordinate on line 22.
  const std::string dxf =
      "0\nSECTION\n2\nENTITIES\n"
      "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n10\n21\n0\n"
      "0\nLINE\n8\n0\n10\nabc\n20\n0\n11\n10\n21\n10\n"
      "0\nLINE\n8\n0\n10\n10\n20\n0\n11\n10\n21\n10\n"
      "0\nENDSEC\n0\nEOF\n";
  const fs::path drawing = TempFile("broken.dxf", dxf);
  const CliRun lenient = RunCli({"regions", drawing.string()});
  EXPECT_EQ(lenient.Status, 0);
  EXPECT_EQ(lenient.Out, "1 Regions Created... 1 Open\n");
  EXPECT_NE(lenient.Err.find("Invalid Floating point conversion"), std::string::npos) << lenient.Err;
  EXPECT_NE(lenient.Err.find("line number 22"), std::string::npos) << lenient.Err;

  const CliRun strict = RunCli({"regions", drawing.string(), "--strict"});
  EXPECT_EQ(strict.Status, 2);
  EXPECT_NE(strict.Err.find("User aborted"), std::string::npos) << strict.Err;
}

TEST(RegionsCommand, TheProgramItselfRuns) {
  const std::string cmd = std::string(TARNAK_CLI_PATH) + " regions " +
                          Corpus("ezdxf_R12_with_trash_beyond_EOF.dxf") + " > /dev/null";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  const std::string bad = std::string(TARNAK_CLI_PATH) + " regions 2> /dev/null";
  const int status = std::system(bad.c_str());
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
}  // namespace tarnak::cli

namespace tarnak::cli {
namespace {

// Three nested squares: a boundary, an island inside it, and a square
// inside the island (a boundary again, one level down).
std::string NestedSquares() {
  std::string s = "0\nSECTION\n2\nENTITIES\n";
  for (double h : {10.0, 6.0, 2.0}) {
    s += "0\nLWPOLYLINE\n8\n0\n90\n4\n70\n1\n";
    for (auto [x, y] : {std::pair{-h, -h}, {h, -h}, {h, h}, {-h, h}})
      s += "10\n" + std::to_string(x) + "\n20\n" + std::to_string(y) + "\n";
  }
  s += "0\nLINE\n8\n0\n10\n20\n20\n0\n11\n30\n21\n0\n";
  return s + "0\nENDSEC\n0\nEOF\n";
}

TEST(RegionsCommand, SelectionCommandsFillTheSelectionFields) {
  const fs::path drawing = TempFile("nested.dxf", NestedSquares());
  const CliRun closed = RunCli({"regions", drawing.string(), "--select", "closed", "--json", "-"});
  ASSERT_EQ(closed.Status, 0) << closed.Err;
  EXPECT_NE(closed.Out.find("\"slot0Owner\": 0"), std::string::npos);
  // Two boundaries (levels 0 and 2) and one island; the open line stays unselected.
  EXPECT_EQ(Count(closed.Out, "\"selected\": 1"), 3u) << closed.Out;
  EXPECT_EQ(Count(closed.Out, "\"level\": 1"), 1u);
  EXPECT_EQ(Count(closed.Out, "\"level\": 2"), 1u);
  EXPECT_EQ(Count(closed.Out, "\"owner\": 0"), 3u);  // two boundaries and the open line

  const CliRun all = RunCli({"regions", drawing.string(), "--select", "all", "--json", "-"});
  EXPECT_EQ(Count(all.Out, "\"selected\": 1"), 4u) << all.Out;

  const CliRun islands = RunCli({"regions", drawing.string(), "--select", "islands", "--json", "-"});
  EXPECT_EQ(islands.Out.find("\"slot0Owner\": 0"), std::string::npos) << islands.Out;

  // Without --select the dump keeps its plain shape.
  const CliRun plain = RunCli({"regions", drawing.string(), "--json", "-"});
  EXPECT_EQ(plain.Out.find("\"selected\""), std::string::npos);
  EXPECT_EQ(RunCli({"regions", drawing.string(), "--select", "some"}).Status, 2);
}

TEST(ContourCommand, CutsAroundTheOutlineWithTheRequestedTool) {
  const fs::path drawing = TempFile("nested.dxf", NestedSquares());
  const CliRun r = RunCli({"contour", drawing.string(), "--select", "closed", "--set", "RoughDiameter=2",
                           "--set", "Compensation=Right", "--set", "RoughStepZ=1", "--set", "RapidHeight=5",
                           "--set", "RoughFeed=300", "--set", "RoughPlunge=100",
                           "--depth", "2", "--json", "-"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  // Three squares, two levels each.
  EXPECT_EQ(Count(r.Out, "\"index\": "), 6u) << r.Out;
  EXPECT_EQ(Count(r.Out, "\"depth\": 1,"), 3u);
  EXPECT_EQ(Count(r.Out, "\"depth\": 2,"), 3u);
  EXPECT_NE(r.Out.find("\"rapidLevel\": -5"), std::string::npos);
  // Right of a counter-clockwise square is outside: the outer square's path
  // reaches 11, with counter-clockwise corner arcs of radius 1 round the
  // corners; the second level starts where the first ended.
  EXPECT_NE(r.Out.find("\"x\": 10, \"y\": 10, \"radius\": 1,"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("\"linkKind\": 3, \"rapidLevel\": 2, \"depth\": 2"), std::string::npos);
}

TEST(ContourCommand, NoToolpathExitsWithOneAndBadSettingsWithTwo) {
  const fs::path drawing = TempFile("nested.dxf", NestedSquares());
  // A tool as wide as the whole drawing, cutting inside every square.
  const std::vector<std::string> cutter = {"contour", drawing.string(), "--select", "closed",
                                           "--set", "RoughStepZ=1", "--set", "RoughFeed=300",
                                           "--set", "RoughPlunge=100", "--set", "Compensation=Left"};
  std::vector<std::string> wide = cutter;
  wide.insert(wide.end(), {"--set", "RoughDiameter=100"});
  const CliRun none = RunCli(wide);
  EXPECT_EQ(none.Status, 1) << none.Out << none.Err;
  EXPECT_NE(none.Err.find("Toolpaths not Created.  Check Parameters."), std::string::npos) << none.Err;
  // A tool of no size would run through the islands: refused, naming the field.
  std::vector<std::string> zero = cutter;
  zero.insert(zero.end(), {"--set", "RoughDiameter=0"});
  const CliRun refused = RunCli(zero);
  EXPECT_EQ(refused.Status, 2);
  EXPECT_EQ(refused.Err, "tarnak-cli: Rough tool diameter must be greater than 0.\n");
  EXPECT_EQ(RunCli({"contour", drawing.string(), "--set", "Bogus=1"}).Status, 2);
  EXPECT_EQ(RunCli({"contour", drawing.string(), "--set", "Compensation=Sideways"}).Status, 2);
  EXPECT_EQ(RunCli({"contour", drawing.string(), "--preset", "NoSuchPreset"}).Status, 2);
}

}  // namespace
}  // namespace tarnak::cli

namespace tarnak::cli {
namespace {

TEST(DrillCommand, DrillsEmptyCirclesNearestFirst) {
  std::string s = "0\nSECTION\n2\nENTITIES\n";
  // An outline and three holes; the circle (10, 0) is farther from the
  // start corner than (1, 1).
  s += "0\nLWPOLYLINE\n8\n0\n90\n4\n70\n1\n10\n-5\n20\n-5\n10\n15\n20\n-5\n10\n15\n20\n5\n10\n-5\n20\n5\n";
  for (auto [x, y] : {std::pair{10.0, 0.0}, {0.0, 0.0}, {1.0, 1.0}})
    s += "0\nCIRCLE\n8\n0\n10\n" + std::to_string(x) + "\n20\n" + std::to_string(y) + "\n40\n0.25\n";
  s += "0\nENDSEC\n0\nEOF\n";
  const fs::path drawing = TempFile("holes.dxf", s);
  const CliRun canned =
      RunCli({"drill", drawing.string(), "--set", "RoughPlunge=100", "--depth", "3", "--json", "-"});
  ASSERT_EQ(canned.Status, 0) << canned.Err;
  EXPECT_EQ(Count(canned.Out, "\"linkKind\": 6"), 3u) << canned.Out;
  const size_t a = canned.Out.find("\"x\": 0, \"y\": 0");
  const size_t b = canned.Out.find("\"x\": 1, \"y\": 1");
  const size_t c = canned.Out.find("\"x\": 10, \"y\": 0");
  ASSERT_NE(c, std::string::npos);
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  const CliRun linear = RunCli(
      {"drill", drawing.string(), "--set", "RoughPlunge=100", "--set", "Linear=True", "--json", "-"});
  EXPECT_EQ(Count(linear.Out, "\"linkKind\": 5"), 3u) << linear.Out;
}

}  // namespace
}  // namespace tarnak::cli

namespace tarnak::cli {
namespace {

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// -o writes the program through the chosen post into the file, the way
// the save command does; the settings folder gets the shipped posts.
TEST(ContourCommand, WritesTheProgramThroughThePost) {
  const fs::path home = fs::temp_directory_path() / ("tarnak-cli-home-" + std::to_string(::getpid()));
  fs::remove_all(home);
  fs::create_directories(home);
  ASSERT_EQ(::setenv("TARNAK_HOME", home.c_str(), 1), 0);
  const fs::path drawing = TempFile("nested.dxf", NestedSquares());
  const fs::path nc = home / "out.nc";
  const std::vector<std::string> base = {"contour", drawing.string(), "--select", "closed",
                                         "--set", "RoughDiameter=2", "--set", "Compensation=Right",
                                         "--set", "RapidHeight=5", "--set", "StartAt=10",
                                         "--set", "Increment=10", "--set", "RoughStepZ=1",
                                         "--set", "RoughFeed=300", "--set", "RoughPlunge=100",
                                         "-o", nc.string()};
  const CliRun first = RunCli(base);
  ASSERT_EQ(first.Status, 0) << first.Err;
  EXPECT_TRUE(fs::exists(home / "Posts.Cfg"));
  const std::string once = ReadFile(nc);
  EXPECT_NE(once.find("N10 "), std::string::npos) << once;
  EXPECT_NE(once.find("G03"), std::string::npos);  // corner arcs outside counter-clockwise squares
  EXPECT_NE(once.find("\r\n"), std::string::npos);
  EXPECT_EQ(once.rfind("%\r\n"), once.size() - 3);

  std::vector<std::string> append = base;
  append.push_back("--append");
  ASSERT_EQ(RunCli(append).Status, 0);
  EXPECT_EQ(ReadFile(nc), once + once);
  ASSERT_EQ(RunCli(base).Status, 0);
  EXPECT_EQ(ReadFile(nc), once);

  std::vector<std::string> hobby = base;
  hobby.insert(hobby.end(), {"--post", "Hobby"});
  ASSERT_EQ(RunCli(hobby).Status, 0);
  EXPECT_EQ(ReadFile(nc).find("M06"), std::string::npos);

  std::vector<std::string> missing = base;
  missing.insert(missing.end(), {"--post", "No Such Post"});
  const CliRun bad = RunCli(missing);
  EXPECT_EQ(bad.Status, 2);
  EXPECT_NE(bad.Err.find("No Such Post"), std::string::npos);
  EXPECT_EQ(RunCli({"contour", drawing.string(), "--append"}).Status, 2);
  ::unsetenv("TARNAK_HOME");
  fs::remove_all(home);
}

}  // namespace
}  // namespace tarnak::cli

namespace tarnak::cli {
namespace {

TEST(PocketCommand, ClearsInsideTheBoundaryAroundItsIsland) {
  // The outer square (boundary) and the square inside it (island); the
  // innermost square is a boundary again, pocketed inside the island.
  const fs::path drawing = TempFile("nested.dxf", NestedSquares());
  const std::vector<std::string> tool = {"--set", "RoughDiameter=1", "--set", "RoughStepXY=0.5",
                                         "--set", "RoughStepZ=1", "--set", "RoughFeed=300",
                                         "--set", "RoughPlunge=100"};
  std::vector<std::string> args = {"pocket", drawing.string(), "--set", "RapidHeight=5", "--depth", "1",
                                   "--json", "-"};
  args.insert(args.end(), tool.begin(), tool.end());
  const CliRun r = RunCli(args);
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_GT(Count(r.Out, "\"index\": "), 3u) << r.Out;
  // Every path lies inside the outer square by the tool radius.
  for (const char* outside : {"\"x\": 10.", "\"x\": -10.", "\"y\": 10.", "\"y\": -10."})
    EXPECT_EQ(r.Out.find(outside), std::string::npos) << outside;
  std::vector<std::string> open = {"pocket", drawing.string(), "--select", "open"};
  open.insert(open.end(), tool.begin(), tool.end());
  const CliRun none = RunCli(open);
  EXPECT_EQ(none.Status, 1);
}

}  // namespace
}  // namespace tarnak::cli
