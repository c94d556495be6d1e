// The post-processor definition: how every word of the NC output is spelled
// for one machine control, and its home, the sections of "Posts.Cfg".
//
// A definition is a plain record. Its 16 tokens are the words of the NC
// language (an address plus one formatted number, or a literal text), its
// 10 scripts say which tokens make up a linear, rapid, arc or drill block,
// and the tool block says what is written at a tool change. The NC writer
// spells every word through FormatToken / FormatTokenValue.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarnak {

// Loading or saving a definition failed because of what the file or the
// definition holds; what() names the post, the file, the key and the text.
class PostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ---- slots and variables ----------------------------------------------

// Token slots. The slot gives a token its role in the NC writer; Xt..Rt and
// the Misc tokens take their meaning from their Variable only.
namespace TokenSlot {
inline constexpr int Xt = 0;
inline constexpr int Yt = 1;
inline constexpr int Zt = 2;
inline constexpr int It = 3;
inline constexpr int Jt = 4;
inline constexpr int Rt = 5;
inline constexpr int Nt = 6;  // line number
inline constexpr int Ft = 7;  // feed, formatted once per toolpath
inline constexpr int St = 8;  // spindle speed, once per toolpath
inline constexpr int Tt = 9;  // tool, once per toolpath
inline constexpr int Ct = 10; // clearance, once per toolpath
inline constexpr int Misc1t = 11;
inline constexpr int Misc2t = 12;
inline constexpr int Misc3t = 13;
inline constexpr int Misc4t = 14;
inline constexpr int Misc5t = 15;  // its Designation is a plasma post's torch-on line
}  // namespace TokenSlot
inline constexpr int kTokenCount = 16;

// Variables: which number of the move a token writes.
namespace TokenVar {
inline constexpr int None = 0;  // literal token: the Designation alone
inline constexpr int Sx = 1;    // start point
inline constexpr int Sy = 2;
inline constexpr int Sz = 3;
inline constexpr int Ex = 4;    // end point
inline constexpr int Ey = 5;
inline constexpr int Ez = 6;
inline constexpr int Sa = 7;    // arc start angle, radians
inline constexpr int Ea = 8;    // arc end angle
inline constexpr int Rad = 9;   // arc radius
inline constexpr int Cx = 10;   // arc centre
inline constexpr int Cy = 11;
inline constexpr int Ii = 12;   // arc centre relative to the start point
inline constexpr int Ji = 13;
inline constexpr int Cv = 14;   // clearance value
inline constexpr int Nv = 15;   // line number
inline constexpr int Fr = 16;   // feed
inline constexpr int Ss = 17;   // spindle speed
inline constexpr int Tn = 18;   // tool number
inline constexpr int Cleared = -1;  // the editor emptied the token
}  // namespace TokenVar
inline constexpr int kVariableCount = 19;

// Script slots: 2 x kind + variant; the variant 1 ("Continuous") is used
// for a block that follows one of the same kind, 0 ("Single Move") else.
namespace ScriptSlot {
inline constexpr int Linear = 0;
inline constexpr int LinearContinuous = 1;
inline constexpr int Rapid = 2;
inline constexpr int RapidContinuous = 3;
inline constexpr int CwArc = 4;
inline constexpr int CwArcContinuous = 5;
inline constexpr int CcwArc = 6;
inline constexpr int CcwArcContinuous = 7;
inline constexpr int Drill = 8;
inline constexpr int DrillContinuous = 9;
}  // namespace ScriptSlot
inline constexpr int kScriptCount = 10;
inline constexpr int kToolScriptCount = 3;

// A script item with this Token writes the script's Command.
inline constexpr int kScriptCommandItem = -1;
// A Command or Designation text that stands for no text at all.
inline constexpr std::string_view kNullCommand = "<null>";
inline constexpr std::string_view kNullDesignation = "null";

// At most this many Header, Footer, ToolHeader and ToolFooter lines.
inline constexpr int kMaxPostLines = 26;

inline constexpr std::string_view kPostsFileName = "Posts.Cfg";

// "Xt".."Misc5t" for slots 0..15, "" otherwise.
std::string_view TokenSlotName(int slot);
// "Sx".."Tn" for 1..18, "(none)" for 0, "" otherwise.
std::string_view VariableName(int variable);

// ---- records ----------------------------------------------------------

namespace post_detail {
enum class FormatKind : std::uint8_t {
  Empty,  // no Format: no number is written
  Fast,   // fixed or integer conversion written without the general formatter
  Slow,   // left to FormatNumber / FormatInteger
  Bad,    // cannot take one number; Error says why
};

// A token's Format parsed once for the fast path of FormatToken; rebuilt
// whenever the Format text no longer matches Source. Not part of what the
// token means: comparing and saving tokens ignore it.
struct ParsedTokenFormat {
  std::string Source;
  bool Built = false;
  FormatKind Kind = FormatKind::Empty;
  bool IntegerRule = false;     // the Format holds a 'd' somewhere
  bool IntConversion = false;   // %d / %D rather than %f / %F
  bool Left = false, PlusFlag = false, Space = false, Zero = false;
  // Fast, and nothing but the number itself: no flags, no padding, no
  // literal text around it ("%1.4f", "%.3f", "%d").
  bool Plain = false;
  std::int16_t Width = 0;
  std::int16_t Precision = -1;
  std::string Prefix, Suffix;   // literal text around the number
  std::string Error;            // why the Format cannot be used
};
}  // namespace post_detail

// One word of the NC language.
struct TTNToken {
  std::string Designation;  // address or literal text; "null" = no text
  int Variable = 0;         // TokenVar; 0 = literal token, -1 = cleared
  std::string Format;       // printf-style, one number, e.g. "%1.4f"
  bool Plus = false;        // write "+" between Designation and number

  // Not safe to format the same token object from two threads at once.
  mutable post_detail::ParsedTokenFormat Parsed;

  friend bool operator==(const TTNToken& a, const TTNToken& b) {
    return a.Designation == b.Designation && a.Variable == b.Variable && a.Format == b.Format &&
           a.Plus == b.Plus;
  }
};

struct TTNScriptItem {
  int Token = 0;       // token slot 0..15, or kScriptCommandItem
  bool Modal = false;  // write only when the text changed since the last block
  friend bool operator==(const TTNScriptItem&, const TTNScriptItem&) = default;
};
using TTNScriptArray = std::vector<TTNScriptItem>;

// One block layout.
struct TTNScript {
  std::string Command;  // e.g. "G01"; "<null>" = none
  TTNScriptArray Items;
  friend bool operator==(const TTNScript&, const TTNScript&) = default;
};

// What is written at a tool change.
struct TTNMiniPost {
  std::vector<std::string> ToolHeader;
  std::vector<std::string> ToolFooter;
  std::array<TTNScript, kToolScriptCount> ToolScripts;
  friend bool operator==(const TTNMiniPost&, const TTNMiniPost&) = default;
};

// The formatted text of every token slot (slots 0..15 are used).
using TTNTokenString = std::array<std::string, 24>;

// One value per variable, indexed by TokenVar.
using TTNVariables = std::array<double, kVariableCount>;

// The post-processor definition. A default-constructed one holds the start
// values the program runs with until a post is loaded.
struct TTNPostProcessor {
  std::string Name = "Orvano";
  std::string Extension = "Dnc";  // of the NC files, without the dot
  std::string ToolChange = "M06"; // kept, not written by the NC writer
  std::string Comment = "(";
  std::string EndComment = ")";
  bool DecimalPoint = false;      // true '.', false ','
  std::int32_t Start = 0;         // first line number
  std::int32_t Increment = 0;     // never negative after loading
  bool Append = false;            // next output appends to the file
  bool IncludeComment = false;
  std::int32_t MaxBlock = 0;      // the number after it restarts at Start
  std::vector<std::string> Header;
  std::vector<std::string> Footer;
  std::array<TTNToken, kTokenCount> Tokens;
  std::array<TTNScript, kScriptCount> Scripts;
  TTNMiniPost ToolBlock;
  friend bool operator==(const TTNPostProcessor&, const TTNPostProcessor&) = default;
};

// ---- lifecycle ----------------------------------------------------------

// Empties the four text lists (Header, Footer, ToolHeader, ToolFooter).
void CreatePostDefinition(TTNPostProcessor& def);
// Empties the four text lists and gives back their memory.
void FreePostDefinition(TTNPostProcessor& def);

// ---- reading ------------------------------------------------------------

// Loads the section `name` of the settings file at `path` into def.
//
// Returns false, def untouched, when name is "New" or empty, the file does
// not exist or has no such section. Keys that are missing take their
// defaults, except the Tokens and Scripts lines, which keep what def held
// (a hand-made section inherits the previous post's words). Sets the
// process-wide decimal separator from the DecimalCharacter key.
//
// Throws PostError for a token line whose Variable is not an integer or a
// script line with a token field that is not an integer or not a token
// slot; loading stops there and what was read before stays applied (the
// bad entry itself is left as it was). Throws FileError when the file
// exists but cannot be read.
bool LoadPostDefinition(TTNPostProcessor& def, std::string_view name,
                        const std::filesystem::path& path);

// Splits a token or script line: fields from left to right, an empty field
// between two separators counts, a separator at the very end does not make
// an empty last field, an empty text is one empty field.
std::vector<std::string> SplitFields(std::string_view text, char separator = '*');

// Applies the fields of a script line (flag, Command, then Token/Modal
// pairs) to script. Fewer than 3 fields: the items are emptied and Command
// stays. Otherwise Command and the complete pairs are taken; an empty token
// field or "<null>" is 0. Throws ConvertError, script unchanged, for a
// token field that is not an integer or is a slot above 15.
void ParseScriptLine(const std::vector<std::string>& fields, TTNScript& script);

// True when the first character, upper-cased, is 'T'; false for "".
bool TextToBool(std::string_view text);

// Section names of the settings file in file order; none for a missing file.
std::vector<std::string> ListPostNames(const std::filesystem::path& path);
bool PostExists(std::string_view name, const std::filesystem::path& path);
// Removes the section; nothing happens when it or the file is missing.
void DeletePostDefinition(std::string_view name, const std::filesystem::path& path);

// ---- writing ------------------------------------------------------------

// Writes def into the section `name` the way the post editor saves a post:
// Extension, Comment, EndComment, IncludeComment ("1"/"0"), MaxBlock,
// DecimalCharacter ("T"/"F"), Tokens0..15, Scripts0..9, Header and Footer
// lines from 0, deleting the numbered keys that follow the last written
// line up to the first that does not exist (never beyond 25). ToolChange,
// Start, Increment and the tool block are left in the file as they are.
//
// With PostSaveKeys::All the hand-maintained keys are written as well:
// ToolChange, Start, Increment, the ToolHeader and ToolFooter lines and the
// ToolScripts (an empty tool script is left out, which reads back as
// empty). A new section needs them: without them a copied post would lose
// its tool change and spindle start.
//
// Everything is checked before anything is written; throws PostError when
// the definition cannot be read back as it is (a '*' inside a Designation,
// Format or Command, a line break, more than 26 lines in a list, a value
// longer than the file keeps) or the name is empty. The file is replaced
// once, whole, through a temporary file; throws FileError when it cannot
// be written (the old file then stays as it was).
enum class PostSaveKeys { Editor, All };
void SavePostDefinition(const TTNPostProcessor& def, std::string_view name,
                        const std::filesystem::path& path,
                        PostSaveKeys keys = PostSaveKeys::Editor);

// The texts SavePostDefinition writes for one token / one script.
std::string TokenLine(const TTNToken& token);
std::string ScriptLine(const TTNScript& script);

// ---- formatting ---------------------------------------------------------

// The text of a token for one move:
//  - Variable 0: the Designation ("null" gives "");
//  - Variable < 0 (cleared token): "";
//  - otherwise Designation (again "null" gives "") followed by the value
//    values[Variable] written with Format. A Format holding 'd' anywhere
//    rounds the value to an integer, halves to even, and writes that
//    integer (a literal 'd' outside the conversion, as in "%1.2fd", still
//    rounds: "13.00d"). Otherwise Plus puts "+" before the number whatever
//    its sign ("X+-3.0000"). An empty Format writes no number.
// Numbers use the current decimal separator.
// Throws FormatError naming the token when the Format cannot take one
// number (e.g. "%s"), the value cannot be written with it, or Variable has
// no value in `values`.
std::string FormatToken(const TTNToken& token, std::span<const double> values);
// The same with the number given instead of looked up.
std::string FormatTokenValue(const TTNToken& token, double value);

namespace post_detail {
inline constexpr std::size_t kNoShortWord = static_cast<std::size_t>(-1);
// For the NC writer, which builds its words in place: FormatTokenValue's
// text of a token bound to a variable, written to `out` when the usual
// fixed or integer format gives it and it fits in `capacity` characters;
// returns its length. Otherwise writes nothing and returns kNoShortWord
// (FormatTokenValue then gives the text, or the error).
std::size_t FormatTokenValueShort(const TTNToken& token, double value, char* out,
                                  std::size_t capacity);

// FormatTokenValueShort for one token spelled many times over (every X
// word of a program): what it looks at in the token on every call (the
// parsed Format, the Designation, the decimal separator) is taken once,
// when the speller is made, and a plain fixed format ("%1.4f") is written
// by a routine made for its number of decimals. The same results, as long
// as the token and the separator stay as they were.
class ShortWordSpeller {
 public:
  ShortWordSpeller() = default;
  explicit ShortWordSpeller(const TTNToken& token);
  std::size_t operator()(double value, char* out, std::size_t capacity) const {
    // The designation is copied as 8 bytes, whatever its length.
    if (fixed_ != nullptr && capacity >= 8) return (this->*fixed_)(value, out, capacity);
    return token_ == nullptr ? kNoShortWord : FormatTokenValueShort(*token_, value, out, capacity);
  }

 private:
  template <int Decimals>
  std::size_t Fixed(double value, char* out, std::size_t capacity) const;
  using FixedWriter = std::size_t (ShortWordSpeller::*)(double, char*, std::size_t) const;

  const TTNToken* token_ = nullptr;
  // For a plain fixed format, Fixed<its number of decimals>; else none.
  FixedWriter fixed_ = nullptr;
  std::uint64_t designation_ = 0;  // its bytes, when it has at most 8
  std::size_t designationSize_ = 0;
  bool plus_ = false;
  char separator_ = '.';
};
}  // namespace post_detail

}  // namespace tarnak
