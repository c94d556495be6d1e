// The Edit menu's commands: invariants over the corpus drawings (lengths,
// areas, closed counts, valid links) and the edge cases of each command.
#include "shell/edit_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "editing/combine.h"
#include "editing/region_edit.h"
#include "geometry/primitives.h"
#include "signed_area.h"
#include "shell/commands.h"
#include "shell/selection_commands.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;

class RecordingUi : public UserInterface {
 public:
  MsgResult Message(const std::string& text, const std::string&, MsgButtons buttons,
                    MsgIcon) override {
    Messages.push_back(text);
    return buttons == MsgButtons::Ok ? MsgResult::Ok : Answer;
  }
  void SetStatus(const std::string& t) override { Status = t; }
  void SetStatus2(const std::string&) override {}
  MsgResult Answer = MsgResult::Ok;
  std::vector<std::string> Messages;
  std::string Status;
};

TTNRegion Poly(const std::vector<Point2>& pts, bool open = false) {
  TTNRegion r;
  const size_t n = pts.size(), edges = open ? n - 1 : n;
  for (size_t k = 0; k < edges; ++k)
    r.Elements.push_back(MakeLine(pts[k].X, pts[k].Y, pts[(k + 1) % n].X, pts[(k + 1) % n].Y));
  r.Open = open ? 1 : 0;
  RegionBounds(r);
  r.Direction = static_cast<uint8_t>(RegionIsClockwise(r));
  return r;
}
TTNRegion Square(double x, double y, double s) { return Poly({{x, y}, {x + s, y}, {x + s, y + s}, {x, y + s}}); }
TTNRegion Circle(double cx, double cy, double r) {
  TTNRegion c;
  c.Elements.push_back(MakeArc(cx, cy, r, 0.0, 0.0));
  RegionBounds(c);
  return c;
}

double Area(const TTNRegion& r) { return testing::SignedArea(r); }
double Length(const TTNRegionArray& list) {
  double l = 0.0;
  for (size_t i = 1; i < list.size(); ++i)
    for (const TTNEntity& e : list[i].Elements) l += ElementLength(e);
  return l;
}

// Every Parent and Owner names a Region of the list; an Owner names a
// closed one.
void ExpectLinksValid(const TTNRegionArray& list, const std::string& where) {
  const int n = static_cast<int>(list.size()) - 1;
  for (int i = 0; i <= n; ++i) {
    const TTNRegion& r = list[static_cast<size_t>(i)];
    ASSERT_TRUE(r.Owner >= 0 && r.Owner <= n) << where << " Region " << i;
    ASSERT_TRUE(r.Parent >= 0 && r.Parent <= n) << where << " Region " << i;
    if (i > 0 && r.Owner > 0) {
      EXPECT_EQ(list[static_cast<size_t>(r.Owner)].Open, 0) << where;
    }
  }
}

std::vector<fs::path> CorpusDrawings() {
  std::vector<fs::path> files;
  for (const char* name : {"dxf2gcode_DEMO_R10.DXF", "dxf2gcode-plasma_fc_mounting_R12.dxf",
                           "dxf2gcode_Polylinie_lwpoly_bulges.dxf", "ezdxf_POLI-ALL210_12.DXF"}) {
    const fs::path p = fs::path(TARNAK_CORPUS_DIR) / "dxf" / name;
    if (fs::exists(p)) files.push_back(p);
  }
  return files;
}

struct Opened {
  RecordingUi ui;
  Document doc{ui};
};

void SelectEverything(Document& doc) {
  SelectAll(doc);
  for (size_t i = 1; i < doc.Regions.size(); ++i) doc.Regions[i].Selected = 1;
}

TEST(EditCorpus, CommandsKeepLengthsAreasAndLinks) {
  const auto files = CorpusDrawings();
  ASSERT_FALSE(files.empty());
  for (const fs::path& file : files) {
    const std::string where = file.filename().string();
    Opened o;
    ASSERT_EQ(OpenDxfCommand(o.doc, file.string()), OpenResult::Loaded) << where;
    Document& doc = o.doc;
    o.doc.PickTolerance = 0.01;
    SelectEverything(doc);
    ExpectLinksValid(doc.Regions, where);
    const TTNRegionArray original = doc.Regions;
    const double length = Length(original);
    const OpenClosedCount counts = RegionCountOpenClosed(original);

    // Reverse twice gives back every Region exactly.
    ReverseSelectedCommand(doc);
    ReverseSelectedCommand(doc);
    for (size_t i = 1; i < original.size(); ++i) {
      ASSERT_EQ(doc.Regions[i].Elements.size(), original[i].Elements.size());
      EXPECT_EQ(doc.Regions[i].Direction, original[i].Direction);
      for (size_t k = 0; k < original[i].Elements.size(); ++k) {
        const TTNEntity &a = doc.Regions[i].Elements[k], &b = original[i].Elements[k];
        EXPECT_TRUE(a.X == b.X && a.Y == b.Y && a.Radius == b.Radius && a.X2 == b.X2 && a.Y2 == b.Y2)
            << where << " Region " << i;
      }
    }

    // Scale, rotate and move: lengths by the factor, areas by its square,
    // the lower-left corner where the fields say.
    std::vector<double> areas;
    for (size_t i = 1; i < original.size(); ++i) areas.push_back(Area(original[i]));
    const MoveWindowValues shown = MoveWindowRefresh(doc, {});
    MoveFields f;
    f.X = shown.LowerLeftX + 3.5;
    f.Y = shown.LowerLeftY - 2.0;
    f.Scale = 1.75;
    f.RotateDegrees = 33.0;
    MoveApply(doc, f, shown);
    EXPECT_NEAR(Length(doc.Regions), length * 1.75, 1e-9 * length) << where;
    for (size_t i = 1; i < original.size(); ++i)
      if (original[i].Open == 0) {
        EXPECT_NEAR(Area(doc.Regions[i]), areas[i - 1] * 1.75 * 1.75,
                    1e-7 * std::fabs(areas[i - 1]) + 1e-9)
            << where << " Region " << i;
      }
    const MoveWindowValues moved = MoveWindowRefresh(doc, {});
    EXPECT_NEAR(moved.LowerLeftX, f.X, 1e-9);
    EXPECT_NEAR(moved.LowerLeftY, f.Y, 1e-9);
    for (size_t i = 1; i < doc.Regions.size(); ++i) {
      Box before = doc.Regions[i].Bounds();
      RegionBounds(doc.Regions[i]);
      EXPECT_TRUE(BoxesEqual(before, doc.Regions[i].Bounds())) << where << ": stale box";
    }
    doc.Regions = original;

    // Explode then join: the same length and the same closed Regions. (In
    // the demo drawing outlines meet at junctions of three Elements, where
    // chaining follows the order of the loose Elements: its closed count
    // is not kept.)
    const bool junctions = where == "dxf2gcode_DEMO_R10.DXF";
    ExplodeCommand(doc);
    ExpectLinksValid(doc.Regions, where + " explode");
    for (size_t i = 1; i < doc.Regions.size(); ++i) EXPECT_LE(doc.Regions[i].Elements.size(), 1u);
    for (size_t i = 1; i < doc.Regions.size(); ++i) doc.Regions[i].Selected = 1;
    JoinCommand(doc);
    ExpectLinksValid(doc.Regions, where + " join");
    EXPECT_NEAR(Length(doc.Regions), length, 1e-9 * length) << where;
    if (!junctions) {
      EXPECT_EQ(RegionCountOpenClosed(doc.Regions).Closed, counts.Closed) << where;
    }

    // Combine and delete keep every link valid, and delete leaves the
    // unselected Regions.
    doc.Regions = original;
    CombineCommand(doc);
    ExpectLinksValid(doc.Regions, where + " combine");
    const size_t afterCombine = doc.Regions.size();
    EXPECT_LE(afterCombine, original.size());
    for (size_t i = 1; i < doc.Regions.size(); i += 2) doc.Regions[i].Selected = 0;
    size_t unselected = 0;
    for (size_t i = 1; i < doc.Regions.size(); ++i) unselected += doc.Regions[i].Selected == 0;
    DeleteSelectedCommand(doc);
    EXPECT_EQ(doc.Regions.size(), unselected + 1) << where;
    ExpectLinksValid(doc.Regions, where + " delete");
  }
}

TEST(EditCommands, DeleteReverseAndFirstElement) {
  Opened o;
  Document& doc = o.doc;
  doc.Regions.push_back(Square(0, 0, 10));
  doc.Regions.push_back(Poly({{20, 0}, {30, 0}, {30, 5}}, true));
  // Nothing selected: every Region stays; reverse refuses with the warning.
  EXPECT_TRUE(DeleteSelectedCommand(doc).Done);
  EXPECT_EQ(o.ui.Messages.back(), "Deleting Regions Can Not Be Undone.  Are You Sure");
  EXPECT_EQ(doc.Regions.size(), 3u);
  EXPECT_FALSE(ReverseSelectedCommand(doc).Done);
  EXPECT_EQ(o.ui.Messages.back(), "選択されていません");
  EXPECT_FALSE(JoinCommand(doc).Done);
  EXPECT_FALSE(CombineCommand(doc).Done);

  // Third line clicked: third, fourth, first, second.
  const TTNRegion before = doc.Regions[1];
  EXPECT_TRUE(StartChangeFirstElement(doc).ShowDirections);
  EXPECT_EQ(doc.PickMode, kPickFirstElement);
  doc.PickTolerance = 0.5;
  ChangeFirstElementClick(doc, {5.0, 10.1});
  for (int k = 0; k < 4; ++k)
    EXPECT_EQ(doc.Regions[1].Elements[static_cast<size_t>(k)].X, before.Elements[static_cast<size_t>((k + 2) % 4)].X);
  // The first Element clicked, or an open Region: nothing changes.
  const TTNRegion turned = doc.Regions[1];
  ChangeFirstElementClick(doc, {5.0, 10.1});
  EXPECT_EQ(doc.Regions[1].Elements[0].X, turned.Elements[0].X);
  const TTNRegion open = doc.Regions[2];
  ChangeFirstElementClick(doc, {30.1, 2.0});
  EXPECT_EQ(doc.Regions[2].Elements[0].X, open.Elements[0].X);
  EXPECT_EQ(doc.PickMode, kPickFirstElement);

  // Cancelled delete: nothing changes; confirmed: the selected one goes
  // and a link to it with it.
  doc.Regions[1].Selected = 1;
  doc.Regions[2].Parent = 1;
  o.ui.Answer = MsgResult::Cancel;
  EXPECT_FALSE(DeleteSelectedCommand(doc).Done);
  EXPECT_EQ(doc.Regions.size(), 3u);
  o.ui.Answer = MsgResult::Ok;
  DeleteSelectedCommand(doc);
  ASSERT_EQ(doc.Regions.size(), 2u);
  EXPECT_EQ(doc.Regions[1].Open, 1);
  EXPECT_EQ(doc.Regions[1].Parent, 0);
}

TEST(EditCommands, ExplodeAndJoin) {
  Opened o;
  Document& doc = o.doc;
  doc.Regions.push_back(Square(0, 0, 10));
  doc.Regions.push_back(Circle(30, 0, 2));
  doc.Regions[1].Selected = doc.Regions[2].Selected = 1;
  EditResult r = ExplodeCommand(doc);
  EXPECT_EQ(r.Count, 3);
  EXPECT_EQ(o.ui.Status, "3 New Regions Created");
  ASSERT_EQ(doc.Regions.size(), 6u);
  EXPECT_EQ(doc.Regions[2].Selected, 1);  // the circle stays as it was
  for (size_t i : {1u, 3u, 4u, 5u}) {
    EXPECT_EQ(doc.Regions[i].Open, 1);
    EXPECT_EQ(doc.Regions[i].Selected, 0);
  }
  // The circle alone: nothing, no status.
  o.ui.Status.clear();
  EXPECT_EQ(ExplodeCommand(doc).Count, 0);
  EXPECT_TRUE(o.ui.Status.empty());

  // The four lines joined: one closed Region in the options' direction.
  doc.Regions[2].Selected = 0;
  for (size_t i : {1u, 3u, 4u, 5u}) doc.Regions[i].Selected = 1;
  doc.Options.Program.Dir = true;
  JoinCommand(doc);
  ASSERT_EQ(doc.Regions.size(), 3u);
  EXPECT_EQ(doc.Regions[1].Open, 0);
  EXPECT_EQ(RegionIsClockwise(doc.Regions[1]), 1);
  EXPECT_EQ(doc.Regions[2].Elements.size(), 1u);  // the circle after the chains
}

// Combine: the Part's cases, the union's box and area measured exactly.
TEST(EditCommands, CombineCases) {
  struct Case {
    std::vector<TTNRegion> In;
    size_t Out;
    double Area;  // of the first Region after, 0: not checked
  };
  const double circleSquare = 100.0 + kPi * 9.0 - 9.0 * kPi / 4.0;  // circle at a corner
  const std::vector<Case> cases = {
      {{Square(0, 0, 10), Square(5, 5, 10)}, 1, 175.0},
      {{Square(0, 0, 10), Square(20, 0, 10)}, 2, 0.0},
      {{Square(0, 0, 10), Square(2, 2, 3)}, 2, 0.0},
      {{Square(0, 0, 10), Circle(10, 10, 3)}, 1, circleSquare},
      {{Square(0, 0, 10), Square(8, 2, 10), Square(16, 4, 10)}, 1, 268.0},
  };
  for (size_t c = 0; c < cases.size(); ++c) {
    Opened o;
    for (const TTNRegion& r : cases[c].In) {
      o.doc.Regions.push_back(r);
      o.doc.Regions.back().Selected = 1;
    }
    const size_t n0 = cases[c].In.size();
    CombineCommand(o.doc);
    ASSERT_EQ(o.doc.Regions.size() - 1, cases[c].Out) << "case " << c;
    EXPECT_EQ(o.ui.Status, std::to_string(cases[c].Out) + " regions created from " +
                               std::to_string(n0) + " original regions");
    if (cases[c].Area > 0) {
      const TTNRegion& u = o.doc.Regions[1];
      EXPECT_NEAR(std::fabs(Area(u)), cases[c].Area, 1e-9 * cases[c].Area) << "case " << c;
      EXPECT_EQ(u.Selected, 1);
      EXPECT_EQ(u.Open, 0);
    }
  }
}

TEST(EditCommands, MoveWindowAndDepths) {
  Opened o;
  Document& doc = o.doc;
  doc.Regions.push_back(Square(0, 0, 20));
  doc.Regions.push_back(Square(5, 5, 4));
  doc.Regions[1].Selected = doc.Regions[2].Selected = 1;
  doc.Regions[1].Parent = 1;
  doc.Regions[2].Parent = 1;
  doc.Regions[2].Owner = 1;
  doc.Regions[1].Depth = 5;

  // Scale 2 with the fields unchanged: double size, same lower-left corner.
  for (double scale : {2.0, 0.0, 1.0}) {
    const MoveWindowValues v = MoveWindowRefresh(doc, {});
    MoveFields f{v.LowerLeftX + 1.0, v.LowerLeftY, scale, 0.0};
    MoveApply(doc, f, v);
    const MoveWindowValues w = MoveWindowRefresh(doc, {});
    EXPECT_NEAR(w.UpperRightX - w.LowerLeftX, 40.0, 1e-12) << scale;
    EXPECT_NEAR(w.LowerLeftX, v.LowerLeftX + 1.0, 1e-12);
    EXPECT_EQ(FormatMoveValue(w.LowerLeftY), "0.0000");
  }
  // Rotation 90: turned counter-clockwise, lower-left on the fields.
  const MoveWindowValues v = MoveWindowRefresh(doc, {});
  MoveApply(doc, MoveFields{-7.0, 3.0, 0.0, 90.0}, v);
  EXPECT_NEAR(doc.Regions[1].MinX, -7.0, 1e-9);
  EXPECT_NEAR(doc.Regions[1].MinY, 3.0, 1e-9);
  EXPECT_NEAR(doc.Regions[2].MinX, -7.0 + 40 - 18, 1e-9);  // the island turned with it
  doc.Regions[1].Selected = doc.Regions[2].Selected = 0;
  EXPECT_FALSE(MoveApply(doc, MoveFields{}, v).Done);
  doc.Regions[1].Selected = doc.Regions[2].Selected = 1;

  // Islands at 2 stay Islands of a Boundary at 5; at 6 they become Boundaries.
  DepthApply(doc, DepthTarget::Islands, 2.0, 0);
  EXPECT_EQ(doc.Regions[2].Depth, 2.0);
  EXPECT_EQ(doc.Regions[2].Owner, 1);
  DepthApply(doc, DepthTarget::Islands, 6.0, 0);
  EXPECT_EQ(doc.Regions[2].Owner, 0);
  // Single Region out of range: no depth changes, the roles are still decided.
  doc.Regions[1].Depth = 10.0;
  for (int k : {0, 3}) {
    DepthApply(doc, DepthTarget::Single, 1.0, k);
    EXPECT_EQ(doc.Regions[1].Depth, 10.0);
    EXPECT_EQ(doc.Regions[2].Owner, 1);
  }
  DepthApply(doc, DepthTarget::Boundaries, 4.0, 0);
  EXPECT_EQ(doc.Regions[1].Depth, 4.0);
  EXPECT_EQ(doc.Regions[2].Owner, 0);
}

}  // namespace
}  // namespace tarnak
