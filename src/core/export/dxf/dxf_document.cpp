#include "export/dxf/dxf_document.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "geometry/primitives.h"

namespace tarnak {

DxfOutObject::DxfOutObject(std::string_view name) : Name(name.empty() ? "Untitled" : name) {}

std::size_t DxfOutObject::CreateLayer(std::string_view name, int32_t colour) {
  for (const DxfOutLayer& l : Layers) {
    if (l.Name == name) throw std::invalid_argument("Attempted to create layer with existing name");
  }
  DxfOutLayer& layer = Layers.emplace_back();
  layer.Name = name;
  layer.Colour = colour;
  return Layers.size() - 1;
}

void DxfOutObject::Widen(double x, double y, double z) {
  ExtMin[0] = std::min(ExtMin[0], x);
  ExtMin[1] = std::min(ExtMin[1], y);
  ExtMin[2] = std::min(ExtMin[2], z);
  ExtMax[0] = std::max(ExtMax[0], x);
  ExtMax[1] = std::max(ExtMax[1], y);
  ExtMax[2] = std::max(ExtMax[2], z);
}

namespace {

double WrapAngle(double a) {
  constexpr double kTurn = 2.0 * std::numbers::pi;
  if (a >= 0.0 && a < kTurn) return a;
  a = std::fmod(a, kTurn);
  return a < 0.0 ? a + kTurn : a;
}

void NoteType(DxfOutLayer& layer, DxfEntityType type, bool firstOfType) {
  if (firstOfType) layer.ListOrder.push_back(type);
}

}  // namespace

void DxfOutObject::AddLine(std::size_t layer, const DxfLine& line) {
  DxfOutLayer& l = Layers.at(layer);
  NoteType(l, DxfEntityType::Line, l.Lines.empty());
  l.Lines.push_back(line);
  Widen(line.X1, line.Y1, line.Z1);
  Widen(line.X2, line.Y2, line.Z2);
}

void DxfOutObject::AddArc(std::size_t layer, const DxfArc& arc) {
  DxfOutLayer& l = Layers.at(layer);
  NoteType(l, DxfEntityType::Arc, l.Arcs.empty());
  l.Arcs.push_back(arc);
  // The box of the part of the circle the arc covers. The box rules take
  // angles within one turn; an NC arc may end past 2 pi (its sweep is kept
  // as end > start), and a whole turn stays a whole circle.
  const double start = WrapAngle(arc.StartAngle);
  const double end = std::fabs(arc.EndAngle - arc.StartAngle) < 2.0 * std::numbers::pi
                         ? WrapAngle(arc.EndAngle)
                         : start;
  const TTNEntity e = MakeArc(arc.X, arc.Y, arc.Radius, start, end);
  Widen(e.MinX, e.MinY, arc.Z);
  Widen(e.MaxX, e.MaxY, arc.Z);
}

std::size_t DxfOutObject::EntityCount() const {
  std::size_t n = 0;
  for (const DxfOutLayer& l : Layers) n += l.EntityCount();
  return n;
}

}  // namespace tarnak
