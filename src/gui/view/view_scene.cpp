#include "view/view_scene.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>
#include <utility>

#include "geometry/primitives.h"
#include "base/numbers.h"

namespace tarnak::gui {

namespace {

constexpr double kDegreesPerRadian = 180.0 / kPi;

class Digest {
 public:
  void Add(std::uint64_t v) {
    h_ = (h_ ^ v) * 0x100000001b3ULL;
    h_ ^= h_ >> 31;
  }
  void Add(double v) { Add(std::bit_cast<std::uint64_t>(v)); }
  void Add(const TTNEntity& e) {
    Add(e.X);
    Add(e.Y);
    Add(e.Radius);
    Add(e.X2);
    Add(e.Y2);
  }
  std::uint64_t Value() const { return h_; }

 private:
  std::uint64_t h_ = 0xcbf29ce484222325ULL;
};

bool LeadPresent(const TTNOutRegion& t, const TTNEntity& move) {
  return t.LeadMoves != 0 && move.Mark;
}

void Push(std::vector<Segment3>& list, Point2 a, double za, Point2 b, double zb) {
  if (a.X == b.X && a.Y == b.Y && za == zb) return;  // nothing to draw
  list.push_back({a.X, a.Y, za, b.X, b.Y, zb});
}

}  // namespace

bool IsFiniteElement(const TTNEntity& e) {
  return std::isfinite(e.X) && std::isfinite(e.Y) && std::isfinite(e.Radius) &&
         std::isfinite(e.X2) && std::isfinite(e.Y2);
}

// A depth that is not a number is drawn on the surface rather than
// poisoning the group keys.
double HeightOfDepth(double depth) { return std::isfinite(depth) ? -depth : 0.0; }

// ---- projection ------------------------------------------------------------

void ViewProjection::Set2D() {
  is3D_ = false;
  ct_ = 1.0;
  st_ = 0.0;
  sp_ = 1.0;
  cp_ = 0.0;
}

void ViewProjection::Set3D() {
  is3D_ = true;
  const double turn = kAngle3DTurn / kDegreesPerRadian;
  const double tilt = kAngle3DTilt / kDegreesPerRadian;
  ct_ = std::cos(turn);
  st_ = std::sin(turn);
  sp_ = std::sin(tilt);
  cp_ = std::cos(tilt);
}

QPointF ViewProjection::Project(double x, double y, double z) const {
  return {ct_ * x - st_ * y, sp_ * (st_ * x + ct_ * y) + cp_ * z};
}

Point2 ViewProjection::Unproject(QPointF uv) const {
  const double xr = uv.x();
  const double yr = uv.y() / sp_;
  return {ct_ * xr + st_ * yr, -st_ * xr + ct_ * yr};
}

QTransform ViewProjection::PlaneAt(double z) const {
  return QTransform(ct_, sp_ * st_, -st_, sp_ * ct_, 0.0, cp_ * z);
}

// ---- pens ------------------------------------------------------------------

RegionPen RegionPenOf(const TTNRegion& r) {
  const bool open = r.Open != 0;
  if (r.Selected != 0) {
    if (open) return RegionPen::SelectedOpen;
    return r.Owner == 0 ? RegionPen::Boundary : RegionPen::Island;
  }
  return open ? RegionPen::UnselectedOpen : RegionPen::UnselectedClosed;
}

bool IsSelectedPen(RegionPen pen) {
  return pen == RegionPen::Boundary || pen == RegionPen::Island || pen == RegionPen::SelectedOpen;
}

Colour PenColour(RegionPen pen, const TTNViewOptions& view) {
  switch (pen) {
    case RegionPen::UnselectedClosed: return view.UnClosed;
    case RegionPen::UnselectedOpen: return view.UnOpen;
    case RegionPen::Boundary: return view.Closed;
    case RegionPen::Island: return view.Island;
    case RegionPen::SelectedOpen: return view.Open;
  }
  return view.UnClosed;
}

// ---- paths -----------------------------------------------------------------

void AppendElement(QPainterPath& path, const TTNEntity& e) {
  if (!IsFiniteElement(e)) return;
  Point2 s;
  Point2 t;
  ElementEnds(e, s, t);
  const QPointF start(s.X, s.Y);
  if (path.elementCount() == 0 || path.currentPosition() != start) path.moveTo(start);
  if (e.Radius == 0.0) {
    path.lineTo(t.X, t.Y);
    return;
  }
  const double r = std::fabs(e.Radius);
  // The path is in drawing units with y up, while the painter's angles turn
  // the other way; negated angles put the arc where the drawing has it.
  path.arcTo(QRectF(e.X - r, e.Y - r, 2.0 * r, 2.0 * r), -e.StartAngle * kDegreesPerRadian,
             -ArcSweep(e) * kDegreesPerRadian);
}

Point2 ToolpathStartPoint(const TTNOutRegion& t) {
  if (LeadPresent(t, t.EntryMove)) return ElementStart(t.EntryMove);
  return t.Elements.empty() ? Point2{} : ElementStart(t.Elements.front());
}

Point2 ToolpathEndPoint(const TTNOutRegion& t) {
  if (LeadPresent(t, t.ExitMove)) return ElementEnd(t.ExitMove);
  return t.Elements.empty() ? Point2{} : ElementEnd(t.Elements.back());
}

void ToolpathLinkMoves(const TTNOutRegion& t, Point2& cur, double& curZ,
                       std::vector<Segment3>& rapids, std::vector<Segment3>& feeds) {
  if (t.Elements.empty()) return;
  const double cut = HeightOfDepth(t.Depth);
  const double travel = HeightOfDepth(t.RapidLevel);
  const Point2 start = ToolpathStartPoint(t);
  switch (t.LinkKind) {
    case kLinkFeedAtDepth:  // straight across, cutting
      Push(feeds, cur, curZ, start, cut);
      cur = start;
      curZ = cut;
      break;
    case kLinkRetract:  // up, across, down
      Push(rapids, cur, curZ, cur, travel);
      Push(rapids, cur, travel, start, travel);
      Push(feeds, start, travel, start, cut);
      cur = start;
      curZ = cut;
      break;
    case kLinkInPlace:  // the tool stands on the start already
      Push(feeds, cur, curZ, cur, cut);
      curZ = cut;
      break;
    default:
      if (t.LinkKind > 4) {  // a hole: over it, down and back up
        const Point2 hole = ElementStart(t.Elements.front());
        Push(rapids, cur, curZ, cur, travel);
        Push(rapids, cur, travel, hole, travel);
        Push(feeds, hole, travel, hole, cut);
        Push(rapids, hole, cut, hole, travel);
        cur = hole;
        curZ = travel;
      }
      break;  // 2 and 4 have no link
  }
}

DirectionMark ElementDirectionMark(const TTNEntity& e) {
  DirectionMark m;
  m.Middle = ArcMidPoint(e);
  if (e.Radius == 0.0) {
    m.Back = PointAngle(m.Middle, ElementStart(e));
    return m;
  }
  // The tangent at the middle, reversed. For an arc that is not a full
  // circle this is the direction from its end to its start; a full circle
  // has no chord, and the tangent still points the right way.
  const double at = PointAngle(Point2{e.X, e.Y}, m.Middle);
  m.Back = e.Radius > 0.0 ? at - kPi / 2.0 : at + kPi / 2.0;
  return m;
}

std::string RegionLabel(const TTNRegion& r, std::size_t index, bool selectedView) {
  std::string text = std::to_string(index);
  if (r.SelValue1 != 0) text += "-" + std::to_string(r.SelValue1);
  if (r.Depth != 0.0) text += ", " + FormatNumber("%.3F", r.Depth);
  if (r.WallProfile != 0) {
    const std::string wall = FormatInteger("%D", r.WallProfile);
    const std::string delta = FormatNumber("%.3F", r.WallDelta);
    text += selectedView ? ", " + wall + ", " + delta : ",(" + wall + ", " + delta + ")";
  }
  return text;
}

// ---- the scene -------------------------------------------------------------

std::uint64_t SceneFingerprint(const Document& doc) {
  Digest d;
  d.Add(static_cast<std::uint64_t>(doc.Regions.size()));
  for (std::size_t i = 1; i < doc.Regions.size(); ++i) {
    const TTNRegion& r = doc.Regions[i];
    d.Add(static_cast<std::uint64_t>(RegionPenOf(r)));
    d.Add(r.Depth);
    d.Add(static_cast<std::uint64_t>(r.Elements.size()));
    for (const TTNEntity& e : r.Elements) d.Add(e);
  }
  d.Add(static_cast<std::uint64_t>(doc.Toolpaths.size()));
  for (std::size_t i = 1; i < doc.Toolpaths.size(); ++i) {
    const TTNOutRegion& t = doc.Toolpaths[i];
    d.Add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(t.Colour)));
    d.Add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(t.LinkKind)));
    d.Add(t.Depth);
    d.Add(t.RapidLevel);
    d.Add(static_cast<std::uint64_t>(LeadPresent(t, t.EntryMove)) |
          (static_cast<std::uint64_t>(LeadPresent(t, t.ExitMove)) << 1));
    d.Add(t.EntryMove);
    d.Add(t.ExitMove);
    d.Add(static_cast<std::uint64_t>(t.Elements.size()));
    for (const TTNEntity& e : t.Elements) d.Add(e);
  }
  return d.Value();
}

void BuildScene(const Document& doc, ViewScene& scene) {
  scene = ViewScene{};
  double minZ = 0.0;
  double maxZ = 0.0;
  auto widen = [&](double z) {
    minZ = std::min(minZ, z);
    maxZ = std::max(maxZ, z);
  };

  std::map<std::pair<int, double>, RegionGroup> regions;
  for (std::size_t i = 1; i < doc.Regions.size(); ++i) {
    const TTNRegion& r = doc.Regions[i];
    if (r.Elements.empty()) continue;
    const RegionPen pen = RegionPenOf(r);
    const double z = HeightOfDepth(r.Depth);
    RegionGroup& g = regions[{static_cast<int>(pen), z}];
    g.Pen = pen;
    g.Z = z;
    const auto n = static_cast<long long>(r.Elements.size());
    scene.AllElements += n;
    if (IsSelectedPen(pen)) scene.SelectedElements += n;
    for (const TTNEntity& e : r.Elements) AppendElement(g.Path, e);
    widen(z);
  }
  scene.Regions.reserve(regions.size());
  for (auto& [key, group] : regions) scene.Regions.push_back(std::move(group));

  std::map<std::pair<std::uint32_t, double>, ToolpathGroup> feeds;
  std::map<std::pair<std::uint32_t, bool>, LinkGroup> links;
  Point2 cur{0.0, 0.0};  // the machine starts at the origin, on the surface
  double curZ = 0.0;
  std::vector<Segment3> rapids;
  std::vector<Segment3> plunges;
  for (std::size_t i = 1; i < doc.Toolpaths.size(); ++i) {
    const TTNOutRegion& t = doc.Toolpaths[i];
    if (t.Elements.empty()) continue;
    const Colour colour = static_cast<Colour>(t.Colour) & kColourMax;
    rapids.clear();
    plunges.clear();
    ToolpathLinkMoves(t, cur, curZ, rapids, plunges);
    if (!rapids.empty()) {
      LinkGroup& g = links[{colour, true}];
      g.ToolColour = colour;
      g.Rapid = true;
      g.Moves.insert(g.Moves.end(), rapids.begin(), rapids.end());
    }
    if (!plunges.empty()) {
      LinkGroup& g = links[{colour, false}];
      g.ToolColour = colour;
      g.Moves.insert(g.Moves.end(), plunges.begin(), plunges.end());
    }
    widen(HeightOfDepth(t.RapidLevel));
    const double z = HeightOfDepth(t.Depth);
    widen(z);
    if (t.LinkKind >= 4) {  // drilled or skipped: no cutting path of its own
      scene.ToolpathMoves += t.LinkKind > 4 ? 1 : 0;
      cur = ToolpathEndPoint(t);
      continue;
    }
    ToolpathGroup& g = feeds[{colour, z}];
    g.ToolColour = colour;
    g.Z = z;
    if (LeadPresent(t, t.EntryMove)) {
      AppendElement(g.Path, t.EntryMove);
      ++scene.ToolpathMoves;
    }
    for (const TTNEntity& e : t.Elements) AppendElement(g.Path, e);
    scene.ToolpathMoves += static_cast<long long>(t.Elements.size());
    if (LeadPresent(t, t.ExitMove)) {
      AppendElement(g.Path, t.ExitMove);
      ++scene.ToolpathMoves;
    }
    cur = ToolpathEndPoint(t);
    curZ = z;
  }
  scene.Feeds.reserve(feeds.size());
  for (auto& [key, group] : feeds) scene.Feeds.push_back(std::move(group));
  scene.Links.reserve(links.size());
  for (auto& [key, group] : links) scene.Links.push_back(std::move(group));

  scene.MinZ = minZ;
  scene.MaxZ = maxZ;
  scene.Fingerprint = SceneFingerprint(doc);
  scene.Valid = true;
}

}  // namespace tarnak::gui
