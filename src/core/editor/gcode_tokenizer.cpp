#include "editor/gcode_tokenizer.h"

namespace tarnak {

GCodeTokenizer::GCodeTokenizer() {
  SetComment("(");
  styles_ = TokenStylesFor(TTNEditorColouring{});
}

void GCodeTokenizer::SetComment(std::string_view comment) {
  for (int c = 0; c < 256; ++c) {
    Rule r = Rule::Other;
    const auto ch = static_cast<unsigned char>(c);
    const unsigned char upper = (ch >= 'a' && ch <= 'z') ? static_cast<unsigned char>(ch - 32) : ch;
    if (c == 0) {
      r = Rule::EndOfLine;
    } else if (c == 10) {
      r = Rule::LineFeed;
    } else if (c == 13) {
      r = Rule::CarriageReturn;
    } else if (c <= 32) {
      r = Rule::Blank;
    } else if (ch == '(' || ch == '*' || ch == '/') {
      r = Rule::Comment;
    } else if (ch == '+' || ch == '-' || ch == '.' || IsDigit(ch)) {
      r = Rule::Number;
    } else if ((upper >= 'A' && upper <= 'D') || (upper >= 'H' && upper <= 'K') ||
               (upper >= 'P' && upper <= 'R') || (upper >= 'W' && upper <= 'Z')) {
      r = Rule::Address;
    } else if (upper == 'F' || upper == 'S' || upper == 'T') {
      r = Rule::TSF;
    } else if (upper == 'G') {
      r = Rule::Command;
    } else if (upper == 'M') {
      r = Rule::MCode;
    } else if (upper == 'N') {
      r = Rule::LineNo;
    }
    rules_[static_cast<std::size_t>(c)] = r;
  }
  // The post's comment character comes before every other rule.
  if (comment.size() == 1) rules_[static_cast<unsigned char>(comment[0])] = Rule::Comment;
}

std::vector<GToken> GCodeTokenizer::Tokenize(std::string_view line) const {
  std::vector<GToken> out;
  Scan(line, [&](const GToken& t) { out.push_back(t); });
  return out;
}

void GCodeTokenizer::SetStyles(const TTNEditorColouring& colouring) {
  styles_ = TokenStylesFor(colouring);
}

namespace {
void ApplyStyle(GTokenStyle& s, EditorStyle style) {
  if (style == EditorStyle::Bold) {
    s.Bold = true;
    s.Italic = false;
  } else if (style == EditorStyle::Italic) {
    s.Bold = false;
    s.Italic = true;
  }
}
GTokenStyle& Of(GTokenStyles& s, GTokenKind k) { return s[static_cast<std::size_t>(k)]; }
}  // namespace

GTokenStyles TokenStylesFor(const TTNEditorColouring& colouring) {
  GTokenStyles s{};
  Of(s, GTokenKind::Address) = {"Axis", true, false, true, colouring.AddressColor};
  ApplyStyle(Of(s, GTokenKind::Address), colouring.AddressStyle);
  Of(s, GTokenKind::Comment) = {"Comment", false, true, true, colouring.CommentColor};
  ApplyStyle(Of(s, GTokenKind::Comment), colouring.CommentStyle);
  Of(s, GTokenKind::Command) = {"GCode", true, false, true, colouring.CommandColor};
  ApplyStyle(Of(s, GTokenKind::Command), colouring.CommandStyle);
  Of(s, GTokenKind::LineNo) = {"LineNo", true, false, true, kLineNumberColour};
  Of(s, GTokenKind::MCode) = {"MCode", true, false, true, colouring.AddressColor};
  Of(s, GTokenKind::Number) = {"Number", false, false, false, 0};
  Of(s, GTokenKind::Space) = {"Space", false, false, false, 0};
  Of(s, GTokenKind::TSF) = {"TSF", true, false, false, 0};
  Of(s, GTokenKind::Other) = {"Space", false, false, false, 0};
  Of(s, GTokenKind::EndOfLine) = {"", false, false, false, 0};
  return s;
}

void ConfigureTokenizer(GCodeTokenizer& tokenizer, const TTNPostProcessor& post,
                        const TTNEditorColouring& colouring) {
  tokenizer.SetComment(post.Comment);
  tokenizer.SetStyles(colouring);
}

}  // namespace tarnak
