// Straight text to Regions without an Element list.
//
// A glyph's contours come out of the converter as closed loops of strokes
// in whole font units. When every vertex of a text keeps farther than the
// chaining tolerance from every other one, chaining can do nothing but
// follow each loop round, so the Regions of a straight text are its glyphs'
// loops moved into place. Each glyph's loops are therefore worked out once,
// in font units, and kept with the glyph by the converter; a text is then
// written out loop by loop, its coordinates computed exactly as laying out,
// scaling and moving the Elements would compute them.
//
// The Regions are those of the Element tail: the same lines, bit for bit,
// the same closed direction, in MinX order. Two things are left to this
// path: a loop starts at its leftmost vertex (the lowest of several), where
// the general chaining may start a loop with a vertical left edge at either
// end of it, and Regions of equal MinX keep the order of the text.
//
// Anything that could chain otherwise is refused, and the caller takes
// the Element way: contours that are not closed or have fewer than three
// strokes, two vertices of a glyph on one point or within the tolerance
// at the text's size, letters whose vertices come that near each other,
// coordinates so large that rounding eats the margin, the single-line font
// (its contours are halved) and the single-stroke faces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/cancel.h"
#include "geometry/geometry.h"

namespace tarnak {

class TStrokeCollection;
class TTTFToVectorConverter;

// One glyph's loops in font units.
struct GlyphLoops {
  // Every contour closed with three strokes or more (zero-length strokes
  // left out), no two vertices on one point. A glyph of which nothing is
  // left is usable, with no loops; one that is not usable has none either.
  bool Usable = false;
  // The least distance between two vertices, the larger of the two
  // coordinate differences (font units).
  int64_t Apart = 0;
  // Vertices loop after loop in contour order: stroke k of a loop runs
  // from vertex k to the next one, the last back to the first.
  std::vector<int32_t> X, Y;
  struct Loop {
    uint32_t Begin = 0, End = 0;  // its vertices
    int64_t TwiceArea = 0;        // signed, counter-clockwise positive
    int32_t MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
  };
  std::vector<Loop> Loops;
  int32_t MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;  // of all loops
};

GlyphLoops MakeGlyphLoops(const TStrokeCollection& strokes);

// The Regions of `s` laid out from X = 0 as TextToElements does, scaled by
// `scale` (> 0) and moved by (dx, dy): `out` is slot 0 followed by them,
// as TextElementsToRegions would give them for those Elements (see above).
// False, with `out` untouched, when this way cannot vouch for the result.
bool StraightTextToRegions(const CancelToken& cancel, const std::string& s, TTTFToVectorConverter& ttf,
                           double scale, double dx, double dy, int closedDirection,
                           bool removeDuplicates, TTNRegionArray& out);

}  // namespace tarnak
