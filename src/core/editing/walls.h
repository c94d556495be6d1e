// Wall profiles: a Region may carry the number of a profile from the
// profile library and a wall delta. The profile's outline, stretched to the
// Region's wall height and to the delta sideways, tells how much further
// from the outline the tool must stay at each depth, so that a wall can be
// drafted, rounded or stepped instead of vertical.
#pragma once

#include <filesystem>
#include <string>

#include "base/cancel.h"
#include "base/user_interface.h"
#include "geometry/geometry.h"

namespace tarnak {

// The offset distance for Region `i` of `regions` at depth `z` (positive
// downwards): `baseDistance` plus the profile's sideways step at that depth,
// scaled so that the profile's full width is the Region's wall delta.
//
// `profiles` is the profile library, laid out like the Region list: slot 0
// is reserved and profile k is `profiles[k]`. A Region without a profile
// (number 0), with a number beyond the library, or whose profile cannot be
// read at that depth (no Element at that height, a vertical or horizontal
// line, a wall of no height, a profile of no width or height) gets
// `baseDistance` unchanged.
//
// The profile's bottom stands at the floor of the wall and its top at the
// top of the wall: for a Boundary (Parent = itself) the wall runs from the
// surface (z = 0) down to its depth; for an Island it runs from the island's
// top (its depth) down to its Parent's depth.
//
// When the Region uses a profile from the library and `noWallMark` is
// given, *noWallMark is cleared: the caller's record that no Region of the
// job uses a wall profile.
double WallDistance(const TTNRegionArray& regions, int i, double z, const TTNRegionArray& profiles,
                    double baseDistance, bool* noWallMark = nullptr);

// The wall command's Apply: Region `k` (1 ... N) gets wall profile number
// `profile` and wall delta `delta`. The number is kept as given, so that a
// library loaded later may hold it; WallDistance ignores a number beyond the
// library. A delta of 0 or less, a profile below 1 or a Region out of range
// changes nothing and gives false.
bool AssignWall(TTNRegionArray& regions, int k, int profile, double delta);

// The wall command's Delta field offers two quick values for Region `k`
// (1 ... N). WallHeightText, for the "-" key: the height of its wall,
// |Depth(k) - Depth(Parent(k))|, as "%.4f", which for an island is its height
// over its Boundary's floor; when that is no height (a Boundary, whose Parent
// is itself) its own full depth as FloatToStr gives it. Empty when `k` is out
// of range.
std::string WallHeightText(const TTNRegionArray& regions, int k);

// For Enter on a Delta below 0: the depth the wall reaches, its Parent's
// depth for an Island (Owner != 0), its own depth otherwise. False when `k`
// is out of range.
bool WallFloorDepth(const TTNRegionArray& regions, int k, double& depth);

// The profile library's file, looked for in the folder the wall command is
// given (the current folder in the program).
inline constexpr const char* kProfilesFileName = "Profiles.DXF";

struct ProfileLoadResult {
  enum class Status { Loaded, Missing, Bad, Cancelled };
  Status State = Status::Missing;
  std::string Message;  // names the file; empty when loaded
};

// Reads the drawing `file` into `profiles` (slot 0 reserved, profile k at
// index k, in MinX order), through the same building as a drawing import but
// into this list, never the document's. `closedDirection`: 1 = clockwise.
// `profiles` is left as it was unless the file gave at least one profile. A
// cancel (Escape) during the read is cleared and loads nothing.
ProfileLoadResult LoadProfileFile(const std::filesystem::path& file, int closedDirection,
                                  CancelToken& cancel, UserInterface& ui,
                                  TTNRegionArray& profiles);

// The profile library "Profiles.DXF" of `folder`. A missing file is no
// fault for the wall command (it just offers no profile), so the caller
// decides whether to show the message of a Missing result.
ProfileLoadResult LoadProfiles(const std::filesystem::path& folder, int closedDirection,
                               CancelToken& cancel, UserInterface& ui, TTNRegionArray& profiles);

}  // namespace tarnak
