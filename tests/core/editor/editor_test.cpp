// The G-code tokenizer and the renumbering: the character table follows
// the post's comment character, runs stop where they must, styles follow
// the options, and Remove / Add / ReNumber keep comment lines and wrap.
#include <gtest/gtest.h>

#include "editor/gcode_tokenizer.h"
#include "editor/renumber.h"
#include "nc_test_post.h"

namespace tarnak {
namespace {

std::string Kinds(const GCodeTokenizer& t, std::string_view line) {
  std::string s;
  for (const GToken& k : t.Tokenize(line)) {
    static const char* names = "ACGLMNsTo0";
    s += names[static_cast<int>(k.Kind)];
    s += std::to_string(k.Length);
  }
  return s;
}

TEST(GCodeTokenizer, RunsAndTheCommentCharacterOfThePost) {
  TTNPostProcessor post = testing::IncrementalCentrePost();
  GCodeTokenizer t;
  post.Comment = ";";
  ConfigureTokenizer(t, post, {});
  // G01, blank, X, 1, blank, ";note" as comment.
  EXPECT_EQ(Kinds(t, "G01 X1 ;note"), "G3s1A1N1s1C5");
  post.Comment = "(";
  ConfigureTokenizer(t, post, {});
  EXPECT_EQ(Kinds(t, "G01 X1 ;note"), "G3s1A1N1s1o1L1o1T1o1");  // ';' other; n, o, t, e by their own rules
  // Numbers stop before "..", F/S/T take digits, ',' and '.', N and M
  // their digits; 'g01' is a command word too; NUL ends the line.
  EXPECT_EQ(Kinds(t, "X1..2"), "A1N1o1N2");
  EXPECT_EQ(Kinds(t, "F1,5.0 S300 T2"), "T6s1T4s1T2");
  EXPECT_EQ(Kinds(t, "N0010 M06 g01"), "L5s1M3s1G3");
  EXPECT_EQ(Kinds(t, std::string_view("X1\0Y2", 5)), "A1N100");
  EXPECT_EQ(Kinds(t, "(a comment) X1"), "C14");

  TTNEditorColouring c;
  c.CommandStyle = EditorStyle::Italic;
  c.CommentStyle = EditorStyle::Bold;
  c.AddressColor = 255;
  const GTokenStyles s = TokenStylesFor(c);
  const auto at = [&](GTokenKind k) { return s[static_cast<std::size_t>(k)]; };
  EXPECT_TRUE(at(GTokenKind::Command).Italic);
  EXPECT_FALSE(at(GTokenKind::Command).Bold);
  EXPECT_TRUE(at(GTokenKind::Comment).Bold);
  EXPECT_TRUE(at(GTokenKind::Address).Bold);  // style 0 keeps the start style
  EXPECT_EQ(at(GTokenKind::LineNo).Color, kLineNumberColour);
  EXPECT_EQ(at(GTokenKind::MCode).Color, 255u);
  EXPECT_EQ(at(GTokenKind::Other).Attribute, "Space");
}

TEST(Renumbering, RemoveAddWrapAndComments) {
  TTNPostProcessor post = testing::IncrementalCentrePost();
  std::vector<std::string> lines = {"N0010 G01", "N10", "G00 X1"};
  RemoveLineNumbers(lines, post);
  EXPECT_EQ(lines, (std::vector<std::string>{"G01", "N10", "G00 X1"}));

  lines = {"G01 X1", "(comment)", "G01 X2"};
  AddLineNumbers(lines, post, {"100", "5", true});
  EXPECT_EQ(lines, (std::vector<std::string>{"N100 G01 X1", "(comment)", "N105 G01 X2"}));

  post.MaxBlock = 110;
  lines = {"A", "B", "C", "D"};
  AddLineNumbers(lines, post, {"100", "5", false});
  EXPECT_EQ(lines, (std::vector<std::string>{"N100A", "N105B", "N110C", "N100D"}));

  lines = {"N7 G01 X1", "(c)", "N8 G00"};
  post.MaxBlock = 99999999;
  Renumber(lines, post, {"", "10", true});  // empty start is 0
  EXPECT_EQ(lines, (std::vector<std::string>{"N0 G01 X1", "(c)", "N10 G00"}));

  bool crlf = false;
  const std::vector<std::string> split = SplitLines("a\r\nb\r\n", crlf);
  EXPECT_EQ(JoinLines(split, crlf), "a\r\nb\r\n");
}

}  // namespace
}  // namespace tarnak
