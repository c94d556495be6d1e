#include "toolpaths/machining_params.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <system_error>

#include "base/numbers.h"
#include "toolpaths/param_checks.h"

namespace tarnak {

namespace {

// The number in a field, or FieldNumberError naming the field.
double Number(const std::string& text, ParamField field) {
  double value = 0.0;
  if (!TryParseFieldFloat(text, value)) throw FieldNumberError(field, text);
  return value;
}

int32_t Integer(const std::string& text, ParamField field) {
  return RoundToInt32(Number(text, field));
}

// Cuts a UTF-8 text after `count` characters, never inside one.
std::string CutToCharacters(const std::string& text, std::size_t count) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) != 0x80) {  // first byte of a character
      if (chars == count) return text.substr(0, i);
      ++chars;
    }
  }
  return text;
}

// Option indices outside their range are read as the option a preset
// reading falls back to, so every path agrees on them.
int32_t LeadKindOf(int option) {
  return option >= kLeadNone && option <= kLeadTangent ? option : kLeadNone;
}

int32_t CompensationOf(int option) {
  return option >= kCompNone && option <= kCompCutout ? option : kCompCutout;
}

int PocketFinishItemOf(int item) { return item >= 0 && item <= 2 ? item : 2; }

void FillLeads(const StrategyDialogFields& fields, TTNMachiningParameters& params) {
  params.EntryKind = LeadKindOf(fields.Entry);
  params.ExitKind = LeadKindOf(fields.Exit);
  params.EntryLength = params.EntryKind == kLeadNone ? 0.0 : Number(fields.EntryLength, ParamField::EntryLength);
  params.ExitLength = params.ExitKind == kLeadNone ? 0.0 : Number(fields.ExitLength, ParamField::ExitLength);
}

// The finish block of pocket and contour. With the finish box clear the
// finish radius is 0, which is what the strategies test to skip the pass.
void FillFinish(StrategyDialog dialog, const StrategyDialogFields& fields,
                TTNMachiningParameters& params) {
  TTNToolSettings& finish = params.Finish;
  if (!fields.FinishPass) {
    finish.Radius = 0.0;
    finish.Feed = 0.0;
    finish.SpindleSpeed = 0;
    finish.XYStep = 0.0;
    finish.ZStep = 0.0;
    finish.Name = "Unknown";
    // Also for pocket: a finish mode left over from an earlier run would
    // name a finish tool in the NC comments and, for "both + bottom", leave
    // stock on the floor that no pass removes.
    params.FinishMode = kFinishNone;
    return;
  }
  finish.Radius = Number(fields.FinishDiameter, ParamField::FinishDiameter) / 2.0;
  finish.Feed = Number(fields.FinishFeed, ParamField::FinishFeed);
  finish.SpindleSpeed = Integer(fields.FinishRPM, ParamField::FinishRPM);
  finish.ZStep = Number(fields.FinishStepZ, ParamField::FinishStepZ);
  finish.Name = CutToCharacters(fields.FinishName, kToolNameMaxLength);
  if (dialog == StrategyDialog::Pocket) {
    finish.XYStep = Number(fields.FinishStepXY, ParamField::FinishStepXY);
    params.FinishMode = PocketFinishItemOf(fields.Finish) + 1;
  } else {
    params.FinishMode = kFinishIslands;  // contour: finish pass on
  }
}

}  // namespace

const char* StrategyDialogName(StrategyDialog dialog) {
  switch (dialog) {
    case StrategyDialog::Pocket: return "pocket";
    case StrategyDialog::Contour: return "contour";
    case StrategyDialog::Drill: return "drill";
    case StrategyDialog::CircuitBoard: return "circuit board";
    case StrategyDialog::Prototype: return "prototype";
  }
  return "unknown";
}

bool TryParseFieldFloat(std::string_view text, double& value) {
  double v = 0.0;
  if (!TryTextToFloatAnySeparator(text, v)) return false;
  value = v == 0.0 ? 0.0 : v;  // no negative zero from "-0"
  return true;
}

double ParseFieldFloat(std::string_view text) {
  double value = 0.0;
  if (!TryParseFieldFloat(text, value)) return TextToFloatAnySeparator(text);  // throws
  return value;
}

int32_t RoundToInt32(double value) {
  if (std::isnan(value)) return 0;
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  constexpr double kMin = std::numeric_limits<int32_t>::min();
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  if (whole <= kMin) return std::numeric_limits<int32_t>::min();
  if (whole >= kMax) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(whole);
}

int32_t ParseFieldInteger(std::string_view text) { return RoundToInt32(ParseFieldFloat(text)); }

LineNumbering FillMachiningParams(StrategyDialog dialog, const StrategyDialogFields& fields,
                                  TTNMachiningParameters& params) {
  if (dialog == StrategyDialog::Prototype)
    throw std::invalid_argument("The prototype dialog fills the machining parameters itself");

  TTNToolSettings& rough = params.Rough;
  TTNToolSettings& finish = params.Finish;

  const double depth = Number(fields.Depth, ParamField::Depth);
  params.Depth = depth;
  params.Depth2 = depth;
  rough.Radius = Number(fields.RoughDiameter, ParamField::RoughDiameter) / 2.0;
  params.RapidHeight = Number(fields.RapidHeight, ParamField::RapidHeight);
  const double plunge = Number(fields.RoughPlunge, ParamField::RoughPlunge);
  rough.PlungeFeed = plunge;
  finish.PlungeFeed = plunge;
  rough.SpindleSpeed = Integer(fields.RoughRPM, ParamField::RoughRPM);
  rough.ToolNumber = Integer(fields.RoughTool, ParamField::RoughTool);
  rough.Name = CutToCharacters(fields.RoughName, kToolNameMaxLength);
  // The coolant combo's state is taken as the dialog shows it, so a setting
  // made in another dialog does not linger; the board dialog has none.
  if (dialog != StrategyDialog::CircuitBoard) params.Coolant = fields.Coolant ? kCoolantOn : kCoolantOff;

  switch (dialog) {
    case StrategyDialog::Pocket:
    case StrategyDialog::Contour: {
      const double stock = Number(fields.StockToLeave, ParamField::StockToLeave);
      if (dialog == StrategyDialog::Pocket) rough.XYStep = Number(fields.RoughStepXY, ParamField::RoughStepXY);
      rough.ZStep = Number(fields.RoughStepZ, ParamField::RoughStepZ);
      rough.StockToLeave = stock;
      finish.StockToLeave = stock;
      rough.Feed = Number(fields.RoughFeed, ParamField::RoughFeed);
      finish.ToolNumber = Integer(fields.FinishTool, ParamField::FinishTool);
      params.Compensation =
          dialog == StrategyDialog::Pocket ? kCompNone : CompensationOf(fields.Compensation);
      FillLeads(fields, params);
      FillFinish(dialog, fields, params);
      if (dialog == StrategyDialog::Pocket)
        params.BottomStock = params.FinishMode == kFinishAll ? stock : 0.0;
      break;
    }
    case StrategyDialog::Drill:
      rough.Feed = plunge;
      params.Compensation = kCompNone;
      params.CannedCycles = fields.Linear ? 0 : 1;
      break;
    case StrategyDialog::CircuitBoard:
      rough.ZStep = rough.Radius;
      rough.StockToLeave = depth;
      finish.StockToLeave = depth;
      rough.Feed = Number(fields.RoughFeed, ParamField::RoughFeed);
      params.Compensation = kCompCutout;
      params.EntryKind = kLeadNone;
      params.ExitKind = kLeadNone;
      params.EntryLength = 0.0;
      params.ExitLength = 0.0;
      params.IsolationPasses = Integer(fields.Passes, ParamField::Passes);
      params.IsolationOverlap = Number(fields.Overlap, ParamField::Overlap);
      break;
    case StrategyDialog::Prototype:
      break;
  }

  LineNumbering numbering;
  numbering.Start = Integer(fields.StartAt, ParamField::StartAt);
  // 0 would give every block the same number and a negative step runs the
  // numbers backwards; the post definition's own reading also turns a
  // negative step into 1.
  numbering.Increment = std::max<int32_t>(1, Integer(fields.Increment, ParamField::Increment));
  return numbering;
}

int ApplyDialogDepth(TTNRegionArray& regions, double depth) {
  if (depth == 0.0) return 0;
  int changed = 0;
  for (std::size_t i = 1; i < regions.size(); ++i) {
    TTNRegion& region = regions[i];
    if (region.Selected != 0 && region.Owner == 0) {
      region.Depth = depth;
      ++changed;
    }
  }
  return changed;
}

}  // namespace tarnak
