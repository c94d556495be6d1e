#include "post/nc_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

#include "geometry/primitives.h"
#include "post/posts_file.h"
#include "shell/save_command.h"
#include "base/numbers.h"
#include "test_ui.h"
#include "toolpaths/motion_list.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

TTNToken Tok(int variable, std::string designation, std::string format = "%1.4f") {
  TTNToken t;
  t.Variable = variable;
  t.Designation = std::move(designation);
  t.Format = std::move(format);
  return t;
}

TTNScript Scr(std::string command, std::vector<std::pair<int, bool>> items) {
  TTNScript s;
  s.Command = std::move(command);
  for (const auto& [token, modal] : items) s.Items.push_back({token, modal});
  return s;
}

constexpr int N = TokenSlot::Nt, X = TokenSlot::Xt, Y = TokenSlot::Yt, Z = TokenSlot::Zt,
              I = TokenSlot::It, J = TokenSlot::Jt, F = TokenSlot::Ft, C = -1;

// A post whose Continuous scripts carry their own command words (L1, R1,
// C1, A1, D1), so that the slot of every block can be read off the output.
TTNPostProcessor TestPost() {
  TTNPostProcessor p;
  p.Name = "Test";
  p.Comment = "(";
  p.EndComment = ")";
  p.IncludeComment = true;
  p.Start = 10;
  p.Increment = 10;
  p.MaxBlock = 99999;
  p.Header = {"%", "G90"};
  p.Footer = {"M30", "%"};
  for (auto& t : p.Tokens) t = Tok(TokenVar::None, "null", "");
  p.Tokens[X] = Tok(TokenVar::Ex, " X");
  p.Tokens[Y] = Tok(TokenVar::Ey, " Y");
  p.Tokens[Z] = Tok(TokenVar::Ez, " Z");
  p.Tokens[I] = Tok(TokenVar::Ii, " I");
  p.Tokens[J] = Tok(TokenVar::Ji, " J");
  p.Tokens[N] = Tok(TokenVar::Nv, "N", "%d");
  p.Tokens[F] = Tok(TokenVar::Fr, " F", "%1.1f");
  p.Tokens[TokenSlot::St] = Tok(TokenVar::Ss, " S", "%d");
  p.Tokens[TokenSlot::Tt] = Tok(TokenVar::Tn, " T", "%d");
  p.Tokens[TokenSlot::Ct] = Tok(TokenVar::Cv, " R");
  const std::vector<std::pair<int, bool>> lin = {{N, false}, {C, false}, {X, true}, {Y, true}, {Z, true}, {F, true}};
  const std::vector<std::pair<int, bool>> rap = {{N, false}, {C, false}, {X, true}, {Y, true}, {Z, true}};
  const std::vector<std::pair<int, bool>> arc = {{N, false}, {C, false}, {X, true}, {Y, true},
                                                 {Z, true},  {I, false}, {J, false}, {F, true}};
  p.Scripts[0] = Scr(" G01", lin);
  p.Scripts[1] = Scr(" L1", lin);
  p.Scripts[2] = Scr(" G00", rap);
  p.Scripts[3] = Scr(" R1", rap);
  p.Scripts[4] = Scr(" G02", arc);
  p.Scripts[5] = Scr(" C1", arc);
  p.Scripts[6] = Scr(" G03", arc);
  p.Scripts[7] = Scr(" A1", arc);
  p.Scripts[8] = Scr(" G81", {{N, false}, {C, false}, {X, false}, {Y, false}, {Z, false},
                              {TokenSlot::Ct, false}, {F, false}});
  p.Scripts[9] = Scr(" D1", {{N, false}, {C, false}, {X, true}, {Y, true}, {Z, true}});
  p.ToolBlock.ToolScripts[0] = Scr(" M06", {{N, false}, {TokenSlot::Tt, false}, {C, false}});
  p.ToolBlock.ToolScripts[1] = Scr(" M03", {{N, false}, {TokenSlot::St, false}, {C, false}});
  return p;
}

TTNOutRegion Path(TTNEntityArray elements, int link = kLinkRetract, double depth = 1.0,
                  int tool = 1) {
  TTNOutRegion tp;
  tp.Feed = 200;
  tp.PlungeFeed = 50;
  tp.SpindleSpeed = 12000;
  tp.ToolNumber = tool;
  tp.Depth = depth;
  tp.RapidLevel = -5;
  tp.LinkKind = link;
  tp.Elements = std::move(elements);
  return tp;
}

TTNOutRegionArray List(std::vector<TTNOutRegion> paths) {
  TTNOutRegionArray list(1);
  for (auto& p : paths) list.push_back(std::move(p));
  return list;
}

class NcWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDecimalSeparator('.');
    std::random_device rd;
    folder_ = fs::temp_directory_path() /
              ("tarnak_nc_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
    fs::create_directories(folder_);
    file_ = folder_ / "out.nc";
    params_.RapidHeight = 5;
  }
  void TearDown() override {
    SetDecimalSeparator('.');
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  std::string ReadRaw() const {
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The lines of the file; every line must end with CR LF.
  Lines ReadLines() const {
    const std::string raw = ReadRaw();
    Lines lines;
    std::size_t at = 0;
    while (at < raw.size()) {
      const std::size_t end = raw.find("\r\n", at);
      if (end == std::string::npos) {
        ADD_FAILURE() << "line without CR LF at the end of the file: " << raw.substr(at);
        break;
      }
      EXPECT_EQ(raw.substr(at, end - at).find('\n'), std::string::npos) << "bare LF";
      lines.push_back(raw.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  }
  Lines Write(const TTNOutRegionArray& list, const Lines& comments = {}) {
    WriteNC2D(list, comments, params_, post_, file_);
    return ReadLines();
  }
  // The lines between the Header and the Footer.
  Lines Body(const TTNOutRegionArray& list) {
    post_.IncludeComment = false;
    Lines all = Write(list);
    const std::size_t h = post_.Header.size(), f = post_.Footer.size();
    EXPECT_GE(all.size(), h + f);
    return Lines(all.begin() + static_cast<long>(h), all.end() - static_cast<long>(f));
  }

  TTNPostProcessor post_ = TestPost();
  TTNMachiningParameters params_;
  fs::path folder_;
  fs::path file_;
};

// ---- the whole program ---------------------------------------------------------

TEST_F(NcWriterTest, RetractLinkedContourAndProgramFrame) {
  const auto list = List({Path({MakeLine(0, 0, 10, 0), MakeLine(10, 0, 10, 5)})});
  const Lines lines = Write(list, {"(Created now)", "(Post = Test)"});
  const Lines expected = {
      "(Created now)", "(Post = Test)", "%", "G90",
      "N10 T1 M06", "N20 S12000 M03",
      "N30 G00 Z5.0000",         // up where the tool stands, wherever that is
      "N40 R1 X0.0000 Y0.0000",  // across to the start at the rapid height
      "N50 G01 Z-1.0000 F50.0",           // plunge with the plunge feed
      "N60 L1 X10.0000 F200.0",           // the feed word again, now the cutting feed
      "N70 L1 Y5.0000",
      "N80 G00 Z5.0000",                  // final retract
      "M30", "%"};
  EXPECT_EQ(lines, expected);
}

TEST_F(NcWriterTest, ModalWordsAndContinuousScripts) {
  // line, line (same Y), CCW arc, CCW arc, line, then a second path linked
  // at depth.
  TTNOutRegion a = Path({MakeLine(0, 0, 10, 0), MakeLine(10, 0, 20, 0),
                         MakeArc(20, 5, 5, -kPi / 2, 0), MakeArc(20, 5, 5, 0, kPi / 2),
                         MakeLine(20, 10, 0, 10)});
  TTNOutRegion b = Path({MakeLine(0, 10, 0, 0)}, kLinkFeedAtDepth);
  b.Feed = 300;
  const Lines body = Body(List({a, b}));
  const Lines expected = {
      "N10 T1 M06", "N20 S12000 M03", "N30 G00 Z5.0000", "N40 R1 X0.0000 Y0.0000",
      "N50 G01 Z-1.0000 F50.0",
      "N60 L1 X10.0000 F200.0",
      "N70 L1 X20.0000",                           // Y unchanged: no Y word
      "N80 G03 X25.0000 Y5.0000 I0.0000 J5.0000",  // I and J are never modal
      "N90 A1 X20.0000 Y10.0000 I-5.0000 J0.0000",
      "N100 G01 X0.0000",
      "N110 L1 F300.0",  // link at depth: in place here, but with the new feed
      "N120 L1 Y0.0000",
      "N130 G00 Z5.0000"};
  EXPECT_EQ(body, expected);
}

TEST_F(NcWriterTest, LineNumbersWrapAtMaxBlock) {
  post_.MaxBlock = 30;
  post_.ToolBlock = {};
  const Lines body = Body(List({Path({MakeLine(0, 0, 1, 0), MakeLine(1, 0, 2, 0),
                                      MakeLine(2, 0, 3, 0)})}));
  std::vector<std::string> numbers;
  for (const auto& l : body) numbers.push_back(l.substr(0, l.find(' ')));
  EXPECT_EQ(numbers, (Lines{"N10", "N20", "N30", "N10", "N20", "N30", "N10"}));
}

TEST_F(NcWriterTest, EmptyToolScriptLinesUseNoNumberEmptyHeaderLinesDo) {
  post_.ToolBlock.ToolScripts[0] = Scr("<null>", {{C, false}});  // writes nothing
  post_.ToolBlock.ToolHeader = {""};  // N + "" is not empty: written
  post_.ToolBlock.ToolFooter = {" M08"};
  const Lines body = Body(List({Path({MakeLine(0, 0, 1, 0)})}));
  ASSERT_GE(body.size(), 4u);
  EXPECT_EQ(body[0], "N10");
  EXPECT_EQ(body[1], "N20 S12000 M03");  // the empty line 0 took no number
  EXPECT_EQ(body[2], "N30 M08");
  EXPECT_EQ(body[3], "N40 G00 Z5.0000");

  // Without a line number the empty ToolHeader line is not written, but it
  // still uses its number.
  post_.Tokens[N] = Tok(TokenVar::None, "null", "");
  post_.Scripts[2].Items.push_back({TokenSlot::Misc1t, false});
  post_.Tokens[TokenSlot::Misc1t] = Tok(TokenVar::Nv, " (", "%d)");
  const Lines plain = Body(List({Path({MakeLine(0, 0, 1, 0)})}));
  EXPECT_EQ(plain[0], " S12000 M03");
  EXPECT_EQ(plain[1], " M08");
  EXPECT_EQ(plain[2], " G00 Z5.0000 (40)");
}

TEST_F(NcWriterTest, ToolChangesOnlyOnANewTool) {
  const auto list = List({Path({MakeLine(0, 0, 1, 0)}, kLinkRetract, 1, 1),
                          Path({MakeLine(1, 0, 2, 0)}, kLinkRetract, 1, 1),
                          Path({}, kLinkRetract, 1, 7),  // no Elements: nothing at all
                          Path({MakeLine(2, 0, 3, 0)}, kLinkRetract, 1, 2),
                          Path({MakeLine(3, 0, 4, 0)}, kLinkRetract, 1, 1)});
  const Lines body = Body(list);
  Lines tools;
  for (const auto& l : body) {
    if (l.find("M06") != std::string::npos) tools.push_back(l.substr(l.find(' ') + 1));
  }
  EXPECT_EQ(tools, (Lines{"T1 M06", "T2 M06", "T1 M06"}));
}

TEST_F(NcWriterTest, EmptyListStillRetractsAndFrames) {
  post_.IncludeComment = false;
  EXPECT_EQ(Write(List({Path({}, kLinkRetract, 1, 3)})),
            (Lines{"%", "G90", "N10 G00 X0.0000 Y0.0000 Z5.0000", "M30", "%"}));

  // The final retract is written even when every word is suppressed.
  post_.Scripts[2] = Scr("<null>", {});
  EXPECT_EQ(Write(List({})), (Lines{"%", "G90", "", "M30", "%"}));
}

TEST_F(NcWriterTest, LinkKindsThreeTwoFourAndLeadMoves) {
  // 3: plunge where the tool stands; 2: the path without a link; 4: nothing.
  // Where the tool stands at the start nobody knows: even a path "already
  // in place" at the origin is reached by a retract and a rapid.
  TTNOutRegion inPlace = Path({MakeLine(0, 0, 5, 0)}, kLinkInPlace, 2);
  TTNOutRegion two = Path({MakeLine(5, 0, 5, 5)}, kLinkNone, 2);
  TTNOutRegion four = Path({MakeLine(9, 9, 8, 8)}, kLinkSkip, 2);
  const Lines body = Body(List({inPlace, two, four}));
  const Lines expected = {"N10 T1 M06", "N20 S12000 M03", "N30 G00 Z5.0000",
                          "N40 R1 X0.0000 Y0.0000", "N50 G01 Z-2.0000 F50.0",
                          "N60 L1 X5.0000 F200.0", "N70 L1 Y5.0000",
                          // kind 4 leaves the tool where it was
                          "N80 G00 Z5.0000"};
  EXPECT_EQ(body, expected);

  // Lead moves: feed to the entry's start, the entry, the path, the exit.
  TTNOutRegion lead = Path({MakeLine(10, 0, 20, 0)});
  lead.LeadMoves = 1;
  lead.EntryMove = MakeArc(10, 2, 2, kPi, 3 * kPi / 2);  // (8,2) -> (10,0)
  lead.EntryMove.Mark = true;
  lead.ExitMove = MakeLine(20, 0, 22, 0);
  lead.ExitMove.Mark = true;
  TTNOutRegion next = Path({MakeLine(30, 0, 31, 0)});
  const Lines leadBody = Body(List({lead, next}));
  const Lines leadExpected = {
      "N10 T1 M06", "N20 S12000 M03", "N30 G00 Z5.0000",
      "N40 R1 X8.0000 Y2.0000",                  // to the entry's start
      "N50 G01 Z-1.0000 F50.0", "N60 L1 F200.0",  // the feed to the start changes nothing but F
      "N70 G03 X10.0000 Y0.0000 I2.0000 J0.0000", "N80 G01 X20.0000", "N90 L1 X22.0000",
      "N100 G00 Z5.0000",                         // retract at the exit's end
      "N110 R1 X30.0000", "N120 G01 Z-1.0000 F50.0", "N130 L1 X31.0000 F200.0",
      "N140 G00 Z5.0000"};
  EXPECT_EQ(leadBody, leadExpected);
}

TEST_F(NcWriterTest, DrillBlocksUseTheContinuousSlotAfterADrill) {
  TTNOutRegion h1 = Path({MakeLine(1, 1, 1, 1)}, kLinkDrillCanned, 3);
  TTNOutRegion h2 = Path({MakeLine(4, 1, 4, 1)}, kLinkDrillCanned, 3);
  TTNOutRegion h3 = Path({MakeLine(4, 6, 4, 6)}, kLinkDrillLinear, 4);
  const Lines body = Body(List({h1, h2, h3}));
  // The first hole is reached at the rapid height before its cycle starts.
  const Lines expected = {"N10 T1 M06", "N20 S12000 M03", "N30 G00 Z5.0000",
                          "N40 R1 X1.0000 Y1.0000",
                          "N50 G81 X1.0000 Y1.0000 Z-3.0000 R5.0000 F200.0",
                          "N60 D1 X4.0000", "N70 D1 Y6.0000 Z-4.0000",
                          "N80 G00 Z5.0000"};
  EXPECT_EQ(body, expected);
}

TEST_F(NcWriterTest, PlasmaPostsSwitchTheTorchOnInsteadOfPlunging) {
  post_.Tokens[TokenSlot::Misc5t] = Tok(TokenVar::None, " M07", "");
  const auto list = List({Path({MakeLine(0, 0, 10, 0)}), Path({MakeLine(10, 5, 0, 5)})});
  for (const std::string name : {"Plasma1", "plasma cutter", "Plasm"}) {
    post_.Name = name;
    const Lines body = Body(list);
    const bool plasma = name != "Plasm";
    ASSERT_GE(body.size(), 6u) << name;
    if (plasma) {
      EXPECT_EQ(body[4], "N50 M07") << name;
      // The feed word is written with the first cut of every toolpath.
      EXPECT_EQ(body[5], "N60 G01 X10.0000 Z-1.0000 F200.0") << name;
      EXPECT_EQ(body[8], "N90 M07") << name;
      EXPECT_EQ(body[9], "N100 G01 X0.0000 Z-1.0000 F200.0") << name;
    } else {
      EXPECT_EQ(body[4], "N50 G01 Z-1.0000 F50.0") << name;
    }
  }
}

TEST_F(NcWriterTest, CommaDecimalSeparator) {
  SetDecimalSeparator(',');
  const Lines body = Body(List({Path({MakeLine(0, 0, 12.5, 0)})}));
  EXPECT_EQ(body[5], "N60 L1 X12,5000 F200,0");
}

TEST_F(NcWriterTest, AppendOrOverwrite) {
  post_.IncludeComment = false;
  const auto list = List({Path({MakeLine(0, 0, 1, 0)})});
  const Lines once = Write(list);
  post_.Append = true;
  Lines twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(Write(list), twice);
  post_.Append = false;
  EXPECT_EQ(Write(list), once);
}

TEST_F(NcWriterTest, FormatErrorStopsAtTheBlockAndKeepsTheLinesBefore) {
  post_.IncludeComment = false;
  post_.Tokens[I].Format = "%s";
  const auto list = List({Path({MakeLine(0, 0, 10, 0), MakeLine(10, 0, 10, 10),
                                MakeArc(5, 10, 5, 0, kPi)})});
  EXPECT_THROW(WriteNC2D(list, {}, params_, post_, file_), FormatError);
  const Lines lines = ReadLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "N70 L1 Y10.0000");
  EXPECT_EQ(lines.size(), 2u + 7u);
}

TEST_F(NcWriterTest, FileErrorsNameTheFileAndTheReason) {
  const fs::path missing = folder_ / "no such folder" / "out.nc";
  try {
    WriteNC2D(List({}), {}, params_, post_, missing);
    FAIL() << "no error";
  } catch (const NcWriteError& e) {
    EXPECT_EQ(e.file(), missing);
    EXPECT_NE(std::string(e.what()).find(missing.string()), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
  }
  if (fs::exists("/dev/full")) {
    try {
      WriteNC2D(List({Path({MakeLine(0, 0, 1, 0)})}), {}, params_, post_, "/dev/full");
      FAIL() << "no error";
    } catch (const NcWriteError& e) {
      EXPECT_NE(std::string(e.what()).find("/dev/full"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("No space left"), std::string::npos) << e.what();
    }
  }
}

TEST_F(NcWriterTest, LongProgramsLeaveNothingOut) {
  // Several buffer chunks: every block numbered once, in order.
  post_.IncludeComment = false;
  post_.MaxBlock = 99999999;
  post_.ToolBlock = {};
  TTNEntityArray zigzag;
  for (int i = 0; i < 60000; ++i) zigzag.push_back(MakeLine(i, i % 2, i + 1, (i + 1) % 2));
  const Lines body = Body(List({Path(zigzag)}));
  ASSERT_EQ(body.size(), 3u + 60000u + 1u);
  for (std::size_t k = 0; k < body.size(); ++k) {
    ASSERT_EQ(body[k].substr(1, body[k].find(' ') - 1), std::to_string(10 * (k + 1)));
  }
  EXPECT_EQ(body[60002], "N600030 L1 X60000.0000 Y0.0000");
}

// ---- the steps on their own --------------------------------------------------------

TEST_F(NcWriterTest, StepsAsTheWriterUsesThem) {
  // An arc is an arc even when the rapid flag is set.
  int motion = MotionState::CcwArc;
  EXPECT_EQ(ClassifyMove(MakeArc(0, 0, 1, 0, 1), motion, true), ScriptSlot::CcwArcContinuous);
  EXPECT_EQ(ClassifyMove3D(motion, false), ScriptSlot::Linear);

  const TTNVariables arc = MoveVariables(MakeArc(3, 4, -2, kPi, kPi / 2), 1.5, 70);
  EXPECT_NEAR(arc[TokenVar::Sx], 1, 1e-12);
  EXPECT_NEAR(arc[TokenVar::Ey], 6, 1e-12);
  EXPECT_EQ(arc[TokenVar::Ez], -1.5);
  EXPECT_EQ(arc[TokenVar::Rad], 2);
  EXPECT_NEAR(arc[TokenVar::Ii], 2, 1e-12);
  EXPECT_EQ(arc[TokenVar::Cv], 0);  // no value in a move: 0

  TTNTokenString current, previous;
  TTNOutRegion tp = Path({MakeLine(0, 0, 1, 0)}, kLinkRetract);
  current[TokenSlot::Misc2t] = "old";
  current[TokenSlot::Ct] = "kept";
  ToolpathTokens(tp, post_, current);
  EXPECT_EQ(current[F], " F200.0");
  EXPECT_EQ(current[TokenSlot::St], " S12000");
  EXPECT_EQ(current[TokenSlot::Misc2t], "");
  EXPECT_EQ(current[TokenSlot::Ct], "kept");  // LinkKind 1: no clearance word
  tp.LinkKind = kLinkDrillCanned;
  tp.RapidLevel = -2.5;
  ToolpathTokens(tp, post_, current);
  EXPECT_EQ(current[TokenSlot::Ct], " R2.5000");

  // A move block updates every previous text, modal or not in its script.
  previous[Y] = " Y0.0000";
  current[TokenSlot::Misc3t] = "x";
  motion = MotionState::Linear;
  EXPECT_EQ(BuildMoveBlock(MakeLine(0, 0, 1, 0), post_, previous, false, 40, 2, motion, current),
            "N40 L1 X1.0000 Z-2.0000 F200.0");
  EXPECT_EQ(previous, current);
  EXPECT_EQ(BuildMoveBlock(MakeLine(1, 0, 1, 0), post_, previous, false, 50, 2, motion, current),
            "N50 L1");

  // Tool-script lines write every word and leave the previous texts alone.
  const TTNTokenString before = previous;
  EXPECT_EQ(BuildToolScriptLine(post_, 0, 4, 60, current), "N60 T1 M06");  // Tt keeps its text
  EXPECT_EQ(current[N], "N60");
  EXPECT_EQ(previous, before);

  // Drill blocks keep the clearance text.
  current[TokenSlot::Ct] = " R9.0000";
  EXPECT_EQ(BuildDrillBlock(MakeLine(2, 3, 2, 3), post_, previous, current, ScriptSlot::Drill, 70,
                            1),
            "N70 G81 X2.0000 Y3.0000 Z-1.0000 R9.0000 F200.0");
}

// The writer skips formatting words whose value did not change and copies
// only changed texts between blocks; it must write exactly what block-by-
// block formatting from scratch gives.
TEST_F(NcWriterTest, ShortcutsWriteWhatPlainFormattingWrites) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(0, 6);
  post_.IncludeComment = false;
  post_.ToolBlock = {};
  post_.Header = {};
  post_.Footer = {};
  post_.MaxBlock = 480;  // line numbers come back every 48 blocks
  post_.Tokens[TokenSlot::Misc1t] = Tok(TokenVar::Sx, " U");  // only in CW arcs
  post_.Scripts[4].Items.push_back({TokenSlot::Misc1t, true});
  post_.Scripts[1].Items.push_back({TokenSlot::Misc1t, true});  // ...and continuous lines
  // A second word of the line number, spelled otherwise than N.
  post_.Tokens[TokenSlot::Misc2t] = Tok(TokenVar::Nv, " Q", "%05d");
  post_.Scripts[0].Items.push_back({TokenSlot::Misc2t, false});
  post_.Scripts[6].Items.push_back({TokenSlot::Misc2t, true});
  // Words longer than the usual short ones, modal and not.
  post_.Tokens[TokenSlot::Misc3t] =
      Tok(TokenVar::Ey, " (a designation longer than any usual word)Y", "%1.6f");
  post_.Scripts[1].Items.push_back({TokenSlot::Misc3t, true});
  post_.Scripts[7].Items.push_back({TokenSlot::Misc3t, false});
  post_.Tokens[TokenSlot::Misc4t] = Tok(TokenVar::None, " (a literal word of more than forty characters)");
  post_.Scripts[2].Items.push_back({TokenSlot::Misc4t, false});
  TTNOutRegionArray list(1);
  for (int p = 0; p < 40; ++p) {
    TTNEntityArray els;
    double x = coord(rng), y = coord(rng);
    for (int e = 0; e < 30; ++e) {
      const double nx = coord(rng), ny = coord(rng);
      if (e % 3 == 2) {
        const double r = 1 + coord(rng);
        els.push_back(MakeArc(x, y - r, rng() % 2 ? r : -r, kPi / 2, kPi / 2 + 0.5 * coord(rng)));
        const Point2 end = ElementEnd(els.back());
        x = end.X;
        y = end.Y;
      } else {
        els.push_back(MakeLine(x, y, nx, ny));
        x = nx;
        y = ny;
      }
    }
    list.push_back(Path(els, p % 3 == 0 ? kLinkRetract : kLinkFeedAtDepth, 1 + p % 2));
  }
  // Line numbers from the usual sequence, from one that starts below zero
  // and steps unevenly, and one that never moves.
  for (const auto& [start, increment] : {std::pair{10, 10}, std::pair{-35, 7}, std::pair{5, 0}}) {
    post_.Start = start;
    post_.Increment = increment;
    const Lines written = Write(list);

    // The same program block by block through the public steps, each of
    // which formats from scratch, motion by motion of the motion list.
    Lines expected;
    TTNTokenString current, previous;
    double n = post_.Start - post_.Increment;
    int motion = MotionState::None;
    auto block = [&](const Motion& m, bool writeEmpty) {
      NextLineNumber(n, post_.Increment, post_);
      const std::string text = BuildMotionBlock(m, post_, previous, n, motion, current);
      if (!text.empty() || writeEmpty) expected.push_back(text);
    };
    double feed = 0;
    for (const Motion& m : BuildMotionList(list, params_.RapidHeight)) {
      switch (m.Kind) {
        case MotionKind::Rates:
          ToolpathTokens(list[static_cast<std::size_t>(m.Source)], post_, current);
          feed = m.Feed;
          break;
        case MotionKind::ToolChange:  // the post has no tool block
          break;
        case MotionKind::Drill:
          FAIL() << "no holes here";
        default:
          if (m.Part == MotionPart::Plunge) {
            previous[F].clear();
            current[F] = FormatTokenValue(post_.Tokens[F], m.Feed);
            block(m, false);
            current[F] = FormatTokenValue(post_.Tokens[F], feed);
          } else {
            block(m, m.Part == MotionPart::End);
          }
      }
    }
    ASSERT_EQ(written.size(), expected.size());
    for (std::size_t k = 0; k < written.size(); ++k) {
      ASSERT_EQ(written[k], expected[k])
          << k << " (Start " << start << ", Increment " << increment << ")";
    }
  }
}

// ---- 3D passes -------------------------------------------------------------------

TTNOutRegion3D Pass(std::vector<TTNPoint3D> points, int link = kLinkRetract, int tool = 1) {
  TTNOutRegion3D p;
  p.Feed = 300;
  p.PlungeFeed = 100;
  p.SpindleSpeed = 9000;
  p.ToolNumber = tool;
  p.Name = "Rough";
  p.Level = -1.25;
  p.RapidLevel = 4;
  p.LinkKind = link;
  p.Points = std::move(points);
  return p;
}

TEST_F(NcWriterTest, ThreeDPassesNumberEverythingAndWriteEmptyBlocks) {
  post_.ToolBlock.ToolHeader = {""};
  post_.ToolBlock.ToolScripts[1] = Scr("<null>", {{C, false}});
  params_.RapidHeight = 6;
  const TTNOutRegionArray3D passes = {
      Pass({{kPoint3DCut, 1, 0, -1}, {kPoint3DCut, 2, 0, -1}, {kPoint3DRapid, 2, 0, 3}}),
      Pass({}),  // no points: left out
      Pass({{kPoint3DCut, 2, 1, -2}}, kLinkFeedAtDepth),
      // After a tool change nobody knows where the tool is: no feed across.
      Pass({{kPoint3DCut, 3, 1, -2}}, kLinkFeedAtDepth, 2)};
  WriteNC3D(passes, {"(c)"}, params_, post_, file_);
  const Lines expected = {
      "N10(c)", "N20%", "N30G90",  // numbered without the wrap check
      "N40(Begin Next Pass Rough at -1.250)",
      "N50",         // an empty ToolHeader line is written in 3D
      "N60 T1 M06",  // the empty tool script took no number
      // Where the tool stands is unknown: up where it is, then across at
      // the rapid height, never a diagonal rapid to the origin.
      "N70 G00 Z6.0000",
      "N80 R1 X1.0000 Y0.0000",
      "N90 G01 Z-1.0000 F100.0",  // 3D Z is the point's own
      "N100 L1 F300.0",
      "N110 L1 X2.0000",
      "N120 G00 Z3.0000",
      "N130(Begin Next Pass Rough at -1.250)",
      "N140 G01 Y1.0000 Z-2.0000",  // link 0 feeds from (2, 0, 6) without a retract
      "N150 L1",
      "N160(Begin Next Pass Rough at -1.250)",
      "N170",
      "N180 T2 M06",
      "N190 G00 Z6.0000",
      "N200 R1 X3.0000",
      "N210 G01 Z-2.0000 F100.0",
      "N220 L1 F300.0",
      "N230 G00 Z6.0000",
      "N240M30", "N250%"};
  EXPECT_EQ(ReadLines(), expected);
}

TEST_F(NcWriterTest, ThreeDWithoutPointsWritesNothing) {
  std::ofstream(file_, std::ios::binary) << "old";
  WriteNC3D({}, {"(c)"}, params_, post_, file_);
  EXPECT_EQ(ReadRaw(), "");
  post_.Append = true;
  std::ofstream(file_, std::ios::binary) << "old";
  WriteNC3D({Pass({})}, {"(c)"}, params_, post_, file_);
  EXPECT_EQ(ReadRaw(), "old");
}

// ---- the save command --------------------------------------------------------------

TEST_F(NcWriterTest, SaveCommandCommentsAndAppendDecision) {
  testing::TestUserInterface ui;
  Document doc(ui);
  doc.PostDefinition = post_;
  doc.FileName = "bracket (2)";
  doc.MachiningParams.RapidHeight = 5;
  doc.MachiningParams.Rough.ToolNumber = 3;
  doc.MachiningParams.Rough.Name = "6mm end";
  doc.MachiningParams.Finish.ToolNumber = 4;
  doc.MachiningParams.Finish.Name = "3mm ball";
  doc.Toolpaths = List({Path({MakeLine(0, 0, 1, 0)})});
  SaveToolpathsOptions options;
  const auto fixed = std::chrono::system_clock::now();
  options.Clock = [&] { return fixed; };
  const std::string created =
      "(Created " + LocalTimeText(fixed) + " " + LocalDateText(fixed) + " from bracket [2])";

  SaveToolpathsCommand(doc, file_, options);
  Lines lines = ReadLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], created);
  EXPECT_EQ(lines[1], "(Post = Test)");
  EXPECT_EQ(lines[2], "(Tool 3 = 6mm end)");
  EXPECT_EQ(lines[3], "%");
  const std::size_t size = lines.size();

  doc.MachiningParams.FinishMode = kFinishIslands;
  options.IfExists = ExistingNcFile::Append;
  SaveToolpathsCommand(doc, file_, options);
  lines = ReadLines();
  ASSERT_EQ(lines.size(), 2 * size + 1);
  EXPECT_EQ(lines[size + 3], "(Finish Tool 4 = 3mm ball)");
  EXPECT_TRUE(doc.PostDefinition.Append);

  options.IfExists = ExistingNcFile::Overwrite;
  SaveToolpathsCommand(doc, file_, options);
  EXPECT_EQ(ReadLines().size(), size + 1);

  // A file that does not exist is created whatever the answer.
  options.IfExists = ExistingNcFile::Append;
  fs::remove(file_);
  SaveToolpathsCommand(doc, file_, options);
  EXPECT_FALSE(doc.PostDefinition.Append);
  EXPECT_EQ(ReadLines().size(), size + 1);

  // STL mode writes the passes.
  doc.StlMode = true;
  const TTNOutRegionArray3D passes = {Pass({{kPoint3DCut, 1, 1, -1}})};
  options.Passes3D = &passes;
  options.IfExists = ExistingNcFile::Overwrite;
  SaveToolpathsCommand(doc, file_, options);
  lines = ReadLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "N10" + created);

  EXPECT_EQ(NcFileFilter(doc.PostDefinition), "Test Files (*.Dnc)|*.Dnc|All Files (*.*)|*.*");
  EXPECT_EQ(ProposedNcFileName(doc), "bracket (2).Dnc");
}

TEST(NcCommentText, DelimitersInsideACommentAreReplaced) {
  TTNPostProcessor post;
  post.Comment = "(";
  post.EndComment = ")";
  EXPECT_EQ(CommentSafeText(post, "a (b) c"), "a [b] c");
  post.Comment = "[";
  post.EndComment = "]";
  EXPECT_EQ(CommentSafeText(post, "x[1]"), "x<1>");
  post.Comment = ";";
  post.EndComment = "";
  EXPECT_EQ(CommentSafeText(post, "a (b); c"), "a (b); c");
}

TEST(NcCommentText, TimeAndDateFollowTheClock) {
  // 2001-02-03 04:05:06 local time.
  std::tm tm{};
  tm.tm_year = 101;
  tm.tm_mon = 1;
  tm.tm_mday = 3;
  tm.tm_hour = 4;
  tm.tm_min = 5;
  tm.tm_sec = 6;
  tm.tm_isdst = -1;
  const auto when = std::chrono::system_clock::from_time_t(std::mktime(&tm));
  const std::string time = LocalTimeText(when), date = LocalDateText(when);
  EXPECT_NE(time.find("05"), std::string::npos) << time;
  EXPECT_NE(date.find("03"), std::string::npos) << date;
  EXPECT_EQ(time.find('\n'), std::string::npos);

  // An environment naming a locale that does not exist falls back to the
  // classic formats instead of failing.
  const char* saved = std::getenv("LC_ALL");
  const std::string before = saved != nullptr ? saved : "";
  ::setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);
  EXPECT_EQ(LocalTimeText(when), "04:05:06");
  EXPECT_EQ(LocalDateText(when), "02/03/01");
  if (saved != nullptr) {
    ::setenv("LC_ALL", before.c_str(), 1);
  } else {
    ::unsetenv("LC_ALL");
  }
}

// ---- the shipped posts file ------------------------------------------------------------

TEST_F(NcWriterTest, ShippedPostsAreCopiedOnceIntoTheSettingsFolder) {
  const fs::path data = ShippedDataFolder({});
  ASSERT_FALSE(data.empty());
  EXPECT_TRUE(fs::exists(data / "Posts.Cfg"));

  const fs::path settings = folder_ / "settings";
  fs::create_directories(settings);
  EXPECT_TRUE(EnsurePostsFile(settings, data));
  EXPECT_EQ(fs::file_size(settings / "Posts.Cfg"), fs::file_size(data / "Posts.Cfg"));
  std::ofstream(settings / "Posts.Cfg", std::ios::binary) << "[Mine]\r\n";
  EXPECT_FALSE(EnsurePostsFile(settings, data));
  EXPECT_EQ(fs::file_size(settings / "Posts.Cfg"), 8u);
  EXPECT_FALSE(EnsurePostsFile(folder_ / "other", folder_ / "nothing here"));
  EXPECT_THROW(EnsurePostsFile(folder_ / "no such folder", data), FileError);
  // Nothing half-copied is left behind.
  for (const auto& entry : fs::directory_iterator(settings)) {
    EXPECT_EQ(entry.path().filename(), "Posts.Cfg");
  }
}

}  // namespace
}  // namespace tarnak
