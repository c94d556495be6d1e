// Element and Region records: the 2D geometry every other module works on.
//
// An Element is one line or circular arc, a plain record copied by value.
// A Region is an ordered chain of Elements, open or closed, carrying its
// selection and machining attributes. Lists of Regions keep slot 0 empty in
// the document (see Document), so loops over drawing Regions start at 1.
#pragma once

#include <cstdint>
#include <type_traits>
#include <vector>

namespace tarnak {

struct Point2 {
  double X = 0.0;
  double Y = 0.0;
};

// Axis-aligned box in the field order the records use: MinX, MinY, MaxY, MaxX.
// That order invites mistakes in brace initialisation: make boxes with the
// named constructors.
struct Box {
  double MinX = 0.0;
  double MinY = 0.0;
  double MaxY = 0.0;
  double MaxX = 0.0;

  static constexpr Box FromMinMax(double minX, double minY, double maxX, double maxY) {
    Box b;
    b.MinX = minX;
    b.MinY = minY;
    b.MaxX = maxX;
    b.MaxY = maxY;
    return b;
  }
  // The box of one point.
  static constexpr Box AtPoint(Point2 p) { return FromMinMax(p.X, p.Y, p.X, p.Y); }
};

// One line or arc.
//  Radius == 0: a line from (X, Y) to (X2, Y2).
//  Radius  > 0: a counter-clockwise arc about (X, Y) from StartAngle to EndAngle.
//  Radius  < 0: a clockwise arc from StartAngle to EndAngle.
//  StartAngle == EndAngle (exactly): a full circle.
// The end point of a line and the angles of an arc are one stored pair:
// X2 and Y2 are the plain fields (the line reading, which sits beside X and
// Y and is what a zeroed or brace-initialised record holds), and an arc reads
// and writes the same two fields through StartAngle()/EndAngle() and their
// setters. Reading the other member of a union is not defined behaviour in
// C++; a named accessor over one field is, and it keeps the record plain.
struct TTNEntity {
  double X = 0.0;
  double Y = 0.0;
  double Radius = 0.0;
  double X2 = 0.0;  // line: end X; arc: start angle
  double Y2 = 0.0;  // line: end Y; arc: end angle
  bool Mark = false;  // free (not yet chained) during profile building
  double MinX = 0.0;
  double MinY = 0.0;
  double MaxY = 0.0;
  double MaxX = 0.0;
  int32_t OwnerTag = 0;  // Boundary index of an island offset piece; 0 otherwise

  bool IsLine() const { return Radius == 0.0; }
  bool IsArc() const { return Radius != 0.0; }
  bool IsFullCircle() const { return Radius != 0.0 && StartAngle() == EndAngle(); }

  // The arc reading of X2 and Y2 (radians).
  double StartAngle() const { return X2; }
  double EndAngle() const { return Y2; }
  void SetStartAngle(double a) { X2 = a; }
  void SetEndAngle(double a) { Y2 = a; }
  Box Bounds() const { return Box::FromMinMax(MinX, MinY, MaxX, MaxY); }
};

// Element lists are copied and grown by value in large arrays.
static_assert(std::is_trivially_copyable_v<TTNEntity>);

using TTNEntityArray = std::vector<TTNEntity>;

struct TTNRegion {
  int32_t SelValue1 = 0;  // selection / ordering work value (shown by the info overlay)
  int32_t SelValue2 = 0;  // second selection work value
  int32_t Parent = 0;     // nearest enclosing Region (own index for a Boundary)
  int32_t Level = 0;      // nesting level
  int32_t WallProfile = 0;  // wall profile number, 0 = none
  float WallDelta = 0.0f;   // width over which the wall profile is stretched
  uint8_t PocketFlag = 0;   // island handled mark of pocketing
  uint8_t Direction = 0;    // 1 = clockwise, 0 = counter-clockwise
  double MinX = 0.0;
  double MinY = 0.0;
  double MaxY = 0.0;
  double MaxX = 0.0;
  double Depth = 0.0;
  uint8_t MachineFlag = 0;  // contour/pocket work flag (lead moves)
  uint8_t Open = 0;         // 1 = open chain
  int32_t Owner = 0;        // Boundary index of an Island, 0 otherwise
  uint8_t Selected = 0;
  // Link of the Region once it is cut, kept here until it becomes a Toolpath.
  int32_t LinkKind = 0;
  double RapidLevel = 0.0;
  int32_t Spare = 0;
  TTNEntityArray Elements;

  Box Bounds() const { return Box::FromMinMax(MinX, MinY, MaxX, MaxY); }
};

using TTNRegionArray = std::vector<TTNRegion>;

}  // namespace tarnak
