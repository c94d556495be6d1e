// How big a toolpath job would be, estimated before any work starts, so
// that a mistyped step ("0.0001" for "0.1") is a message rather than the
// program running out of memory half an hour later.
//
// The estimate counts, for every selected Region that gets levels, its
// levels (depth / Z Step, rough and finish tool) and the Elements the cut
// paths would hold: the Region's Elements per level for a contour, times
// the rings of step-over for a pocket. Regions that the per-Region guard
// (kMaxLevelsPerRegion) already leaves out are not counted: they cost
// nothing. Values that are not finite are left to the strategies, which
// refuse them on their own.
#pragma once

#include <string>

#include "geometry/geometry.h"
#include "toolpaths/machining_params.h"

namespace tarnak {

enum class JobKind { Contour, Pocket, Drill };

// A whole job may cut this many levels and make this many Elements. A
// contour of 1,000 Regions in 500 levels each peaks near 900 MB (the
// toolpath records of the levels cost more than their Elements); the
// bounds keep a job within a gigabyte or two, some twenty times what a
// large real job needs.
inline constexpr double kMaxJobLevels = 5e5;
inline constexpr double kMaxJobElements = 5e6;

struct JobEstimate {
  double Levels = 0.0;
  double Elements = 0.0;
};

JobEstimate EstimateJob(const TTNRegionArray& regions, const TTNMachiningParameters& params,
                        JobKind kind);

// The message for a job beyond the bounds (naming the field to change),
// or empty when the job is within them.
std::string JobBoundsProblem(const JobEstimate& estimate, JobKind kind);

}  // namespace tarnak
