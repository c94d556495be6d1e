// The prototype dialog's state without a window: its fields as texts and
// choices, the rules that tie them together (a new rough diameter proposes
// the steps and the stock, a V cutter enables its angle, "なし" switches
// the finish tool off, the margin sets the stock box), the filling of the
// machining parameters and the presets.
//
// The window (the TfrmStl dialog) and the command line both keep a
// PrototypeDialogFields and go through the same functions, so that a
// preset, a --set on the command line and a field typed in the dialog are
// read the same way. The tool fields are the StrategyDialogFields the
// other strategy dialogs use (with the prototype's extra members: the Y
// steps, the tool types and angles), so the preset file's keys and their
// reading rules are shared; what only this dialog has sits beside them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "geometry/extents.h"
#include "import/stl/stl_mesh.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/presets.h"

namespace tarnak {

// Items of the direction radio groups.
inline constexpr int kRoughDirX = 0;  // rgRoughDir: "X", "Y"
inline constexpr int kRoughDirY = 1;
inline constexpr int kFinishDirX = 0;  // rgFinishDir: "X", "Y", "なし"
inline constexpr int kFinishDirY = 1;
inline constexpr int kFinishDirNone = 2;
inline constexpr std::string_view kFinishDirNoneText = "なし";

struct PrototypeDialogFields {
  // The tool blocks, rapid height, line numbering and coolant, as the
  // presets store them. Tools.RoughStepXY is txtRoughX (the X step),
  // Tools.RoughStepY txtRoughY; likewise for the finish tool.
  // Tools.RoughType / FinishType: rgRoughToolType / rgFinishToolType items
  // (0 "End", 1 "Ball ", 2 "V"); Tools.RoughAngle / FinishAngle:
  // txtRoughAngle / txtFinishAngle. Tools.Depth is not used (the depth is
  // the stock box's Z1).
  StrategyDialogFields Tools;
  int RoughDir = kRoughDirX;     // rgRoughDir, default X
  int FinishDir = kFinishDirY;   // rgFinishDir, default Y
  // The stock box: txtX12, txtY12, txtZ12 (X1, Y1, Z1 = the depth),
  // txtX22, txtY22, txtZ22.
  std::string X1 = "0.00", Y1 = "0.00", Z1 = "0.00";
  std::string X2 = "0.00", Y2 = "0.00", Z2 = "0.00";
  std::string Margin = "0.0";  // txtMargin, "X and Y Margin"
  bool Male = true;            // rbMale2 (true) / rbFemale2

  bool operator==(const PrototypeDialogFields&) const = default;
};

// What opening a model sets: the drawing extents and the parameters' stock
// box (X1, Y1, Z1 = MinX, MinY, MinZ; X2, Y2, Z2 = MaxX, MaxY, MaxZ) from
// the placed model's box.
void PlaceModelStock(const StlModelBox& box, DrawingExtentsRec& extents,
                     TTNMachiningParameters& params);

// ---- the dialog's rules -------------------------------------------------------

// On show: the stock box fields from the parameters' box, "%.2f".
void ShowStockBox(const TTNMachiningParameters& params, PrototypeDialogFields& fields);

// txtMargin changed (its text is already in fields.Margin): X1 = MinX - m,
// Y1 = MinY - m, X2 = MaxX + m, Y2 = MaxY + m from the model's extents,
// "%.2f"; Z1 and Z2 stay. A margin that is not a number changes nothing
// and returns false.
bool ApplyMargin(const DrawingExtentsRec& extents, PrototypeDialogFields& fields);

// A tool type chosen: only "V" (kToolV) enables the angle field; the other
// types set it to "0".
void SetRoughToolType(PrototypeDialogFields& fields, int type);
void SetFinishToolType(PrototypeDialogFields& fields, int type);
bool RoughAngleEnabled(const PrototypeDialogFields& fields);
bool FinishAngleEnabled(const PrototypeDialogFields& fields);

// The rough diameter text changed (already in Tools.RoughDiameter): the
// rough X and Y steps become diameter x stlOverlap ("%.4F"), the finish
// diameter takes the same text (and so its steps follow), the stock to
// leave becomes diameter / 4 ("%.2F"). A text that is not a number counts
// as 0, as the field reading does.
void RoughDiameterChanged(PrototypeDialogFields& fields, double stlOverlap);
// The finish diameter changed: finish X and Y steps = diameter x stlOverlap.
void FinishDiameterChanged(PrototypeDialogFields& fields, double stlOverlap);

// False while the finishing direction is "なし": every finish field (tool
// number, name, diameter, steps, RPM, feed, angle, type) is disabled.
bool FinishFieldsEnabled(const PrototypeDialogFields& fields);

// ---- filling and checking -----------------------------------------------------

// The fields a problem can name, so the dialog can put the focus there.
enum class PrototypeField {
  None,
  RapidHeight,
  StartAt,
  Increment,
  RoughTool,
  RoughDiameter,
  RoughStepX,
  RoughStepY,
  RoughStepZ,
  StockToLeave,
  RoughRPM,
  RoughFeed,
  RoughPlunge,
  RoughAngle,
  FinishTool,
  FinishDiameter,
  FinishStepX,
  FinishStepY,
  FinishStepZ,
  FinishRPM,
  FinishFeed,
  FinishAngle,
  X1,
  Y1,
  Z1,
  X2,
  Y2,
  Z2,
};

struct PrototypeProblem {
  PrototypeField Field = PrototypeField::None;
  std::string Message;  // one sentence: "Rough tool diameter must be greater than 0."
};

// Fills the machining parameters as the OK button does: both tool blocks
// (type, radius = diameter / 2, angle, steps, stock, feeds, RPM, name,
// number, cut direction: rough 1 X / 2 Y, finish 1 X / 2 Y / 0 none),
// rapid height, coolant, the male flag and the stock box, the depth (and
// its copy) = Z1, FinishMode 1 when a finish direction is chosen. With
// "なし" the finish block is left as it was except its cut direction (0).
// Returns the line numbering for the NC output.
//
// The fields are checked first and `params` is changed only when they
// pass: a text that is not a number, a rough tool of diameter 0, X/Y steps
// of 0, a V angle outside 0..180 (exclusive), feeds of 0, and, with a
// finish direction and a finish Z step above 0, the same for the finish
// tool. A rough Z step of 0 is a problem too (the run would make nothing).
// A stock box with X2 <= X1 or Y2 <= Y1 is named as well.
std::optional<PrototypeProblem> FillPrototypeParams(const PrototypeDialogFields& fields,
                                                    TTNMachiningParameters& params,
                                                    LineNumbering& numbering);

// ---- presets --------------------------------------------------------------------

// The prototype keys of "Configurations.cfg" (the common ones and
// "RoughAngle", "RoughType", "FinishAngle", "FinishType"; "RoughStepXY"
// written from the X step and read into both step fields). The directions,
// the stock box and the male flag are not stored. Same results and errors
// as LoadPreset / SavePreset.
PresetLoad LoadPrototypePreset(const std::filesystem::path& file, std::string_view name,
                               PrototypeDialogFields& fields);
bool SavePrototypePreset(const std::filesystem::path& file, std::string_view name,
                         const PrototypeDialogFields& fields);

// One KEY=VALUE setting by preset key (the command line's --set), strict as
// ApplyPresetSetting; after a diameter the steps are not re-proposed (the
// caller sets what it wants). Throws PresetSettingError.
void ApplyPrototypeSetting(std::string_view assignment, PrototypeDialogFields& fields);

}  // namespace tarnak
