#include "import/text/text_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "geometry/primitives.h"
#include "import/dxf/dxf_entities.h"
#include "import/profiles/profile_building.h"
#include "import/text/glyph_loops.h"
#include "import/text/outline_chaining.h"

namespace tarnak {

bool SingleLineFace(const std::string& face) {
  if (face.size() != 7) return false;
  for (size_t i = 0; i < 7; ++i)
    if ((static_cast<unsigned char>(face[i]) | 0x20) !=
        (static_cast<unsigned char>(kSingleLineFace[i]) | 0x20))
      return false;
  return true;
}

namespace {

// The strokes as line Elements moved by dx: what MakeLine gives, written
// out here because a text makes tens of thousands of them.
void AppendStrokes(const TStrokeCollection& strokes, double dx, TTNEntityArray& out) {
  for (const TStroke& s : strokes.Strokes()) {
    TTNEntity& e = out.emplace_back();
    e.X = s.X1 + dx;
    e.Y = s.Y1;
    e.X2 = s.X2 + dx;
    e.Y2 = s.Y2;
    e.MinX = std::min(e.X, e.X2);
    e.MaxX = std::max(e.X, e.X2);
    e.MinY = std::min(e.Y, e.Y2);
    e.MaxY = std::max(e.Y, e.Y2);
  }
}

}  // namespace

std::optional<TStrokeCollection> GlyphStrokes(TTTFToVectorConverter& ttf, char32_t c) {
  return ttf.Strokes(c);
}

int32_t GlyphAdvance(TTTFToVectorConverter& ttf, char32_t c) { return ttf.Advance(c); }

TTNEntityArray TextToElements(const std::string& s, TTTFToVectorConverter& ttf) {
  TTNEntityArray out;
  const bool halve = SingleLineFace(ttf.Font().Name);
  const std::u32string chars = ttf.Characters(s);
  // Counted first so that the list is allocated once (the glyphs are kept
  // by the converter, so the second walk reads none of them again).
  size_t count = 0;
  for (char32_t c : chars)
    if (const TStrokeCollection* g = ttf.CachedStrokes(c)) count += g->Strokes().size();
  out.reserve(count);
  ttf.Offset = 0;
  double penX = 0.0;
  for (char32_t c : chars) {
    if (const TStrokeCollection* g = ttf.CachedStrokes(c)) {
      if (halve) {
        TStrokeCollection half = *g;
        half.Halve();
        AppendStrokes(half, penX, out);
      } else {
        AppendStrokes(*g, penX, out);
      }
    }
    penX += ttf.Offset;
  }
  return out;
}

TTNEntityArray GlyphElements(char32_t c, TTTFToVectorConverter& ttf) {
  TTNEntityArray out;
  if (const TStrokeCollection* g = ttf.CachedStrokes(c)) {
    out.reserve(g->Strokes().size());
    AppendStrokes(*g, 0.0, out);
  }
  return out;
}

void TranslateElements(TTNEntityArray& list, double dx, double dy) {
  for (TTNEntity& e : list) {
    e.X += dx;
    e.Y += dy;
    if (e.IsLine()) {
      e.X2 += dx;
      e.Y2 += dy;
    }
    e.MinX += dx;
    e.MaxX += dx;
    e.MinY += dy;
    e.MaxY += dy;
  }
}

void ScaleElements(TTNEntityArray& list, double f) {
  if (!(f > 0.0) || f == 1.0) return;
  for (TTNEntity& e : list) {
    e.X *= f;
    e.Y *= f;
    if (e.IsLine()) {
      // ElementBounds of a line, inline: text is tens of thousands of them.
      e.X2 *= f;
      e.Y2 *= f;
      e.MinX = std::min(e.X, e.X2);
      e.MaxX = std::max(e.X, e.X2);
      e.MinY = std::min(e.Y, e.Y2);
      e.MaxY = std::max(e.Y, e.Y2);
    } else {
      e.Radius *= f;
      ElementBounds(e);
    }
  }
}

void RotateElements(TTNEntityArray& list, double theta, Point2 centre) {
  if (theta == 0.0) return;
  const double c = std::cos(theta), s = std::sin(theta);
  auto turn = [&](double& x, double& y) {
    const double dx = x - centre.X, dy = y - centre.Y;
    x = dx * c - dy * s + centre.X;
    y = dy * c + dx * s + centre.Y;
  };
  auto wrap = [](double a) {
    if (a >= kTwoPi) return a - kTwoPi;
    if (a < 0.0) return a + kTwoPi;
    return a;
  };
  for (TTNEntity& e : list) {
    turn(e.X, e.Y);
    if (e.IsLine()) {
      turn(e.X2, e.Y2);
    } else {
      e.SetStartAngle(wrap(e.StartAngle() + theta));
      e.SetEndAngle(wrap(e.EndAngle() + theta));
    }
    ElementBounds(e);
  }
}

TextBox TextExtent(TTTFToVectorConverter& ttf, const std::string& text, double height,
                   double radius, int mode) {
  TextBox box;
  box.Mode = mode;
  if (mode >= 3) {
    box.Width = box.Height = 2.0 * radius + 2.0 * height;
    return box;
  }
  double sum = 0.0;
  for (char32_t c : ttf.Characters(text)) sum += GlyphAdvance(ttf, c);
  box.Width = height * sum / kGlyphEmSize;
  box.Height = height;
  return box;
}

void TextElementsToRegions(const CancelToken& cancel, TTNEntityArray& elements,
                           TTNRegionArray& out, int closedDirection, bool removeDuplicates,
                           bool strokeFont) {
  out.assign(1, TTNRegion{});
  if (!strokeFont && ChainGlyphOutlines(cancel, elements, out, closedDirection, removeDuplicates))
    return;
  TextElementsToRegionsGeneral(cancel, elements, out, closedDirection, removeDuplicates, strokeFont);
}

void TextElementsToRegionsGeneral(const CancelToken& cancel, TTNEntityArray& elements,
                           TTNRegionArray& out, int closedDirection, bool removeDuplicates,
                           bool strokeFont) {
  out.assign(1, TTNRegion{});
  if (elements.size() < 2) {
    elements.clear();
    return;
  }
  // A stroke whose ends rounded onto one font unit is no geometry; chaining
  // it would only make a Region of nothing.
  std::erase_if(elements, [](const TTNEntity& e) { return e.IsLine() && e.X == e.X2 && e.Y == e.Y2; });
  if (strokeFont) {
    // The font's strokes in order: one open Region per pen-down run.
    for (size_t i = 0; i < elements.size(); ++i) {
      const bool joins = i > 0 && elements[i].X == elements[i - 1].X2 &&
                         elements[i].Y == elements[i - 1].Y2 && out.size() > 1;
      if (!joins) {
        out.emplace_back();
        out.back().Open = 1;
      }
      out.back().Elements.push_back(elements[i]);
    }
    for (size_t i = 1; i < out.size(); ++i) RegionBounds(out[i]);
    elements.clear();
    return;
  }
  NormaliseAndSortElements(cancel, elements, removeDuplicates);
  if (elements.empty()) return;
  ChainElements(cancel, elements, out, closedDirection, kChainTolerance);
}

void TextToRegions(const CancelToken& cancel, const std::string& s, TTTFToVectorConverter& ttf,
                   double scale, double dx, double dy, int closedDirection, bool removeDuplicates,
                   TTNRegionArray& out) {
  if (StraightTextToRegions(cancel, s, ttf, scale, dx, dy, closedDirection, removeDuplicates, out)) return;
  TTNEntityArray elements = TextToElements(s, ttf);
  ScaleElements(elements, scale);
  TranslateElements(elements, dx, dy);
  TextElementsToRegions(cancel, elements, out, closedDirection, removeDuplicates, ttf.StrokeFont());
}

std::vector<std::string> DxfTextLines(const std::string& text) {
  std::string s = text;
  const size_t open = s.find('{');
  if (open != std::string::npos) {
    const size_t close = s.find('}', open + 1);
    if (close != std::string::npos) s = s.substr(open + 1, close - open - 1);
  }
  std::vector<std::string> lines;
  size_t from = 0;
  while (true) {
    const size_t at = s.find("\\P", from);
    std::string line = s.substr(from, at == std::string::npos ? std::string::npos : at - from);
    if (line.empty()) break;
    lines.push_back(std::move(line));
    if (at == std::string::npos) break;
    from = at + 2;
  }
  return lines;
}

void DxfTextsToRegions(const CancelToken& cancel, const DXF_Object& drawing, TTNRegionArray& out,
                       TTTFToVectorConverter& ttf, const std::string& skipLayer,
                       int closedDirection) {
  out.assign(1, TTNRegion{});
  if (cancel.stopped()) return;
  TTNEntityArray all;
  for (const auto& layer : drawing.Layers) {
    if (layer->Name == skipLayer) continue;
    for (const auto& list : layer->Lists) {
      if (list->Entities.empty()) continue;
      const DxfKind kind = list->Entities.front()->Kind();
      if (kind != DxfKind::Text && kind != DxfKind::Attrib && kind != DxfKind::Attdef) continue;
      for (const auto& entity : list->Entities) {
        const auto* text = dynamic_cast<const Text_*>(entity.get());
        if (!text) continue;
        const std::vector<std::string> lines = DxfTextLines(text->Text);
        const double h = text->Height;
        for (size_t k = 0; k < lines.size(); ++k) {
          TTNEntityArray e = TextToElements(lines[k], ttf);
          const double step = static_cast<double>(k) * kDxfLineSpacing * h;
          double x = text->P1.X, y = text->P1.Y;
          if (text->Align.Y == -1.0) {  // vertical text
            RotateElements(e, -std::numbers::pi / 2.0);
            x -= step;
          } else {
            RotateElements(e, text->Rotation * kDegToRad);
            y -= step;
          }
          ScaleElements(e, h / kDxfTextScale);
          TranslateElements(e, x, y);
          all.insert(all.end(), e.begin(), e.end());
        }
        if (cancel.stopped()) return;
      }
    }
  }
  TextElementsToRegions(cancel, all, out, closedDirection, false, ttf.StrokeFont());
}

}  // namespace tarnak
