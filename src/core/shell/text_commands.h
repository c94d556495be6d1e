// The add-text command: a line of text laid out straight or along a circle
// and added to the document as Regions. The add-text window and the
// command line's `text` verb both call it, so they make the same Regions.
#pragma once

#include <string>

#include "import/text/text_geometry.h"
#include "shell/document.h"

namespace tarnak {

enum class TextLayout { Linear, Arc };
// The alignment items "Left", "Cent", "Right" in their order.
enum class TextAlign { Left = 0, Cent = 1, Right = 2 };

struct TextAddParams {
  std::string Text;  // UTF-8
  double X = 0.0;    // origin (linear) or centre (arc)
  double Y = 0.0;
  double Height = 1.0;
  TextLayout Layout = TextLayout::Linear;
  TextAlign Align = TextAlign::Left;
  double Radius = 0.0;
  double AngleDegrees = 0.0;  // arc: start angle, clockwise from the top
};

enum class TextAddResult {
  Added,       // Regions appended (possibly none for a text of spaces)
  NoText,      // "No Text to convert!"
  RadiusZero,  // "Radius can not be 0!"
  TooWide,     // a character wider than the radius: nothing added
  BadHeight,   // height not above 0: nothing added
};

struct TextAddOutcome {
  TextAddResult Result = TextAddResult::Added;
  int Regions = 0;       // Regions added
  std::string Face;      // the face the glyphs came from
};

// The options' face, style and precision into the document's converter.
void ApplyTextOptions(Document& doc);

// The preview box of the text for the layout and alignment.
TextBox TextPreviewBox(Document& doc, const TextAddParams& p);

// Where the preview box lies in the drawing: a straight text's box starts at
// the origin, half its width left of it ("Cent") or ends at it ("Right"),
// from the base line up one height; an arc text's square is centred on the
// circle's centre.
Box TextPreviewRect(const TextBox& preview, const TextAddParams& p);

// Lays the text out, appends its Regions (from index 1), recomputes the
// extents and sets the status. Messages go to the document's interface.
TextAddOutcome AddText(Document& doc, const TextAddParams& p);

}  // namespace tarnak
