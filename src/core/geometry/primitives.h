// Small geometric primitives over Elements and Regions: ends, boxes,
// angles, sweeps, lengths, reversal, snapping and orientation.
#pragma once

#include "geometry/geometry.h"

namespace tarnak {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2.0 * kPi;

// Margin of box tests: points this close count as the same.
inline constexpr double kBoxMargin = 0.0005;

// Box overlap with a margin: each box's low side minus the margin is at
// most the other box's high side, in x and in y.
inline bool BoxesOverlap(const Box& a, const Box& b, double margin) {
  return a.MinX - margin <= b.MaxX && b.MinX - margin <= a.MaxX && a.MinY - margin <= b.MaxY &&
         b.MinY - margin <= a.MaxY;
}

// `b` widened by `w` on every side.
inline Box Widened(const Box& b, double w) {
  return Box::FromMinMax(b.MinX - w, b.MinY - w, b.MaxX + w, b.MaxY + w);
}

// Angle of the vector c -> p in [0, 2pi). A zero vector gives pi/2.
double PointAngle(Point2 c, Point2 p);
// The same for a vector given by its components.
double PointAngle(double dx, double dy);

void ElementEnds(const TTNEntity& e, Point2& start, Point2& end);
Point2 ElementStart(const TTNEntity& e);
Point2 ElementEnd(const TTNEntity& e);

void ElementBounds(TTNEntity& e);
void ElementReverse(TTNEntity& e);
// Moves one end (0 = start, 1 = end) exactly onto p. An arc keeps its radius;
// when it cannot pass through p and its other end it is left unchanged.
void ElementSnapEnd(TTNEntity& e, Point2 p, int which);

double ArcSweep(const TTNEntity& e);
double ElementLength(const TTNEntity& e);
Point2 ArcMidPoint(const TTNEntity& e);

// Recomputes the Region's box from its Elements and clears every Mark.
void RegionBounds(TTNRegion& r);
// Writes e (reversed when asked) at index i and widens the Region's box
// (index 0 sets it). The Elements array must already hold index i.
void RegionStoreElement(const TTNEntity& e, TTNRegion& r, bool reversed, int i);
int RegionIsClockwise(const TTNRegion& r);
void RegionSetDirection(TTNRegion& r, int wanted);
void RegionReverse(TTNRegion& r);

bool PointNearBox(Point2 p, const Box& b);
bool BoxesEqual(const Box& a, const Box& b);
bool PointNearElementBox(Point2 p, const TTNEntity& e);

struct OpenClosedCount {
  int Open = 0;
  int Closed = 0;
};
OpenClosedCount RegionCountOpenClosed(const TTNRegionArray& list);

// Helpers for building Elements.
TTNEntity MakeLine(double x1, double y1, double x2, double y2);
TTNEntity MakeArc(double cx, double cy, double radius, double startAngle, double endAngle);

}  // namespace tarnak
