// The text tail for outline glyphs, the short way.
//
// Glyph outlines come out of the converter as closed loops of lines, each
// line starting where the one before ended. The general tail (the
// MinX normalise and sort of profile building, then ChainElements) spends
// nearly all its time rediscovering those loops. Here they are taken as
// they come, and only what decides the general result is reproduced:
// the chunk each line falls into and the first line of every chain, both
// fixed by the MinX quicksort (equal keys included), the order of the
// Regions and the open-piece joining at chunk borders.
//
// That is only sound when every point where two lines of a loop meet is
// farther than the chaining tolerance from every other such point (so that
// the general search can find nothing but the next line of the loop), and,
// when duplicates are to be dropped, when none would be. The input is
// checked for all of it; anything else (touching or overlapping letters,
// tiny text, arcs, open strokes) is refused and goes the general way.
#pragma once

#include "base/cancel.h"
#include "geometry/geometry.h"

namespace tarnak {

// `elements` as the text tail receives them (zero-length lines are left out
// here exactly as the tail does). On true `out` is slot 0 followed by the
// Regions the general tail would give, bit for bit, and `elements` is
// emptied; on false both are untouched and the general tail must run.
bool ChainGlyphOutlines(const CancelToken& cancel, TTNEntityArray& elements, TTNRegionArray& out,
                        int closedDirection, bool removeDuplicates);

}  // namespace tarnak
