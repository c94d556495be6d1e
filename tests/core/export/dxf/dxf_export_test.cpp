// DXF export, checked by another reader: every file written here is read
// by ezdxf (ezdxf_summary.py, Debian's python3-ezdxf), which must see the
// entities, layers and lengths the source holds; drawings exported and
// opened again through our own reader give back the same Regions.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "../../selection/selection_test_util.h"
#include "cli_run.h"
#include "export/dxf/dxf_builders.h"
#include "export/dxf/dxf_writer.h"
#include "geometry/primitives.h"
#include "import/dxf/dxf_entities.h"
#include "import/nc/nc_moves.h"
#include "shell/commands.h"
#include "shell/dxf_export_commands.h"
#include "shell/selection_commands.h"
#include "shell/strategy_commands.h"
#include "shell/text_commands.h"
#include "test_files.h"
#include "test_ui.h"
#include "toolpaths/motion_list.h"

namespace tarnak::testing {
namespace {

namespace fs = std::filesystem;

// ezdxf is installed for Debian's own interpreter, whatever python3 comes
// first on the PATH.
constexpr const char* kSystemPython = "/usr/bin/python3";

struct EzdxfView {
  std::string Error;
  std::vector<std::string> Table;
  int Entities = -1;
  double Length = 0.0;
  std::map<std::string, std::pair<int, double>> Layers;  // count, length
};

// What ezdxf sees in each file, by path.
std::map<std::string, EzdxfView> ReadWithEzdxf(const std::vector<fs::path>& files) {
  std::string command = std::string(kSystemPython) + " " + TARNAK_SOURCE_DIR +
                        "/tests/core/export/dxf/ezdxf_summary.py";
  for (const fs::path& f : files) command += " '" + f.string() + "'";
  std::map<std::string, EzdxfView> views;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return views;
  std::string text;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  ::pclose(pipe);
  std::istringstream in(text);
  std::string line;
  EzdxfView* view = nullptr;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word == "file") {
      std::string path;
      std::getline(words >> std::ws, path);
      view = &views[path];
    } else if (view == nullptr) {
      continue;
    } else if (word == "error") {
      std::getline(words >> std::ws, view->Error);
    } else if (word == "table") {
      for (std::string name; words >> name;) view->Table.push_back(name);
    } else if (word == "entities") {
      words >> view->Entities >> view->Length;
    } else if (word == "layer") {
      std::string name;
      int count = 0;
      double length = 0.0;
      words >> name >> count >> length;
      view->Layers[name] = {count, length};
    }
  }
  return views;
}

// What a file written from `drawing` should show: counts and lengths per
// layer, measured on the source Elements, not on the file.
struct Expected {
  std::map<std::string, std::pair<int, double>> Layers;
};

double SourceLength(const TTNEntity& e) { return ElementLength(e); }

Expected FromRegions(const TTNRegionArray& regions) {
  Expected x;
  for (std::size_t i = 1; i < regions.size(); ++i) {
    for (const TTNEntity& e : regions[i].Elements) {
      auto& [n, l] = x.Layers["0"];
      ++n;
      l += SourceLength(e);
    }
  }
  return x;
}

// Layer "0" holds the toolpaths' Elements (or the holes, from the plane of
// the cycle to the bottom), "2" their lead moves; the links of layer "1"
// are the motions between them, measured here as straight 3D moves.
Expected FromToolpaths(const TTNOutRegionArray& toolpaths, double rapidHeight) {
  Expected x;
  auto add = [&](const char* layer, double length) {
    auto& [n, l] = x.Layers[layer];
    ++n;
    l += length;
  };
  for (std::size_t i = 1; i < toolpaths.size(); ++i) {
    const TTNOutRegion& t = toolpaths[i];
    if (t.Elements.empty()) continue;
    if (IsDrillLink(t.LinkKind)) {
      add("0", std::fabs(t.Depth - t.RapidLevel));
      continue;
    }
    for (const TTNEntity& e : t.Elements) add("0", SourceLength(e));
    if (t.LeadMoves != 0 && t.EntryMove.Mark) add("2", SourceLength(t.EntryMove));
    if (t.LeadMoves != 0 && t.ExitMove.Mark) add("2", SourceLength(t.ExitMove));
  }
  for (const Motion& m : BuildMotionList(toolpaths, rapidHeight)) {
    auto link = [&](double x1, double y1, double z1, double x2, double y2, double z2) {
      const double d = std::hypot(x2 - x1, y2 - y1, z2 - z1);
      if (d > 0.0) add("1", d);
    };
    if (m.Kind == MotionKind::Drill) {
      link(m.FromX, m.FromY, m.FromZ, m.FromX, m.FromY, m.Clearance);
      link(m.FromX, m.FromY, m.Clearance, m.X, m.Y, m.Clearance);
      link(m.X, m.Y, m.Z, m.X, m.Y, m.Clearance);
    } else if ((m.Kind == MotionKind::Rapid || m.Kind == MotionKind::Line) &&
               m.Part != MotionPart::Path && m.Part != MotionPart::Entry &&
               m.Part != MotionPart::Exit) {
      link(m.FromX, m.FromY, m.FromZ, m.X, m.Y, m.Z);
    }
  }
  return x;
}

void ExpectSeen(const EzdxfView& seen, const Expected& want, const std::string& what) {
  SCOPED_TRACE(what);
  ASSERT_TRUE(seen.Error.empty()) << seen.Error;
  ASSERT_GE(seen.Table.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(seen.Table.begin(), seen.Table.begin() + 3),
            (std::vector<std::string>{"2", "1", "0"}));
  int count = 0;
  double length = 0.0;
  for (const auto& [layer, cl] : want.Layers) {
    count += cl.first;
    length += cl.second;
    const auto it = seen.Layers.find(layer);
    ASSERT_NE(it, seen.Layers.end()) << "layer " << layer;
    EXPECT_EQ(it->second.first, cl.first) << "layer " << layer;
    // 7 significant digits a number: lengths agree to about 1e-6 of the size.
    EXPECT_NEAR(it->second.second, cl.second, 1e-5 * (1.0 + cl.second)) << "layer " << layer;
  }
  EXPECT_EQ(seen.Layers.size(), want.Layers.size());
  EXPECT_EQ(seen.Entities, count);
  EXPECT_NEAR(seen.Length, length, 1e-5 * (1.0 + length));
}

class DxfExport : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnak-dxf-export-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path dir_;
};

// The drawings of the corpus that open without a question. Where several
// chains meet at one point (a T junction, faces sharing edges) or a
// polyline doubles back over itself, a drawing of loose lines and arcs
// chains differently from the polylines it was read from (the reader drops
// a loose duplicate): those are read by ezdxf but not compared Region by
// Region.
const struct {
  const char* Name;
  bool SameRegions;
} kCorpus[] = {
    {"dxf2gcode-plasma_fc_mounting_R12.dxf", true}, {"dxf2gcode_DEMO_R10.DXF", false},
    {"dxf2gcode_Ellipsenboegen_einfach.dxf", true}, {"dxf2gcode_FLH-001_R12.dxf", true},
    {"dxf2gcode_Polylinie_lwpoly_bulges.dxf", true}, {"ezdxf_3dface.dxf", false},
    {"ezdxf_AC1003_LINE_Example.dxf", true},        {"ezdxf_POLI-ALL210_12.DXF", false},
    {"ezdxf_small_r13_dos932.dxf", true},
};

// A plate with a rounded pocket and holes, for the strategies.
void FillPlate(Document& doc) {
  Fill(doc, {Rect(0, 0, 100, 60), RoundedRect(10, 10, 50, 40, 5), Circle(70, 20, 4),
             Circle(80, 45, 3, false)});
  SelectAllClosed(doc);
  TTNMachiningParameters& p = doc.MachiningParams;
  p.Depth = 3;
  p.RapidHeight = 5;
  p.Rough.Radius = 1;
  p.Rough.XYStep = 1.2;
  p.Rough.ZStep = 1.5;
  p.Rough.Feed = p.Rough.PlungeFeed = 100;
  p.Rough.ToolNumber = 2;
}

// Geometry of the corpus and toolpaths of every 2D strategy (contour with
// arc leads, pocket, drill by lines and by cycles), plus an empty document:
// ezdxf reads each file without error and sees, layer by layer, the
// entities and lengths of the source. The geometry, opened again through
// our reader, gives back the same Regions.
TEST_F(DxfExport, AnotherReaderSeesWhatWasWrittenAndOurReaderGetsTheRegionsBack) {
  std::vector<fs::path> files;
  std::vector<Expected> expected;
  std::vector<TTNRegionArray> sources;

  std::vector<bool> sameRegions;
  for (const auto& [name, same] : kCorpus) {
    sameRegions.push_back(same);
    TestUserInterface ui;
    Document doc{ui};
    ASSERT_EQ(OpenDxfCommand(doc, std::string(TARNAK_CORPUS_DIR) + "/dxf/" + name),
              OpenResult::Loaded)
        << name;
    const fs::path out = dir_ / (std::string(name) + ".out.dxf");
    const DxfSaveResult r = SaveGeometryDXFCommand(doc, out);
    EXPECT_EQ(r.Written, DxfSaveResult::What::Geometry);
    files.push_back(out);
    expected.push_back(FromRegions(doc.Regions));
    sources.push_back(doc.Regions);
  }
  const std::size_t geometryFiles = files.size();

  const struct {
    const char* Name;
    StrategyResult (*Run)(Document&);
  } strategies[] = {
      {"contour", [](Document& d) {
         d.MachiningParams.Compensation = kCompCutout;
         d.MachiningParams.EntryKind = d.MachiningParams.ExitKind = kLeadArc;
         d.MachiningParams.EntryLength = d.MachiningParams.ExitLength = 2;
         return ContourCommand(d);
       }},
      {"pocket", [](Document& d) { return PocketCommand(d); }},
      {"drill-lines", [](Document& d) { return DrillCommand(d); }},
      {"drill-cycles", [](Document& d) {
         d.MachiningParams.CannedCycles = 1;
         return DrillCommand(d);
       }},
  };
  bool sawLeads = false;
  for (const auto& s : strategies) {
    TestUserInterface ui;
    Document doc{ui};
    FillPlate(doc);
    ASSERT_EQ(s.Run(doc), StrategyResult::Made) << s.Name;
    const fs::path out = dir_ / (std::string(s.Name) + ".dxf");
    EXPECT_EQ(SaveToolpathsDXFCommand(doc, out).Written, DxfSaveResult::What::Toolpaths);
    files.push_back(out);
    expected.push_back(FromToolpaths(doc.Toolpaths, doc.MachiningParams.RapidHeight));
    sawLeads = sawLeads || expected.back().Layers.count("2") != 0;
  }
  EXPECT_TRUE(sawLeads) << "no lead moves were exported; layer 2 went untested";

  {
    // NC display moves: a rapid, a feed, a clockwise arc (stored as its
    // counter-clockwise sweep), one whose sweep ends past 2 pi, a full
    // circle, a drill plunge (its radius only a mark) and a tool-change
    // marker, which moves nothing.
    TTNEdEntityArray moves(1);
    auto line = [&](std::uint8_t kind, double x, double y, double z, double x2, double y2,
                    double z2) {
      TTNEdEntity m;
      m.Kind = kind;
      m.X = x, m.Y = y, m.Z = z, m.X2 = x2, m.Y2 = y2, m.Z2 = z2;
      moves.push_back(m);
    };
    auto arc = [&](std::uint8_t kind, double cx, double cy, double z, double r, double a1,
                   double a2) {
      TTNEdEntity m;
      m.Kind = kind;
      m.X = cx, m.Y = cy, m.Z = m.Z2 = z, m.Radius = r, m.X2 = a1, m.Y2 = a2;
      moves.push_back(m);
    };
    const double pi = std::numbers::pi;
    line(NCKind::Rapid, 0, 0, 5, 10, 10, 5);
    line(NCKind::Linear, 10, 10, 5, 10, 10, -1);
    arc(NCKind::CwArc, 10, 15, -1, 5, pi / 2, 3 * pi / 2);
    arc(NCKind::CcwArc, 0, 0, -1, 2, 5.5, 7.0);
    arc(NCKind::CcwArcContinuous, 3, 3, -2, 1.5, 0.25, 0.25 + 2 * pi);
    TTNEdEntity plunge;
    plunge.Kind = NCKind::DrillPlunge;
    plunge.Radius = kNCDrillMarkRadius;
    plunge.X = plunge.X2 = 20, plunge.Y = plunge.Y2 = 5, plunge.Z = 2, plunge.Z2 = -4;
    moves.push_back(plunge);
    TTNEdEntity tool;
    tool.Kind = NCKind::ToolChange;
    tool.X = 99;
    moves.push_back(tool);

    TestUserInterface ui;
    Document doc{ui};
    const fs::path out = dir_ / "nc-moves.dxf";
    const DxfSaveResult r = SaveToolpathsDXFCommand(doc, out, &moves);
    EXPECT_EQ(r.Written, DxfSaveResult::What::NcMoves);
    EXPECT_EQ(r.Entities, 6u);
    files.push_back(out);
    Expected x;
    x.Layers["0"] = {6, std::hypot(10.0, 10.0) + 6.0 + 5 * pi + 2 * 1.5 + 1.5 * 2 * pi + 6.0};
    expected.push_back(x);
  }

  {
    TestUserInterface ui;
    Document empty{ui};
    const fs::path out = dir_ / "empty.dxf";
    SaveGeometryDXFCommand(empty, out);
    files.push_back(out);
    expected.push_back({});
  }

  const std::map<std::string, EzdxfView> seen = ReadWithEzdxf(files);
  ASSERT_EQ(seen.size(), files.size()) << "ezdxf (python3-ezdxf) did not answer for every file";
  for (std::size_t i = 0; i < files.size(); ++i)
    ExpectSeen(seen.at(files[i].string()), expected[i], files[i].filename().string());

  // Our reader: the same Regions, compared as sorted (box, length) lists
  // since the import orders them itself. Seven significant digits a number
  // and the reader snapping chained ends together (which moves the centre
  // of a near half circle a long way for a tiny shift of its ends) allow
  // 1e-4 of the drawing's size on a box and of the length on a length.
  for (std::size_t i = 0; i < geometryFiles; ++i) {
    if (!sameRegions[i]) continue;
    SCOPED_TRACE(files[i].filename().string());
    TestUserInterface ui;
    Document doc{ui};
    ASSERT_EQ(OpenDxfCommand(doc, files[i].string()), OpenResult::Loaded);
    auto facts = [](const TTNRegionArray& regions) {
      std::vector<std::array<double, 5>> f;
      for (std::size_t k = 1; k < regions.size(); ++k) {
        double length = 0.0;
        for (const TTNEntity& e : regions[k].Elements) length += ElementLength(e);
        const TTNRegion& r = regions[k];
        f.push_back({r.MinX, r.MinY, r.MaxX, r.MaxY, length});
      }
      std::sort(f.begin(), f.end());
      return f;
    };
    const auto before = facts(sources[i]);
    const auto after = facts(doc.Regions);
    ASSERT_EQ(after.size(), before.size());
    double size = 1.0;
    for (const auto& f : before) size = std::max({size, std::fabs(f[0]), std::fabs(f[1]),
                                                  std::fabs(f[2]), std::fabs(f[3])});
    for (std::size_t k = 0; k < before.size(); ++k) {
      for (std::size_t v = 0; v < 4; ++v)
        EXPECT_NEAR(after[k][v], before[k][v], 1e-4 * size) << "Region " << k << " box " << v;
      EXPECT_NEAR(after[k][4], before[k][4], 1e-4 * (1.0 + before[k][4])) << "Region " << k;
    }
  }
}

// The fixed texts, byte for byte where the file format fixes them.
TEST(DxfWriter, WritesTheFixedTextsTheCircleOnceRoundAndCrLfOnly) {
  TTNRegionArray regions(1);
  TTNRegion line;
  line.Depth = 2;
  line.Elements.push_back(MakeLine(0, 0, 10, 0));
  regions.push_back(line);
  TTNRegion cw;
  cw.Elements.push_back(MakeArc(0, 0, -5, std::numbers::pi / 2, 0));
  regions.push_back(cw);
  TTNRegion circle;
  circle.Elements.push_back(MakeArc(1, 2, 3, 0, 0));
  regions.push_back(circle);
  const std::string text = DxfText(BuildDXFFromRegions(regions));

  std::size_t bareLf = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) ++bareLf;
  EXPECT_EQ(bareLf, 0u);

  EXPECT_NE(text.find("0\r\nLINE\r\n8\r\n0\r\n62\r\n5\r\n6\r\nCONTINUOUS\r\n10\r\n0.000000\r\n"
                      "20\r\n0.000000\r\n30\r\n2.000000\r\n11\r\n10.000000\r\n21\r\n0.000000\r\n"
                      "31\r\n2.000000\r\n"),
            std::string::npos);
  // The clockwise arc from 90 to 0 degrees is the counter-clockwise one
  // from 0 to 90.
  EXPECT_NE(text.find("0\r\nARC\r\n8\r\n0\r\n62\r\n5\r\n6\r\nCONTINUOUS\r\n10\r\n0.000000\r\n"
                      "20\r\n0.000000\r\n30\r\n0.000000\r\n40\r\n5.000000\r\n50\r\n0.000000\r\n"
                      "51\r\n90.000000\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("40\r\n3.000000\r\n50\r\n0.000000\r\n51\r\n360.000000\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("0\r\nTABLE\r\n2\r\nLAYER\r\n0\r\nLAYER\r\n2\r\n2\r\n62\r\n0\r\n"
                      "0\r\nLAYER\r\n2\r\n1\r\n62\r\n0\r\n0\r\nLAYER\r\n2\r\n0\r\n62\r\n0\r\n"
                      "0\r\nENDTAB\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("49\r\n0.000000\r\n49\r\n-.250000\r\n0\r\nENDTAB\r\n"), std::string::npos);
  // The extents: the circle about (1, 2) of radius 3 reaches -2 in X and
  // -1 and 5 in Y; the line's depth is the largest Z.
  EXPECT_EQ(text.substr(0, text.find("0\r\nENDSEC")),
            "0\r\nSECTION\r\n2\r\nHEADER\r\n9\r\n$EXTMIN\r\n10\r\n-2\r\n20\r\n-1\r\n30\r\n0\r\n"
            "9\r\n$EXTMAX\r\n10\r\n10\r\n20\r\n5\r\n30\r\n2\r\n");
  EXPECT_TRUE(text.ends_with("0\r\nENDSEC\r\n0\r\nEOF\r\n"));

  const std::string empty = DxfText(BuildDXFFromRegions({}));
  EXPECT_TRUE(empty.starts_with("0\r\nSECTION\r\n2\r\nHEADER\r\n9\r\n$EXTMIN\r\n10\r\n10000000000"
                                "\r\n20\r\n10000000000\r\n30\r\n10000000000\r\n9\r\n$EXTMAX\r\n"
                                "10\r\n-10000000000\r\n"));
  EXPECT_NE(empty.find("0\r\nSECTION\r\n2\r\nENTITIES\r\n0\r\nENDSEC\r\n0\r\nEOF\r\n"),
            std::string::npos);

  DxfOutObject drawing = MakeDxfDrawing();
  EXPECT_THROW(drawing.CreateLayer("1"), std::invalid_argument);
  // Nothing is written for a drawing without layers.
  const fs::path file = fs::temp_directory_path() / ("tarnak-nolayers-" + std::to_string(::getpid()));
  EXPECT_FALSE(WriteDXF(DxfOutObject{}, file));
  EXPECT_FALSE(fs::exists(file));
}

// The fast formatter spells every number as the exact one does: values of
// every size, both signs, and the near halves where the two could differ.
TEST(DxfWriter, TheFastFormatterAgreesWithTheExactOne) {
  std::mt19937_64 rng(12);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-9, 9);
  std::vector<double> values = {0.0, -0.0, 0.5e-6, -0.5e-6, 0.4999999e-6, 9999998.5, 9999999.4,
                                9999999.5, 12345678.0, 9.9999995, 99.999995, 1e300, -1e-300};
  for (int i = 0; i < 200000; ++i) {
    const double v = mantissa(rng) * std::pow(10.0, exponent(rng));
    values.push_back(i % 2 == 0 ? v : -v);
  }
  // Decimal halves at every place the rounding can fall.
  for (int d = 0; d <= 6; ++d) {
    for (int k = 0; k < 2000; ++k) {
      const double step = std::pow(10.0, -d);
      values.push_back((static_cast<double>(k * 7919 % 1000000) + 0.5) * step);
    }
  }
  char buffer[64];
  for (double v : values) {
    ASSERT_EQ(std::string(buffer, FormatDxfFixed(v, buffer)), FormatDxfNumber(v)) << v;
  }
}

}  // namespace
}  // namespace tarnak::testing

namespace tarnak::testing {
namespace {

// --dxf of the command line writes through the same commands: the
// geometry byte for byte as the window's save, the toolpaths with their
// links.
TEST_F(DxfExport, TheCommandLineWritesTheSameFiles) {
  const std::string drawing =
      std::string(TARNAK_CORPUS_DIR) + "/dxf/dxf2gcode-plasma_fc_mounting_R12.dxf";
  ASSERT_EQ(::setenv("TARNAK_HOME", dir_.c_str(), 1), 0);
  const fs::path geometry = dir_ / "cli-geometry.dxf";
  const CliRun regions = RunCli({"regions", drawing, "--dxf", geometry.string()});
  EXPECT_EQ(regions.Status, 0) << regions.Err;
  TestUserInterface ui;
  Document doc{ui};
  ASSERT_EQ(OpenDxfCommand(doc, drawing), OpenResult::Loaded);
  EXPECT_EQ(ReadAll(geometry), DxfText(BuildDXFFromRegions(doc.Regions)));

  const fs::path toolpaths = dir_ / "cli-contour.dxf";
  const CliRun contour =
      RunCli({"contour", drawing, "--depth", "2", "--set", "RoughDiameter=1", "--set",
              "RoughStepZ=1", "--set", "RoughFeed=100", "--set", "RoughPlunge=50", "--set",
              "RapidHeight=3", "--dxf", toolpaths.string()});
  ::unsetenv("TARNAK_HOME");
  EXPECT_EQ(contour.Status, 0) << contour.Err;
  const std::string text = ReadAll(toolpaths);
  EXPECT_TRUE(text.ends_with("0\r\nEOF\r\n"));
  EXPECT_NE(text.find("8\r\n1\r\n62\r\n0\r\n6\r\nDOT\r\n"), std::string::npos);  // a traverse
  EXPECT_NE(text.find("8\r\n0\r\n62\r\n5\r\n6\r\nCONTINUOUS\r\n"), std::string::npos);  // a cut

  // The text verb saves its Regions the same way; ezdxf sees one entity
  // an element of them (single strokes, so open Regions too).
  const fs::path lettering = dir_ / "cli-text.dxf";
  ASSERT_EQ(::setenv("TARNAK_HOME", dir_.c_str(), 1), 0);
  const CliRun textRun =
      RunCli({"text", "Ag 8", "--font", "Hershey Roman Simplex", "--dxf", lettering.string()});
  ::unsetenv("TARNAK_HOME");
  EXPECT_EQ(textRun.Status, 0) << textRun.Err;
  TestUserInterface textUi;
  Document textDoc{textUi};
  textDoc.Options.Program.Font = "Hershey Roman Simplex";
  ApplyTextOptions(textDoc);
  TextAddParams p;
  p.Text = "Ag 8";
  ASSERT_EQ(AddText(textDoc, p).Result, TextAddResult::Added);
  std::size_t elements = 0;
  for (std::size_t i = 1; i < textDoc.Regions.size(); ++i) elements += textDoc.Regions[i].Elements.size();
  EXPECT_EQ(ReadAll(lettering), DxfText(BuildDXFFromRegions(textDoc.Regions)));
  const std::map<std::string, EzdxfView> seen = ReadWithEzdxf({lettering});
  ASSERT_EQ(seen.count(lettering.string()), 1u) << "ezdxf (python3-ezdxf) did not answer";
  EXPECT_EQ(seen.at(lettering.string()).Error, "");
  EXPECT_GT(elements, 10u);
  EXPECT_EQ(seen.at(lettering.string()).Entities, static_cast<int>(elements));

  EXPECT_EQ(RunCli({"regions", drawing, "--dxf"}).Status, 2);  // no file name
}

}  // namespace
}  // namespace tarnak::testing
