// Text as geometry: strings laid out as line Elements from the glyph
// converter, the small Element transforms the text paths share (and the
// move command reuses), the preview box, the tail that turns the
// Elements into Regions, and the texts of a DXF drawing.
//
// Outline coordinates are font units at an em of 1024, baseline at Y = 0.
// A character without outline (a space) advances the pen by the width of
// the last character that had one: that is how the glyph service reports
// it, and texts laid out before rely on it.
#pragma once

#include <optional>
#include <string>

#include "base/cancel.h"
#include "geometry/geometry.h"
#include "import/text/ttf_converter.h"

namespace tarnak {

class DXF_Object;

// The single-line font: each contour goes out and back, half is kept.
inline constexpr const char* kSingleLineFace = "Vuroz40";
// DXF text heights are cell heights: outlines at 1024 are scaled by
// height / 1200, and lines of a text lie 1.2 heights apart.
inline constexpr double kDxfTextScale = 1200.0;
inline constexpr double kDxfLineSpacing = 1.2;
inline constexpr double kDegToRad = 0.017453292519943295;

// The single-line font's name, in any case.
bool SingleLineFace(const std::string& face);

std::optional<TStrokeCollection> GlyphStrokes(TTTFToVectorConverter& ttf, char32_t c);
int32_t GlyphAdvance(TTTFToVectorConverter& ttf, char32_t c);
// The whole string from X = 0; the single-line font keeps half of each
// contour.
TTNEntityArray TextToElements(const std::string& s, TTTFToVectorConverter& ttf);
// One glyph at the origin, as the font gives it.
TTNEntityArray GlyphElements(char32_t c, TTTFToVectorConverter& ttf);

void TranslateElements(TTNEntityArray& list, double dx, double dy);
// Nothing for f <= 0 or f == 1.
void ScaleElements(TTNEntityArray& list, double f);
// Counter-clockwise by theta (radians) about centre; nothing for 0.
void RotateElements(TTNEntityArray& list, double theta, Point2 centre = {});

// Text layouts: 0 to 2 linear (Left, Cent, Right), 3 to 5 arc.
struct TextBox {
  double Width = 0.0;
  double Height = 0.0;
  int Mode = 0;
};
TextBox TextExtent(TTTFToVectorConverter& ttf, const std::string& text, double height,
                   double radius, int mode);

// The tail of every text path: `out` becomes slot 0 followed by the
// Regions of `elements` (emptied); fewer than two Elements give none.
// Outline text is chained; a single-stroke font gives one open Region per
// pen stroke, in the font's order.
void TextElementsToRegions(const CancelToken& cancel, TTNEntityArray& elements,
                           TTNRegionArray& out, int closedDirection, bool removeDuplicates,
                           bool strokeFont);
// The same, every Element through the general profile-building chaining.
// TextElementsToRegions takes glyph outlines a shorter way
// (import/text/outline_chaining.h) that must give exactly this; kept
// callable for checking that it does.
void TextElementsToRegionsGeneral(const CancelToken& cancel, TTNEntityArray& elements,
                                  TTNRegionArray& out, int closedDirection,
                                  bool removeDuplicates, bool strokeFont);

// A straight text as the add command lays it: TextToElements, scaled by
// `scale`, moved by (dx, dy), through TextElementsToRegions. Outline text
// whose loops keep apart goes without the Element list
// (import/text/glyph_loops.h).
void TextToRegions(const CancelToken& cancel, const std::string& s, TTTFToVectorConverter& ttf,
                   double scale, double dx, double dy, int closedDirection, bool removeDuplicates,
                   TTNRegionArray& out);

// TEXT, ATTRIB and ATTDEF entities (MTEXT reads as TEXT) of every layer but
// `skipLayer` into `out` (slot 0 and the Regions).
void DxfTextsToRegions(const CancelToken& cancel, const DXF_Object& drawing, TTNRegionArray& out,
                       TTTFToVectorConverter& ttf, const std::string& skipLayer,
                       int closedDirection);

// The lines a DXF text string stands for: the part inside the first "{"
// ... "}" pair, split at "\P", up to the first empty line.
std::vector<std::string> DxfTextLines(const std::string& text);

}  // namespace tarnak
