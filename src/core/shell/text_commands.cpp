#include "shell/text_commands.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "geometry/primitives.h"
#include "import/profiles/profile_building.h"

namespace tarnak {

void ApplyTextOptions(Document& doc) {
  const ProgramOptions& o = doc.Options;
  TextFont font;
  font.Name = o.Program.Font;
  font.Bold = o.Program.FontBold;
  font.Italic = o.Program.FontItalic;
  doc.Ttf.SetFont(font);
  doc.Ttf.SetPrecision(o.Program.FontPrecision);
}

namespace {

int Mode(const TextAddParams& p) {
  return static_cast<int>(p.Align) + (p.Layout == TextLayout::Arc ? 3 : 0);
}

// The arc layout: each character centred on its angle, upright along the
// outside of the circle, running clockwise from the start angle.
bool ArcElements(TTTFToVectorConverter& ttf, const TextAddParams& p, TTNEntityArray& out) {
  const double h = p.Height, R = p.Radius;
  const std::u32string chars = ttf.Characters(p.Text);
  std::vector<double> w(chars.size());
  double total = 0.0;
  for (size_t i = 0; i < chars.size(); ++i) {
    w[i] = GlyphAdvance(ttf, chars[i]) * h / kGlyphEmSize;
    if (w[i] / R > 1.0) return false;
    total += std::asin(w[i] / R);
  }
  double a = p.AngleDegrees * kDegToRad;
  const double w0 = w.empty() ? 0.0 : w[0];
  if (p.Align == TextAlign::Cent) a = a - total / 2.0 + std::asin(w0 / 2.0 / R);
  if (p.Align == TextAlign::Right) a = a - total + std::asin(w0 / 2.0 / R);

  double phi = 0.0, prevW = 0.0, delta = 0.0;
  for (size_t i = 0; i < chars.size(); ++i) {
    double wi = w[i];
    if (wi == 0.0) {
      wi = prevW;  // and delta stays the previous one
    } else {
      delta = std::asin(wi / 2.0 / R);
    }
    prevW = wi;
    const double theta = phi + a;
    const double px = p.X + R * std::cos(theta - std::numbers::pi / 2.0 - delta);
    const double py = p.Y - R * std::sin(theta - std::numbers::pi / 2.0 - delta);
    const double next = i + 1 < chars.size() ? w[i + 1] : 0.0;
    phi += std::asin((wi / 2.0 + next / 2.0) / R);
    TTNEntityArray g = GlyphElements(chars[i], ttf);
    ScaleElements(g, h / kGlyphEmSize);
    RotateElements(g, -theta);
    TranslateElements(g, px, py);
    out.insert(out.end(), g.begin(), g.end());
  }
  return true;
}

}  // namespace

TextBox TextPreviewBox(Document& doc, const TextAddParams& p) {
  return TextExtent(doc.Ttf, p.Text, p.Height, p.Radius, Mode(p));
}

namespace {

// How far a straight text moves left of its origin for its alignment.
double AlignShift(TextAlign align, double width) {
  return align == TextAlign::Cent ? width / 2.0 : align == TextAlign::Right ? width : 0.0;
}

}  // namespace

Box TextPreviewRect(const TextBox& preview, const TextAddParams& p) {
  if (p.Layout == TextLayout::Arc)
    return Box::FromMinMax(p.X - preview.Width / 2.0, p.Y - preview.Height / 2.0, p.X + preview.Width / 2.0,
                           p.Y + preview.Height / 2.0);
  const double x0 = p.X - AlignShift(p.Align, preview.Width);
  return Box::FromMinMax(x0, p.Y, x0 + preview.Width, p.Y + preview.Height);
}

TextAddOutcome AddText(Document& doc, const TextAddParams& p) {
  TextAddOutcome outcome;
  doc.Cancel.Reset();
  if (p.Text.empty()) {
    doc.ui().Message("No Text to convert!", "", MsgButtons::Ok, MsgIcon::None);
    outcome.Result = TextAddResult::NoText;
    return outcome;
  }
  if (doc.Regions.empty()) doc.Regions.resize(1);
  // A height of 0 would leave the glyphs at font size (1024 units high).
  if (!(p.Height > 0.0) || !std::isfinite(p.Height)) {
    outcome.Result = TextAddResult::BadHeight;
    return outcome;
  }
  const int direction = doc.Options.Program.Dir ? 1 : 0;
  TTNRegionArray made;
  if (p.Layout == TextLayout::Linear) {
    const double width = TextPreviewBox(doc, p).Width;
    TextToRegions(doc.Cancel, p.Text, doc.Ttf, p.Height / kGlyphEmSize, p.X - AlignShift(p.Align, width), p.Y,
                  direction, true, made);
  } else {
    if (p.Radius == 0.0) {
      doc.ui().Message("Radius can not be 0!", "", MsgButtons::Ok, MsgIcon::None);
      outcome.Result = TextAddResult::RadiusZero;
      return outcome;
    }
    TTNEntityArray elements;
    if (!ArcElements(doc.Ttf, p, elements)) {
      outcome.Result = TextAddResult::TooWide;
      return outcome;
    }
    TextElementsToRegions(doc.Cancel, elements, made, direction, true, doc.Ttf.StrokeFont());
  }
  outcome.Face = doc.Ttf.UsedFace();
  // The new text comes selected, every Region of it: the general chaining
  // leaves a loop it had to join from pieces unselected.
  for (size_t i = 1; i < made.size(); ++i) made[i].Selected = 1;
  outcome.Regions = static_cast<int>(made.size()) - 1;
  AppendRegions(made, 1, doc.Regions);
  doc.ComputeExtents();
  doc.ui().SetStatus(std::to_string(outcome.Regions) + " Regions Created... " +
                     (outcome.Face.empty() ? std::string("no font found") : "Font " + outcome.Face));
  return outcome;
}

}  // namespace tarnak
