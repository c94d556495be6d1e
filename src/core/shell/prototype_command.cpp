#include "shell/prototype_command.h"

#include <algorithm>
#include <cmath>

#include "base/numbers.h"
#include "import/stl/stl_mesh.h"
#include "toolpaths/raster/cutter_profile.h"
#include "toolpaths/raster/drop_cutter.h"
#include "toolpaths/raster/raster.h"

namespace tarnak {

namespace {

constexpr const char* kCaption = "Tarnak";
constexpr const char* kNoModel = "No STL model loaded.";
constexpr const char* kNoRoughStep = "Rough Z step must be greater than 0.";

// One tool's grid: made, corrected for the cutter, and (for a male model)
// raised to the exact drop of the cutter at every node, so that the tip
// stands on the model at the nodes and not only on its samples. The
// finishing run reuses it when its tool matches.
bool MakeGrid(Document& doc, TTNZGrid& grid, bool rough) {
  const TTNMachiningParameters& p = doc.MachiningParams;
  const TTNToolSettings& tool = rough ? p.Rough : p.Finish;
  const double stock = rough ? p.Rough.StockToLeave : 0.0;
  const double diameter = 2.0 * (tool.Radius + stock);
  doc.ui().SetStatus("Creating grid...");
  if (!CreateGrid(doc.Triangles, grid, p, rough, doc.Cancel)) return false;
  doc.ui().SetStatus("Applying gouge control..");
  if (!GougeControl(grid, tool.ToolType, tool.ToolAngle, diameter, doc.Cancel)) return false;
  // The female grid holds the lowest surface, which the drop cutter over
  // all triangles does not describe; it keeps the grid's own correction.
  if (p.Male != 0 &&
      !DropCutterNodes(grid, doc.Triangles, tool.ToolType, tool.ToolAngle, diameter, stock, doc.Cancel))
    return false;
  return true;
}

void Paths(Document& doc, const TTNZGrid& grid, bool rough, double tolerance, std::size_t first) {
  doc.ui().SetStatus("Creating toolpaths..");
  const RasterResult raster =
      RasterPaths(grid, doc.Toolpaths3D, doc.MachiningParams, rough, tolerance, doc.Cancel);
  if (raster.DisplayLimitTotal)
    doc.ui().Message(DisplayLimitMessage(*raster.DisplayLimitTotal), kCaption, MsgButtons::Ok,
                     MsgIcon::Information);
  AirMoves(doc.Toolpaths3D, doc.MachiningParams, first);
}

// The gouge of the passes [first, last) cut with `tool`: its real size,
// against the model itself (no stock).
void Measure(Document& doc, const TTNToolSettings& tool, std::size_t first, std::size_t last,
             const TriangleBins& bins, PrototypeResult& result) {
  if (first >= last || !(tool.Radius > 0.0)) return;
  const CutterProfile cutter = CutterProfile::Make(tool.ToolType, tool.ToolAngle, 2.0 * tool.Radius);
  // A straight move is sampled every quarter of the smaller grid step: the
  // cutter passes each node and the three quarter-points between two
  // nodes, which resolves a ridge or valley of the model between nodes to
  // within an eighth of a step of the cutter's travel.
  const double spacing = std::min(tool.XYStep, tool.YStep) / 4.0;
  const GougeMeasure gouge = MeasureGouge(doc.Toolpaths3D, first, last, cutter, bins, spacing, doc.Cancel);
  if (gouge.Depth > result.GougeDepth) {
    result.GougeDepth = gouge.Depth;
    result.GougeX = gouge.X;
    result.GougeY = gouge.Y;
    result.GougeZ = gouge.Z;
    result.GougePass = gouge.Pass;
  }
}

PrototypeResult Nothing(Document& doc, const char* why) {
  PrototypeResult result;
  result.Message = why;
  doc.ui().SetStatus("Ready...");
  return result;
}

}  // namespace

std::string GougeStatusText(const PrototypeResult& result) {
  if (!result.GougeMeasured) return "Gouge not measured";
  if (!(result.GougeDepth > 0.0)) return "No gouge";
  return "Gouge " + FormatNumber("%.4f", result.GougeDepth) + " at X" +
         FormatNumber("%.3f", result.GougeX) + " Y" + FormatNumber("%.3f", result.GougeY);
}

PrototypeResult PrototypeCommand(Document& doc, const PrototypeRunOptions& options) {
  doc.Cancel.Reset();
  TTNMachiningParameters& params = doc.MachiningParams;
  if (doc.Triangles.empty()) return Nothing(doc, kNoModel);
  if (!(params.Rough.ZStep > 0.0)) return Nothing(doc, kNoRoughStep);
  const bool roughing = params.Rough.CutDirection != 0;
  const bool finishing = params.Finish.CutDirection != 0 && params.Finish.ZStep > 0.0;
  for (const bool rough : {true, false}) {
    if (!(rough ? roughing : finishing)) continue;
    const std::string problem = RasterJobProblem(params, rough);
    if (problem.empty()) continue;
    doc.ui().Message(problem, kCaption, MsgButtons::Ok, MsgIcon::Warning);
    PrototypeResult refused = Nothing(doc, "");
    refused.Status = PrototypeStatus::Refused;
    refused.Message = problem;
    return refused;
  }

  doc.Toolpaths3D.clear();
  doc.Toolpaths.resize(1);
  doc.PickMode = kPickModePrototype;
  SetToolColours(params, static_cast<int32_t>(doc.Options.View.RTool),
                 static_cast<int32_t>(doc.Options.View.FTool));
  SortByMinZ(doc.Triangles, 0, static_cast<std::ptrdiff_t>(doc.Triangles.size()) - 1, doc.Cancel);

  PrototypeResult result;
  TTNZGrid grid;
  bool gridIsRough = false;
  bool ok = !doc.Cancel.stopped();
  if (ok && roughing) {
    grid.Direction = params.Rough.CutDirection;
    ok = MakeGrid(doc, grid, true);
    gridIsRough = ok;
    if (ok) Paths(doc, grid, true, doc.Options.RoughTolerances.TanDev, 0);
  }
  const std::size_t roughEnd = doc.Toolpaths3D.size();
  ok = ok && !doc.Cancel.stopped();
  if (ok && finishing) {
    grid.Direction = params.Finish.CutDirection;
    result.GridReused = gridIsRough && !grid.Empty() && FinishReusesRoughGrid(params);
    if (!result.GridReused) ok = MakeGrid(doc, grid, false);
    if (ok) Paths(doc, grid, false, 0.0, roughEnd);
  }
  result.RoughPasses = static_cast<int>(roughEnd);
  result.FinishPasses = static_cast<int>(doc.Toolpaths3D.size() - roughEnd);
  for (const TTNOutRegion3D& pass : doc.Toolpaths3D) result.Points += pass.Points.size();

  if (options.MeasureGouge && params.Male != 0 && !doc.Cancel.stopped() && result.Points > 0) {
    doc.ui().SetStatus("Measuring gouge..");
    const double cell = std::max(params.Rough.Radius, params.Finish.Radius);
    const TriangleBins bins(doc.Triangles, cell);
    Measure(doc, params.Rough, 0, roughEnd, bins, result);
    Measure(doc, params.Finish, roughEnd, doc.Toolpaths3D.size(), bins, result);
    result.GougeMeasured = !doc.Cancel.stopped();
  }

  const bool cancelled = doc.Cancel.stopped();
  doc.Cancel.ProgressEnd();
  doc.ToolpathsCancelled = cancelled;
  doc.ui().SetStatus("Ready...");
  if (cancelled) doc.ui().SetStatus("Operation Cancelled...");
  doc.PickMode = kPickNone;
  if (cancelled) result.Status = PrototypeStatus::Cancelled;
  else result.Status = result.Points > 0 ? PrototypeStatus::Made : PrototypeStatus::None;
  if (result.Status == PrototypeStatus::None)
    result.Message = "Toolpaths not Created.  Check Parameters.";
  return result;
}

}  // namespace tarnak
