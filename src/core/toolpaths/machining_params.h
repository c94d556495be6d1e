// Machining parameters: the one record every strategy reads, and the way
// the strategy dialogs (and the command line, through the same texts) fill
// it from their fields.
//
// A dialog's state is held as plain texts and choices in
// StrategyDialogFields, so that the GUI, the presets and the command line
// all go through FillMachiningParams with the same parsing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "geometry/geometry.h"

namespace tarnak {

// ---- codes held in the parameters -----------------------------------------

// The numbers below are stored in the parameters and the preset file's
// choices; the fields stay plain numbers, the enums name their values.

// Compensation: where the tool centre runs relative to the line.
enum TTNCompensation : int32_t {
  kCompNone = 0,  // on the line
  kCompRight = 1,
  kCompLeft = 2,
  kCompCutout = 3,  // outside the part, inside its holes
};

// Entry and exit move kinds.
enum TTNLeadKind : int32_t {
  kLeadNone = 0,
  kLeadArc = 1,
  kLeadPerpendicular = 2,
  kLeadTangent = 3,
};

// Finish mode. Contour uses 0 and 1 (finish pass on); pocket all four.
inline constexpr int32_t kFinishNone = 0;
inline constexpr int32_t kFinishIslands = 1;
inline constexpr int32_t kFinishIslandsAndBoundaries = 2;
inline constexpr int32_t kFinishAll = 3;  // islands, boundaries and the pocket bottom

inline constexpr int32_t kCoolantOff = 0;
inline constexpr int32_t kCoolantOn = 7;

// Tool types of the prototype dialog.
enum TTNToolType : int32_t {
  kToolEndMill = 0,
  kToolBall = 1,
  kToolV = 2,
};

// Longest tool name kept (characters); longer names are cut.
inline constexpr std::size_t kToolNameMaxLength = 50;

// ---- records ------------------------------------------------------------------

struct TTNToolSettings {
  int32_t ToolType = kToolEndMill;  // prototype only: 0 end mill, 1 ball, 2 V
  double Radius = 0.0;              // the dialog's diameter / 2
  double ToolAngle = 0.0;           // prototype only: V tool angle, degrees
  double PlungeFeed = 0.0;
  double StockToLeave = 0.0;        // material left on the wall by this tool
  double XYStep = 0.0;              // step-over between pocket passes (prototype: X step)
  double YStep = 0.0;               // prototype only
  double ZStep = 0.0;               // depth of cut per level
  std::string Name;                 // shown in the NC comments, at most 50 characters
  int32_t ToolNumber = 0;           // 0..9
  double Feed = 0.0;
  int32_t SpindleSpeed = 0;         // RPM
  // Prototype only. Rough: 1 along X, 2 along Y, 3 other; finish: 1 X, 2 Y,
  // 0 none.
  int32_t CutDirection = 0;
  // Colour the view draws this tool's toolpaths in; the view's rough and
  // finish toolpath colours are copied in (see SetToolColours).
  int32_t Colour = 0;
};

struct TTNMachiningParameters {
  static TTNToolSettings ToolWithColour(int32_t colour) {
    TTNToolSettings tool;
    tool.Colour = colour;
    return tool;
  }

  // Both blocks start with the view's default toolpath colours (rough
  // blue, finish black) until the shell copies the current ones in.
  TTNToolSettings Rough = ToolWithColour(0xFF0000);
  TTNToolSettings Finish;
  int32_t FinishMode = kFinishNone;
  double Depth = 0.0;         // final cutting depth of the dialog
  double Depth2 = 0.0;        // the same value, written alongside
  double RapidHeight = 0.0;   // clearance height for rapid moves
  int32_t Coolant = kCoolantOff;
  int32_t Compensation = kCompNone;
  uint8_t CannedCycles = 0;   // drill: 1 canned cycles, 0 linear moves
  int32_t EntryKind = kLeadNone;
  int32_t ExitKind = kLeadNone;
  double EntryLength = 0.0;   // 0 when EntryKind is none; the radius of an arc lead
  double ExitLength = 0.0;
  double BottomStock = 0.0;   // pocket: material left on the floor for the finish pass
  // Circuit-board routing: passes around the copper, and how much of the
  // tool's width each pass overlaps the one inside it (0 to below 1).
  int32_t IsolationPasses = 1;
  double IsolationOverlap = 0.5;
  // Filled by the prototype dialog only.
  int32_t PrototypeSpare = 0;
  uint8_t Male = 1;           // 1: cut as a raised part, 0: as a cavity
  double X1 = 0.0, Y1 = 0.0, Z1 = 0.0;  // stock box
  double X2 = 0.0, Y2 = 0.0, Z2 = 0.0;
};

// Copies the view's rough and finish toolpath colours into the two tool
// blocks (at start-up and whenever the options change them).
inline void SetToolColours(TTNMachiningParameters& params, int32_t rough, int32_t finish) {
  params.Rough.Colour = rough;
  params.Finish.Colour = finish;
}

// ---- dialog fields ------------------------------------------------------------

enum class StrategyDialog { Pocket, Contour, Drill, CircuitBoard, Prototype };

// Display name of a dialog for messages: "pocket", "contour", "drill",
// "circuit board", "prototype".
const char* StrategyDialogName(StrategyDialog dialog);

// The state of a strategy dialog, as texts and choices. Members carry the
// preset key names; the comment names the control. Start values are the
// dialogs' own defaults, before any preset is loaded.
struct StrategyDialogFields {
  std::string Depth = "1";           // txtPocketDepth / txtContourDepth / txtDepth (never in presets)
  std::string RapidHeight = "0";     // txtRapidHeight
  std::string StartAt = "0";         // txtStartAt: first line number
  std::string Increment = "0";       // txtIncrement: line number step
  bool Coolant = false;              // coolant combo: "On" / "Off"
  std::string RoughTool = "0";       // Combo1
  std::string RoughName = "なし";    // txtRoughName
  std::string RoughDiameter = "0";   // txtRoughDia
  std::string RoughStepXY = "0";     // txtRoughXY (prototype: rough X step)
  std::string RoughStepY = "0";      // prototype: rough Y step
  std::string RoughStepZ = "0";      // txtRoughZ
  std::string StockToLeave = "0";    // txtStock
  std::string RoughRPM = "0";        // txtRoughRPM (drill: txtRoughRpm)
  std::string RoughFeed = "0";       // txtRoughFeed
  std::string RoughPlunge = "0";     // txtRoughPlunge
  std::string RoughAngle = "0";      // prototype: rough V angle
  int RoughType = kToolEndMill;      // prototype: rough tool type item
  std::string FinishTool = "0";      // Combo3
  std::string FinishName = "なし";   // txtFinishName
  std::string FinishDiameter = "0";  // txtFinishDia
  std::string FinishStepXY = "0";    // txtFinishXY (prototype: finish X step)
  std::string FinishStepY = "0";     // prototype: finish Y step
  std::string FinishStepZ = "0";     // txtFinishZ
  std::string FinishRPM = "0";       // txtFinishRPM
  std::string FinishFeed = "0";      // txtFinishFeed
  std::string FinishAngle = "0";     // prototype: finish V angle
  int FinishType = kToolEndMill;     // prototype: finish tool type item
  int Entry = kLeadNone;             // optEntry_0..optEntry_3: none, arc, perpendicular, tangent
  int Exit = kLeadNone;              // optExit_0..optExit_3
  std::string EntryLength = ".25";   // txtLength_0
  std::string ExitLength = ".25";    // txtLength_1
  int Finish = 1;                    // optFinish item: 0 islands, 1 islands and boundaries, 2 both + bottom
  int Compensation = kCompNone;      // optCompNone, optCompRight, optCompLeft, optCompCut
  bool FinishPass = false;           // SSCheck1: use a finish pass
  bool Linear = false;               // drill: optLin (true) or optCanned (false)
  std::string Passes = "1";          // circuit board: txtPasses, isolation passes
  std::string Overlap = "0.5";       // circuit board: txtOverlap, fraction of the tool width

  bool operator==(const StrategyDialogFields&) const = default;
};

// Line numbering of the NC output, handed to the post definition.
struct LineNumbering {
  int32_t Start = 0;
  int32_t Increment = 1;
};

// ---- number reading -----------------------------------------------------------

// Reads a number the way the dialog fields are read: the whole text, blanks
// around it ignored, must be one number (sign, digits, one decimal
// separator, an optional exponent); "1.2.3e5" or "1.5abc" is not taken as
// the number it starts with. Either '.' or ',' is taken as the separator,
// since the fields accept both keys whatever the current separator. Empty
// text (a field being cleared) and a lone "-" are 0; NaN, infinities and
// values beyond the double range are not numbers. "-0" gives 0.
// ParseFieldFloat throws ConvertError "'text' is not a valid floating point
// value" for anything else; TryParseFieldFloat returns false and leaves
// `value` alone.
bool TryParseFieldFloat(std::string_view text, double& value);
double ParseFieldFloat(std::string_view text);

// Rounds to the nearest integer, halves to even; values beyond the 32-bit
// range are clamped to it, NaN gives 0.
int32_t RoundToInt32(double value);

// ParseFieldFloat rounded with RoundToInt32: "2500.5" is 2500, "2501.5" 2502.
int32_t ParseFieldInteger(std::string_view text);

// ---- filling the parameters ---------------------------------------------------

// Fills `params` from the fields of the pocket, contour, drill or
// circuit-board dialog; fields a dialog does not own are left as they are,
// since one record serves every strategy. Returns the line numbering for
// the NC output (an increment below 1 becomes 1). A field text that is not
// a number throws FieldNumberError (param_checks.h) naming the field; the
// record may then be partly filled, so callers fill a copy (see
// FillCheckedParams). Throws std::invalid_argument for the prototype
// dialog, which fills the record itself.
LineNumbering FillMachiningParams(StrategyDialog dialog, const StrategyDialogFields& fields,
                                  TTNMachiningParameters& params);

// Writes a non-zero dialog depth into every selected Region with Owner 0
// (Boundaries and free Regions, from index 1); Islands keep their own
// depths, and a depth of 0 leaves every Region as it is. Returns the number
// of Regions changed.
int ApplyDialogDepth(TTNRegionArray& regions, double depth);

}  // namespace tarnak
