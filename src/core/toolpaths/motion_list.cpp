#include "toolpaths/motion_list.h"

#include <bit>
#include <cmath>
#include <limits>

#include "geometry/primitives.h"

namespace tarnak {

namespace {

// A path starts where the tool stands when it starts this close to it.
constexpr double kInPlaceTolerance = 0.0001;

}  // namespace

Point2 ToolpathStartPoint(const TTNOutRegion& toolpath) {
  if (toolpath.LeadMoves != 0 && toolpath.EntryMove.Mark) return ElementStart(toolpath.EntryMove);
  return toolpath.Elements.empty() ? Point2{} : ElementStart(toolpath.Elements.front());
}

Point2 ToolpathEndPoint(const TTNOutRegion& toolpath) {
  if (toolpath.LeadMoves != 0 && toolpath.ExitMove.Mark) return ElementEnd(toolpath.ExitMove);
  return toolpath.Elements.empty() ? Point2{} : ElementEnd(toolpath.Elements.back());
}

void MotionBuilder::SetPosition(double x, double y, double z, int32_t tool) {
  x_ = x;
  y_ = y;
  z_ = z;
  known_ = true;
  tool_ = tool;
  previousTool_ = static_cast<double>(tool);
}

Point2 ToolpathListEnd(const TTNOutRegionArray& toolpaths) {
  for (std::size_t i = toolpaths.size(); i > 1; --i) {
    const TTNOutRegion& t = toolpaths[i - 1];
    if (!t.Elements.empty()) return ToolpathEndPoint(t);
  }
  const double unknown = std::numeric_limits<double>::quiet_NaN();
  return {unknown, unknown};
}

inline void MotionBuilder::Straight(MotionKind kind, MotionPart part, double fromX, double fromY,
                                    double x, double y, double z, double feed, MotionList& out) {
  // Made where it lies in the list: a record built aside and copied in is
  // read back in wider pieces than it was written in, which stalls.
  out.emplace_back(kind, part, fromX, fromY, z_, x, y, z, feed, spindle_, tool_, colour_, source_);
  z_ = z;
}

Motion& MotionBuilder::RatesAndTool(double feed, double spindle, int32_t tool, MotionList& out) {
  Motion rates;
  rates.Kind = MotionKind::Rates;
  rates.Part = MotionPart::Link;
  rates.FromX = rates.X = x_;
  rates.FromY = rates.Y = y_;
  rates.FromZ = rates.Z = z_;
  rates.Feed = feed;
  rates.SpindleSpeed = spindle;
  rates.Tool = tool;
  rates.Colour = colour_;
  rates.Source = source_;
  const std::size_t at = out.size();
  out.push_back(rates);
  if (static_cast<double>(tool) != previousTool_) {
    previousTool_ = static_cast<double>(tool);
    Motion& change = out.emplace_back(rates);
    change.Kind = MotionKind::ToolChange;
    // A tool change may take the machine to a change position, or the
    // operator may move it: where the tool stands afterwards is not known.
    known_ = false;
  }
  tool_ = tool;
  return out[at];
}

Point2 MotionBuilder::ArcPoint(const TTNEntity& e, double angle) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(angle);
  const AngleMemo* memo = nullptr;
  for (const AngleMemo& a : angles_) {
    if (a.Valid && a.Bits == bits) {
      memo = &a;
      break;
    }
  }
  if (memo == nullptr) {
    AngleMemo& a = angles_[nextAngle_];
    nextAngle_ = (nextAngle_ + 1) % kAngleMemo;
    a.Bits = bits;
    a.Cos = std::cos(angle);
    a.Sin = std::sin(angle);
    a.Valid = true;
    memo = &a;
  }
  // As ElementEnds works them out.
  const double r = std::fabs(e.Radius);
  return {e.X + r * memo->Cos, e.Y + r * memo->Sin};
}

void MotionBuilder::PathMove(const TTNEntity& e, MotionPart part, double z, double feed,
                             MotionList& out) {
  if (e.IsLine()) {
    Straight(MotionKind::Line, part, e.X, e.Y, e.X2, e.Y2, z, feed, out);
    return;
  }
  const Point2 start = ArcPoint(e, e.StartAngle());
  const Point2 end = ArcPoint(e, e.EndAngle());
  Straight(MotionKind::Arc, part, start.X, start.Y, end.X, end.Y, z, feed, out);
  Motion& m = out.back();
  m.CentreX = e.X;
  m.CentreY = e.Y;
  m.Radius = e.Radius;
  m.StartAngle = e.StartAngle();
  m.EndAngle = e.EndAngle();
}

void MotionBuilder::Append(const TTNOutRegion& t, int32_t source, MotionList& out) {
  if (t.Elements.empty()) return;
  source_ = source;
  colour_ = t.Colour;
  spindle_ = t.SpindleSpeed;
  const int32_t kind = t.LinkKind;
  // The rates, a tool change, up to four link moves, the lead moves and
  // the path.
  out.reserve(out.size() + t.Elements.size() + 9);

  Motion& rates = RatesAndTool(t.Feed, t.SpindleSpeed, t.ToolNumber, out);
  rates.HasClearance = LinkSetsClearance(kind);
  rates.Clearance = -t.RapidLevel;

  const double depthZ = -t.Depth;
  const double travelZ = -t.RapidLevel;
  const Point2 start = ToolpathStartPoint(t);
  const bool drill = IsDrillLink(kind);
  if (!known_ && (LinkCutsPath(kind) || drill)) {
    // Nothing may be cut from a place the tool was not driven to: first up
    // to the rapid height where the tool stands, whatever its place, then
    // over to the start at that height.
    Straight(MotionKind::Rapid, MotionPart::Link, x_, y_, x_, y_, rapidHeight_, t.Feed, out);
    out.back().KnownXY = false;
    const Point2 to = drill ? ElementStart(t.Elements.front()) : start;
    Straight(MotionKind::Rapid, MotionPart::Link, x_, y_, to.X, to.Y, rapidHeight_, t.Feed, out);
    x_ = to.X;
    y_ = to.Y;
    known_ = true;
    if (!drill) {
      Straight(MotionKind::Line, MotionPart::Plunge, x_, y_, x_, y_, depthZ, t.PlungeFeed, out);
    }
    AppendPath(t, kind, start, depthZ, out);
    return;
  }
  switch (kind) {
    case kLinkFeedAtDepth:
      Straight(MotionKind::Line, MotionPart::Link, x_, y_, start.X, start.Y, depthZ, t.Feed, out);
      x_ = start.X;
      y_ = start.Y;
      break;
    case kLinkRetract:
      Straight(MotionKind::Rapid, MotionPart::Link, x_, y_, x_, y_, travelZ, t.Feed, out);
      Straight(MotionKind::Rapid, MotionPart::Link, x_, y_, start.X, start.Y, travelZ, t.Feed, out);
      x_ = start.X;
      y_ = start.Y;
      Straight(MotionKind::Line, MotionPart::Plunge, x_, y_, x_, y_, depthZ, t.PlungeFeed, out);
      break;
    case kLinkInPlace:
      if (std::hypot(start.X - x_, start.Y - y_) > kInPlaceTolerance) {
        // Not where the tool stands after all: a plunge here would cut
        // across to the path. Reached like any other start instead.
        Straight(MotionKind::Rapid, MotionPart::Link, x_, y_, x_, y_, rapidHeight_, t.Feed, out);
        Straight(MotionKind::Rapid, MotionPart::Link, x_, y_, start.X, start.Y, rapidHeight_,
                 t.Feed, out);
        x_ = start.X;
        y_ = start.Y;
      }
      Straight(MotionKind::Line, MotionPart::Plunge, x_, y_, x_, y_, depthZ, t.PlungeFeed, out);
      break;
    default:
      break;  // kLinkNone and kLinkSkip: no link; holes below
  }
  AppendPath(t, kind, start, depthZ, out);
}

void MotionBuilder::AppendPath(const TTNOutRegion& t, int32_t kind, Point2 start, double depthZ,
                               MotionList& out) {
  if (IsDrillLink(kind)) {
    const TTNEntity& hole = t.Elements.front();
    const double travelZ = -t.RapidLevel;
    Straight(MotionKind::Drill, MotionPart::Path, hole.X, hole.Y, hole.X2, hole.Y2, depthZ,
             t.Feed, out);
    out.back().Clearance = travelZ;
    z_ = travelZ;  // the cycle returns above the hole
  }
  if (LinkCutsPath(kind)) {
    const bool leads = t.LeadMoves != 0;
    if (leads && t.EntryMove.Mark) {
      Straight(MotionKind::Line, MotionPart::Link, x_, y_, start.X, start.Y, depthZ, t.Feed, out);
      PathMove(t.EntryMove, MotionPart::Entry, depthZ, t.Feed, out);
    }
    for (const TTNEntity& e : t.Elements) PathMove(e, MotionPart::Path, depthZ, t.Feed, out);
    if (leads && t.ExitMove.Mark) PathMove(t.ExitMove, MotionPart::Exit, depthZ, t.Feed, out);
  }
  if (LinkCutsPath(kind) || IsDrillLink(kind)) {
    const Point2 end = ToolpathEndPoint(t);
    x_ = end.X;
    y_ = end.Y;
  }
  // A skipped toolpath leaves the tool where it was.
}

void MotionBuilder::AppendPass(const TTNOutRegion3D& pass, int32_t source, MotionList& out) {
  if (pass.Points.empty()) return;
  source_ = source;
  colour_ = pass.Colour;
  spindle_ = pass.SpindleSpeed;
  out.reserve(out.size() + pass.Points.size() + 6);

  RatesAndTool(pass.Feed, pass.SpindleSpeed, pass.ToolNumber, out);

  const TTNPoint3D& first = pass.Points.front();
  const double fx = first.X, fy = first.Y, fz = first.Z;
  if (!known_) {
    // As for 2D toolpaths: never a feed or a diagonal rapid from a place
    // the program does not know.
    Straight(MotionKind::Rapid, MotionPart::Link, x_, y_, x_, y_, rapidHeight_, pass.Feed, out);
    out.back().KnownXY = false;
    Straight(MotionKind::Rapid, MotionPart::Link, x_, y_, fx, fy, rapidHeight_, pass.Feed, out);
    Straight(MotionKind::Line, MotionPart::Plunge, fx, fy, fx, fy, fz, pass.PlungeFeed, out);
  } else if (pass.LinkKind == kLinkRetract) {
    const double travelZ = pass.RapidLevel;  // a real Z already
    Straight(MotionKind::Rapid, MotionPart::Link, x_, y_, x_, y_, travelZ, pass.Feed, out);
    Straight(MotionKind::Rapid, MotionPart::Link, x_, y_, fx, fy, travelZ, pass.Feed, out);
    Straight(MotionKind::Line, MotionPart::Plunge, fx, fy, fx, fy, fz, pass.PlungeFeed, out);
  } else if (pass.LinkKind == kLinkFeedAtDepth) {
    Straight(MotionKind::Line, MotionPart::Link, x_, y_, fx, fy, fz, pass.Feed, out);
  }
  known_ = true;
  double x = x_, y = y_;
  for (const TTNPoint3D& p : pass.Points) {
    const MotionKind kind = p.Kind == kPoint3DRapid ? MotionKind::Rapid : MotionKind::Line;
    Straight(kind, MotionPart::Path, x, y, p.X, p.Y, p.Z, pass.Feed, out);
    x = p.X;
    y = p.Y;
  }
  x_ = x;
  y_ = y;
}

MotionList BuildMotionList3D(const TTNOutRegionArray3D& passes, double rapidHeight) {
  MotionBuilder builder(rapidHeight);
  MotionList out;
  for (std::size_t i = 0; i < passes.size(); ++i)
    builder.AppendPass(passes[i], static_cast<int32_t>(i), out);
  builder.Finish(out);
  return out;
}

void MotionBuilder::Finish(MotionList& out) {
  source_ = -1;
  Straight(MotionKind::Rapid, MotionPart::End, x_, y_, x_, y_, rapidHeight_, 0.0, out);
}

MotionList BuildMotionList(const TTNOutRegionArray& toolpaths, double rapidHeight) {
  MotionList out;
  MotionBuilder builder(rapidHeight);
  for (std::size_t i = 1; i < toolpaths.size(); ++i) {
    builder.Append(toolpaths[i], static_cast<int32_t>(i), out);
  }
  builder.Finish(out);
  return out;
}

}  // namespace tarnak
