// The Toolpath record: one chain of Elements cut at one depth, with the
// tool, speeds and the way the tool reaches its start.
//
// Strategies never store individual rapid, plunge or retract moves; the
// motion list (motion_list.h) derives them from LinkKind, RapidLevel and
// Depth. Only the entry
// and exit moves are stored, as Elements. Like the Region list, the
// document's toolpath list keeps slot 0 empty and is walked from index 1.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/geometry.h"

namespace tarnak {

struct TTNToolSettings;

// How the tool gets to the start of a Toolpath: the values of the LinkKind
// field, as the strategies store them. The field stays a plain number (it
// is read back from lists written elsewhere); these name its values.
enum TTNLinkKind : int32_t {
  // Feed across at depth from the end of the previous path.
  kLinkFeedAtDepth = 0,
  // Rise to RapidLevel, rapid to the start, plunge.
  kLinkRetract = 1,
  // No link moves: the path is cut from wherever the tool stands.
  kLinkNone = 2,
  // The tool already stands on the start point: plunge in place.
  kLinkInPlace = 3,
  // Neither link nor path: only the tool change and the toolpath's words.
  kLinkSkip = 4,
  // A hole drilled with linear moves.
  kLinkDrillLinear = 5,
  // A hole drilled with a canned cycle.
  kLinkDrillCanned = 6,
};

// Whether the path's own moves are cut (every kind before kLinkSkip).
constexpr bool LinkCutsPath(int32_t kind) { return kind < kLinkSkip; }
// Whether the Toolpath is a hole, drilled at its first Element.
constexpr bool IsDrillLink(int32_t kind) { return kind > kLinkSkip; }
// Whether the NC program takes the clearance word from this Toolpath's
// RapidLevel (every kind after kLinkRetract).
constexpr bool LinkSetsClearance(int32_t kind) { return kind > kLinkRetract; }

struct TTNOutRegion {
  int32_t Colour = 0;         // display colour, from the ToolSettings used
  double Feed = 0.0;          // cutting feed
  double PlungeFeed = 0.0;    // feed of the plunge into the material
  double SpindleSpeed = 0.0;  // RPM (an integer value held as a double)
  int32_t ToolNumber = 0;     // 0..9
  TTNEntity EntryMove;        // lead-in ending at the start; Mark = present
  TTNEntity ExitMove;         // lead-out from the end; Mark = present
  double Depth = 0.0;         // cutting depth, positive below the surface
  uint8_t LeadMoves = 0;      // 1: the path carries entry/exit moves
  uint8_t Open = 0;           // 1: open chain
  uint8_t Island = 0;         // set by the caller (contour: cut around an island)
  uint8_t Selected = 0;       // copied from the Region
  // Travelling level before this path, as a depth: negative above the
  // surface (minus the rapid height for a full retract).
  double RapidLevel = 0.0;
  int32_t LinkKind = kLinkFeedAtDepth;
  int32_t Spare = 0;          // copied from the Region, not interpreted
  TTNEntityArray Elements;    // in cutting order
};

using TTNOutRegionArray = std::vector<TTNOutRegion>;

// Values the linking steps compute on a Region before it is appended.
struct ToolpathLink {
  int32_t LinkKind = kLinkFeedAtDepth;
  double RapidLevel = 0.0;
  int32_t Spare = 0;
};

// Appends the Region as a Toolpath: Depth, Open, Selected, the lead-move
// flag (the Region's machining work flag) and the Elements come from the
// Region; LinkKind, RapidLevel and Spare from `link`; Colour, Feed,
// PlungeFeed, SpindleSpeed and ToolNumber from `tool`. The entry and exit
// moves start absent. A list without its reserved slot gets one first.
// Returns the new record, valid until the list changes size.
TTNOutRegion& AppendToolpath(TTNOutRegionArray& toolpaths, const TTNRegion& region,
                             const ToolpathLink& link, const TTNToolSettings& tool,
                             bool island = false);
// The same with the link the linking step left in the Region.
TTNOutRegion& AppendToolpath(TTNOutRegionArray& toolpaths, const TTNRegion& region,
                             const TTNToolSettings& tool, bool island = false);

// Empties the list down to its reserved, blank slot 0.
void ClearToolpaths(TTNOutRegionArray& toolpaths);

// Number of Toolpaths held (slots from 1 on).
inline int ToolpathCount(const TTNOutRegionArray& toolpaths) {
  return toolpaths.empty() ? 0 : static_cast<int>(toolpaths.size()) - 1;
}

}  // namespace tarnak
