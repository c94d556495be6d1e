#include "toolpaths/raster/prototype_fields.h"

#include <algorithm>
#include <cmath>

#include "base/numbers.h"

namespace tarnak {

namespace {

// A field read as the dialog reads it; a text that is not a number is 0
// for the proposals made while typing.
double LooseNumber(const std::string& text) {
  double value = 0.0;
  return TryParseFieldFloat(text, value) && std::isfinite(value) ? value : 0.0;
}

struct NumberField {
  PrototypeField Field;
  const char* Label;
  const std::string* Text;
};

const char* Label(PrototypeField field) {
  switch (field) {
    case PrototypeField::None: return "";
    case PrototypeField::RapidHeight: return "Rapid height";
    case PrototypeField::StartAt: return "Line number start";
    case PrototypeField::Increment: return "Line number increment";
    case PrototypeField::RoughTool: return "Rough tool number";
    case PrototypeField::RoughDiameter: return "Rough tool diameter";
    case PrototypeField::RoughStepX: return "Rough X step";
    case PrototypeField::RoughStepY: return "Rough Y step";
    case PrototypeField::RoughStepZ: return "Rough Z step";
    case PrototypeField::StockToLeave: return "Stock to leave";
    case PrototypeField::RoughRPM: return "Rough RPM";
    case PrototypeField::RoughFeed: return "Rough feed";
    case PrototypeField::RoughPlunge: return "Plunge feed";
    case PrototypeField::RoughAngle: return "Rough tool angle";
    case PrototypeField::FinishTool: return "Finish tool number";
    case PrototypeField::FinishDiameter: return "Finish tool diameter";
    case PrototypeField::FinishStepX: return "Finish X step";
    case PrototypeField::FinishStepY: return "Finish Y step";
    case PrototypeField::FinishStepZ: return "Finish Z step";
    case PrototypeField::FinishRPM: return "Finish RPM";
    case PrototypeField::FinishFeed: return "Finish feed";
    case PrototypeField::FinishAngle: return "Finish tool angle";
    case PrototypeField::X1: return "Stock X1";
    case PrototypeField::Y1: return "Stock Y1";
    case PrototypeField::Z1: return "Stock Z1";
    case PrototypeField::X2: return "Stock X2";
    case PrototypeField::Y2: return "Stock Y2";
    case PrototypeField::Z2: return "Stock Z2";
  }
  return "";
}

PrototypeProblem Problem(PrototypeField field, const std::string& rest) {
  return PrototypeProblem{field, std::string(Label(field)) + rest};
}

// Reads a field strictly: a text that is not wholly a number is a problem.
bool Read(PrototypeField field, const std::string& text, double& value,
          std::optional<PrototypeProblem>& problem) {
  if (problem) return false;
  double v = 0.0;
  if (!TryParseFieldFloat(text, v) || !std::isfinite(v)) {
    problem = Problem(field, ": '" + text + "' is not a valid floating point value");
    return false;
  }
  value = v;
  return true;
}

void Positive(PrototypeField field, double value, std::optional<PrototypeProblem>& problem) {
  if (!problem && !(value > 0.0)) problem = Problem(field, " must be greater than 0.");
}

void NotNegative(PrototypeField field, double value, std::optional<PrototypeProblem>& problem) {
  if (!problem && value < 0.0) problem = Problem(field, " must not be negative.");
}

// A V cutter's included angle: a cone of 0 degrees is a needle and one of
// 180 a flat end mill with no point, neither cuts as a V.
void VAngle(PrototypeField field, int type, double angle, std::optional<PrototypeProblem>& problem) {
  if (!problem && type == kToolV && !(angle > 0.0 && angle < 180.0))
    problem = Problem(field, " must be between 0 and 180 degrees for a V cutter.");
}

int ToolTypeOf(int item) { return item >= kToolEndMill && item <= kToolV ? item : kToolEndMill; }

// The first `count` UTF-8 characters of a name, never half a character.
std::string FirstCharacters(const std::string& text, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t chars = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (chars++ == count) break;
  }
  return text.substr(0, i);
}

std::string Format2(double value) { return FormatNumber("%.2f", value); }
std::string Format4(double value) { return FormatNumber("%.4F", value); }

// Everything of one tool block the dialog reads.
struct ToolTexts {
  const std::string& Tool;
  const std::string& Name;
  const std::string& Diameter;
  const std::string& StepX;
  const std::string& StepY;
  const std::string& StepZ;
  const std::string& RPM;
  const std::string& Feed;
  const std::string& Angle;
  int Type;
  PrototypeField First;  // RoughTool or FinishTool: the fields follow in enum order
};

PrototypeField Nth(PrototypeField first, int offset) {
  return static_cast<PrototypeField>(static_cast<int>(first) + offset);
}

}  // namespace

void PlaceModelStock(const StlModelBox& b, DrawingExtentsRec& extents,
                     TTNMachiningParameters& params) {
  extents = DrawingExtentsRec{b.MinX, b.MaxX, b.MinY, b.MaxY, b.MinZ, b.MaxZ, b.MidZ, b.Height, b.Width};
  params.X1 = b.MinX;
  params.Y1 = b.MinY;
  params.Z1 = b.MinZ;
  params.X2 = b.MaxX;
  params.Y2 = b.MaxY;
  params.Z2 = b.MaxZ;
}

void ShowStockBox(const TTNMachiningParameters& params, PrototypeDialogFields& fields) {
  fields.X1 = Format2(params.X1);
  fields.Y1 = Format2(params.Y1);
  fields.Z1 = Format2(params.Z1);
  fields.X2 = Format2(params.X2);
  fields.Y2 = Format2(params.Y2);
  fields.Z2 = Format2(params.Z2);
}

bool ApplyMargin(const DrawingExtentsRec& extents, PrototypeDialogFields& fields) {
  double m = 0.0;
  if (!TryParseFieldFloat(fields.Margin, m) || !std::isfinite(m)) return false;
  fields.X1 = Format2(extents.MinX - m);
  fields.Y1 = Format2(extents.MinY - m);
  fields.X2 = Format2(extents.MaxX + m);
  fields.Y2 = Format2(extents.MaxY + m);
  return true;
}

void SetRoughToolType(PrototypeDialogFields& fields, int type) {
  fields.Tools.RoughType = ToolTypeOf(type);
  if (fields.Tools.RoughType != kToolV) fields.Tools.RoughAngle = "0";
}

void SetFinishToolType(PrototypeDialogFields& fields, int type) {
  fields.Tools.FinishType = ToolTypeOf(type);
  if (fields.Tools.FinishType != kToolV) fields.Tools.FinishAngle = "0";
}

bool RoughAngleEnabled(const PrototypeDialogFields& fields) { return fields.Tools.RoughType == kToolV; }

bool FinishAngleEnabled(const PrototypeDialogFields& fields) {
  return FinishFieldsEnabled(fields) && fields.Tools.FinishType == kToolV;
}

void RoughDiameterChanged(PrototypeDialogFields& fields, double stlOverlap) {
  const double d = LooseNumber(fields.Tools.RoughDiameter);
  fields.Tools.RoughStepXY = Format4(d * stlOverlap);
  fields.Tools.RoughStepY = fields.Tools.RoughStepXY;
  fields.Tools.FinishDiameter = fields.Tools.RoughDiameter;
  FinishDiameterChanged(fields, stlOverlap);
  fields.Tools.StockToLeave = FormatNumber("%.2F", d / 4.0);
}

void FinishDiameterChanged(PrototypeDialogFields& fields, double stlOverlap) {
  const double d = LooseNumber(fields.Tools.FinishDiameter);
  fields.Tools.FinishStepXY = Format4(d * stlOverlap);
  fields.Tools.FinishStepY = fields.Tools.FinishStepXY;
}

bool FinishFieldsEnabled(const PrototypeDialogFields& fields) {
  return fields.FinishDir != kFinishDirNone;
}

std::optional<PrototypeProblem> FillPrototypeParams(const PrototypeDialogFields& fields,
                                                    TTNMachiningParameters& params,
                                                    LineNumbering& numbering) {
  const StrategyDialogFields& f = fields.Tools;
  std::optional<PrototypeProblem> problem;
  TTNMachiningParameters p = params;

  double rapid = 0.0, startAt = 0.0, increment = 0.0, plunge = 0.0, stock = 0.0;
  Read(PrototypeField::RapidHeight, f.RapidHeight, rapid, problem);
  Read(PrototypeField::StartAt, f.StartAt, startAt, problem);
  Read(PrototypeField::Increment, f.Increment, increment, problem);
  Read(PrototypeField::RoughPlunge, f.RoughPlunge, plunge, problem);
  Read(PrototypeField::StockToLeave, f.StockToLeave, stock, problem);

  // One tool block: read, check, fill.
  const auto tool = [&](const ToolTexts& t, bool rough, TTNToolSettings& out) {
    double number = 0, diameter = 0, sx = 0, sy = 0, sz = 0, rpm = 0, feed = 0, angle = 0;
    Read(t.First, t.Tool, number, problem);
    Read(Nth(t.First, 1), t.Diameter, diameter, problem);
    Read(Nth(t.First, 2), t.StepX, sx, problem);
    Read(Nth(t.First, 3), t.StepY, sy, problem);
    Read(Nth(t.First, 4), t.StepZ, sz, problem);
    const int shift = rough ? 1 : 0;  // the rough block has StockToLeave between
    Read(Nth(t.First, 5 + shift), t.RPM, rpm, problem);
    Read(Nth(t.First, 6 + shift), t.Feed, feed, problem);
    Read(Nth(t.First, rough ? 9 : 7), t.Angle, angle, problem);
    if (problem) return;
    Positive(Nth(t.First, 1), diameter, problem);
    Positive(Nth(t.First, 2), sx, problem);
    Positive(Nth(t.First, 3), sy, problem);
    Positive(Nth(t.First, 4), sz, problem);
    Positive(Nth(t.First, 6 + shift), feed, problem);
    VAngle(Nth(t.First, rough ? 9 : 7), t.Type, angle, problem);
    if (problem) return;
    out.ToolType = t.Type;
    out.Radius = diameter / 2.0;
    out.ToolAngle = t.Type == kToolV ? angle : 0.0;
    out.PlungeFeed = plunge;
    out.XYStep = sx;
    out.YStep = sy;
    out.ZStep = sz;
    out.Name = FirstCharacters(t.Name, kToolNameMaxLength);
    out.ToolNumber = RoundToInt32(number);
    out.Feed = feed;
    out.SpindleSpeed = RoundToInt32(rpm);
  };

  tool(ToolTexts{f.RoughTool, f.RoughName, f.RoughDiameter, f.RoughStepXY, f.RoughStepY,
                 f.RoughStepZ, f.RoughRPM, f.RoughFeed, f.RoughAngle, ToolTypeOf(f.RoughType),
                 PrototypeField::RoughTool},
       true, p.Rough);
  NotNegative(PrototypeField::StockToLeave, stock, problem);
  Positive(PrototypeField::RoughPlunge, plunge, problem);
  NotNegative(PrototypeField::RapidHeight, rapid, problem);

  // A finish Z step of 0 skips finishing, so the finish tool is checked
  // only when it is going to cut.
  const bool finishing = fields.FinishDir != kFinishDirNone;
  double finishZ = 0.0;
  if (finishing && Read(PrototypeField::FinishStepZ, f.FinishStepZ, finishZ, problem) && finishZ > 0.0) {
    tool(ToolTexts{f.FinishTool, f.FinishName, f.FinishDiameter, f.FinishStepXY, f.FinishStepY,
                   f.FinishStepZ, f.FinishRPM, f.FinishFeed, f.FinishAngle,
                   ToolTypeOf(f.FinishType), PrototypeField::FinishTool},
         false, p.Finish);
  } else if (finishing && !problem) {
    p.Finish.ZStep = finishZ;  // 0 or less: finishing is skipped
  }

  double box[6] = {};
  Read(PrototypeField::X1, fields.X1, box[0], problem);
  Read(PrototypeField::Y1, fields.Y1, box[1], problem);
  Read(PrototypeField::Z1, fields.Z1, box[2], problem);
  Read(PrototypeField::X2, fields.X2, box[3], problem);
  Read(PrototypeField::Y2, fields.Y2, box[4], problem);
  Read(PrototypeField::Z2, fields.Z2, box[5], problem);
  if (!problem && !(box[3] > box[0])) problem = Problem(PrototypeField::X2, " must be greater than X1.");
  if (!problem && !(box[4] > box[1])) problem = Problem(PrototypeField::Y2, " must be greater than Y1.");
  if (problem) return problem;

  p.Rough.StockToLeave = stock;
  p.Finish.StockToLeave = 0.0;  // finishing leaves nothing
  p.Finish.PlungeFeed = plunge;
  p.Rough.CutDirection = fields.RoughDir == kRoughDirY ? 2 : 1;
  p.Finish.CutDirection = fields.FinishDir == kFinishDirX ? 1 : fields.FinishDir == kFinishDirY ? 2 : 0;
  p.FinishMode = p.Finish.CutDirection != 0 && p.Finish.ZStep > 0.0 ? 1 : 0;
  p.RapidHeight = rapid;
  p.Coolant = f.Coolant ? kCoolantOn : kCoolantOff;
  p.PrototypeSpare = 0;
  p.Male = fields.Male ? 1 : 0;
  p.X1 = box[0];
  p.Y1 = box[1];
  p.Z1 = box[2];
  p.X2 = box[3];
  p.Y2 = box[4];
  p.Z2 = box[5];
  p.Depth = p.Z1;
  p.Depth2 = p.Z1;
  params = p;
  numbering.Start = RoundToInt32(startAt);
  numbering.Increment = std::max<int32_t>(1, RoundToInt32(increment));
  return std::nullopt;
}

PresetLoad LoadPrototypePreset(const std::filesystem::path& file, std::string_view name,
                               PrototypeDialogFields& fields) {
  const PresetLoad load = LoadPreset(file, name, StrategyDialog::Prototype, fields.Tools);
  if (load != PresetLoad::Skipped) {
    // The angle fields follow the types as the radio groups set them.
    SetRoughToolType(fields, fields.Tools.RoughType);
    SetFinishToolType(fields, fields.Tools.FinishType);
  }
  return load;
}

bool SavePrototypePreset(const std::filesystem::path& file, std::string_view name,
                         const PrototypeDialogFields& fields) {
  return SavePreset(file, name, StrategyDialog::Prototype, fields.Tools);
}

void ApplyPrototypeSetting(std::string_view assignment, PrototypeDialogFields& fields) {
  // The angle is not reset here when the type is not V: settings come in
  // any order, and the angle is read only for a V cutter.
  ApplyPresetSetting(StrategyDialog::Prototype, assignment, fields.Tools);
}

}  // namespace tarnak
