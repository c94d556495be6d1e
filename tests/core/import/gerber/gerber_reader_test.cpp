// The Gerber reader against gerbv's picture of every corpus board, against
// exact drawings in inch and millimetre files, and on the stops it owes.
#include "import/gerber/gerber_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>

#include <unistd.h>

#include "test_files.h"
#include "test_ui.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;
using testing::TestUserInterface;

// Even-odd area inside the closed Regions, measured on scan lines between
// the cell corners on which the traced vertices lie.
double CopperArea(const TTNRegionArray& regions, double cell) {
  double minY = 1e300, maxY = -1e300;
  for (size_t i = 1; i < regions.size(); ++i) {
    minY = std::min(minY, regions[i].MinY);
    maxY = std::max(maxY, regions[i].MaxY);
  }
  if (minY > maxY) return 0;
  const int rows = static_cast<int>(std::lround((maxY - minY) / cell));
  std::vector<std::vector<double>> xs(static_cast<size_t>(std::max(rows, 0)));
  for (size_t i = 1; i < regions.size(); ++i)
    for (const TTNEntity& e : regions[i].Elements) {
      const double ya = (e.Y - minY) / cell, yb = (e.Y2 - minY) / cell;
      const int lo = static_cast<int>(std::floor(std::min(ya, yb) + 0.5));
      const int hi = static_cast<int>(std::floor(std::max(ya, yb) - 0.5));
      for (int k = std::max(lo, 0); k <= std::min(hi, rows - 1); ++k) {
        const double y = k + 0.5;
        xs[static_cast<size_t>(k)].push_back(e.X + (y - ya) / (yb - ya) * (e.X2 - e.X));
      }
    }
  double area = 0;
  for (auto& row : xs) {
    std::sort(row.begin(), row.end());
    for (size_t k = 0; k + 1 < row.size(); k += 2) area += (row[k + 1] - row[k]) * cell;
  }
  return area;
}

// The dark pixels of gerbv's 8-bit PNG export.
int64_t DarkPixels(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.size() < 8) return -1;
  auto be32 = [&](size_t p) {
    return (uint32_t(uint8_t(data[p])) << 24) | (uint32_t(uint8_t(data[p + 1])) << 16) |
           (uint32_t(uint8_t(data[p + 2])) << 8) | uint32_t(uint8_t(data[p + 3]));
  };
  uint32_t w = 0, h = 0;
  int bpp = 0;
  std::string idat;
  for (size_t p = 8; p + 8 <= data.size();) {
    const uint32_t n = be32(p);
    const std::string kind = data.substr(p + 4, 4);
    if (kind == "IHDR") {
      w = be32(p + 8);
      h = be32(p + 12);
      const int type = uint8_t(data[p + 17]);
      bpp = type == 2 ? 3 : type == 6 ? 4 : type == 4 ? 2 : 1;
    } else if (kind == "IDAT") {
      idat += data.substr(p + 8, n);
    }
    p += 12 + n;
  }
  const size_t stride = size_t(w) * size_t(bpp);
  std::vector<uint8_t> raw((stride + 1) * h);
  uLongf len = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &len, reinterpret_cast<const Bytef*>(idat.data()),
                 static_cast<uLong>(idat.size())) != Z_OK)
    return -1;
  std::vector<uint8_t> prev(stride, 0), line(stride);
  int64_t dark = 0;
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t f = raw[y * (stride + 1)];
    const uint8_t* src = &raw[y * (stride + 1) + 1];
    for (size_t i = 0; i < stride; ++i) {
      const int a = i >= size_t(bpp) ? line[i - size_t(bpp)] : 0, b = prev[i],
                c = i >= size_t(bpp) ? prev[i - size_t(bpp)] : 0;
      int pr = 0;
      if (f == 1) pr = a;
      else if (f == 2) pr = b;
      else if (f == 3) pr = (a + b) / 2;
      else if (f == 4) {
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        pr = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
      }
      line[i] = static_cast<uint8_t>(src[i] + pr);
    }
    for (size_t x = 0; x < stride; x += size_t(bpp)) dark += line[x] < 128;
    prev = line;
  }
  return dark;
}

bool IsGerber(const fs::path& p) {
  std::string e = p.extension().string();
  std::transform(e.begin(), e.end(), e.begin(), ::tolower);
  return e != ".drl" && e != ".cnc" && e != ".xln";
}


// Every corpus board: imports, and the copper inside the traced outlines
// matches the dark area of gerbv's picture at the same cell (0.002 inch =
// 500 dots per inch, in both units).
TEST(GerberReader, CorpusAgreesWithGerbvPicture) {
  if (std::system("gerbv --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "gerbv missing";
  const fs::path dir = fs::path(TARNAK_CORPUS_DIR) / "gerber";
  const fs::path tmp = fs::temp_directory_path() / ("tarnak_gerbv_" + std::to_string(::getpid()));
  fs::create_directories(tmp);
  // Boards whose copper the reader does not paint the way gerbv does:
  // gerbv paints nothing of the arc test board; the outline board's lines
  // are thinner than the three cells every aperture is raised to.
  const std::map<std::string, double> allowance = {
      {"pcb2gcode_circular_arcs.gbr", 1.0}, {"pcb2gcode_EasySDR_Gerber_BoardOutline.GKO", 0.07}};
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (!IsGerber(entry.path())) continue;
    const std::string name = entry.path().filename().string();
    const std::string text = testing::ReadAll(entry.path());
    TestUserInterface ui;
    CancelToken cancel;
    TTNRegionArray regions(1);
    const GerberStatus st = GerberImportText(text, name, regions, 0, 0, ui, cancel);
    std::string said;
    for (const auto& m : ui.Messages) said += m.Text + "; ";
    // A negative image is refused, as the reader says.
    EXPECT_EQ(st, name == "gerbv_polarity_6_vbat.gbr" ? GerberStatus::Stopped : GerberStatus::Imported)
        << name << ": " << said;
    if (st != GerberStatus::Imported) continue;
    // Step and repeat and aperture macros are painted, so neither is reported.
    EXPECT_EQ(said.find("Step and Repeat"), std::string::npos) << name << ": " << said;
    EXPECT_EQ(said.find("Macro"), std::string::npos) << name << ": " << said;
    const double cell = GerberCellSize(text);
    const double ours = CopperArea(regions, cell);
    const std::string png = (tmp / (name + ".png")).string();
    const std::string cmd = "gerbv -x png --dpi=500 -B 0 -b '#ffffff' -f '#000000ff' -o '" + png +
                            "' '" + entry.path().string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << name;
    const double theirs = static_cast<double>(DarkPixels(png)) * cell * cell;
    const double rel = theirs > 0 ? std::fabs(ours - theirs) / theirs : (ours > 0 ? 1.0 : 0.0);
    std::cout << name << ": ours " << ours << " gerbv " << theirs << " relative difference "
              << rel << " (" << regions.size() - 1 << " outlines)\n";
    const auto a = allowance.find(name);
    EXPECT_LE(rel, a == allowance.end() ? 0.04 : a->second) << name;
    ++files;
  }
  fs::remove_all(tmp);
  EXPECT_GE(files, 10);
}

// Signed distance to an exact shape grown by the offset, in drawing units.
using Sdf = std::function<double(double, double)>;

double BoxSdf(double x, double y, double cx, double cy, double hw, double hh) {
  const double dx = std::fabs(x - cx) - hw, dy = std::fabs(y - cy) - hh;
  return std::hypot(std::max(dx, 0.0), std::max(dy, 0.0)) + std::min(std::max(dx, dy), 0.0);
}

double SegmentDistance(double x, double y, double ax, double ay, double bx, double by) {
  const double vx = bx - ax, vy = by - ay;
  const double t = std::clamp(((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
  return std::hypot(x - ax - t * vx, y - ay - t * vy);
}

// The same drawing in one unit: s = size of one unit in the file's unit.
std::string DrawingText(bool mm) {
  const double s = mm ? 25.4 : 1.0;
  auto c = [&](double v) { return std::to_string(static_cast<long long>(std::llround(v * s * 1e5))); };
  std::ostringstream g;
  g << "%FSLAX35Y35*%\n" << (mm ? "%MOMM*%\n" : "%MOIN*%\n");
  g << "%ADD10C," << 0.1 * s << "*%\n%ADD11R," << 0.2 * s << "X" << 0.1 * s << "*%\n";
  g << "%ADD12O," << 0.2 * s << "X" << 0.08 * s << "*%\n%ADD13C," << 0.02 * s << "*%\n";
  g << "%ADD14R," << 0.06 * s << "X" << 0.3 * s << "*%\n";
  g << "G75*\n";
  g << "D10*X" << c(0.2) << "Y" << c(0.2) << "D03*\n";   // circle pad
  g << "D11*X" << c(0.6) << "Y" << c(0.2) << "D03*\n";   // rectangle pad
  g << "D12*X" << c(1.0) << "Y" << c(0.2) << "D03*\n";   // obround pad
  // Arc track: quarter circle of radius 0.3 about (0.2, 0.6) from 0 to 90 degrees.
  g << "D13*X" << c(0.5) << "Y" << c(0.6) << "D02*G03X" << c(0.2) << "Y" << c(0.9) << "I" << c(-0.3)
    << "J0D01*G01*\n";
  // Region with a square hole: 0.6..1.0 x 0.5..0.9, hole 0.7..0.9 x 0.6..0.8.
  g << "G36*X" << c(0.6) << "Y" << c(0.5) << "D02*X" << c(1.0) << "D01*Y" << c(0.9) << "D01*X" << c(0.6)
    << "D01*Y" << c(0.5) << "D01*X" << c(0.7) << "Y" << c(0.6) << "D02*X" << c(0.9) << "D01*Y" << c(0.8)
    << "D01*X" << c(0.7) << "D01*Y" << c(0.6) << "D01*G37*\n";
  // A round pad with a clear slot through its middle.
  g << "D10*X" << c(1.4) << "Y" << c(0.3) << "D03*\n";
  g << "%LPC*%D14*X" << c(1.4) << "Y" << c(0.3) << "D03*%LPD*%\n";
  g << "M02*\n";
  return g.str();
}

double DrawingSdf(double x, double y, double s) {
  x /= s;
  y /= s;
  double d = std::hypot(x - 0.2, y - 0.2) - 0.05;
  d = std::min(d, BoxSdf(x, y, 0.6, 0.2, 0.1, 0.05));
  d = std::min(d, SegmentDistance(x, y, 0.94, 0.2, 1.06, 0.2) - 0.04);
  const double a = std::atan2(y - 0.6, x - 0.2);
  const double arc = (a >= 0 && a <= M_PI / 2)
                         ? std::fabs(std::hypot(x - 0.2, y - 0.6) - 0.3)
                         : std::min(std::hypot(x - 0.5, y - 0.6), std::hypot(x - 0.2, y - 0.9));
  d = std::min(d, arc - 0.01);
  d = std::min(d, std::max(BoxSdf(x, y, 0.8, 0.7, 0.2, 0.2), -BoxSdf(x, y, 0.8, 0.7, 0.1, 0.1)));
  // The slotted pad: two halves, each a disc cut by a line. Their corners
  // grow round, so the distance is taken to a dense sampling of their edges.
  for (const double side : {-1.0, 1.0}) {
    double best = 1e300;
    for (int k = 0; k <= 1000; ++k) {
      const double t = 2 * M_PI * k / 1000;
      const double px = 1.4 + 0.05 * std::cos(t), py = 0.3 + 0.05 * std::sin(t);
      if (side * (px - 1.4) >= 0.03) best = std::min(best, std::hypot(x - px, y - py));
      const double fy = 0.3 - 0.05 + 0.1 * k / 1000, fx = 1.4 + side * 0.03;
      if (std::hypot(fx - 1.4, fy - 0.3) <= 0.05) best = std::min(best, std::hypot(x - fx, y - fy));
    }
    const bool inside = std::hypot(x - 1.4, y - 0.3) <= 0.05 && side * (x - 1.4) >= 0.03;
    d = std::min(d, inside ? -best : best);
  }
  return d * s;
}

// Exact drawings: every traced vertex lies within two cells of the exact
// copper outline grown by the tool offset, in inch and in millimetre files.
TEST(GerberReader, TracedOutlinesFollowExactCopperGrownByOffset) {
  for (const bool mm : {false, true}) {
    for (const int offset : {0, 5}) {
      const double s = mm ? 25.4 : 1.0;
      const double cell = mm ? 0.0508 : 0.002;
      TestUserInterface ui;
      CancelToken cancel;
      TTNRegionArray regions(1);
      ASSERT_EQ(GerberImportText(DrawingText(mm), "exact.gbr", regions, 0, offset, ui, cancel),
                GerberStatus::Imported);
      EXPECT_TRUE(ui.Messages.empty()) << ui.Messages[0].Text;
      // Outlines: circle, rectangle, obround, arc, region outer and hole,
      // the slotted pad's two halves.
      EXPECT_EQ(regions.size() - 1, 8u) << mm << offset;
      double worst = 0;
      for (size_t i = 1; i < regions.size(); ++i)
        for (const TTNEntity& e : regions[i].Elements)
          worst = std::max(worst, std::fabs(DrawingSdf(e.X, e.Y, s) - offset * cell));
      EXPECT_LE(worst, 2 * cell) << (mm ? "mm" : "inch") << " offset " << offset;
    }
  }
}

// The old files without a format statement: thousandths of the unit, 0.002
// per cell, the unit statement ignored; a 0.010 round track of 5 cells.
TEST(GerberReader, OldThousandthsRuleAndStops) {
  TestUserInterface ui;
  CancelToken cancel;
  TTNRegionArray regions(1);
  const std::string track = "%MOMM*%\n%ADD10C,0.010*%\nG54D10*\nX1000Y1000D02*\nX2000Y1000D01*\nX3000D01*\n";
  ASSERT_EQ(GerberImportText(track, "t.gbr", regions, 0, 0, ui, cancel), GerberStatus::Imported);
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_NEAR(regions[1].MaxY - regions[1].MinY, 0.010, 1e-9);
  EXPECT_NEAR(regions[1].MinX, 1.0 - 0.005, 1e-9);
  EXPECT_NEAR(regions[1].MaxX, 3.0 + 0.005, 1e-9);

  // Negative polarity, bad numbers and a runaway raster stop with the
  // Regions as they were.
  const std::vector<std::pair<std::string, std::string>> stops = {
      {"%IPNEG*%\n", "Negative Polarity Read...Convert to Positive Before Importing."},
      {"%ADD10C,0.01*%\nD*\n", "'' is not a valid integer value"},
      {"%ADD10C,0.01*%\nD10*X1.2.3Y0D03*\n", "'1.2.3' is not a valid floating point value"},
      {"%FSLAX26Y26*%%MOIN*%%ADD10C,0.01*%\nD10*X0Y0D03*X90000000Y90000000D03*\n",
       "The board in 'big.gbr' is too large"}};
  for (const auto& [text, message] : stops) {
    TestUserInterface u;
    TTNRegionArray kept = regions;
    EXPECT_EQ(GerberImportText(text, "big.gbr", kept, 0, 0, u, cancel), GerberStatus::Stopped);
    ASSERT_EQ(u.Messages.size(), 1u) << text;
    EXPECT_EQ(u.Messages[0].Text.rfind(message, 0), 0u) << u.Messages[0].Text;
    EXPECT_EQ(kept.size(), regions.size());
  }
  TTNRegionArray none(1);
  EXPECT_EQ(GerberImport("/nonexistent/x.gbr", none, 0, 0, ui, cancel), GerberStatus::Failed);
  EXPECT_EQ(ui.Messages.back().Text, "Error opening file '/nonexistent/x.gbr'");
  cancel.Stop();
  EXPECT_EQ(GerberImportText(track, "t.gbr", none, 0, 0, ui, cancel), GerberStatus::Cancelled);
  EXPECT_EQ(none.size(), 1u);
}

// A macro flashed at (1, 1) inch: its arithmetic (parentheses, division, $n
// set inside the macro), an exposure-off hole and a turned line land where
// and as large as they should.
TEST(GerberReader, MacroArithmeticExposureAndRotation) {
  const std::string text =
      "%FSLAX24Y24*%\n%MOIN*%\n"
      "%AMPAD*\n0 a disc with a hole, and a bar turned onto the Y axis*\n"
      "$3=($1-$2)/2x4*\n1,1,$1,0,0*\n1,0,$2,0,0*\n21,1,$3,0.1,2,0,90*%\n"
      "%ADD10PAD,1.0X0.5*%\nD10*X10000Y10000D03*M02*\n";
  TestUserInterface ui;
  CancelToken cancel;
  TTNRegionArray regions(1);
  ASSERT_EQ(GerberImportText(text, "m.gbr", regions, 0, 0, ui, cancel), GerberStatus::Imported);
  EXPECT_TRUE(ui.Messages.empty());
  const double exact = 3.14159265358979 * (0.25 - 0.0625) + 0.1;  // ring plus the 1.0 x 0.1 bar
  EXPECT_NEAR(CopperArea(regions, 0.002), exact, 0.01 * exact);
  double minX = 1e300, maxX = -1e300, maxY = -1e300;
  for (size_t i = 1; i < regions.size(); ++i) {
    minX = std::min(minX, regions[i].MinX);
    maxX = std::max(maxX, regions[i].MaxX);
    maxY = std::max(maxY, regions[i].MaxY);
  }
  EXPECT_NEAR(minX, 0.5, 0.004);
  EXPECT_NEAR(maxX, 1.5, 0.004);
  EXPECT_NEAR(maxY, 3.5, 0.004);  // the bar reaches from y 2.5 to 3.5
}

// Exposure off cuts only the flash's own copper: a small pad flashed
// earlier inside the macro's hole stays. A draw made with a macro aperture
// sweeps its shape along the draw.
TEST(GerberReader, MacroHoleKeepsEarlierCopperAndMacroDrawsSweep) {
  const std::string text =
      "%FSLAX24Y24*%\n%MOIN*%\n"
      "%AMRING*\n1,1,1.0,0,0*\n1,0,0.5,0,0*%\n%AMBAR*\n21,1,0.2,0.1,0,0,0*%\n"
      "%ADD10RING*%\n%ADD11C,0.4*%\n%ADD12BAR*%\n"
      "D11*X10000Y10000D03*D10*X10000Y10000D03*\n"
      "D12*X40000Y10000D02*X50000Y10000D01*M02*\n";
  TestUserInterface ui;
  CancelToken cancel;
  TTNRegionArray regions(1);
  ASSERT_EQ(GerberImportText(text, "m.gbr", regions, 0, 0, ui, cancel), GerberStatus::Imported);
  EXPECT_TRUE(ui.Messages.empty());
  const double pi = 3.14159265358979;
  const double ring = pi * (0.25 - 0.0625), pad = pi * 0.04, sweep = 1.0 * 0.1 + 0.2 * 0.1;
  EXPECT_NEAR(CopperArea(regions, 0.002), ring + pad + sweep, 0.01 * (ring + pad + sweep));
  // Ring outside, ring inside, the pad, the swept bar.
  EXPECT_EQ(regions.size() - 1, 4u);
}

}  // namespace
}  // namespace tarnak
