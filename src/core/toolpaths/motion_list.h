// The motion list: what the machine does, move by move, to cut a toolpath
// list.
//
// Toolpaths say how the tool reaches each path only as a LinkKind and two
// levels; the machine needs the rises, traverses, plunges and drilling
// cycles themselves. They are worked out here, once, and every consumer
// takes the result: the NC writer spells each motion through the post,
// the view draws them, the tests run them against an interpreter. An NC
// reader yields the same records, so a loaded program and a toolpath list
// are drawn by the same code.
//
// A Motion is a plain record. It names its source toolpath by index only
// (for messages); nothing in it points into the toolpath list. Heights are
// machine Z: up from the work surface, so a depth d lies at Z = -d.
//
// The builder owns the link rules: per toolpath, the values the following
// motions are cut with (Rates), a tool change when the tool number
// changes, the link by LinkKind, then the entry move, the path and the exit
// move; after the last toolpath a retract to the rapid height.
//
// Nothing is cut from a place the tool was not driven to. At the start of
// the program and after a tool change nobody knows where the tool stands:
// whatever the LinkKind, the tool rises to the rapid height where it is
// (a move of Z alone), crosses to the start at that height and plunges. A
// toolpath "already in place" that does not start where the tool stands
// is reached the same way. Between toolpaths the links start from where
// the last one really left the tool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/geometry.h"
#include "toolpaths/toolpath_model.h"
#include "toolpaths/toolpath_model3d.h"

namespace tarnak {

enum class MotionKind : int32_t {
  // Feed, spindle speed, tool and clearance of the motions that follow: a
  // new toolpath, or new F or S words of a program. Moves nothing.
  Rates,
  // The tool `Tool` is put in and the spindle set to SpindleSpeed.
  ToolChange,
  // Straight at rapid speed.
  Rapid,
  // Straight at the feed.
  Line,
  // At the feed along an arc about (CentreX, CentreY).
  Arc,
  // A drilling cycle at (X, Y) down to Z from the plane Clearance.
  Drill,
};

// What a motion is for, where a consumer treats the parts differently (the
// view counts and groups the cutting moves; the writer spells a plunge
// with its own feed word).
enum class MotionPart : int32_t {
  Link,    // rises, traverses, feeds across to the next start
  Plunge,  // down into the material at the plunge feed
  Entry,   // the lead-in move
  Path,    // the toolpath's own Elements; a drilled hole
  Exit,    // the lead-out move
  End,     // the retract at the end of the program
};

struct Motion {
  Motion() = default;
  // A straight motion with nothing of an arc, a drill or the rates in it;
  // the builder makes its records in place in the list with this.
  Motion(MotionKind kind, MotionPart part, double fromX, double fromY, double fromZ, double x,
         double y, double z, double feed, double spindleSpeed, int32_t tool, int32_t colour,
         int32_t source)
      : Kind(kind), Part(part), FromX(fromX), FromY(fromY), FromZ(fromZ), X(x), Y(y), Z(z),
        Feed(feed), SpindleSpeed(spindleSpeed), Tool(tool), Colour(colour), Source(source) {}

  MotionKind Kind = MotionKind::Line;
  MotionPart Part = MotionPart::Path;
  // Where the move starts (as the block states it: the Element's start for
  // the moves of a path) and where it ends.
  double FromX = 0.0;
  double FromY = 0.0;
  double FromZ = 0.0;
  double X = 0.0;
  double Y = 0.0;
  double Z = 0.0;
  // Arcs: the centre, the radius (> 0 counter-clockwise, < 0 clockwise)
  // and the angles of the two ends (equal: a full circle).
  double CentreX = 0.0;
  double CentreY = 0.0;
  double Radius = 0.0;
  double StartAngle = 0.0;
  double EndAngle = 0.0;
  // Drill: the plane the cycle starts from and returns to. Rates: the
  // value of the clearance word, when HasClearance.
  double Clearance = 0.0;
  // The feed of this motion (a plunge: the plunge feed; Rates: the cutting
  // feed), the spindle speed and the tool it is cut with.
  double Feed = 0.0;
  double SpindleSpeed = 0.0;
  int32_t Tool = 0;
  int32_t Colour = 0;   // the toolpath's display colour
  int32_t Source = -1;  // index of the toolpath it comes from; -1 for none
  // False for a move of Z alone from a point the program does not know
  // (the program's first retract, the first after a tool change): From and
  // the end's X and Y are then not where the tool is.
  bool KnownXY = true;
  bool HasClearance = false;  // Rates: the toolpath sets the clearance word
};

using MotionList = std::vector<Motion>;

// Builds the motions of a toolpath list, toolpath by toolpath, so that a
// consumer can take them in pieces instead of as one long list.
class MotionBuilder {
 public:
  // rapidHeight: the height of the final retract, above the surface.
  explicit MotionBuilder(double rapidHeight) : rapidHeight_(rapidHeight) {}

  // The tool `tool` is in and stands at (x, y, z); for drawing one
  // toolpath's link on its own.
  void SetPosition(double x, double y, double z, int32_t tool);

  // Appends the motions of `toolpath` (nothing for one without Elements).
  // source: its index in the list, for messages.
  void Append(const TTNOutRegion& toolpath, int32_t source, MotionList& out);
  // Appends the motions of one 3D pass of prototype machining (nothing for
  // one without points): straight moves only, each point at its own Z
  // (already machine Z). The link rules are the same: a tool change, then
  // by the pass's LinkKind; from an unknown place a rise of Z alone to the
  // rapid height, across at that height and a plunge to the first point.
  void AppendPass(const TTNOutRegion3D& pass, int32_t source, MotionList& out);
  // Appends the retract to the rapid height that ends the program.
  void Finish(MotionList& out);

  // Where the tool stands after the motions appended so far.
  Point2 Position() const { return {x_, y_}; }
  double PositionZ() const { return z_; }

 private:
  void Straight(MotionKind kind, MotionPart part, double fromX, double fromY, double x,
                double y, double z, double feed, MotionList& out);
  // The Rates motion of a toolpath or pass, and a tool change when its tool
  // is not the one in; returns the Rates motion.
  Motion& RatesAndTool(double feed, double spindle, int32_t tool, MotionList& out);
  void PathMove(const TTNEntity& e, MotionPart part, double z, double feed, MotionList& out);
  // The hole, or the entry move, the path and the exit move.
  void AppendPath(const TTNOutRegion& t, int32_t kind, Point2 start, double depthZ,
                  MotionList& out);

  // An arc's end at `angle` (cos and sin remembered for the last few
  // angles: the arcs of a path and of its neighbours keep coming back to
  // the same ones, the corners of an offset ring, the turns of a zigzag).
  // The same values as ElementEnds, bit for bit.
  Point2 ArcPoint(const TTNEntity& e, double angle);

  struct AngleMemo {
    std::uint64_t Bits = 0;
    double Cos = 0.0;
    double Sin = 0.0;
    bool Valid = false;
  };
  static constexpr std::size_t kAngleMemo = 4;
  AngleMemo angles_[kAngleMemo];
  std::size_t nextAngle_ = 0;

  double rapidHeight_;
  // Where the tool stands. A program cannot know it when it starts, nor
  // after a tool change (known_ false); x_, y_ and z_ are then only where
  // it was last seen (the origin, on the surface, at the start).
  double x_ = 0.0;
  double y_ = 0.0;
  double z_ = 0.0;
  bool known_ = false;
  int32_t tool_ = 0;
  double previousTool_ = -1.0;  // no tool is in before the first change
  // Of the toolpath being appended.
  int32_t source_ = -1;
  int32_t colour_ = 0;
  double spindle_ = 0.0;
};

// Where the tool stands after cutting the list: the end of its last
// toolpath, or, for a list without one, a point (not a number) that no
// path starts at, since nothing says where the tool is then.
Point2 ToolpathListEnd(const TTNOutRegionArray& toolpaths);

// The motions of a whole toolpath list (from slot 1), ending with the
// retract to the rapid height.
MotionList BuildMotionList(const TTNOutRegionArray& toolpaths, double rapidHeight);

// The motions of the 3D passes (from index 0), ending with the retract.
MotionList BuildMotionList3D(const TTNOutRegionArray3D& passes, double rapidHeight);

// Start of a toolpath (of its entry move when it has one) and its end (of
// its exit move when it has one), as the links take them.
Point2 ToolpathStartPoint(const TTNOutRegion& toolpath);
Point2 ToolpathEndPoint(const TTNOutRegion& toolpath);

}  // namespace tarnak
