#include "geometry/distance.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "geometry/primitives.h"

namespace tarnak {

namespace {

// Brings an angle that lies outside [0, 2pi) back into it. Angles inside
// the range are returned untouched, so that the span test below decides
// exactly on the stored values.
double IntoTurn(double a) {
  if (a >= 0.0 && a < kTwoPi) return a;
  a = std::fmod(a, kTwoPi);
  if (a < 0.0) a += kTwoPi;
  if (a >= kTwoPi) a = 0.0;
  return a;
}

double PastSpanDistance(const TTNEntity& e, Point2 p, PastSpan past) {
  if (past == PastSpan::StartPoint) {
    const Point2 s = ElementStart(e);  // only the one end: an arc's costs a sine and cosine
    return std::hypot(p.X - s.X, p.Y - s.Y);
  }
  Point2 s, t;
  ElementEnds(e, s, t);
  return std::min(std::hypot(p.X - s.X, p.Y - s.Y), std::hypot(p.X - t.X, p.Y - t.Y));
}

}  // namespace

bool AngleOnArcSpan(const TTNEntity& e, double angle, double tolerance) {
  // Equal angles make a full circle whatever their value (a rotated circle
  // keeps equal, non-zero angles): every direction is on it.
  if (e.StartAngle() == e.EndAngle()) return true;
  double a1 = e.StartAngle(), a2 = e.EndAngle();
  if (e.Radius < 0.0) std::swap(a1, a2);  // clockwise: the span from End to Start
  // Arcs stored as start plus a sweep of a whole turn or more (some readers
  // write the end angle that way) cover everything too.
  if (a2 - a1 >= kTwoPi) return true;
  a1 = IntoTurn(a1);
  a2 = IntoTurn(a2);
  if (a2 == 0.0) a2 = kTwoPi;
  if (a1 < a2) {
    // The tolerance reaches across angle 0 as well: an arc ending at 2pi
    // owns the direction 0 (PointAngle never gives 2pi), and one starting
    // at 0 owns directions just below 2pi.
    const auto within = [&](double v) { return a1 - tolerance < v && v < a2 + tolerance; };
    return within(angle) || within(angle + kTwoPi) || within(angle - kTwoPi);
  }
  if (a1 > a2) return angle > a1 - tolerance || angle < a2 + tolerance;
  return false;
}

double PointElementDistance(const TTNEntity& e, Point2 p, PastSpan past, double spanTolerance) {
  if (e.IsLine()) {
    const double ax = p.X - e.X, ay = p.Y - e.Y;
    const double bx = e.X2 - e.X, by = e.Y2 - e.Y;
    const double len2 = bx * bx + by * by;
    const double dot = ax * bx + ay * by;
    if (dot > 0.0 && len2 > 0.0 && dot / len2 < 1.0)
      return std::fabs(ax * by - ay * bx) / std::sqrt(len2);
    return PastSpanDistance(e, p, past);
  }
  const Point2 c{e.X, e.Y};
  if (AngleOnArcSpan(e, PointAngle(c, p), spanTolerance))
    return std::fabs(std::hypot(p.X - c.X, p.Y - c.Y) - std::fabs(e.Radius));
  return PastSpanDistance(e, p, past);
}

}  // namespace tarnak
