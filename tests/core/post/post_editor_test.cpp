// The post editor's rules apart from its controls: the token and script
// pages with their examples, what the save button writes (and that it
// reads back unchanged for every shipped post), its questions and
// refusals, and the NC program of a saved post run through rs274.
#include "post/post_editor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "base/numbers.h"
#include "geometry/primitives.h"
#include "post/nc_writer.h"
#include "rs274_oracle.h"
#include "shell/document.h"
#include "shell/save_command.h"
#include "shell/strategy_commands.h"
#include "test_files.h"
#include "test_ui.h"
#include "toolpaths/machining_params.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;
using testing::TestUserInterface;

class PostEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDecimalSeparator('.');
    std::random_device rd;
    folder_ = fs::temp_directory_path() /
              ("tarnak_post_editor_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
    fs::create_directories(folder_);
    file_ = folder_ / "Posts.Cfg";
  }
  void TearDown() override {
    SetDecimalSeparator('.');
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  static fs::path Shipped() { return fs::path(TARNAK_SOURCE_DIR) / "data" / "Posts.Cfg"; }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : ui_.Messages) texts.push_back(m.Text);
    return texts;
  }

  fs::path folder_;
  fs::path file_;
  TestUserInterface ui_;
};

TTNToken Token(std::string designation, int variable, std::string format, bool plus) {
  TTNToken t;
  t.Designation = std::move(designation);
  t.Variable = variable;
  t.Format = std::move(format);
  t.Plus = plus;
  return t;
}

// Every field, so that a difference names the field.
void ExpectSamePost(const TTNPostProcessor& a, const TTNPostProcessor& b) {
  EXPECT_EQ(a.Name, b.Name);
  EXPECT_EQ(a.Extension, b.Extension);
  EXPECT_EQ(a.ToolChange, b.ToolChange);
  EXPECT_EQ(a.Comment, b.Comment);
  EXPECT_EQ(a.EndComment, b.EndComment);
  EXPECT_EQ(a.DecimalPoint, b.DecimalPoint);
  EXPECT_EQ(a.Start, b.Start);
  EXPECT_EQ(a.Increment, b.Increment);
  EXPECT_EQ(a.IncludeComment, b.IncludeComment);
  EXPECT_EQ(a.MaxBlock, b.MaxBlock);
  EXPECT_EQ(a.Header, b.Header);
  EXPECT_EQ(a.Footer, b.Footer);
  for (std::size_t t = 0; t < a.Tokens.size(); ++t) EXPECT_EQ(a.Tokens[t], b.Tokens[t]) << "token " << t;
  for (std::size_t s = 0; s < a.Scripts.size(); ++s) EXPECT_EQ(a.Scripts[s], b.Scripts[s]) << "script " << s;
  EXPECT_EQ(a.ToolBlock, b.ToolBlock);
}

TEST_F(PostEditorTest, TokenAndScriptPagesAndTheirExamples) {
  TTNPostProcessor def;
  // Xt: variable Ex, address X, three places, no plus.
  TokenPageFields page{"X", TokenVar::Ex, "3", false};
  CreateToken(def.Tokens[TokenSlot::Xt], page);
  EXPECT_EQ(TokenLine(def.Tokens[TokenSlot::Xt]), "4*X*%1.3f*F");
  EXPECT_EQ(TokenExample(def.Tokens[TokenSlot::Xt]), "X15.346");  // sample value 4
  CreateToken(def.Tokens[TokenSlot::Yt], {"Y", TokenVar::Ey, "3", false});

  // The script slot is 2 x script choice + variant.
  const int slot = ScriptSlotOf(0, 1);
  EXPECT_EQ(slot, ScriptSlot::LinearContinuous);
  EXPECT_EQ(ScriptSlotOf(4, 0), ScriptSlot::Drill);
  EXPECT_EQ(ScriptSlotOf(5, 0), -1);
  EXPECT_EQ(ScriptSlotOf(1, 2), -1);
  TTNScript& script = def.Scripts[static_cast<std::size_t>(slot)];
  script = {"G01", {}};
  EXPECT_FALSE(AddScriptCommand(script, ""));  // "Enter a command above first!"
  EXPECT_TRUE(script.Items.empty());
  EXPECT_TRUE(AddScriptCommand(script, "G01"));
  AddScriptToken(script, TokenSlot::Xt, true);
  AddScriptToken(script, TokenSlot::Yt, true);
  EXPECT_EQ(script.Items, (TTNScriptArray{{-1, false}, {0, true}, {1, true}}));
  EXPECT_EQ(ScriptExample(def, slot), "G01<X15.346><Y16.346>");
  // Not modal: no brackets; feed, speed and tool show sample values too;
  // "<null>" writes nothing.
  CreateToken(def.Tokens[TokenSlot::Ft], {"F", TokenVar::Fr, "1", true});
  script.Command = std::string(kNullCommand);
  AddScriptToken(script, TokenSlot::Ft, false);
  EXPECT_EQ(ScriptExample(def, slot), "<X15.346><Y16.346>F+27.3");
  EXPECT_EQ(ScriptCommandText(script), "");

  // The page of a token: the digits after the first '.', all of them; a
  // Format without '.' leaves the field as it was.
  TokenPageFields shown = TokenPageOf(def.Tokens[TokenSlot::Ft], "4");
  EXPECT_EQ(shown.Address, "F");
  EXPECT_EQ(shown.Variable, TokenVar::Fr);
  EXPECT_EQ(shown.Places, "1");
  EXPECT_TRUE(shown.Plus);
  const TTNToken wide = Token("X", TokenVar::Ex, "%1.10f", false);
  EXPECT_EQ(TokenPageOf(wide, "4").Places, "10");
  EXPECT_EQ(TokenPageOf(Token("T", TokenVar::Tn, "%02d", false), "7").Places, "7");
  EXPECT_EQ(TokenPageOf(Token("", TokenVar::Cleared, "", false), "").Variable, -1);
  EXPECT_EQ(TokenPageOf(Token("Q", 40, "%1.2f", false), "").Variable, -1);

  // Empty places are 0; places that are not a whole number keep the
  // token's Format and Plus but take the new address and variable.
  TTNToken z = Token("Z", TokenVar::Ez, "%1.4f", false);
  CreateToken(z, {"Z", TokenVar::Ez, "", false});
  EXPECT_EQ(z.Format, "%1.0f");
  for (const char* bad : {"2.5", "x", "-", "-1", "1000", "99999999999"}) {
    TTNToken t = Token("Z", TokenVar::Ez, "%1.4f", false);
    try {
      CreateToken(t, {"W", TokenVar::Sz, bad, true});
      ADD_FAILURE() << bad << " taken";
    } catch (const ConvertError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Decimal places: '", 0), 0u) << e.what();
    }
    EXPECT_EQ(t, Token("W", TokenVar::Sz, "%1.4f", false)) << bad;
  }

  // Clear: nothing is written for the token.
  ClearToken(def.Tokens[TokenSlot::Xt]);
  EXPECT_EQ(def.Tokens[TokenSlot::Xt].Variable, -1);
  EXPECT_EQ(TokenExample(def.Tokens[TokenSlot::Xt]), "");
  EXPECT_EQ(ScriptExample(def, slot), "<><Y16.346>F+27.3");
  // A Format that cannot take a number shows why instead of an example.
  EXPECT_NE(TokenExample(Token("X", TokenVar::Ex, "%s", false)).find("%s"), std::string::npos);
}

TEST_F(PostEditorTest, HeaderAndFooterTextLines) {
  EXPECT_TRUE(TextLines("").empty());
  EXPECT_EQ(TextLines("%\r\nG21\n"), (std::vector<std::string>{"%", "G21"}));
  EXPECT_EQ(TextLines("\n"), (std::vector<std::string>{""}));
  EXPECT_EQ(TextLines("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(LinesText({"M05", "M30", "%"}), "M05\nM30\n%");
  for (const std::vector<std::string>& lines : std::vector<std::vector<std::string>>{
           {}, {""}, {"", ""}, {"", "x", ""}, {"G90", "", "M30"}}) {
    EXPECT_EQ(TextLines(LinesText(lines)), lines);
  }
}

// Saved under a new name and loaded again, a definition is the same in
// every field: a copy keeps its tool change, numbering and tool scripts.
TEST_F(PostEditorTest, SavedUnderANewNameLoadsBackTheSame) {
  fs::copy_file(Shipped(), file_);
  TTNPostProcessor def;
  ASSERT_TRUE(EditorLoadPost(ui_, def, "Default", file_));
  ASSERT_FALSE(def.ToolBlock.ToolScripts[0].Items.empty());
  CreateToken(def.Tokens[TokenSlot::Xt], {"X", TokenVar::Ex, "3", false});
  PostGeneralFields fields = GeneralFieldsOf(def);
  fields.Extension = "ngc";
  fields.Header = "%\nG21 G90\n";
  ASSERT_TRUE(EditorSavePost(ui_, def, fields, " My Mill ", file_));
  EXPECT_EQ(Texts(), std::vector<std::string>{"My Mill Saved!"});  // no question: a new name

  TTNPostProcessor back;
  ASSERT_TRUE(LoadPostDefinition(back, "My Mill", file_));
  TTNPostProcessor expected = PostToSave(def, fields);
  expected.Name = "My Mill";
  ExpectSamePost(back, expected);
  EXPECT_EQ(back.Header, (std::vector<std::string>{"%", "G21 G90"}));
  EXPECT_EQ(ListPostNames(file_).back(), "My Mill");
  EXPECT_EQ(testing::TemporariesIn(folder_), 0);
}

// Every shipped post, loaded, saved over itself and loaded again, is what
// it was, and so is a copy under a new name; the file keeps every byte.
TEST_F(PostEditorTest, EveryShippedPostSurvivesLoadSaveLoad) {
  fs::copy_file(Shipped(), file_);
  const std::string original = testing::ReadAll(file_);
  const std::vector<std::string> names = ListPostNames(Shipped());
  ASSERT_GE(names.size(), 6u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    TTNPostProcessor loaded;
    ASSERT_TRUE(LoadPostDefinition(loaded, name, Shipped()));
    ui_.Messages.clear();
    ui_.Answers = {MsgResult::Yes};
    ASSERT_TRUE(EditorSavePost(ui_, loaded, GeneralFieldsOf(loaded), name, file_));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Post <" + name + "> Exists!  Overwrite it?",
                                                  name + " Saved!"}));
    TTNPostProcessor again;
    ASSERT_TRUE(LoadPostDefinition(again, name, file_));
    ExpectSamePost(again, loaded);
  }
  EXPECT_EQ(testing::ReadAll(file_), original);

  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    TTNPostProcessor loaded;
    ASSERT_TRUE(LoadPostDefinition(loaded, name, Shipped()));
    ASSERT_TRUE(EditorSavePost(ui_, loaded, GeneralFieldsOf(loaded), name + " copy", file_));
    TTNPostProcessor copy;
    ASSERT_TRUE(LoadPostDefinition(copy, name + " copy", file_));
    loaded.Name = name + " copy";
    ExpectSamePost(copy, loaded);
  }
}

TEST_F(PostEditorTest, QuestionsAndRefusalsLeaveTheFileAsItWas) {
  fs::copy_file(Shipped(), file_);
  const std::string before = testing::ReadAll(file_);
  struct stat st {};
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  const ino_t inode = st.st_ino;
  TTNPostProcessor def;
  ASSERT_TRUE(LoadPostDefinition(def, "Hobby", file_));
  const PostGeneralFields fields = GeneralFieldsOf(def);

  for (const char* name : {"", " ", "None"}) {
    EXPECT_FALSE(EditorSavePost(ui_, def, fields, name, file_));
    EXPECT_FALSE(EditorDeletePost(ui_, name, file_));
  }
  EXPECT_EQ(Texts(), std::vector<std::string>(3, "Enter a unique name for this processor"));

  ui_.Messages.clear();
  ui_.Answers = {MsgResult::No};
  EXPECT_FALSE(EditorSavePost(ui_, def, fields, "default", file_));  // names ignore case
  EXPECT_EQ(Texts(), std::vector<std::string>{"Post <default> Exists!  Overwrite it?"});

  // What could not be read back is refused whole, with the reason.
  ui_.Messages.clear();
  TTNPostProcessor starred = def;
  starred.Tokens[TokenSlot::Zt].Designation = "Z*";
  EXPECT_FALSE(EditorSavePost(ui_, starred, fields, "Starred", file_));
  ASSERT_EQ(ui_.Messages.size(), 1u);
  EXPECT_NE(ui_.Messages[0].Text.find("Zt"), std::string::npos);
  PostGeneralFields tall = fields;
  tall.Footer = std::string(30, '\n');
  EXPECT_FALSE(EditorSavePost(ui_, def, tall, "Tall", file_));

  ui_.Answers = {MsgResult::No};
  EXPECT_TRUE(!EditorDeletePost(ui_, "Hobby", file_));
  EXPECT_EQ(testing::ReadAll(file_), before);
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_ino, inode);  // not even rewritten

  // Loading a missing name says so and leaves the definition alone.
  ui_.Messages.clear();
  const TTNPostProcessor kept = def;
  EXPECT_FALSE(EditorLoadPost(ui_, def, "Nope", file_));
  EXPECT_EQ(Texts(), std::vector<std::string>{"Post Processor Nope not found!"});
  EXPECT_EQ(def, kept);

  ui_.Messages.clear();
  ui_.Answers = {MsgResult::Yes};
  EXPECT_TRUE(EditorDeletePost(ui_, "Hobby", file_));
  EXPECT_EQ(Texts(), std::vector<std::string>{"Are you sure you want to delete Hobby"});
  EXPECT_FALSE(PostExists("Hobby", file_));
  // Replaced through a temporary file renamed into place.
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  EXPECT_NE(st.st_ino, inode);
  EXPECT_EQ(testing::TemporariesIn(folder_), 0);
}

// A post changed in the editor and saved under a new name writes, once
// loaded, the very program the edited definition writes, and rs274 runs
// it along the outlines.
TEST_F(PostEditorTest, SavedPostWritesTheSameProgramAndRs274RunsIt) {
  if (!testing::Rs274Available()) GTEST_SKIP() << "rs274 is missing (package linuxcnc-uspace)";
  fs::copy_file(Shipped(), file_);
  TestUserInterface docUi;
  Document doc(docUi);
  ASSERT_TRUE(LoadPostDefinition(doc.PostDefinition, "Default", file_));
  TTNPostProcessor& edited = doc.PostDefinition;
  for (const auto& [slot, variable, address] :
       {std::tuple{TokenSlot::Xt, TokenVar::Ex, " X"}, {TokenSlot::Yt, TokenVar::Ey, " Y"},
        {TokenSlot::Zt, TokenVar::Ez, " Z"}}) {
    CreateToken(edited.Tokens[static_cast<std::size_t>(slot)], {address, variable, "3", false});
  }
  ASSERT_TRUE(EditorSavePost(ui_, edited, GeneralFieldsOf(edited), "Three Places", file_));

  // A rectangle and a circle, cut 1 deep.
  doc.Regions.resize(1);
  auto add = [&](TTNEntityArray elements) {
    TTNRegion r;
    r.Elements = std::move(elements);
    r.Selected = 1;
    RegionBounds(r);
    doc.Regions.push_back(r);
  };
  add({MakeLine(0, 0, 20, 0), MakeLine(20, 0, 20, 10), MakeLine(20, 10, 0, 10), MakeLine(0, 10, 0, 0)});
  add({MakeArc(40, 5, 4, 0, 0)});
  TTNMachiningParameters& p = doc.MachiningParams;
  p.Rough = {};
  p.Rough.ToolNumber = 1;
  p.Rough.Feed = 300;
  p.Rough.PlungeFeed = 100;
  p.Rough.SpindleSpeed = 12000;
  p.Rough.ZStep = 1;
  p.RapidHeight = 5;
  p.Compensation = kCompNone;
  p.Depth = 1;
  ASSERT_EQ(ContourCommand(doc), ContourResult::Made);

  TTNPostProcessor saved;
  ASSERT_TRUE(LoadPostDefinition(saved, "Three Places", file_));
  saved.Name = edited.Name;  // the comment lines name the post
  const auto when = std::chrono::system_clock::time_point{};
  const fs::path fromEdited = folder_ / "edited.ngc", fromSaved = folder_ / "saved.ngc";
  WriteNC2D(doc.Toolpaths, NcCommentLines(edited, p, "part", when), p, edited, fromEdited);
  WriteNC2D(doc.Toolpaths, NcCommentLines(saved, p, "part", when), p, saved, fromSaved);
  const std::string program = testing::ReadAll(fromSaved);
  EXPECT_EQ(program, testing::ReadAll(fromEdited));
  EXPECT_NE(program.find(" X20.000"), std::string::npos) << program;

  const testing::Rs274Result r = testing::RunRs274(fromSaved, folder_);
  ASSERT_TRUE(r.Clean()) << r.Errors << program;
  std::size_t feeds = 0;
  bool corner = false;
  for (const testing::Rs274ToolRun& run : r.Tools) {
    EXPECT_EQ(run.Tool, 1);
    for (const testing::Rs274Point& q : run.Feeds) {
      ++feeds;
      const bool onRectangle =
          (std::fabs(q.X) < 1e-3 || std::fabs(q.X - 20) < 1e-3 || std::fabs(q.Y) < 1e-3 ||
           std::fabs(q.Y - 10) < 1e-3) &&
          q.X > -1e-3 && q.X < 20 + 1e-3 && q.Y > -1e-3 && q.Y < 10 + 1e-3;
      const bool onCircle = std::fabs(std::hypot(q.X - 40, q.Y - 5) - 4) < 1e-3;
      EXPECT_TRUE(onRectangle || onCircle) << q.X << ", " << q.Y;
      EXPECT_NEAR(q.Z, -1, 1e-3);
      corner = corner || (std::fabs(q.X - 20) < 1e-3 && std::fabs(q.Y - 10) < 1e-3);
    }
  }
  EXPECT_GE(feeds, 6u);
  EXPECT_TRUE(corner);
}

}  // namespace
}  // namespace tarnak
