// The NC code generator: writes the document's toolpaths as an NC program,
// block by block, through the current post definition.
//
// Every word of a block comes from a token of the post; the generator never
// writes an address or G-code of its own. What the machine does (the link
// of each toolpath to the previous one, the moves of the path, the tool
// changes) comes from the motion list (toolpaths/motion_list.h); the
// writer spells each motion through the post and numbers the blocks. How
// a motion is spelled can depend on the post: a plasma post switches its
// torch on where a cutter would plunge, a post that gives arcs by radius
// gets them in pieces of at most a quarter turn. There are two writers: WriteNC2D for the
// toolpaths of the contour, pocket, drill and circuit-board strategies and
// WriteNC3D for the raster passes of prototype machining.
//
// Lines end with CR LF. Output is built in one large buffer and handed to
// the file in big chunks, so that a program of millions of blocks costs
// little more than writing its bytes.
//
// Variables that have no value in a block are 0: Cv, Fr, Ss and Tn inside
// move and drill blocks, the move variables when the feed, speed, tool and
// clearance words are formatted once per toolpath, everything but Nv and
// Tn in tool-script lines. A post that binds a token to such a variable
// writes 0 there.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "geometry/geometry.h"
#include "post/post_definition.h"
#include "base/errors.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/motion_list.h"
#include "toolpaths/toolpath_model.h"
#include "toolpaths/toolpath_model3d.h"

namespace tarnak {

// The NC file could not be created, appended to or written. what() names
// the file and gives the system's reason; file() is the path.
class NcWriteError : public FileError {
 public:
  using FileError::FileError;
};

// The kind of the last move written, so that a run of moves of one kind
// can use the "Continuous" script after the first ("Single Move") one.
namespace MotionState {
inline constexpr int None = -1;
inline constexpr int Linear = 0;
inline constexpr int Rapid = 1;
inline constexpr int CwArc = 2;
inline constexpr int CcwArc = 3;
inline constexpr int Drill = 11;
}  // namespace MotionState

// A point of the 3D writer: its state is kept in 32-bit floats, like the
// points of the passes.
struct NcPoint3 {
  float X = 0.0f;
  float Y = 0.0f;
  float Z = 0.0f;
};

// ---- the steps of the generator ------------------------------------------

// Advances the line number: n + inc, back to the post's Start once it
// passes MaxBlock.
void NextLineNumber(double& n, double inc, const TTNPostProcessor& post);

// The script slot of a move, given the kind of the move before it (motion,
// updated): arcs by their direction (an arc is an arc even when `rapid` is
// set), otherwise rapid or linear. The Continuous variant is chosen when
// the previous move was of the same kind.
int ClassifyMove(const TTNEntity& move, int& motion, bool rapid);
// The 3D form: rapid or linear only.
int ClassifyMove3D(int& motion, bool rapid);

// Variable values of a 2D move: start and end of the Element, Sz = z and
// Ez = -z (z is a depth; Ez is the machine Z), the arc values (0 for a
// line), Nv = n; everything else 0.
TTNVariables MoveVariables(const TTNEntity& move, double z, double n);
// Variable values of a 3D move from `from` to `to`; Nv = n, the rest 0.
TTNVariables MoveVariables3D(const NcPoint3& from, const NcPoint3& to, double n);

// The per-toolpath words: Ft, St, Tt from Feed, SpindleSpeed and
// ToolNumber; Misc1t..Misc5t emptied; Ct from Cv = -RapidLevel when the
// LinkKind is greater than 1 (otherwise Ct keeps its text).
void ToolpathTokens(const TTNOutRegion& toolpath, const TTNPostProcessor& post,
                    TTNTokenString& current);
// The 3D form: St, Tt and, when the LinkKind is greater than 1, Ct from
// Cv = RapidLevel (already a machine Z in a pass). Ft and the Misc words
// are left as they are.
void ToolpathTokens3D(const TTNOutRegion3D& pass, const TTNPostProcessor& post,
                      TTNTokenString& current);

// One move block: classifies the move, formats every token of its script
// (except Ft, St and Tt, which keep their per-toolpath text) and appends
// each word, a modal one only when its text changed since the previous
// block; then previous := current. Returns the block, possibly empty.
// Throws FormatError when a token cannot be written.
std::string BuildMoveBlock(const TTNEntity& move, const TTNPostProcessor& post,
                           TTNTokenString& previous, bool rapid, double n, double z, int& motion,
                           TTNTokenString& current);
// The block of one straight or arc motion of the motion list, as the
// writer spells it: like BuildMoveBlock for the Element the motion stands
// for, at its machine Z; a move of Z alone (KnownXY false) leaves out every
// word that names a place in the plane.
std::string BuildMotionBlock(const Motion& motion, const TTNPostProcessor& post,
                             TTNTokenString& previous, double n, int& motionState,
                             TTNTokenString& current);
std::string BuildMoveBlock3D(const NcPoint3& from, const NcPoint3& to,
                             const TTNPostProcessor& post, TTNTokenString& previous, bool rapid,
                             double n, int& motion, TTNTokenString& current);
// A drill block with the given script slot (8 or 9): as a move block, but
// Ct keeps its per-toolpath text too.
std::string BuildDrillBlock(const TTNEntity& hole, const TTNPostProcessor& post,
                            TTNTokenString& previous, TTNTokenString& current, int slot,
                            double n, double z);
// One line of the tool-change scripts (index 0..2): every word is written,
// modal or not, and the previous texts are left alone.
std::string BuildToolScriptLine(const TTNPostProcessor& post, int index, double toolNumber,
                                double n, TTNTokenString& current);

// ---- the writers --------------------------------------------------------------

// How the file is written. InPlace opens the file itself (created,
// truncated or appended to) and writes into it as the blocks come. Atomic
// writes to a temporary file beside it (in append mode a copy of the old
// program) and renames it into place at the end, so that an error or a
// killed program leaves the old file as it was: what every file the user
// asked for is written with (SaveToolpathsCommand).
enum class NcFileWrite { InPlace, Atomic };

// Writes the 2D toolpaths (from slot 1) to `path`: the comment lines (when
// the post includes comments, verbatim), the Header, per toolpath the tool
// change (on a new tool), the link and the path, the final retract to the
// rapid height and the Footer. Appends when the post's Append flag is set,
// otherwise creates or replaces the file.
//
// Before a toolpath is written its values are checked: a coordinate,
// depth, height or feed that is not finite or beyond kNcMaxMagnitude
// throws FormatError naming the toolpath.
//
// Throws NcWriteError when the file cannot be opened or written, and
// FormatError when a token cannot be written; in that case, written in
// place, the lines before the failing block stay in the file, and written
// atomically the old file stays as it was (or none is made). The file is
// closed in every case.
void WriteNC2D(const TTNOutRegionArray& toolpaths, const std::vector<std::string>& comments,
               const TTNMachiningParameters& params, const TTNPostProcessor& post,
               const std::filesystem::path& path, NcFileWrite how = NcFileWrite::InPlace);

// Writes the 3D passes (from slot 0). Comment, Header and Footer lines
// carry line numbers here, each pass gets a comment naming it, and every
// move block is written even when it is empty. Nothing is written (the
// file is still created or opened) when there is no pass or the first has
// no points; a later pass without points is left out. Errors as WriteNC2D.
void WriteNC3D(const TTNOutRegionArray3D& passes, const std::vector<std::string>& comments,
               const TTNMachiningParameters& params, const TTNPostProcessor& post,
               const std::filesystem::path& path, NcFileWrite how = NcFileWrite::InPlace);

// The largest value a word of the NC file may carry (drawing units, feeds,
// speeds); anything larger is taken for a fault, not a part.
inline constexpr double kNcMaxMagnitude = 1e9;

// How many blocks an arc of this sweep is written in by a post that gives
// arcs by radius: pieces of at most a quarter turn.
int RadiusArcPieces(double sweep);

}  // namespace tarnak
