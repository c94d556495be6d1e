#include "toolpaths/motion_list.h"

#include "geometry/primitives.h"

namespace tarnak {

Point2 ToolpathStartPoint(const TTNOutRegion& toolpath) {
  if (toolpath.LeadMoves != 0 && toolpath.EntryMove.Mark) return ElementStart(toolpath.EntryMove);
  return toolpath.Elements.empty() ? Point2{} : ElementStart(toolpath.Elements.front());
}

Point2 ToolpathEndPoint(const TTNOutRegion& toolpath) {
  if (toolpath.LeadMoves != 0 && toolpath.ExitMove.Mark) return ElementEnd(toolpath.ExitMove);
  return toolpath.Elements.empty() ? Point2{} : ElementEnd(toolpath.Elements.back());
}

void MotionBuilder::SetPosition(double x, double y, double z) {
  x_ = x;
  y_ = y;
  z_ = z;
}

void MotionBuilder::Straight(MotionKind kind, MotionPart part, double fromX, double fromY,
                             double x, double y, double z, double feed, MotionList& out) {
  Motion m;
  m.Kind = kind;
  m.Part = part;
  m.FromX = fromX;
  m.FromY = fromY;
  m.FromZ = z_;
  m.X = x;
  m.Y = y;
  m.Z = z;
  m.Feed = feed;
  m.SpindleSpeed = spindle_;
  m.Tool = tool_;
  m.Colour = colour_;
  m.Source = source_;
  out.push_back(m);
  z_ = z;
}

void MotionBuilder::PathMove(const TTNEntity& e, MotionPart part, double z, double feed,
                             MotionList& out) {
  if (e.IsLine()) {
    Straight(MotionKind::Line, part, e.X, e.Y, e.X2, e.Y2, z, feed, out);
    return;
  }
  Point2 start;
  Point2 end;
  ElementEnds(e, start, end);
  Straight(MotionKind::Arc, part, start.X, start.Y, end.X, end.Y, z, feed, out);
  Motion& m = out.back();
  m.CentreX = e.X;
  m.CentreY = e.Y;
  m.Radius = e.Radius;
  m.StartAngle = e.StartAngle;
  m.EndAngle = e.EndAngle;
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

  Motion& rates = out.emplace_back();
  rates.Kind = MotionKind::Rates;
  rates.Part = MotionPart::Link;
  rates.FromX = rates.X = x_;
  rates.FromY = rates.Y = y_;
  rates.FromZ = rates.Z = z_;
  rates.Feed = t.Feed;
  rates.SpindleSpeed = t.SpindleSpeed;
  rates.Tool = t.ToolNumber;
  rates.Colour = t.Colour;
  rates.Source = source;
  rates.HasClearance = LinkSetsClearance(kind);
  rates.Clearance = -t.RapidLevel;

  if (static_cast<double>(t.ToolNumber) != previousTool_) {
    previousTool_ = static_cast<double>(t.ToolNumber);
    Motion& change = out.emplace_back(rates);
    change.Kind = MotionKind::ToolChange;
    change.HasClearance = false;
  }
  tool_ = t.ToolNumber;

  const double depthZ = -t.Depth;
  const double travelZ = -t.RapidLevel;
  const Point2 start = ToolpathStartPoint(t);
  switch (kind) {
    case kLinkFeedAtDepth:
      // Fed across to the start; the links reckon from where the last path
      // ended until the path's first move.
      Straight(MotionKind::Line, MotionPart::Link, x_, y_, start.X, start.Y, depthZ, t.Feed, out);
      break;
    case kLinkRetract:
      Straight(MotionKind::Rapid, MotionPart::Link, x_, y_, x_, y_, travelZ, t.Feed, out);
      Straight(MotionKind::Rapid, MotionPart::Link, x_, y_, start.X, start.Y, travelZ, t.Feed, out);
      x_ = start.X;
      y_ = start.Y;
      Straight(MotionKind::Line, MotionPart::Plunge, x_, y_, x_, y_, depthZ, t.PlungeFeed, out);
      break;
    case kLinkInPlace:
      Straight(MotionKind::Line, MotionPart::Plunge, x_, y_, x_, y_, depthZ, t.PlungeFeed, out);
      break;
    default:
      if (IsDrillLink(kind)) {
        const TTNEntity& hole = t.Elements.front();
        Straight(MotionKind::Drill, MotionPart::Path, hole.X, hole.Y, hole.X2, hole.Y2, depthZ,
                 t.Feed, out);
        out.back().Clearance = travelZ;
        z_ = travelZ;  // the cycle returns above the hole
      }
      break;  // kLinkNone and kLinkSkip: no link
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
  const Point2 end = ToolpathEndPoint(t);
  x_ = end.X;
  y_ = end.Y;
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
