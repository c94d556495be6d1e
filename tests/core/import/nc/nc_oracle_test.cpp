// The NC readings against LinuxCNC's interpreter: every corpus program and
// every program the shipped posts write (the golden NC files) is run
// through rs274, and the cutting moves it reports (line and arc feeds: end
// points, arc centres, direction) must be the moves we read, within 1e-4.
// The standard reading is checked on all of them; the post reading on the
// programs each post wrote, with that post loaded: reading back what a
// post wrote gives the moves the interpreter cuts.
//
// Rapids are left out of the comparison: the interpreter and the picture
// agree on where cutting happens, and a drill cycle's traverses are drawn
// in fewer moves than the interpreter makes. Peck drilling is drawn as one
// plunge, so consecutive vertical feeds at one point count as the deepest.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "base/numbers.h"
#include "import/nc/nc_reader.h"
#include "post/post_definition.h"
#include "rs274_oracle.h"
#include "test_files.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;
constexpr double kTolerance = 1e-4;
// Reading back a post's program: the shipped posts write 4 decimals, and
// an arc read by its centre has the radius to its start (the post reading
// keeps it so), so its end may lie off by the rounding of the start, the
// centre offset and the end: three steps of the last decimal.
constexpr double kPostDecimals = 3e-4;

struct Cut {
  bool Arc = false;
  bool Ccw = false;
  double X = 0, Y = 0, Z = 0, Cx = 0, Cy = 0;
  int Line = -1;
};

// Drops feeds of no length and folds runs of vertical feeds at one point.
std::vector<Cut> Normalised(const std::vector<Cut>& in, double sx, double sy, double sz) {
  std::vector<Cut> out;
  double x = sx, y = sy, z = sz;
  for (const Cut& c : in) {
    const bool still = std::hypot(c.X - x, c.Y - y) < 1e-9 && std::fabs(c.Z - z) < 1e-9;
    x = c.X, y = c.Y, z = c.Z;
    if (still && !c.Arc) continue;
    out.push_back(c);
  }
  // Fold: a vertical feed following a vertical feed at the same XY.
  std::vector<Cut> folded;
  double px = sx, py = sy;
  bool lastVertical = false;
  for (const Cut& c : out) {
    const bool vertical = !c.Arc && std::hypot(c.X - px, c.Y - py) < 1e-9;
    if (vertical && lastVertical && !folded.empty()) {
      if (c.Z < folded.back().Z) folded.back() = c;
    } else {
      folded.push_back(c);
    }
    lastVertical = vertical;
    px = c.X, py = c.Y;
  }
  return folded;
}

// The interpreter takes no comment inside a comment, which the posts'
// header lines hold: it gets the program with every comment removed.
std::vector<Cut> Rs274Cuts(const fs::path& program, const fs::path& folder, std::string& errors) {
  std::string text = testing::ReadAll(program), plain;
  int depth = 0;
  for (char c : text) {
    if (c == '\n') {
      depth = 0;
      plain += c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && depth > 0) {
      --depth;
    } else if (depth == 0) {
      plain += c;
    }
  }
  testing::WriteAll(folder / "program.ngc", plain);
  {
    std::ofstream table(folder / "tools.tbl");
    for (int t = 0; t <= 9; ++t) table << "T" << t << " P" << t + 1 << " D3.0 ;\n";
  }
  const std::string command = testing::Rs274Command(folder, "program.ngc", "out.txt", "err.txt");
  const int status = std::system(command.c_str());
  (void)status;
  errors = testing::ReadAll(folder / "err.txt");
  for (std::size_t at; (at = errors.find("executing\n")) != std::string::npos;) errors.erase(at, 10);
  std::vector<Cut> cuts;
  std::istringstream lines(testing::ReadAll(folder / "out.txt"));
  static const std::regex move(R"((STRAIGHT_FEED|ARC_FEED)\(([^)]*)\))");
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (!std::regex_search(line, m, move)) continue;
    std::vector<double> v;
    std::istringstream args(m[2].str());
    for (std::string f; std::getline(args, f, ',');) v.push_back(std::stod(f));
    Cut c;
    if (m[1] == "ARC_FEED") {
      // ARC_FEED(end x, end y, centre x, centre y, turn, end z, ...)
      c.Arc = true;
      c.X = v[0], c.Y = v[1], c.Cx = v[2], c.Cy = v[3], c.Ccw = v[4] > 0, c.Z = v[5];
    } else {
      c.X = v[0], c.Y = v[1], c.Z = v[2];
    }
    cuts.push_back(c);
  }
  return cuts;
}

std::vector<Cut> OurCuts(const NCReadResult& r) {
  std::vector<Cut> cuts;
  for (const Motion& m : NCMovesToMotions(r.Moves)) {
    if (m.Kind != MotionKind::Line && m.Kind != MotionKind::Arc) continue;
    Cut c;
    c.X = m.X, c.Y = m.Y, c.Z = m.Z, c.Line = m.Source + 1;
    if (m.Kind == MotionKind::Arc) {
      c.Arc = true;
      c.Cx = m.CentreX, c.Cy = m.CentreY, c.Ccw = m.Radius > 0;
    }
    cuts.push_back(c);
  }
  return cuts;
}

// Empty when they agree, else where they first part.
std::string Compare(const std::vector<Cut>& ours, const std::vector<Cut>& theirs,
                    double kTol = kTolerance) {
  const auto a = Normalised(ours, 0, 0, 0);
  const auto b = Normalised(theirs, 0, 0, 0);
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const Cut& p = a[i];
    const Cut& q = b[i];
    bool same = std::fabs(p.X - q.X) <= kTol && std::fabs(p.Y - q.Y) <= kTol &&
                std::fabs(p.Z - q.Z) <= kTol && p.Arc == q.Arc;
    if (same && p.Arc) same = p.Ccw == q.Ccw && std::fabs(p.Cx - q.Cx) <= kTol && std::fabs(p.Cy - q.Cy) <= kTol;
    if (!same) {
      std::ostringstream s;
      s << "cut " << i << " (our line " << p.Line << "): ours " << (p.Arc ? (p.Ccw ? "ccw " : "cw ") : "line ")
        << p.X << "," << p.Y << "," << p.Z << " c " << p.Cx << "," << p.Cy << "; rs274 "
        << (q.Arc ? (q.Ccw ? "ccw " : "cw ") : "line ") << q.X << "," << q.Y << "," << q.Z << " c "
        << q.Cx << "," << q.Cy;
      return s.str();
    }
  }
  if (a.size() != b.size())
    return "count: ours " + std::to_string(a.size()) + ", rs274 " + std::to_string(b.size());
  return {};
}

class NcOracle : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::Rs274Available()) GTEST_SKIP() << "rs274 is not installed";
    folder_ = fs::temp_directory_path() / ("tarnak_nc_oracle_" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    SetDecimalSeparator('.');
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  fs::path folder_;
};

TEST_F(NcOracle, StandardReadingAgreesWithTheInterpreterOnEveryProgram) {
  std::vector<fs::path> programs;
  for (const auto& e : fs::directory_iterator(fs::path(TARNAK_CORPUS_DIR) / "nc"))
    programs.push_back(e.path());
  for (const auto& e : fs::recursive_directory_iterator(fs::path(TARNAK_SOURCE_DIR) / "tests/golden/nc"))
    if (e.path().extension() == ".nc") programs.push_back(e.path());
  std::sort(programs.begin(), programs.end());
  int agreed = 0, unsupported = 0;
  for (const fs::path& p : programs) {
    SCOPED_TRACE(p.string());
    const NCReadResult r = ReadNCStandard(testing::ReadAll(p));
    std::string errors;
    const std::vector<Cut> theirs = Rs274Cuts(p, folder_, errors);
    const std::string diff = Compare(OurCuts(r), theirs);
    if (!r.Notes.empty()) {
      ++unsupported;
      std::string notes;
      for (const std::string& n : r.Notes) {
        EXPECT_EQ(n.rfind("Line ", 0), 0u) << n;  // every note names its line
        notes += "  " + n + "\n";
      }
      std::cout << "[ unsupported ] " << p.filename().string() << " (moves "
                << (diff.empty() ? "still agree" : "differ: " + diff) << "):\n" << notes;
      continue;
    }
    EXPECT_EQ(diff, "") << r.MoveCount() << " moves; rs274 said: " << errors;
    if (diff.empty()) ++agreed;
  }
  std::cout << "[ oracle ] " << agreed << " of " << programs.size() << " programs agree with rs274, "
            << unsupported << " use what the reading names as not followed\n";
  EXPECT_GE(agreed + unsupported, static_cast<int>(programs.size()));
}

TEST_F(NcOracle, PostReadingGivesBackWhatEachShippedPostWrote) {
  const fs::path posts = fs::path(TARNAK_SOURCE_DIR) / "data/Posts.Cfg";
  int checked = 0;
  for (const auto& e : fs::recursive_directory_iterator(fs::path(TARNAK_SOURCE_DIR) / "tests/golden/nc")) {
    if (e.path().extension() != ".nc") continue;
    std::string name = e.path().stem().string();
    std::replace(name.begin(), name.end(), '_', ' ');
    SCOPED_TRACE(e.path().string());
    TTNPostProcessor post;
    ASSERT_TRUE(LoadPostDefinition(post, name, posts)) << name;
    const NCReadResult ours = ReadNCPost(testing::ReadAll(e.path()), post);
    SetDecimalSeparator('.');
    std::string errors;
    const std::vector<Cut> theirs = Rs274Cuts(e.path(), folder_, errors);
    EXPECT_EQ(Compare(OurCuts(ours), theirs, kPostDecimals), "") << "post " << name;
    ++checked;
  }
  EXPECT_GE(checked, 30);
}

}  // namespace
}  // namespace tarnak
