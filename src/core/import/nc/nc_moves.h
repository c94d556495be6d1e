// The NC display moves: what reading an NC program gives the view, the Run
// palette and the DXF export of NC moves.
//
// One record per move, a plain value. A line holds its start and end; an
// arc holds its centre, its radius and the two angles of the
// counter-clockwise sweep that covers the same points (for a clockwise
// block too: the direction of travel is in Kind). The list keeps slot 0
// empty, moves start at slot 1, so that a move index 0 can mean "none" in
// the Run palette. The header needs nothing of the project so that every
// consumer can take it.
#pragma once

#include <cstdint>
#include <vector>

namespace tarnak {

// Kind of a display move: the motion mode of the block (the script slot + 1
// of the command in force), 0 for the plunge of a drill cycle (and its
// positioning moves are 3, rapid), 12 for a tool-change marker.
namespace NCKind {
inline constexpr std::uint8_t DrillPlunge = 0;
inline constexpr std::uint8_t Linear = 1;            // "Single Move" linear
inline constexpr std::uint8_t LinearContinuous = 2;
inline constexpr std::uint8_t Rapid = 3;
inline constexpr std::uint8_t RapidContinuous = 4;
inline constexpr std::uint8_t CwArc = 5;
inline constexpr std::uint8_t CwArcContinuous = 6;
inline constexpr std::uint8_t CcwArc = 7;
inline constexpr std::uint8_t CcwArcContinuous = 8;
inline constexpr std::uint8_t Drill = 9;              // modes of a drill command
inline constexpr std::uint8_t DrillContinuous = 10;
inline constexpr std::uint8_t ToolChange = 12;        // a marker; no motion
}  // namespace NCKind

inline bool IsNCArcKind(std::uint8_t kind) { return kind >= 5 && kind <= 8; }
inline bool IsNCClockwiseKind(std::uint8_t kind) { return kind == 5 || kind == 6; }
inline bool IsNCRapidKind(std::uint8_t kind) { return kind == 3 || kind == 4; }

// The radius stored on the plunge of a drill cycle (a marker for the view,
// not an arc: Kind 0 is never an arc).
inline constexpr double kNCDrillMarkRadius = 1.0;

// One display move (`TTNEdEntity`).
struct TTNEdEntity {
  double X = 0.0;       // line: start X; arc: centre X
  double Y = 0.0;       // line: start Y; arc: centre Y
  double Z = 0.0;       // start Z
  double Radius = 0.0;  // 0 line; > 0 arc; 1.0 on a drill plunge (Kind 0)
  double X2 = 0.0;      // line: end X; arc: StartAngle (radians, CCW sweep)
  double Y2 = 0.0;      // line: end Y; arc: EndAngle, always > StartAngle
  double Z2 = 0.0;      // end Z
  float Aux = 0.0f;     // the value of variable Sa when the move was made
  std::int32_t Line = 0;  // 0-based index of the NC text line of the move
  std::int32_t Pen = 0;   // drawing value of the view when the file was read
  std::uint8_t Kind = 0;  // NCKind

  double StartAngle() const { return X2; }
  double EndAngle() const { return Y2; }
  // An arc of the display (Kind 5..8 with a radius); everything else is
  // drawn as the straight line (X, Y, Z) to (X2, Y2, Z2).
  bool IsArc() const { return IsNCArcKind(Kind) && Radius > 0.0; }
};

// Slot 0 holds no move.
using TTNEdEntityArray = std::vector<TTNEdEntity>;

// Smallest and largest X, Y, Z over the moves of a list.
struct NCExtentsRec {
  double MinX = 0.0;
  double MaxX = 0.0;
  double MinY = 0.0;
  double MaxY = 0.0;
  double MinZ = 0.0;
  double MaxZ = 0.0;
  bool Empty = true;  // no move of Kind 1..4 to start the box from
};

// The box of the moves from slot 1: a line by its two ends, an arc by its
// true extent in the plane with its two Z values; the box starts from the
// first move of Kind 1..4 (moves before it still widen it once it has
// started). Tool-change markers carry no position and are left out.
NCExtentsRec NCExtents(const TTNEdEntityArray& moves);

// End point of a move in the plane (for an arc: on its circle at the end
// of travel: EndAngle counter-clockwise, StartAngle clockwise).
void NCMoveEnd(const TTNEdEntity& move, double& x, double& y);

}  // namespace tarnak
