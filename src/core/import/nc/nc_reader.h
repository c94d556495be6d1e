// Reading an NC program into display moves, in one pass over its text.
//
// Two readings. The post reading understands exactly the words the current
// post writes: its address letters and command words come from the post
// definition, numbers go into the variables the post's tokens are bound
// to, and every line with an address becomes a move (EmitMove) in the
// motion mode in force. A program from other software ("G1" where the post
// writes "G01") therefore gives few or no moves; that is what the post
// reading is for (checking what this post wrote), and the status then
// suggests the other reading. The standard reading reads ordinary RS-274
// programs whatever the post: G0-G3 by I/J/K or R, the XY plane, G20/G21
// (read, no unit conversion), G90/G91, G90.1/G91.1, G80-G83 with G98/G99,
// and reports once each word it does not follow.
//
// A radius word too short for the chord has no centre. Within a rounding
// of the written decimals (kArcRadiusSlack) the centre is the chord's
// midpoint, as controls take it; beyond that the move is kept as a
// straight chord (Kind of the arc, Radius 0) so the picture still reaches
// the end point, and the first such line is reported.
#pragma once

#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/options.h"
#include "editor/gcode_tokenizer.h"
#include "import/nc/nc_moves.h"
#include "post/post_definition.h"
#include "toolpaths/motion_list.h"

namespace tarnak {

// A number the conversion rejects stops loading; what() is the
// conversion's message and the line (1-based in the text).
class NCReadError : public std::runtime_error {
 public:
  NCReadError(const std::string& message, int line)
      : std::runtime_error(message + " (line " + std::to_string(line) + ")"), Line(line) {}
  int Line;  // 1-based
};

enum class NCReading : int { Post = 0, Standard = 1 };  // the "NCRead" option

// A radius this much shorter than half the chord (relative to the chord)
// still makes a half circle: the written decimals of R and the ends.
inline constexpr double kArcRadiusSlack = 1e-4;

struct NCReadResult {
  TTNEdEntityArray Moves{TTNEdEntity{}};  // slot 0 empty
  int Lines = 0;                          // text lines
  NCExtentsRec Extents;
  // Lines (1-based) and what could not be followed; each kind of problem
  // once (the standard reading's unknown words, other planes; a radius too
  // short for its chord).
  std::vector<std::string> Notes;
  // The text has motion words (G0..G3 in any spelling): with no move read,
  // the post's words did not match.
  bool HasMotionWords = false;

  std::size_t MoveCount() const { return Moves.size() - 1; }
};

// The post reading, line by line: the tokenizer in parse mode.
class NCPostReader {
 public:
  // Builds the address table (Designations trimmed, case kept), the command
  // table (Commands without blanks, upper-cased), the arc format from the CW
  // "Single Move" script and the tokenizer's character table.
  void Configure(const TTNPostProcessor& post, const TTNEditorColouring& colouring);
  // Resets the state; the moves get `pen` as their Pen.
  void BeginParse(int pen = 0);
  // One line of text (without its line end). Throws ConvertError for a
  // number the conversion rejects.
  void ParseLine(std::string_view line);
  // Trims the list and gives it away.
  NCReadResult EndParse();

  const GCodeTokenizer& Tokenizer() const { return tokenizer_; }
  int ArcFormat() const { return arcFormat_; }

 private:
  void EmitMove();
  double Value(int variable) const {
    return variable > 0 && variable < kVariableCount ? values_[static_cast<std::size_t>(variable)]
                                                     : 0.0;
  }
  void Push(double x, double y, double z, double radius, double x2, double y2, double z2,
            std::uint8_t kind);

  GCodeTokenizer tokenizer_;
  std::array<int, 256> addressSlot_{};          // by character; -1 none
  std::array<int, kTokenCount> slotVariable_{};  // the Variable of each token slot
  std::vector<std::pair<std::string, int>> commands_;  // command text, script slot
  int arcFormat_ = 0;
  int toolSlot_ = TokenSlot::Tt;

  TTNVariables values_{};
  double px_ = 0, py_ = 0, pz_ = 0;
  int mode_ = 0;
  int slot_ = 0;
  bool hasAddress_ = false;
  int line_ = 0;
  int pen_ = 0;
  NCReadResult result_;
  bool shortRadiusNoted_ = false;
};

// Whole texts. Throw NCReadError (line named) where the conversion stops.
NCReadResult ReadNCPost(std::string_view text, const TTNPostProcessor& post,
                        const TTNEditorColouring& colouring = {}, int pen = 0);
NCReadResult ReadNCStandard(std::string_view text, int pen = 0);
NCReadResult ReadNCText(std::string_view text, NCReading reading, const TTNPostProcessor& post,
                        const TTNEditorColouring& colouring = {}, int pen = 0);

// The status hint when the post reading found no move in a text with
// motion words; empty otherwise.
std::string NCReadingHint(const NCReadResult& result, NCReading reading,
                          const TTNPostProcessor& post);

// The display moves as motion-list records, so that the view, the DXF
// export and the tests take an NC file like a toolpath list: rapids,
// lines (a drill plunge is a Plunge line, a chord of a short radius a
// line), arcs with a signed radius and the angles in the direction of
// travel, tool changes.
MotionList NCMovesToMotions(const TTNEdEntityArray& moves);

}  // namespace tarnak
