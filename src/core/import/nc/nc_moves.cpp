#include "import/nc/nc_moves.h"

#include <algorithm>
#include <cmath>

namespace tarnak {

namespace {
constexpr double kHalfPi = 1.57079632679489661923;

// Widens the box by the arc's true extent: its two ends and every axis
// crossing (a multiple of pi/2) inside the sweep.
void ArcBox(const TTNEdEntity& m, double& minX, double& maxX, double& minY, double& maxY) {
  const double r = m.Radius;
  const double s = m.StartAngle();
  const double e = m.EndAngle();
  const auto add = [&](double a) {
    const double x = m.X + r * std::cos(a);
    const double y = m.Y + r * std::sin(a);
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  };
  add(s);
  add(e);
  if (!(e - s <= 16.0 * kHalfPi)) return;  // not a number, or more turns than a sweep has
  for (double k = std::ceil(s / kHalfPi); k * kHalfPi < e; k += 1.0) add(k * kHalfPi);
}
}  // namespace

void NCMoveEnd(const TTNEdEntity& m, double& x, double& y) {
  if (!m.IsArc()) {
    x = m.X2;
    y = m.Y2;
    return;
  }
  const double a = IsNCClockwiseKind(m.Kind) ? m.StartAngle() : m.EndAngle();
  x = m.X + m.Radius * std::cos(a);
  y = m.Y + m.Radius * std::sin(a);
}

NCExtentsRec NCExtents(const TTNEdEntityArray& moves) {
  NCExtentsRec box;
  std::size_t first = 1;
  while (first < moves.size() && (moves[first].Kind < 1 || moves[first].Kind > 4)) ++first;
  if (first >= moves.size()) return box;
  const TTNEdEntity& f = moves[first];
  double minX = f.X, maxX = f.X, minY = f.Y, maxY = f.Y;
  double minZ = std::min(f.Z, f.Z2), maxZ = std::max(f.Z, f.Z2);
  for (std::size_t i = 1; i < moves.size(); ++i) {
    const TTNEdEntity& m = moves[i];
    if (m.Kind == NCKind::ToolChange) continue;
    if (m.IsArc()) {
      ArcBox(m, minX, maxX, minY, maxY);
    } else {
      minX = std::min({minX, m.X, m.X2});
      maxX = std::max({maxX, m.X, m.X2});
      minY = std::min({minY, m.Y, m.Y2});
      maxY = std::max({maxY, m.Y, m.Y2});
    }
    minZ = std::min({minZ, m.Z, m.Z2});
    maxZ = std::max({maxZ, m.Z, m.Z2});
  }
  box = {minX, maxX, minY, maxY, minZ, maxZ, false};
  return box;
}

}  // namespace tarnak
