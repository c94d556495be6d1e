// The G-code tokenizer: splits one line of an NC program into tokens for the
// editor's colouring and for the NC reader, with no window behind it.
//
// Every character has one scanning rule, chosen once when the tokenizer is
// configured for a post (ConfigureTokenizer): the post's one-character
// Comment text opens a comment before anything else, so a post whose
// comments start with ';' gets ';' comments while any other post sees ';'
// as an ordinary character. A line is then scanned left to right, each
// rule taking its run of characters. The table is 256 bytes so a scan is a
// lookup per character; the reader of a million-line program runs it on
// every line.
//
// The styles of the kinds (bold, italic, colour) come from the editor
// colour options as plain data, so the editor pane's lexer only maps
// kinds to its own styles.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/options.h"
#include "post/post_definition.h"

namespace tarnak {

enum class GTokenKind : std::uint8_t {
  Address,   // "Axis": one address letter A-D, H-K, P-R, W-Z
  Comment,   // "Comment": to the end of the line
  Command,   // "GCode": G and its digits
  LineNo,    // "LineNo": N and its digits
  MCode,     // "MCode": M and its digits
  Number,    // "Number": a run of + - . and digits, stopping before ".."
  Space,     // "Space": blanks
  TSF,       // "TSF": F, S or T and its run of digits, ',' and '.'
  Other,     // any other character, drawn like "Space"
  EndOfLine, // NUL: the rest of the line is not scanned
};
inline constexpr int kGTokenKindCount = 10;

struct GToken {
  std::uint32_t Start = 0;   // byte offset in the line
  std::uint32_t Length = 0;
  GTokenKind Kind = GTokenKind::Other;
  friend bool operator==(const GToken&, const GToken&) = default;
};

// How a kind is drawn: the attribute name, its style and, when HasColour,
// its colour (0x00BBGGRR).
struct GTokenStyle {
  std::string_view Attribute;
  bool Bold = false;
  bool Italic = false;
  bool HasColour = false;
  Colour Color = 0;  // 0x00BBGGRR
};
using GTokenStyles = std::array<GTokenStyle, kGTokenKindCount>;

// The green of line numbers, whatever the options say.
inline constexpr Colour kLineNumberColour = 32768;

class GCodeTokenizer {
 public:
  // Scanning rules of one character.
  enum class Rule : std::uint8_t {
    Comment, EndOfLine, Blank, LineFeed, CarriageReturn, Number, Address, TSF, Command, MCode,
    LineNo, Other,
  };

  // Configured for a post whose Comment is "(".
  GCodeTokenizer();

  // The character table for a post whose Comment text is `comment`; only a
  // text of exactly one character gets a rule of its own.
  void SetComment(std::string_view comment);
  Rule RuleOf(unsigned char c) const { return rules_[c]; }

  // Calls sink(const GToken&) for each token of the line, left to right.
  // (Not "emit": Qt defines that word away, and the window scans too.)
  template <class Sink>
  void Scan(std::string_view line, Sink&& sink) const;

  std::vector<GToken> Tokenize(std::string_view line) const;

  const GTokenStyles& Styles() const { return styles_; }
  void SetStyles(const TTNEditorColouring& colouring);

  static bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

 private:
  std::array<Rule, 256> rules_{};
  GTokenStyles styles_{};
};

// The styles the options give each kind: the start style of the kind, made
// bold by a style value of 1 and italic by 2; line numbers always green,
// M words in the address colour.
GTokenStyles TokenStylesFor(const TTNEditorColouring& colouring);

// Builds the character table from the post's Comment text (and the styles
// from the options). The NC reader builds its word tables beside it.
void ConfigureTokenizer(GCodeTokenizer& tokenizer, const TTNPostProcessor& post,
                        const TTNEditorColouring& colouring);

// ---- the scan ----------------------------------------------------------------

template <class Sink>
void GCodeTokenizer::Scan(std::string_view line, Sink&& sink) const {
  const std::size_t n = line.size();
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(line[i]); };
  std::size_t i = 0;
  while (i < n) {
    const std::size_t start = i;
    GTokenKind kind = GTokenKind::Other;
    switch (rules_[at(i)]) {
      case Rule::Comment:
        kind = GTokenKind::Comment;
        i = n;
        break;
      case Rule::EndOfLine:
        sink(GToken{static_cast<std::uint32_t>(i), 0, GTokenKind::EndOfLine});
        return;
      case Rule::Blank:
        kind = GTokenKind::Space;
        while (i < n && rules_[at(i)] == Rule::Blank) ++i;
        break;
      case Rule::LineFeed:
        kind = GTokenKind::Space;
        ++i;
        break;
      case Rule::CarriageReturn:
        kind = GTokenKind::Space;
        ++i;
        if (i < n && line[i] == '\n') ++i;
        break;
      case Rule::Number:
        kind = GTokenKind::Number;
        while (i < n) {
          const unsigned char c = at(i);
          if (c == '.' && i + 1 < n && line[i + 1] == '.') break;
          if (!(IsDigit(c) || c == '+' || c == '-' || c == '.')) break;
          ++i;
        }
        if (i == start) {  // ".." at the start: one character of its own
          kind = GTokenKind::Other;
          ++i;
        }
        break;
      case Rule::Address:
        kind = GTokenKind::Address;
        ++i;
        break;
      case Rule::TSF:
        kind = GTokenKind::TSF;
        ++i;
        while (i < n && (IsDigit(at(i)) || line[i] == ',' || line[i] == '.')) ++i;
        break;
      case Rule::Command:
      case Rule::MCode:
      case Rule::LineNo:
        kind = rules_[at(i)] == Rule::Command ? GTokenKind::Command
               : rules_[at(i)] == Rule::MCode ? GTokenKind::MCode
                                              : GTokenKind::LineNo;
        ++i;
        while (i < n && IsDigit(at(i))) ++i;
        break;
      case Rule::Other:
        kind = GTokenKind::Other;
        ++i;
        break;
    }
    sink(GToken{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(i - start), kind});
  }
}

}  // namespace tarnak
