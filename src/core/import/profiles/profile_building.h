// Profile building: entities of a drawing become Elements, loose Elements
// are cleaned and chained end to end into open and closed Regions,
// polylines become Regions directly, open Regions whose ends meet are
// joined, closed Regions are turned to the wanted direction and the list is
// put in a nearest-neighbour order. Gerber, text and the join command reuse
// the chaining.
//
// Long loops look at the cancel token (stopped by Escape) and return early
// with what they have built.
#pragma once

#include <string>

#include "base/cancel.h"
#include "geometry/extents.h"
#include "geometry/geometry.h"

namespace tarnak {

class DXF_Object;

inline constexpr double kChainTolerance = 0.0005;
inline constexpr double kShortElement = 0.00025;
inline constexpr double kShortSegment = 0.0005;
inline constexpr double kEllipseTolerance = 0.005;
inline constexpr int kChunkSize = 5000;
inline constexpr int kChunkCountLimit = 500;
// The skip-layer name the import passes so that every layer is used.
inline constexpr const char* kNoSkipLayer = "NoSkipLayer";

// Lines, arcs, circles and ellipses of every layer but `skipLayer` become
// loose Elements; polylines (and 3D faces and meshes) become Regions of
// `polyRegions` (whose slot 0 is a real Region). `closedDirection`: 1 =
// clockwise. `ellipseTolerance` 0 means the default chord tolerance.
void DxfToElements(const CancelToken& cancel, const DXF_Object& drawing,
                   const std::string& skipLayer, int closedDirection, double ellipseTolerance,
                   TTNEntityArray& loose, TTNRegionArray& polyRegions);

// Ellipse (centre, major axis end relative to the centre, ratio, parameter
// range) as a chain of lines within `tolerance` of the curve.
void EllipseToLines(double cx, double cy, double mx, double my, double ratio, double t0,
                    double t1, double tolerance, TTNEntityArray& out);

// Drops too-short Elements, makes lines run towards greater X, sorts by
// MinX and drops duplicates (of a set of duplicates the last one remains).
void CleanElements(const CancelToken& cancel, TTNEntityArray& loose);
// Steps 2 to 4 of CleanElements (4 only with `dropDuplicates`): text
// outlines keep every stroke however short, at any text height.
void NormaliseAndSortElements(const CancelToken& cancel, TTNEntityArray& loose,
                              bool dropDuplicates);

void SortElementsByMinX(const CancelToken& cancel, TTNEntityArray& list, int first, int last);
void SortRegionsByMinX(const CancelToken& cancel, TTNRegionArray& list, int first, int last);

// An open chain grown forwards from its seed (Elements [0, forwardCount))
// and then backwards from the seed (the rest, in the order found): the
// backward part is put in front, last found first, so the chain runs from
// one end to the other.
void PutOpenChainInOrder(TTNRegion& r, size_t forwardCount);

// Chains the loose Elements (emptied) into `target`, which is replaced by
// slot 0 followed by one Region per chain.
void ChainElements(const CancelToken& cancel, TTNEntityArray& loose, TTNRegionArray& target,
                   int closedDirection, double tolerance);

// Joins selected open Regions whose ends meet within `tolerance`.
void JoinOpenRegions(const CancelToken& cancel, TTNRegionArray& list, double tolerance);
void SetClosedDirections(TTNRegionArray& list, int direction);
void RemoveDuplicateRegions(TTNRegionArray& list);
// Merges consecutive collinear lines of each Region and splits a Region
// where its path turns straight back on itself.
void MergeCollinear(TTNRegionArray& list);
// Splits self-touching and self-crossing closed Regions (from index 1).
void FixBadGeometry(const CancelToken& cancel, TTNRegionArray& list, int direction);
void AppendRegions(const TTNRegionArray& source, int first, TTNRegionArray& target);
// Reorders the Regions (from index 1) along a nearest-neighbour walk that
// starts at the lower-left corner of the drawing extents.
void OrderByNearest(const CancelToken& cancel, TTNRegionArray& list,
                    const DrawingExtentsRec& extents);

}  // namespace tarnak
