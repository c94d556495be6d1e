#include "toolpaths/job_bounds.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "toolpaths/machining_groups.h"

namespace tarnak {

namespace {

bool Finite(double v) { return std::isfinite(v); }

// Levels of one Region with one tool; 0 when the strategies would leave
// the Region out anyway.
double RegionLevels(double depth, double zStep) {
  if (!Finite(depth) || !(depth > 0.0)) return 0.0;
  if (!Finite(zStep) || !(zStep > 0.0)) return 1.0;
  const double levels = std::ceil(depth / zStep);
  return levels > kMaxLevelsPerRegion ? 0.0 : std::max(levels, 1.0);
}

// Rings of step-over that clear a Region's box.
double PocketRings(const TTNRegion& r, double step) {
  if (!Finite(step) || !(step > 0.0)) return 1.0;
  const double half = std::min(r.MaxX - r.MinX, r.MaxY - r.MinY) / 2.0;
  if (!Finite(half) || half <= 0.0) return 1.0;
  return std::floor(half / step) + 1.0;
}

std::string Count(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", v);
  return text;
}

}  // namespace

JobEstimate EstimateJob(const TTNRegionArray& regions, const TTNMachiningParameters& params,
                        JobKind kind) {
  JobEstimate e;
  const bool finish = params.FinishMode != kFinishNone;
  for (std::size_t i = 1; i < regions.size(); ++i) {
    const TTNRegion& r = regions[i];
    if (!r.Selected) continue;
    const double elements = static_cast<double>(r.Elements.size()) + 4.0;
    if (kind == JobKind::Drill) {
      e.Levels += 1.0;
      e.Elements += 1.0;
      continue;
    }
    double levels = RegionLevels(r.Depth, params.Rough.ZStep);
    double cut = levels * elements;
    if (kind == JobKind::Pocket) cut *= PocketRings(r, params.Rough.XYStep);
    if (finish) {
      const double finishLevels = RegionLevels(r.Depth, params.Finish.ZStep);
      levels += finishLevels;
      double finishCut = finishLevels * elements;
      if (kind == JobKind::Pocket && params.FinishMode == kFinishAll)
        finishCut *= PocketRings(r, params.Finish.XYStep);
      cut += finishCut;
    }
    e.Levels += levels;
    e.Elements += cut;
  }
  return e;
}

std::string JobBoundsProblem(const JobEstimate& estimate, JobKind kind) {
  if (estimate.Levels > kMaxJobLevels) {
    return "Z Step too small for the depth: the job would cut " + Count(estimate.Levels) +
           " levels (at most " + Count(kMaxJobLevels) +
           "). Make Z Step larger or the Depth smaller.";
  }
  if (estimate.Elements > kMaxJobElements) {
    const std::string fields = kind == JobKind::Pocket ? "Z Step or Step Over" : "Z Step";
    return "Job too large: its toolpaths would hold about " + Count(estimate.Elements) +
           " Elements (at most " + Count(kMaxJobElements) + "). Make " + fields +
           " larger or select fewer Regions.";
  }
  return {};
}

}  // namespace tarnak
