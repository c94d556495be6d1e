#include "toolpaths/param_checks.h"

#include <vector>

namespace tarnak {

namespace {

// Most isolation passes around the copper (as the routing caps them).
constexpr int32_t kMaxBoardPasses = 20;

struct Positive {
  ParamField Field;
  double Value;
};

std::optional<ParamProblem> FirstNotPositive(const std::vector<Positive>& values) {
  for (const Positive& v : values) {
    // Written as "not above" so that NaN is refused as well.
    if (!(v.Value > 0.0))
      return ParamProblem{v.Field, std::string(ParamFieldLabel(v.Field)) + " must be greater than 0."};
  }
  return std::nullopt;
}

std::optional<ParamProblem> StepOver(ParamField field, ParamField diameterField, double step,
                                     double diameter) {
  if (!(step > 0.0))
    return ParamProblem{field, std::string(ParamFieldLabel(field)) + " must be greater than 0."};
  if (step > diameter) {
    std::string tool = ParamFieldLabel(diameterField);
    tool[0] = static_cast<char>(tool[0] - 'A' + 'a');
    return ParamProblem{field, std::string(ParamFieldLabel(field)) +
                                   " must not be greater than the " + tool + "."};
  }
  return std::nullopt;
}

std::optional<ParamProblem> CheckPocket(const TTNMachiningParameters& p) {
  const double rough = 2.0 * p.Rough.Radius;
  if (auto problem = FirstNotPositive({{ParamField::RoughDiameter, rough}})) return problem;
  if (auto problem = StepOver(ParamField::RoughStepXY, ParamField::RoughDiameter, p.Rough.XYStep, rough))
    return problem;
  if (auto problem = FirstNotPositive({{ParamField::RoughStepZ, p.Rough.ZStep},
                                       {ParamField::RoughFeed, p.Rough.Feed},
                                       {ParamField::RoughPlunge, p.Rough.PlungeFeed}}))
    return problem;
  if (p.FinishMode == kFinishNone) return std::nullopt;
  const double finish = 2.0 * p.Finish.Radius;
  if (auto problem = FirstNotPositive({{ParamField::FinishDiameter, finish}})) return problem;
  // The finish tool steps over only where it clears the floor again.
  if (p.FinishMode == kFinishAll && p.Finish.StockToLeave > 0.0) {
    if (auto problem =
            StepOver(ParamField::FinishStepXY, ParamField::FinishDiameter, p.Finish.XYStep, finish))
      return problem;
  }
  return FirstNotPositive(
      {{ParamField::FinishStepZ, p.Finish.ZStep}, {ParamField::FinishFeed, p.Finish.Feed}});
}

std::optional<ParamProblem> CheckContour(const TTNMachiningParameters& p) {
  const int32_t comp = p.Compensation;
  // On the line the tool's size does not enter the path.
  if (comp != kCompNone) {
    if (auto problem = FirstNotPositive({{ParamField::RoughDiameter, 2.0 * p.Rough.Radius}}))
      return problem;
  }
  if (auto problem = FirstNotPositive({{ParamField::RoughStepZ, p.Rough.ZStep},
                                       {ParamField::RoughFeed, p.Rough.Feed},
                                       {ParamField::RoughPlunge, p.Rough.PlungeFeed}}))
    return problem;
  // A cutout has no finish pass.
  if (p.FinishMode == kFinishNone || comp == kCompCutout) return std::nullopt;
  if (comp != kCompNone) {
    if (auto problem = FirstNotPositive({{ParamField::FinishDiameter, 2.0 * p.Finish.Radius}}))
      return problem;
  }
  return FirstNotPositive(
      {{ParamField::FinishStepZ, p.Finish.ZStep}, {ParamField::FinishFeed, p.Finish.Feed}});
}

std::optional<ParamProblem> CheckBoard(const TTNMachiningParameters& p) {
  if (auto problem = FirstNotPositive({{ParamField::RoughDiameter, 2.0 * p.Rough.Radius},
                                       {ParamField::RoughFeed, p.Rough.Feed},
                                       {ParamField::RoughPlunge, p.Rough.PlungeFeed}}))
    return problem;
  if (p.IsolationPasses < 1 || p.IsolationPasses > kMaxBoardPasses)
    return ParamProblem{ParamField::Passes, "Number of passes must be from 1 to " +
                                                std::to_string(kMaxBoardPasses) + "."};
  // An overlap of the whole tool width would put every pass on the first.
  if (!(p.IsolationOverlap >= 0.0 && p.IsolationOverlap < 1.0))
    return ParamProblem{ParamField::Overlap,
                        "Pass overlap must be at least 0 and less than 1."};
  return std::nullopt;
}

}  // namespace

const char* ParamFieldLabel(ParamField field) {
  switch (field) {
    case ParamField::None: return "Field";
    case ParamField::Depth: return "Depth";
    case ParamField::RapidHeight: return "Rapid height";
    case ParamField::StartAt: return "Line number start";
    case ParamField::Increment: return "Line number increment";
    case ParamField::RoughTool: return "Rough tool number";
    case ParamField::RoughDiameter: return "Rough tool diameter";
    case ParamField::RoughStepXY: return "Rough step-over";
    case ParamField::RoughStepZ: return "Rough Z step";
    case ParamField::StockToLeave: return "Stock to leave";
    case ParamField::RoughRPM: return "Rough spindle speed";
    case ParamField::RoughFeed: return "Rough feed";
    case ParamField::RoughPlunge: return "Plunge feed";
    case ParamField::FinishTool: return "Finish tool number";
    case ParamField::FinishDiameter: return "Finish tool diameter";
    case ParamField::FinishStepXY: return "Finish step-over";
    case ParamField::FinishStepZ: return "Finish Z step";
    case ParamField::FinishRPM: return "Finish spindle speed";
    case ParamField::FinishFeed: return "Finish feed";
    case ParamField::EntryLength: return "Entry length";
    case ParamField::ExitLength: return "Exit length";
    case ParamField::Passes: return "Number of passes";
    case ParamField::Overlap: return "Pass overlap";
  }
  return "Field";
}

FieldNumberError::FieldNumberError(ParamField field, std::string_view text)
    : ConvertError(std::string(ParamFieldLabel(field)) + ": '" + std::string(text) +
                   "' is not a valid floating point value"),
      field_(field) {}

std::optional<ParamProblem> CheckStrategyParams(StrategyDialog dialog,
                                                const TTNMachiningParameters& params) {
  switch (dialog) {
    case StrategyDialog::Pocket: return CheckPocket(params);
    case StrategyDialog::Contour: return CheckContour(params);
    case StrategyDialog::Drill:
      // The drill feeds down at its plunge feed; its diameter is only a name.
      return FirstNotPositive({{ParamField::RoughPlunge, params.Rough.PlungeFeed}});
    case StrategyDialog::CircuitBoard: return CheckBoard(params);
    case StrategyDialog::Prototype: break;
  }
  return std::nullopt;
}

std::optional<ParamProblem> FillCheckedParams(StrategyDialog dialog,
                                              const StrategyDialogFields& fields,
                                              TTNMachiningParameters& params,
                                              LineNumbering& numbering) {
  TTNMachiningParameters filled = params;
  LineNumbering lines;
  try {
    lines = FillMachiningParams(dialog, fields, filled);
  } catch (const FieldNumberError& e) {
    return ParamProblem{e.Field(), e.what()};
  }
  if (auto problem = CheckStrategyParams(dialog, filled)) return problem;
  params = filled;
  numbering = lines;
  return std::nullopt;
}

}  // namespace tarnak
