// Every post shipped in data/Posts.Cfg must write programs that a real
// G-code interpreter runs without complaint and whose motions end where the
// toolpaths say. The interpreter is LinuxCNC's standalone one, `rs274 -g`,
// which prints the canonical machining calls it would make
// (STRAIGHT_TRAVERSE, STRAIGHT_FEED, ARC_FEED, ...) in program units.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <unistd.h>

#include "geometry/primitives.h"
#include "post/nc_writer.h"
#include "post/post_definition.h"
#include "shell/save_command.h"
#include "shell/selection_commands.h"
#include "shell/commands.h"
#include "base/numbers.h"
#include "toolpaths/contour.h"
#include "shell/strategy_commands.h"
#include "toolpaths/drill.h"
#include "toolpaths/motion_list.h"
#include "rs274_oracle.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRs274 = "/usr/bin/rs274";
constexpr double kRapidHeight = 5.0;

// One motion of the machine.
struct CanonMove {
  enum Kind { Traverse, Feed, Arc, ToolChange } kind = Feed;
  double x = 0, y = 0, z = 0;
  double cx = 0, cy = 0;  // arcs: centre
  int turn = 0;           // arcs: +1 counter-clockwise, -1 clockwise
};

std::string Describe(const CanonMove& m) {
  static const char* names[] = {"traverse", "feed", "arc", "tool change"};
  std::ostringstream s;
  s << names[m.kind] << " (" << m.x << ", " << m.y << ", " << m.z << ")";
  if (m.kind == CanonMove::Arc) s << " centre (" << m.cx << ", " << m.cy << ") turn " << m.turn;
  return s.str();
}

// What the motion list of the toolpaths must make the machine do, worked
// out from what each motion means rather than from the blocks the writer
// makes. Straight moves that go nowhere are left out (the interpreter may
// or may not report them).
class MachineModel {
 public:
  MachineModel(bool plasma, bool splitLongArcs) : plasma_(plasma), splitLongArcs_(splitLongArcs) {}

  void Straight(CanonMove::Kind kind, double x, double y, double z) {
    if (std::fabs(x - x_) < 1e-7 && std::fabs(y - y_) < 1e-7 && std::fabs(z - z_) < 1e-7) return;
    moves.push_back({kind, x, y, z});
    x_ = x, y_ = y, z_ = z;
  }
  void Element(const TTNEntity& e, double z) {
    const Point2 end = ElementEnd(e);
    if (e.IsLine()) {
      Straight(CanonMove::Feed, end.X, end.Y, z);
      return;
    }
    // Arcs given by radius go out in equal pieces of at most a quarter turn.
    const int pieces = splitLongArcs_ ? RadiusArcPieces(ArcSweep(e)) : 1;
    for (int k = 1; k < pieces; ++k) {
      TTNEntity part = e;
      part.SetEndAngle(e.StartAngle() + ArcSweep(e) * k / pieces);
      const Point2 at = ElementEnd(part);
      moves.push_back({CanonMove::Arc, at.X, at.Y, z, e.X, e.Y, e.Radius > 0 ? 1 : -1});
    }
    moves.push_back({CanonMove::Arc, end.X, end.Y, z, e.X, e.Y, e.Radius > 0 ? 1 : -1});
    x_ = end.X, y_ = end.Y, z_ = z;
  }

  // What the interpreter must report for the motion list of `list`; the
  // post spells each motion, the interpreter's report says what it made of
  // them.
  void Program(const TTNOutRegionArray& list) {
    MotionKind last = MotionKind::Rates;
    for (const Motion& m : BuildMotionList(list, kRapidHeight)) {
      switch (m.Kind) {
        case MotionKind::Rates:
        case MotionKind::ToolChange:
          continue;
        case MotionKind::Rapid:
          Straight(CanonMove::Traverse, m.KnownXY ? m.X : x_, m.KnownXY ? m.Y : y_, m.Z);
          break;
        case MotionKind::Line:
          // A plasma post switches the torch on instead of plunging.
          if (!(plasma_ && m.Part == MotionPart::Plunge && last == MotionKind::Rapid)) {
            Straight(CanonMove::Feed, m.X, m.Y, m.Z);
          }
          break;
        case MotionKind::Arc:
          Element(MakeArc(m.CentreX, m.CentreY, m.Radius, m.StartAngle, m.EndAngle), m.Z);
          break;
        case MotionKind::Drill: {
          // A G81 cycle, returning to the level it started from (G98),
          // never below the R plane.
          const double clear = m.Clearance;
          if (z_ < clear) Straight(CanonMove::Traverse, x_, y_, clear);
          const double level = z_;
          Straight(CanonMove::Traverse, m.X, m.Y, level);
          Straight(CanonMove::Traverse, m.X, m.Y, clear);
          Straight(CanonMove::Feed, m.X, m.Y, m.Z);
          Straight(CanonMove::Traverse, m.X, m.Y, level);
          break;
        }
      }
      last = m.Kind;
    }
  }

  std::vector<CanonMove> moves;

 private:
  bool plasma_;
  bool splitLongArcs_;
  double x_ = 0, y_ = 0, z_ = 0;  // where the interpreter starts
};

// ---- toolpath lists -----------------------------------------------------------------

TTNOutRegion Path(TTNEntityArray elements, int link, double depth, int tool) {
  TTNOutRegion tp;
  tp.Feed = 250 + 10 * tool;
  tp.PlungeFeed = 80;
  tp.SpindleSpeed = 10000 + 1000 * tool;
  tp.ToolNumber = tool;
  tp.Depth = depth;
  tp.RapidLevel = -kRapidHeight;
  tp.LinkKind = link;
  tp.Elements = std::move(elements);
  return tp;
}

// Builds a chain of Elements from a start point.
class Chain {
 public:
  Chain(double x, double y) : x_(x), y_(y) {}
  Chain& Line(double x, double y) {
    elements_.push_back(MakeLine(x_, y_, x, y));
    x_ = x, y_ = y;
    return *this;
  }
  // An arc about (cx, cy) turning `degrees` (negative: clockwise).
  Chain& Arc(double cx, double cy, double degrees) {
    const double r = std::hypot(x_ - cx, y_ - cy);
    const double a0 = std::atan2(y_ - cy, x_ - cx);
    const double a1 = a0 + degrees * kPi / 180;
    elements_.push_back(MakeArc(cx, cy, degrees > 0 ? r : -r, a0, a1));
    const Point2 end = ElementEnd(elements_.back());
    x_ = end.X, y_ = end.Y;
    return *this;
  }
  TTNEntityArray Elements() const { return elements_; }

 private:
  double x_, y_;
  TTNEntityArray elements_;
};

TTNOutRegionArray RectangleWithLeads() {
  const TTNEntityArray rect = Chain(0, 0).Line(20, 0).Line(20, 10).Line(0, 10).Line(0, 0).Elements();
  TTNOutRegion a = Path(rect, kLinkRetract, 1, 1);
  a.LeadMoves = 1;
  a.EntryMove = MakeArc(0, 2, 2, kPi, 3 * kPi / 2);  // (-2, 2) -> (0, 0)
  a.EntryMove.Mark = true;
  a.ExitMove = MakeArc(0, 2, 2, 3 * kPi / 2, 2 * kPi);  // (0, 0) -> (2, 2)
  a.ExitMove.Mark = true;
  TTNOutRegion b = a;
  b.Depth = 2;
  b.LinkKind = kLinkFeedAtDepth;
  TTNOutRegion c = a;
  c.Depth = 2.75;
  c.LinkKind = kLinkRetract;
  c.ExitMove.Mark = false;
  return {TTNOutRegion{}, a, b, c};
}

TTNOutRegionArray FullCircles() {
  TTNOutRegion ccw = Path({MakeArc(40, 40, 5, 0, 0)}, kLinkRetract, 1.2, 1);
  TTNOutRegion cw = Path({MakeArc(60, 40, -3, kPi / 2, kPi / 2)}, kLinkRetract, 0.8, 1);
  TTNOutRegion again = Path({MakeArc(60, 40, -3, kPi / 2, kPi / 2)}, kLinkFeedAtDepth, 1.6, 1);
  return {TTNOutRegion{}, ccw, cw, again};
}

// Lines and arcs of both directions; `longArcs` adds arcs of more than half
// a turn.
TTNOutRegionArray MixedArcs(bool longArcs) {
  Chain chain(0, 0);
  chain.Line(10, 0).Arc(10, 5, 90).Arc(20, 5, -120).Line(30, 12.125);
  if (longArcs) {
    chain.Arc(30, 16.125, 270).Arc(22, 18, -200);
  } else {
    chain.Arc(30, 16.125, 150).Arc(22, 18, -45);
  }
  chain.Arc(15, 25, 30).Line(0, 20).Line(0, 0.5);
  const TTNEntityArray path = chain.Elements();
  return {TTNOutRegion{}, Path(path, kLinkRetract, 1.5, 2), Path(path, kLinkRetract, 3.0625, 2)};
}

TTNOutRegionArray SeveralTools() {
  // The first path starts where the tool stands and plunges there.
  TTNOutRegion first =
      Path(Chain(0, 0).Line(5, 0).Line(5, 5).Line(0, 5).Line(0, 0).Elements(), kLinkInPlace, 0.5, 1);
  TTNOutRegion second = Path(
      Chain(12, 10).Arc(12, 12, -90).Line(18, 14).Arc(18, 12, -90).Line(20, 10).Elements(),
      kLinkRetract, 1, 3);
  TTNOutRegion third = Path(Chain(30, 30).Line(35, 31).Arc(35, 33, 90).Elements(), kLinkRetract, 2, 0);
  TTNOutRegion fourth = Path(Chain(35, 35).Line(30, 36).Elements(), kLinkFeedAtDepth, 2.5, 0);
  TTNOutRegion fifth = Path(Chain(1, 1).Line(2, 2).Elements(), kLinkRetract, 0.25, 1);
  return {TTNOutRegion{}, first, second, third, fourth, fifth};
}

TTNOutRegionArray Drilling() {
  TTNOutRegionArray list(1);
  const double holes[][3] = {{5, 5, 2}, {15, 5, 2}, {15, 20, 3.5}, {4.25, 20, 1}};
  for (const auto& h : holes) {
    TTNOutRegion tp = Path({MakeLine(h[0], h[1], h[0], h[1])}, kLinkDrillCanned, h[2], 4);
    tp.Feed = 120;
    tp.PlungeFeed = 0;
    tp.SpindleSpeed = 0;
    list.push_back(tp);
  }
  list.back().LinkKind = kLinkDrillLinear;  // written alike
  return list;
}

// ---- the post under test --------------------------------------------------------------

bool ScriptUses(const TTNPostProcessor& post, const TTNScript& script, int variable) {
  for (const auto& item : script.Items) {
    if (item.Token >= 0 && post.Tokens[static_cast<std::size_t>(item.Token)].Variable == variable) return true;
  }
  return false;
}

bool WritesSomething(const TTNScript& script) {
  for (const auto& item : script.Items) {
    if (item.Token >= 0 || script.Command != kNullCommand) return true;
  }
  return false;
}

int Decimals(const std::string& format) {
  const std::size_t dot = format.find('.');
  if (dot == std::string::npos) return 0;
  return std::atoi(format.c_str() + dot + 1);
}

class Rs274RoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kRs274)) {
      GTEST_SKIP() << kRs274 << " is missing: install the package linuxcnc-uspace "
                   << "(scripts/bootstrap.sh does) to check the shipped posts";
    }
    SetDecimalSeparator('.');
    std::random_device rd;
    folder_ = fs::temp_directory_path() /
              ("tarnak_rs274_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
    fs::create_directories(folder_);
    std::ofstream table(folder_ / "tools.tbl");
    for (int t = 0; t <= 9; ++t) table << "T" << t << " P" << t + 1 << " D3.0 ;\n";
  }
  void TearDown() override {
    std::error_code ec;
    if (!folder_.empty()) fs::remove_all(folder_, ec);
  }

  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // Runs the interpreter; returns its motions, or fails with what it said.
  std::vector<CanonMove> Interpret(const fs::path& program, const std::string& what,
                                   bool toolChanges = false) {
    const std::string command = tarnak::testing::Rs274Command(folder_, program.string(), "out.txt", "err.txt");
    const int status = std::system(command.c_str());
    const std::string out = Read(folder_ / "out.txt");
    std::string err = Read(folder_ / "err.txt");
    // The interpreter announces itself on stderr; anything else is a complaint.
    for (std::size_t at; (at = err.find("executing\n")) != std::string::npos;) err.erase(at, 10);
    EXPECT_EQ(status, 0) << what << ": rs274 failed\n" << err << "\n" << Read(program);
    EXPECT_EQ(err, "") << what << "\n" << Read(program);
    EXPECT_NE(out.find("PROGRAM_END()"), std::string::npos) << what << ": did not reach the end";

    std::vector<CanonMove> motions;
    static const std::regex call(
        R"((STRAIGHT_TRAVERSE|STRAIGHT_FEED|ARC_FEED|CHANGE_TOOL)\(([^)]*)\))");
    double x = 0, y = 0, z = 0;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      std::smatch m;
      if (!std::regex_search(line, m, call)) continue;
      if (m[1] == "CHANGE_TOOL") {
        if (toolChanges) motions.push_back({CanonMove::ToolChange, x, y, z});
        continue;
      }
      std::vector<double> v;
      std::istringstream args(m[2].str());
      for (std::string field; std::getline(args, field, ',');) v.push_back(std::stod(field));
      CanonMove motion;
      if (m[1] == "ARC_FEED") {
        motion = {CanonMove::Arc, v.at(0), v.at(1), v.at(5), v.at(2), v.at(3), v.at(4) > 0 ? 1 : -1};
      } else {
        motion = {m[1] == "STRAIGHT_FEED" ? CanonMove::Feed : CanonMove::Traverse, v.at(0), v.at(1), v.at(2)};
        if (motion.x == x && motion.y == y && motion.z == z) continue;  // goes nowhere
      }
      x = motion.x, y = motion.y, z = motion.z;
      motions.push_back(motion);
    }
    return motions;
  }

  void Check(const std::string& postName, const std::string& listName, const TTNOutRegionArray& list) {
    const std::string what = postName + " / " + listName;
    TTNMachiningParameters params;
    params.RapidHeight = kRapidHeight;
    params.Rough.ToolNumber = 1;
    params.Rough.Name = "6mm (flat)";
    params.FinishMode = kFinishIslands;
    params.Finish.ToolNumber = 2;
    params.Finish.Name = "3mm ball";
    const fs::path program = folder_ / "program.ngc";
    const auto comments = NcCommentLines(post_, params, "part (2)", std::chrono::system_clock::now());
    WriteNC2D(list, comments, params, post_, program);

    MachineModel model(plasma_, radiusArcs_);
    model.Program(list);
    const std::vector<CanonMove> got = Interpret(program, what);
    std::ostringstream both;
    for (std::size_t i = 0; i < std::max(got.size(), model.moves.size()); ++i) {
      both << i << ": " << (i < got.size() ? Describe(got[i]) : "-") << "   expected "
           << (i < model.moves.size() ? Describe(model.moves[i]) : "-") << "\n";
    }
    ASSERT_EQ(got.size(), model.moves.size()) << what << "\n" << both.str() << Read(program);
    const double tol = 1.5 * std::pow(10.0, -Decimals(post_.Tokens[TokenSlot::Xt].Format));
    // A centre found from a radius and two rounded end points moves far more
    // than the end points do on a short arc, while the path it cuts hardly
    // moves: for radius arcs the point halfway along the arc is compared.
    auto halfway = [](const CanonMove& arc, double sx, double sy) {
      double a0 = std::atan2(sy - arc.cy, sx - arc.cx), a1 = std::atan2(arc.y - arc.cy, arc.x - arc.cx);
      double sweep = a1 - a0;
      if (arc.turn > 0 && sweep <= 0) sweep += 2 * kPi;
      if (arc.turn < 0 && sweep >= 0) sweep -= 2 * kPi;
      const double r = std::hypot(sx - arc.cx, sy - arc.cy), m = a0 + sweep / 2;
      return Point2{arc.cx + r * std::cos(m), arc.cy + r * std::sin(m)};
    };
    for (std::size_t i = 0; i < got.size(); ++i) {
      const CanonMove& g = got[i];
      const CanonMove& e = model.moves[i];
      bool arcSame = true;
      if (g.kind == CanonMove::Arc) {
        if (radiusArcs_) {
          const double sx = i ? got[i - 1].x : 0, sy = i ? got[i - 1].y : 0;
          const double ex = i ? model.moves[i - 1].x : 0, ey = i ? model.moves[i - 1].y : 0;
          const Point2 hg = halfway(g, sx, sy), he = halfway(e, ex, ey);
          arcSame = std::hypot(hg.X - he.X, hg.Y - he.Y) <= 3 * tol && g.turn == e.turn;
        } else {
          arcSame = std::fabs(g.cx - e.cx) <= tol && std::fabs(g.cy - e.cy) <= tol && g.turn == e.turn;
        }
      }
      const bool same = g.kind == e.kind && std::fabs(g.x - e.x) <= tol &&
                        std::fabs(g.y - e.y) <= tol && std::fabs(g.z - e.z) <= tol && arcSame;
      ASSERT_TRUE(same) << what << ": motion " << i << "\n" << both.str() << Read(program);
    }
  }

  void Load(const std::string& name) {
    post_ = TTNPostProcessor();
    ASSERT_TRUE(LoadPostDefinition(post_, name, PostsFile())) << name;
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    plasma_ = upper.rfind("PLASMA", 0) == 0;
    radiusArcs_ = ScriptUses(post_, post_.Scripts[ScriptSlot::CwArc], TokenVar::Rad);
    drills_ = WritesSomething(post_.Scripts[ScriptSlot::Drill]);
  }

  static fs::path PostsFile() { return fs::path(TARNAK_SOURCE_DIR) / "data" / "Posts.Cfg"; }

  fs::path folder_;
  TTNPostProcessor post_;
  bool plasma_ = false;
  bool radiusArcs_ = false;
  bool drills_ = false;
};

TEST_F(Rs274RoundTrip, EveryShippedPostRunsAndEndsWhereTheToolpathsSay) {
  const std::vector<std::string> names = ListPostNames(PostsFile());
  ASSERT_GE(names.size(), 6u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    Load(name);
    Check(name, "rectangle with lead moves", RectangleWithLeads());
    Check(name, "full circles", FullCircles());
    Check(name, "mixed arcs", MixedArcs(true));
    Check(name, "several tools", SeveralTools());
    if (drills_) Check(name, "drilling", Drilling());
  }
}

// Contour toolpaths of real drawings: outside with arc leads and a finish
// pass with a second tool, so every post sees lead-in arcs, arcs of both
// directions, full circles and tool changes as the strategies make them.
TEST_F(Rs274RoundTrip, ContoursOfTheTestDrawingsRunOnEveryPost) {
  const std::vector<std::string> drawings = {
      "dxf2gcode_DEMO_R10.DXF", "ezdxf_AC1003_LINE_Example.dxf",
      "dxf2gcode-plasma_fc_mounting_R12.dxf", "dxf2gcode_Polylinie_lwpoly_bulges.dxf",
      "dxf2gcode_FLH-001_R12.dxf"};
  std::vector<std::pair<std::string, TTNOutRegionArray>> lists;
  for (const std::string& drawing : drawings) {
    SilentUserInterface ui;
    Document doc(ui);
    doc.Options.Program.Dir = drawing.size() % 2 == 0;  // both directions of closed outlines
    ASSERT_EQ(OpenDxfCommand(doc, std::string(TARNAK_CORPUS_DIR) + "/dxf/" + drawing), OpenResult::Loaded);
    SelectAll(doc);
    TTNMachiningParameters& p = doc.MachiningParams;
    p.Compensation = kCompRight;
    p.Rough = {};
    p.Rough.Radius = 1.5;
    p.Rough.ZStep = 1;
    p.Rough.ToolNumber = 1;
    p.Rough.Feed = 300;
    p.Rough.PlungeFeed = 100;
    p.Rough.SpindleSpeed = 12000;
    p.Finish = p.Rough;
    p.Finish.Radius = 1;
    p.Finish.ToolNumber = 2;
    p.FinishMode = 1;
    p.Depth = 2;
    p.RapidHeight = kRapidHeight;
    p.EntryKind = kLeadArc;
    p.EntryLength = 2;
    p.ExitKind = kLeadTangent;
    p.ExitLength = 1;
    ASSERT_EQ(ContourCommand(doc), ContourResult::Made) << drawing;
    lists.emplace_back(drawing, doc.Toolpaths);
  }
  for (const std::string& name : ListPostNames(PostsFile())) {
    SCOPED_TRACE(name);
    Load(name);
    for (const auto& [drawing, list] : lists) Check(name, drawing, list);
  }
}

// ---- safe starts ------------------------------------------------------------------

TTNRegion Rectangle(double x0, double y0, double x1, double y1) {
  TTNRegion r;
  r.Elements = Chain(x0, y0).Line(x1, y0).Line(x1, y1).Line(x0, y1).Line(x0, y0).Elements();
  r.Selected = 1;
  RegionBounds(r);
  return r;
}

TTNRegion Circle(double cx, double cy, double radius) {
  TTNRegion r;
  r.Elements = {MakeArc(cx, cy, radius, 0, 0)};
  r.Selected = 1;
  RegionBounds(r);
  return r;
}

// The toolpaths of a strategy on Regions made here (a drawing whose corner
// is at the origin, so that the first path starts where an NC program
// would think the tool stands).
TTNOutRegionArray MakeToolpaths(const std::string& name) {
  SilentUserInterface ui;
  Document doc(ui);
  doc.Regions.resize(1);
  TTNMachiningParameters& p = doc.MachiningParams;
  p.Rough = {};
  p.Rough.ToolNumber = 1;
  p.Rough.Feed = 300;
  p.Rough.PlungeFeed = 100;
  p.Rough.SpindleSpeed = 12000;
  p.Rough.ZStep = 1;
  p.RapidHeight = kRapidHeight;
  p.Compensation = kCompNone;
  p.Depth = 1;
  if (name == "drill") {
    for (const double x : {0.0, 12.0, 30.0}) doc.Regions.push_back(Circle(x, 5, 1.5));
    p.Depth = 3;
    p.CannedCycles = 1;
    EXPECT_EQ(DrillCommand(doc), DrillResult::Made);
    return doc.Toolpaths;
  }
  doc.Regions.push_back(Rectangle(0, 0, 20, 10));
  if (name != "corner at the origin") {
    // Two levels on two outlines, then a finish pass that starts at the
    // origin again, far from where the roughing ended.
    doc.Regions.push_back(Rectangle(30, 0, 45, 8));
    p.Depth = 2;
    p.FinishMode = kFinishIslands;
    p.Finish = p.Rough;
    p.Finish.Radius = 0.5;
    p.Finish.ZStep = 2;
    p.Finish.ToolNumber = name == "two levels and a finish pass" ? 2 : 1;
  }
  EXPECT_EQ(ContourCommand(doc), ContourResult::Made) << name;
  return doc.Toolpaths;
}

// What the program may feed along: the toolpaths' own moves and the feeds
// across at depth that their links ask for.
struct PlannedFeeds {
  explicit PlannedFeeds(const TTNOutRegionArray& list) {
    Point2 previousEnd;
    bool first = true;
    for (std::size_t i = 1; i < list.size(); ++i) {
      const TTNOutRegion& t = list[i];
      if (t.Elements.empty()) continue;
      const bool leads = t.LeadMoves != 0;
      const Point2 start = ToolpathStartPoint(t);
      if (t.LinkKind == kLinkFeedAtDepth && !first) Lines.push_back({previousEnd, start});
      auto add = [&](const TTNEntity& e) {
        if (e.IsArc()) {
          Arcs.push_back({e.X, e.Y, std::fabs(e.Radius)});
        } else {
          Lines.push_back({ElementStart(e), ElementEnd(e)});
        }
      };
      if (leads && t.EntryMove.Mark) add(t.EntryMove);
      for (const TTNEntity& e : t.Elements) add(e);
      if (leads && t.ExitMove.Mark) add(t.ExitMove);
      previousEnd = ToolpathEndPoint(t);
      first = false;
    }
  }
  bool Allows(Point2 from, const CanonMove& m, double tol) const {
    auto near = [&](Point2 a, double x, double y) { return std::hypot(a.X - x, a.Y - y) <= tol; };
    if (m.kind == CanonMove::Arc) {
      for (const auto& [cx, cy, r] : Arcs) {
        if (std::hypot(cx - m.cx, cy - m.cy) <= tol && std::fabs(std::hypot(m.x - cx, m.y - cy) - r) <= tol)
          return true;
      }
      return false;
    }
    if (near(from, m.x, m.y)) return true;  // straight down or up
    for (const auto& [a, b] : Lines) {
      if (near(a, from.X, from.Y) && near(b, m.x, m.y)) return true;
    }
    return false;
  }
  std::vector<std::pair<Point2, Point2>> Lines;
  std::vector<std::tuple<double, double, double>> Arcs;
};

// What is wrong with the interpreted motions `got` of a program that
// starts with the tool put at (123.4, -56.7) by got[0]; empty when
// nothing is.
std::string Unsafe(const std::vector<CanonMove>& got, const PlannedFeeds& planned, double tol) {
  const double high = kRapidHeight - 1e-6;
  std::size_t k = 1;
  while (k < got.size() && got[k].kind == CanonMove::ToolChange) ++k;
  if (k + 1 >= got.size()) return "too few motions";
  const CanonMove& first = got[k];
  if (!(first.kind == CanonMove::Traverse && std::fabs(first.x - 123.4) <= tol &&
        std::fabs(first.y + 56.7) <= tol && first.z >= high)) {
    return "the first move is not a retract of Z alone to the rapid height";
  }
  bool unknown = true;  // since the start or a tool change
  bool raised = false;  // retracted straight up since then
  bool highAt = false;  // came to where it stands by a rapid at the rapid height
  double x = got[0].x, y = got[0].y, z = got[0].z;
  for (std::size_t i = 1; i < got.size(); ++i) {
    const CanonMove& m = got[i];
    if (m.kind == CanonMove::ToolChange) {
      unknown = true;
      raised = highAt = false;
      continue;
    }
    if (m.kind == CanonMove::Traverse) {
      if (std::hypot(m.x - x, m.y - y) <= tol && m.z >= high) raised = true;
      highAt = raised && m.z >= high && z >= high;
    } else {
      if (unknown && !highAt) {
        return "feed " + std::to_string(i) +
               " at a place not reached by a retract and a rapid at the rapid height";
      }
      unknown = false;
      if (!planned.Allows({x, y}, m, 3 * tol)) {
        std::ostringstream s;
        s << "feed " << i << " " << Describe(m) << " from (" << x << ", " << y
          << ") cuts where no toolpath goes";
        return s.str();
      }
    }
    x = m.x, y = m.y, z = m.z;
  }
  return "";
}

// An NC program cannot know where the tool is when it starts, nor after a
// tool change: its first move must be a retract of Z alone to the rapid
// height, and it may feed only where it went by a rapid at that height.
// Between toolpaths it feeds only along the paths and the feeds across
// at depth that their links plan. Each program is run with the tool left
// low beside the part and left high above it.
TEST_F(Rs274RoundTrip, EveryProgramRetractsAndTraversesHighBeforeItFirstFeeds) {
  const std::vector<std::string> cases = {"corner at the origin", "two levels and a finish pass",
                                          "two levels and a finish pass with the same tool",
                                          "drill"};
  std::vector<std::pair<std::string, TTNOutRegionArray>> lists;
  for (const std::string& name : cases) lists.emplace_back(name, MakeToolpaths(name));
  TTNMachiningParameters params;
  params.RapidHeight = kRapidHeight;
  for (const std::string& postName : ListPostNames(PostsFile())) {
    Load(postName);
    const double tol = 1.5 * std::pow(10.0, -Decimals(post_.Tokens[TokenSlot::Xt].Format));
    for (const auto& [name, list] : lists) {
      if (name == "drill" && !drills_) continue;
      ASSERT_GE(ToolpathCount(list), 1) << name;
      const PlannedFeeds planned(list);
      for (const double startZ : {-2.5, 50.0}) {
        const std::string what = postName + " / " + name + " / tool left at Z " + std::to_string(startZ);
        const fs::path program = folder_ / "program.ngc";
        WriteNC2D(list, {}, params, post_, program);
        // The tool where the program cannot know it: one block after the
        // Header puts it there.
        std::vector<std::string> lines;
        {
          std::ifstream in(program);
          for (std::string line; std::getline(in, line);) lines.push_back(line);
        }
        lines.insert(lines.begin() + static_cast<long>(post_.Header.size()),
                     "G0 X123.4 Y-56.7 Z" + std::to_string(startZ) + "\r");
        {
          std::ofstream out(program, std::ios::binary);
          for (const std::string& line : lines) out << line << '\n';
        }
        const std::vector<CanonMove> got = Interpret(program, what, true);
        std::ostringstream trace;
        for (std::size_t i = 0; i < got.size() && i < 12; ++i) trace << i << ": " << Describe(got[i]) << "\n";
        const std::string context = what + "\n" + trace.str() + Read(program);
        ASSERT_GE(got.size(), 3u) << context;
        EXPECT_EQ(Unsafe(got, planned, tol), "") << context;
      }
    }
  }
}

TEST_F(Rs274RoundTrip, ShippedPostsAreWhatTheirNamesPromise) {
  Load("Default");
  EXPECT_EQ(post_.Header.front(), "%");
  EXPECT_EQ(post_.Footer.back(), "%");
  EXPECT_TRUE(drills_);
  Load("Orvano");
  EXPECT_EQ(post_.Header.front(), "%");
  Load("Plasma");
  EXPECT_TRUE(plasma_);
  EXPECT_FALSE(post_.Tokens[TokenSlot::Misc5t].Designation.empty());
  Load("Radius Arcs");
  EXPECT_TRUE(radiusArcs_);
  // Every section says what it is for on a comment line of its own.
  const std::string text = Read(PostsFile());
  for (const std::string& name : ListPostNames(PostsFile())) {
    const std::size_t at = text.find("[" + name + "]");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(text.compare(text.find('\n', at) + 1, 1, ";"), 0) << name;
  }
}

}  // namespace
}  // namespace tarnak
