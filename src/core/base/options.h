// The program options: user preferences kept in "Options.cfg" in the
// settings folder, read once at start-up (before the post definition named
// in them is loaded) and written by the options dialog's save button.
//
// They live in four places, gathered in ProgramOptions so that the document
// owns one instance:
//   - TTNOptions          general program options (directions, overlaps,
//                         text font, STL settings, Gerber offset, post name);
//   - TTNViewOptions      colours and display switches of the drawing view;
//   - TTNEditorColouring  colours and styles of the G-code editor;
//   - TTNArcTolerances    one set for rough passes, one for finish passes.
//
// Every field's initialiser is its start value: what the program runs with
// when there is no "Options.cfg" or the file has no "Options" section. A
// key missing from an existing section takes its file default instead
// (OptionsFileDefaults()); the two differ for Dir, Trace, PocketDir,
// StlOverlap, Post and Font.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarnak {

class UserInterface;

// ---- colours ---------------------------------------------------------------

// A colour as the settings file stores it: a 32-bit value laid out
// 0x00BBGGRR, red in the lowest byte, blue in the third, the top byte 0.
// In the file it is the decimal integer of that value (blue is 16711680).
using Colour = std::uint32_t;

inline constexpr Colour kColourBlack = 0x000000;
inline constexpr Colour kColourRed = 0x0000FF;
inline constexpr Colour kColourGreen = 0x008000;  // dark green, as on the screen palette
inline constexpr Colour kColourBlue = 0xFF0000;
inline constexpr Colour kColourWhite = 0xFFFFFF;
// Largest value that is a colour; anything above has a non-zero top byte.
inline constexpr Colour kColourMax = 0xFFFFFF;

// Components 0..255 each; values outside are cut to their low byte.
constexpr Colour MakeColour(int red, int green, int blue) {
  return static_cast<Colour>(red & 0xFF) | (static_cast<Colour>(green & 0xFF) << 8) |
         (static_cast<Colour>(blue & 0xFF) << 16);
}
constexpr int ColourRed(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int ColourGreen(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int ColourBlue(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }
// The same colour as 0x00RRGGBB, the order most drawing libraries take.
constexpr std::uint32_t ColourToRgb(Colour c) {
  return (static_cast<std::uint32_t>(ColourRed(c)) << 16) |
         (static_cast<std::uint32_t>(ColourGreen(c)) << 8) |
         static_cast<std::uint32_t>(ColourBlue(c));
}
constexpr Colour ColourFromRgb(std::uint32_t rgb) {
  return MakeColour(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                    static_cast<int>(rgb & 0xFF));
}

// ---- the four places -------------------------------------------------------

struct TTNOptions {
  bool Dir = false;             // default direction of closed Regions: true clockwise
  bool Trace = true;            // trace island outlines when island tops are finished
  bool PocketDir = false;       // pocketing: false outside inward, true inside outward
  bool Fix = false;             // try to correct bad DXF geometry
  double Overlap = 0.5;         // tool step-over, fraction of the tool diameter
  double StlOverlap = 0.1;      // prototype X/Y step, fraction of the cutter diameter
  std::string Post = "Orvano";  // current post-processor definition
  std::string Font = "arial";   // TrueType face for text
  bool FontBold = false;
  bool FontItalic = false;
  int FontPrecision = 8;  // strokes per glyph spline segment
  double STLDepth = 0.0;  // depth of the STL model's top below the surface
  bool Air = false;       // prototype machining: no cutting in the air
  int Offset = 0;         // Gerber tool offset in mils, 0..1000
  // How an NC file is read: 0 by the words of the current post, 1 as
  // standard RS-274 G-code (programs from other software).
  int NCRead = 0;
  bool ExpandBlocks = false;  // DXF: place blocks' entities, turn splines into arcs

  bool operator==(const TTNOptions&) const = default;
};

struct TTNViewOptions {
  Colour UnClosed = kColourBlack;  // closed Regions, not selected
  Colour UnOpen = kColourBlack;    // open Regions, not selected
  Colour Closed = kColourBlue;     // selected boundaries
  Colour Island = kColourRed;      // selected Islands
  Colour Open = kColourGreen;      // selected open Regions
  // Toolpaths take colours no outline has, so that with the boundaries
  // shown a toolpath never passes for a boundary (blue), an island (red)
  // or an unselected outline (black). Saved colours are kept as they are.
  Colour RTool = MakeColour(224, 112, 0);  // rough toolpaths: orange
  Colour FTool = MakeColour(0, 150, 150);  // finish toolpaths: teal
  Colour Back = kColourWhite;      // view background
  bool DrawBoundaries = true;      // show boundaries with the toolpaths
  bool MarkDirs = false;           // mark every Element, not only the first
  double GridSize = 0.5;           // grid of the STL page

  bool operator==(const TTNViewOptions&) const = default;
};

// How an editor token kind is drawn on top of its own start style.
enum class EditorStyle : int { Normal = 0, Bold = 1, Italic = 2 };

struct TTNEditorColouring {
  Colour CommandColor = kColourBlue;
  Colour AddressColor = kColourBlack;
  Colour CommentColor = kColourBlue;
  EditorStyle CommandStyle = EditorStyle::Normal;
  EditorStyle AddressStyle = EditorStyle::Normal;
  EditorStyle CommentStyle = EditorStyle::Normal;

  bool operator==(const TTNEditorColouring&) const = default;
};

// Path simplification tolerances handed to one kind of pass.
struct TTNArcTolerances {
  double MinArcLength = 0.0;
  double TanDev = 0.0;
  double MinArcRad = 0.0;

  bool operator==(const TTNArcTolerances&) const = default;
};

struct ProgramOptions {
  TTNOptions Program;
  TTNViewOptions View;
  TTNEditorColouring Editor;
  TTNArcTolerances RoughTolerances;
  TTNArcTolerances FinishTolerances;
  // The File menu's list of the files opened last, newest first, at most
  // kMaxRecentFiles, each path once (see AddRecentFile).
  std::vector<std::string> RecentFiles;

  bool operator==(const ProgramOptions&) const = default;
};

// The values a key takes when the file has an "Options" section but not
// that key.
ProgramOptions OptionsFileDefaults();

// ---- the file --------------------------------------------------------------

inline constexpr std::string_view kOptionsFileName = "Options.cfg";
inline constexpr std::string_view kOptionsSection = "Options";
// The recent files have a section of their own: writing them into
// "Options" of a file that had no such section would make every other
// option take its file default, instead of its start value, at the next
// start. Keys "File1" to "File8", read until the first missing number.
inline constexpr std::string_view kRecentFilesSection = "RecentFiles";
inline constexpr std::size_t kMaxRecentFiles = 8;

// Puts `path` first in the list, dropping an earlier entry of the same
// path and anything beyond kMaxRecentFiles. A path the file cannot hold
// (empty, with a line break or blanks at its ends, or too long) is not
// recorded; returns whether the list took it.
bool AddRecentFile(std::vector<std::string>& list, const std::string& path);

// "Options.cfg" in the given settings folder.
std::filesystem::path OptionsFilePath(const std::filesystem::path& settingsFolder);

// Reads the options file into `options`.
// - No file, or no "Options" section: nothing is read, `options` is left as
//   it is (at start-up: the start values).
// - Otherwise every option is read; a missing key takes its file default.
//   "Overlap" and "StlOverlap" hold percent and are divided by 100. Floats
//   are read with either decimal separator, so a file saved while a post
//   with a comma separator was active still reads back.
// - A value that cannot be read (not a number, empty, or outside what the
//   option can take: a colour above 0xFFFFFF, a style other than 0..2, an
//   Offset outside 0..1000, a negative percent or tolerance, a GridSize not
//   above 0, an empty Post or Font) takes the file default.
// The recent files are read from their own section whether or not the file
// has an "Options" section; empty and repeated entries are skipped.
// Returns one message per problem, naming the file, the line and the key;
// a file that exists but cannot be read gives one message and leaves
// `options` as it is. Never throws for a bad file.
std::vector<std::string> LoadOptions(ProgramOptions& options, const std::filesystem::path& file);

// The same for start-up: any problems are shown together in one warning.
void LoadOptions(ProgramOptions& options, const std::filesystem::path& file, UserInterface& ui);

// The save button: takes the post list's text as the Post option, then
// writes every option into the "Options" section of `file` (created when
// missing), in the program's fixed key order. Keys already in the file are
// replaced where they stand; other sections and lines are kept. Booleans
// are "1"/"0", floats in the general form with the current decimal
// separator, Overlap and StlOverlap as percent rounded to the nearest whole
// number (halves to even). "EndPointTolerence" (0.00005) and
// "JoinTolerence" (0.001) are written for other tools but never read.
// The recent files are written too (SaveRecentFiles).
// Throws FileError naming the file when it cannot be written or a text
// option holds a line break.
void SaveOptions(ProgramOptions& options, std::string_view postListText,
                 const std::filesystem::path& file);

// Writes only the recent-file section (after every successful open, so the
// list survives without the options dialog's save). Entries beyond the list
// are removed. Throws FileError when the file cannot be written.
void SaveRecentFiles(const ProgramOptions& options, const std::filesystem::path& file);

}  // namespace tarnak
