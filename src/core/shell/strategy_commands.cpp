#include "shell/strategy_commands.h"

#include "selection/region_selection.h"
#include "shell/toolpath_batch.h"
#include "toolpaths/contour.h"
#include "toolpaths/drill.h"
#include "toolpaths/isolation/isolation.h"
#include "toolpaths/job_bounds.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/pocket.h"
#include "toolpaths/toolpath_model.h"

namespace tarnak {

namespace {

constexpr const char* kCaption = "Tarnak";
constexpr const char* kNothingSelected = "Nothing Selected! - Select Regions First";
constexpr const char* kNoToolpaths = "Toolpaths not Created.  Check Parameters.";
constexpr const char* kNeedAllAsIslands = "Use Select All as Islands for this function";
constexpr const char* kTooManyLevels =
    "Z Step too small for the depth: some Regions were not machined.";

bool NothingSelected(Document& doc) {
  if (AnyRegionSelected(doc.Regions)) return false;
  doc.ui().Message(kNothingSelected, kCaption, MsgButtons::Ok, MsgIcon::Warning);
  return true;
}

// An Escape from before belongs to another job.
void StartStrategy(Document& doc, Pick runningMode) {
  doc.Cancel.Reset();
  doc.PickMode = runningMode;
}

// A job beyond what memory can hold is refused before anything is changed,
// with a message naming the field to change.
bool WithinJobBounds(Document& doc, JobKind kind) {
  const std::string problem =
      JobBoundsProblem(EstimateJob(doc.Regions, doc.MachiningParams, kind), kind);
  if (problem.empty()) return true;
  doc.ui().Message(problem, kCaption, MsgButtons::Ok, MsgIcon::Warning);
  doc.ui().SetStatus("Ready...");
  return false;
}

// The one ending of every strategy command. `allBuilt` is false when a
// Region was left out for too many levels.
StrategyResult EndStrategy(Document& doc, ToolpathBatch& batch, bool allBuilt) {
  const bool cancelled = doc.Cancel.stopped();
  doc.Cancel.ProgressEnd();
  if (!allBuilt && !cancelled)
    doc.ui().Message(kTooManyLevels, kCaption, MsgButtons::Ok, MsgIcon::Warning);
  const bool made = batch.Finish(cancelled) > 0;
  if (!made) doc.ui().Message(kNoToolpaths, kCaption, MsgButtons::Ok, MsgIcon::Warning);
  doc.ui().SetStatus("Ready...");
  if (cancelled) doc.ui().SetStatus("Operation Cancelled...");
  doc.PickMode = kPickNone;
  if (cancelled) return StrategyResult::Cancelled;
  return made ? StrategyResult::Made : StrategyResult::None;
}

// Rough, then finish, each with its own tolerances; false when either left
// a Region out for too many levels.
template <class Rough, class Finish>
bool RoughAndFinish(Document& doc, Rough rough, Finish finish) {
  const bool roughBuilt = rough(doc.Cancel, doc.Regions, doc.Toolpaths, doc.MachiningParams,
                                doc.Options, doc.ProfileLibrary, doc.Options.RoughTolerances);
  const bool finishBuilt = finish(doc.Cancel, doc.Regions, doc.Toolpaths, doc.MachiningParams,
                                  doc.Options, doc.ProfileLibrary, doc.Options.FinishTolerances);
  return roughBuilt && finishBuilt;
}

// The board outline select all as islands recorded in slot 0, or 0.
int BoardOutline(const Document& doc) {
  if (doc.Regions.empty()) return 0;
  const int b = doc.Regions[0].Owner;
  return b > 0 && static_cast<size_t>(b) < doc.Regions.size() ? b : 0;
}

}  // namespace

ContourResult ContourCommand(Document& doc, ToolpathsMode mode) {
  doc.Cancel.Reset();
  TTNMachiningParameters& params = doc.MachiningParams;
  if (CompensationOf(params) < kCompCutout) {
    // Each Region is contoured by itself, islands included.
    for (size_t i = 1; i < doc.Regions.size(); ++i)
      if (doc.Regions[i].Selected) doc.Regions[i].Owner = 0;
  }
  ApplyDialogDepth(doc.Regions, params.Depth);
  if (!WithinJobBounds(doc, JobKind::Contour)) return ContourResult::None;

  StartStrategy(doc, kPickModeContour);
  ToolpathBatch batch(doc, mode);
  return EndStrategy(doc, batch, RoughAndFinish(doc, ContourRough, ContourFinish));
}

bool CheckPocketSelection(Document& doc) { return !NothingSelected(doc); }

PocketResult PocketCommand(Document& doc, ToolpathsMode mode) {
  doc.Cancel.Reset();
  if (NothingSelected(doc)) return PocketResult::NothingSelected;
  ApplyDialogDepth(doc.Regions, doc.MachiningParams.Depth);
  if (!WithinJobBounds(doc, JobKind::Pocket)) return PocketResult::None;

  StartStrategy(doc, kPickModePocket);
  ToolpathBatch batch(doc, mode);
  return EndStrategy(doc, batch, RoughAndFinish(
                                    doc, [](auto&&... a) { return PocketRough(a...); },
                                    [](auto&&... a) { return PocketFinish(a...); }));
}

DrillResult DrillCommand(Document& doc, ToolpathsMode mode) {
  if (NothingSelected(doc)) return DrillResult::NothingSelected;
  doc.Cancel.Reset();
  if (!WithinJobBounds(doc, JobKind::Drill)) return DrillResult::None;
  StartStrategy(doc, kPickModeDrill);
  ApplyDialogDepth(doc.Regions, doc.MachiningParams.Depth);
  ToolpathBatch batch(doc, mode);
  DrillPaths(doc.Cancel, doc.Regions, doc.Toolpaths, doc.MachiningParams);
  return EndStrategy(doc, batch, true);
}

bool CheckRoutePcbSelection(Document& doc) {
  if (BoardOutline(doc) == 0) {
    doc.ui().Message(kNeedAllAsIslands, kCaption, MsgButtons::Ok, MsgIcon::Warning);
    return false;
  }
  return !NothingSelected(doc);
}

RoutePcbResult RoutePcbCommand(Document& doc, ToolpathsMode mode) {
  if (BoardOutline(doc) == 0) {
    doc.ui().Message(kNeedAllAsIslands, kCaption, MsgButtons::Ok, MsgIcon::Warning);
    return RoutePcbResult::NotAllAsIslands;
  }
  if (NothingSelected(doc)) return RoutePcbResult::NothingSelected;
  doc.ui().SetStatus("Routing in progress...");
  StartStrategy(doc, kPickModeRouting);
  ToolpathBatch batch(doc, mode);
  RoutePCB(doc.Cancel, doc.Regions, doc.Toolpaths, doc.MachiningParams,
           doc.Options.Program.Dir ? 1 : 0, doc.Options.RoughTolerances, BoardOutline(doc));

  const bool cancelled = doc.Cancel.stopped();
  doc.Cancel.ProgressEnd();
  const bool made = batch.Finish(cancelled) > 0;
  if (!made) doc.ui().Message(kNoToolpaths, kCaption, MsgButtons::Ok, MsgIcon::Warning);
  doc.ui().SetStatus(cancelled ? "Operation Cancelled..." : "Routing complete...");
  doc.PickMode = kPickNone;
  if (cancelled) return RoutePcbResult::Cancelled;
  return made ? RoutePcbResult::Made : RoutePcbResult::None;
}

}  // namespace tarnak
