// Checking a strategy's fields before anything is filled or cut.
//
// A tool of diameter 0 runs straight through islands, a feed of 0 stops
// the machine mid-cut and a step-over wider than the tool leaves ridges of
// material standing: such values make no toolpath. The dialogs and the
// command line both go through FillCheckedParams, so they refuse the same
// values with the same message, and the dialog can put the focus on the
// field the message names.
//
// Only the values a strategy really reads are checked: the drill reads its
// plunge feed but no diameter, a contour on the line (compensation none)
// no diameter, and the finish tool counts only when a finish pass is
// asked for.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/numbers.h"
#include "toolpaths/machining_params.h"

namespace tarnak {

// The number fields of the strategy dialogs (named by their preset keys).
enum class ParamField {
  None,
  Depth,
  RapidHeight,
  StartAt,
  Increment,
  RoughTool,
  RoughDiameter,
  RoughStepXY,
  RoughStepZ,
  StockToLeave,
  RoughRPM,
  RoughFeed,
  RoughPlunge,
  FinishTool,
  FinishDiameter,
  FinishStepXY,
  FinishStepZ,
  FinishRPM,
  FinishFeed,
  EntryLength,
  ExitLength,
  Passes,
  Overlap,
};

// The field's name in messages: "Rough tool diameter", "Rapid height".
const char* ParamFieldLabel(ParamField field);

// A field's text that is not a number: "Rapid height: '1.2.3e5' is not a
// valid floating point value". Thrown by FillMachiningParams.
class FieldNumberError : public ConvertError {
 public:
  FieldNumberError(ParamField field, std::string_view text);
  ParamField Field() const { return field_; }

 private:
  ParamField field_;
};

// What is wrong, and where.
struct ParamProblem {
  ParamField Field = ParamField::None;
  std::string Message;  // one sentence: "Rough tool diameter must be greater than 0."
};

// The values `dialog`'s strategy reads from the filled parameters: tool
// diameters, feeds and Z steps above 0, a pocket step-over above 0 and not
// above its tool's diameter. The first problem in the dialog's field order,
// or nothing when the strategy can run.
std::optional<ParamProblem> CheckStrategyParams(StrategyDialog dialog,
                                                const TTNMachiningParameters& params);

// FillMachiningParams into a copy of `params`, then CheckStrategyParams;
// `params` and `numbering` are set only when there is no problem. A field
// text that is not a number is a problem too (its FieldNumberError text).
std::optional<ParamProblem> FillCheckedParams(StrategyDialog dialog,
                                              const StrategyDialogFields& fields,
                                              TTNMachiningParameters& params,
                                              LineNumbering& numbering);

}  // namespace tarnak
