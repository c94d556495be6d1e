// What the command line does with input it cannot use: every bad file
// gets a message naming it and exit 2 (or, for damage the reader can step
// over, a warning naming the file and line), never a crash, a hang or a
// silently wrong NC file; a job too big for memory is a message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "cli_commands.h"
#include "cli_run.h"
#include "test_files.h"

#if defined(__SANITIZE_ADDRESS__)
#define TARNAK_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARNAK_TEST_ASAN 1
#endif
#endif

namespace tarnak::cli {
namespace {

namespace fs = std::filesystem;

using Result = tarnak::testing::CliRun;
using tarnak::testing::ReadAll;

Result Cli(std::vector<std::string> args) {
  // A tool the strategies accept, so that what is refused is the input under
  // test; a test's own --set comes later and wins.
  if (!args.empty() && (args[0] == "contour" || args[0] == "pocket" || args[0] == "drill"))
    args.insert(args.begin() + 1, {"--set", "RoughFeed=300", "--set", "RoughPlunge=100", "--set",
                                   "RoughStepZ=1"});
  return tarnak::testing::RunCli(std::move(args));
}

std::string Square(const std::string& x3 = "10") {
  return "0\nSECTION\n2\nENTITIES\n"
         "0\nLWPOLYLINE\n8\n0\n90\n4\n70\n1\n10\n0\n20\n0\n10\n10\n20\n0\n10\n" + x3 +
         "\n20\n10\n10\n0\n20\n10\n"
         "0\nENDSEC\n0\nEOF\n";
}

// A square drawn with LINEs, the second one's end X on line 26.
std::string LineSquare(const std::string& x = "10") {
  const auto line = [](const std::string& a, const std::string& b, const std::string& c,
                       const std::string& d) {
    return "0\nLINE\n8\n0\n10\n" + a + "\n20\n" + b + "\n11\n" + c + "\n21\n" + d + "\n";
  };
  return "0\nSECTION\n2\nENTITIES\n" + line("0", "0", "10", "0") + line("10", "0", x, "10") +
         line("10", "10", "0", "10") + line("0", "10", "0", "0") + "0\nENDSEC\n0\nEOF\n";
}

class BadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("tarnak-bad-input-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    // Posts.Cfg and friends go here, not beside the test program.
    ASSERT_EQ(::setenv("TARNAK_HOME", folder_.c_str(), 1), 0);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  fs::path File(const std::string& name, const std::string& bytes) {
    const fs::path p = folder_ / fs::u8path(name);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  fs::path folder_;
};

TEST_F(BadInput, EveryBadDrawingIsNamedAndNothingCrashes) {
  std::string utf16 = "\xFF\xFE";
  for (char c : Square()) utf16 += std::string{c, '\0'};
  std::string garbage;
  for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 7919) % 256);
  const fs::path dangling = folder_ / "gone.dxf";
  fs::create_symlink(folder_ / "nowhere.dxf", dangling);

  struct Case {
    const char* Name;
    fs::path Path;
    int Status;
    std::string Says;     // in the messages ("" for none)
    std::string Regions;  // the status line, for drawings that load
  };
  const Case cases[] = {
      {"empty file", File("empty.dxf", ""), 2, "the file is empty", ""},
      {"directory", folder_, 2, "Is a directory", ""},
      {"missing behind a link", dangling, 2, "No such file", ""},
      {"binary garbage", File("garbage.dxf", garbage), 2, "binary", ""},
      {"binary DXF", File("binary.dxf", std::string("AutoCAD Binary DXF\r\n\x1a\0", 22) + garbage), 2,
       "binary DXF", ""},
      {"UTF-16", File("utf16.dxf", utf16), 2, "UTF-16", ""},
      {"text garbage", File("words.dxf", "hello\nworld\n"), 2, "No Entities", ""},
      {"no entities section",
       File("header.dxf", "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n0\nENDSEC\n0\nEOF\n"), 2,
       "No Entities", ""},
      // Padding after the end of a sound drawing is not binary data.
      {"NUL padding after EOF", File("padded.dxf", Square() + std::string(500, '\0')), 0, "",
       "1 Regions Created... 0 Open"},
      // A UTF-8 byte-order mark before a sound drawing is skipped.
      {"UTF-8 BOM", File("bom.dxf", "\xEF\xBB\xBF" + Square()), 0, "", "1 Regions Created... 0 Open"},
      // Damage inside an entity: that entity is refused with its line, the
      // rest is read.
      {"NaN coordinate", File("nan.dxf", LineSquare("nan")), 0, "line number 26",
       "1 Regions Created... 1 Open"},
      {"1e308 coordinate", File("huge.dxf", LineSquare("1e308")), 0, "line number 26",
       "1 Regions Created... 1 Open"},
      // Nothing left but the problem: unreadable.
      {"inf in a polyline", File("inf.dxf", Square("-inf")), 2, "Number out of range", ""},
      // A circle of radius 0 on the square's corner is left out, not cut as
      // a line from the origin.
      {"circle of radius 0",
       File("dot.dxf", "0\nSECTION\n2\nENTITIES\n0\nCIRCLE\n8\n0\n10\n10\n20\n10\n40\n0\n0\nARC\n8\n0\n"
                       "10\n30\n20\n30\n40\n0.0\n50\n0\n51\n90\n" +
                           Square().substr(std::string("0\nSECTION\n2\nENTITIES\n").size())),
       0, "radius 0 left out (and any more like it)\r\nError occured at or near line number 6",
       "1 Regions Created... 0 Open"},
      {"spaces and Japanese in the path", File("図面 フォルダ/部品 1.dxf", Square()), 0, "",
       "1 Regions Created... 0 Open"},
  };
  for (const Case& c : cases) {
    const Result r = Cli({"regions", c.Path.string()});
    EXPECT_EQ(r.Status, c.Status) << c.Name << ": " << r.Err;
    if (!c.Says.empty()) {
      // The CLI writes the reader's line break as a blank.
      std::string says = c.Says;
      if (const auto at = says.find("\r\n"); at != std::string::npos) says.replace(at, 2, " ");
      EXPECT_NE(r.Err.find(says), std::string::npos) << c.Name << ": " << r.Err;
    }
    // Every message names the file.
    std::istringstream lines(r.Err);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("Tarnak: ", 0) == 0) continue;  // notes about the drawing as a whole
      EXPECT_NE(line.find(c.Path.string()), std::string::npos) << c.Name << ": " << line;
    }
    if (!c.Regions.empty()) {
      EXPECT_EQ(r.Out, c.Regions + "\n") << c.Name;
    }
  }
  if (::geteuid() != 0) {
    const fs::path locked = File("locked.dxf", Square());
    fs::permissions(locked, fs::perms::none);
    const Result r = Cli({"regions", locked.string()});
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find("locked.dxf"), std::string::npos) << r.Err;
  }
}

TEST_F(BadInput, TruncatedAtEveryPercentOfACorpusDrawing) {
  const std::string whole =
      ReadAll(std::string(TARNAK_CORPUS_DIR) + "/dxf/dxf2gcode_Polylinie_lwpoly_bulges.dxf");
  ASSERT_GT(whole.size(), 10000u);
  for (int percent = 0; percent <= 100; ++percent) {
    const fs::path p = File("cut " + std::to_string(percent) + ".dxf",
                            whole.substr(0, whole.size() * static_cast<std::size_t>(percent) / 100));
    const Result r = Cli({"regions", p.string()});
    EXPECT_TRUE(r.Status == 0 || r.Status == 2) << percent << "%: " << r.Status;
    if (r.Status == 2) {
      EXPECT_NE(r.Err.find(p.string()), std::string::npos) << percent << "%: " << r.Err;
    }
    if (percent == 100) {
      EXPECT_EQ(r.Out, "1 Regions Created... 1 Open\n") << r.Err;
    }
  }
}

TEST_F(BadInput, NumbersTheMachineCannotTakeNeverReachTheNcFile) {
  const fs::path nc = folder_ / "out.nc";
  const std::string drawing = File("square.dxf", Square()).string();
  struct Flag {
    std::vector<std::string> Args;
    const char* Says;
  };
  const Flag flags[] = {
      {{"--depth", "1e308"}, "Depth"},
      {{"--depth", "nan"}, "Depth"},
      {{"--depth", "-1"}, "Depth"},
      {{"--depth", "2,5x"}, "Depth"},
      {{"--set", "RoughFeed=1e308"}, "RoughFeed"},
      {{"--set", "RoughStepZ=inf"}, "RoughStepZ"},
      {{"--set", "RapidHeight=-1e12"}, "RapidHeight"},
  };
  for (const Flag& f : flags) {
    std::vector<std::string> args = {"contour", drawing, "-o", nc.string()};
    args.insert(args.end(), f.Args.begin(), f.Args.end());
    const Result r = Cli(args);
    EXPECT_EQ(r.Status, 2) << f.Args[1] << ": " << r.Err;
    EXPECT_NE(r.Err.find(f.Says), std::string::npos) << r.Err;
    EXPECT_FALSE(fs::exists(nc)) << f.Args[1];
  }
  // Drawings with broken numbers still give a program, without them.
  for (const char* bad : {"nan", "1e308", "-inf", "1e999"}) {
    const fs::path p = File(std::string("bad ") + bad + ".dxf", LineSquare(bad));
    const Result r = Cli({"contour", p.string(), "-o", nc.string(), "--set", "RapidHeight=5"});
    EXPECT_EQ(r.Status, 0) << bad << ": " << r.Err;
    const std::string program = ReadAll(nc);
    EXPECT_NE(program.find("G01"), std::string::npos) << bad;
    for (const char* word : {"NAN", "nan", "INF", "inf", "e+"})
      EXPECT_EQ(program.find(word), std::string::npos) << bad << ": " << word;
  }
  // A path with spaces and Japanese characters for the program too.
  const fs::path japanese = folder_ / fs::u8path("出力 フォルダ");
  fs::create_directories(japanese);
  const Result r = Cli({"contour", drawing, "-o", (japanese / fs::u8path("部品 1.nc")).string()});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_GT(fs::file_size(japanese / fs::u8path("部品 1.nc")), 50u);
}

TEST_F(BadInput, AJobTooBigForMemoryIsAMessage) {
  const fs::path nc = folder_ / "big.nc";
  struct Job {
    std::vector<std::string> Args;
    const char* Says;
  };
  const std::string uap = std::string(TARNAK_CORPUS_DIR) + "/dxf/dxf2gcode_UAP_212718_R14.dxf";
  const std::string square = File("square.dxf", Square()).string();
  const Job jobs[] = {
      {{"contour", uap, "--set", "RoughStepZ=0.0001"}, "Z Step too small for the depth"},
      {{"contour", square, "--depth", "1000", "--set", "RoughStepZ=0.0001"}, "Z Step"},
      {{"pocket", square, "--set", "RoughDiameter=0.001", "--set", "RoughStepXY=0.000001"},
       "Z Step or Step Over"},
  };
  for (const Job& j : jobs) {
    std::vector<std::string> args = j.Args;
    args.insert(args.end(), {"-o", nc.string()});
    const Result r = Cli(args);
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find(j.Says), std::string::npos) << r.Err;
    EXPECT_FALSE(fs::exists(nc));
  }
}

TEST_F(BadInput, RunningOutOfMemoryIsAMessageAndLeavesTheOldProgram) {
#ifdef TARNAK_TEST_ASAN
  GTEST_SKIP() << "an address-space limit and AddressSanitizer's shadow memory do not mix";
#else
  // A job within the bounds, on a machine with too little memory for it.
  const fs::path nc = File("old.nc", "old program\r\n");
  const fs::path err = folder_ / "err.txt";
  const std::string cmd = "ulimit -v 150000; '" + std::string(TARNAK_CLI_PATH) + "' contour '" +
                          std::string(TARNAK_CORPUS_DIR) +
                          "/dxf/dxf2gcode_UAP_212718_R14.dxf' --set RoughStepZ=0.03 --set RoughFeed=300 --set RoughPlunge=100 -o '" +
                          nc.string() + "' > /dev/null 2> '" + err.string() + "'";
  const int status = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << "the program died: " << ReadAll(err);
  EXPECT_EQ(WEXITSTATUS(status), 2) << ReadAll(err);
  EXPECT_NE(ReadAll(err).find("ut of memory"), std::string::npos) << ReadAll(err);
  EXPECT_EQ(ReadAll(nc), "old program\r\n");
#endif
}

}  // namespace
}  // namespace tarnak::cli
