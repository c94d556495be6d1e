#include "view/view_scene.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>
#include <utility>

#include "geometry/primitives.h"
#include "base/numbers.h"
#include "import/nc/nc_reader.h"

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

// A machine Z that is not a number is drawn on the surface, as a depth is.
double Height(double z) { return std::isfinite(z) ? z : 0.0; }

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
  turn_ = kAngle2DTurn;
  tilt_ = kAngle2DTilt;
  ct_ = 1.0;
  st_ = 0.0;
  sp_ = 1.0;
  cp_ = 0.0;
}

void ViewProjection::Set3D() { Set3D(kAngle3DTurn, kAngle3DTilt); }

void ViewProjection::Set3D(double turn, double tilt) {
  is3D_ = true;
  turn_ = std::isfinite(turn) ? std::remainder(turn, 360.0) : kAngle3DTurn;
  tilt_ = std::isfinite(tilt) ? std::clamp(tilt, kMinTilt, 90.0) : kAngle3DTilt;
  const double t = turn_ / kDegreesPerRadian;
  const double p = tilt_ / kDegreesPerRadian;
  ct_ = std::cos(t);
  st_ = std::sin(t);
  sp_ = std::sin(p);
  cp_ = std::cos(p);
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
  path.arcTo(QRectF(e.X - r, e.Y - r, 2.0 * r, 2.0 * r), -e.StartAngle() * kDegreesPerRadian,
             -ArcSweep(e) * kDegreesPerRadian);
}

void AppendMotion(QPainterPath& path, const Motion& m) {
  if (!std::isfinite(m.FromX) || !std::isfinite(m.FromY) || !std::isfinite(m.X) ||
      !std::isfinite(m.Y)) {
    return;
  }
  const QPointF start(m.FromX, m.FromY);
  if (path.elementCount() == 0 || path.currentPosition() != start) path.moveTo(start);
  if (m.Kind != MotionKind::Arc || m.Radius == 0.0) {
    path.lineTo(m.X, m.Y);
    return;
  }
  if (!std::isfinite(m.CentreX) || !std::isfinite(m.CentreY) || !std::isfinite(m.Radius) ||
      !std::isfinite(m.StartAngle) || !std::isfinite(m.EndAngle)) {
    return;
  }
  TTNEntity arc;
  arc.Radius = m.Radius;
  arc.SetStartAngle(m.StartAngle);
  arc.SetEndAngle(m.EndAngle);
  const double r = std::fabs(m.Radius);
  // As in AppendElement: y up in the path, the painter's angles turning
  // the other way.
  path.arcTo(QRectF(m.CentreX - r, m.CentreY - r, 2.0 * r, 2.0 * r),
             -m.StartAngle * kDegreesPerRadian, -ArcSweep(arc) * kDegreesPerRadian);
}

void LinkSegments(const Motion& m, std::vector<Segment3>& rapids, std::vector<Segment3>& feeds) {
  const double fromZ = Height(m.FromZ);
  const double z = Height(m.Z);
  if (m.Kind == MotionKind::Drill) {
    // Over the hole at the cycle's plane, down, and back up.
    const double clear = Height(m.Clearance);
    const Point2 hole{m.X, m.Y};
    const Point2 from{m.FromX, m.FromY};
    Push(rapids, from, fromZ, from, clear);
    Push(rapids, from, clear, hole, clear);
    Push(feeds, hole, clear, hole, z);
    Push(rapids, hole, z, hole, clear);
    return;
  }
  if (m.Kind != MotionKind::Rapid && m.Kind != MotionKind::Line) return;
  // A move of Z alone from a point the program does not know is drawn where
  // the tool was last seen.
  Push(m.Kind == MotionKind::Rapid ? rapids : feeds, Point2{m.FromX, m.FromY}, fromZ,
       Point2{m.X, m.Y}, z);
}

void ToolpathLinkMoves(const TTNOutRegion& t, Point2& cur, double& curZ,
                       std::vector<Segment3>& rapids, std::vector<Segment3>& feeds) {
  MotionBuilder builder(0.0);
  builder.SetPosition(cur.X, cur.Y, curZ, t.ToolNumber);
  MotionList motions;
  builder.Append(t, 0, motions);
  for (const Motion& m : motions) {
    const bool link = m.Part == MotionPart::Link || m.Part == MotionPart::Plunge ||
                      m.Kind == MotionKind::Drill;
    if (m.Kind == MotionKind::Rates || m.Kind == MotionKind::ToolChange) continue;
    if (!link) break;  // the toolpath's own moves start here
    LinkSegments(m, rapids, feeds);
    cur = {m.X, m.Y};
    curZ = m.Kind == MotionKind::Drill ? Height(m.Clearance) : Height(m.Z);
  }
}

void BuildNCPicture(const TTNEdEntityArray& moves, int first, int last, NCPicture& picture) {
  picture = NCPicture{};
  picture.First = first;
  picture.Last = last;
  double minZ = 0.0;
  double maxZ = 0.0;
  bool any = false;
  auto widen = [&](double z) {
    if (!any) {
      minZ = maxZ = z;
      any = true;
    }
    minZ = std::min(minZ, z);
    maxZ = std::max(maxZ, z);
  };
  std::map<std::pair<std::uint32_t, double>, ToolpathGroup> feeds;
  std::vector<Segment3> rapids;
  std::vector<Segment3> solid;
  std::vector<Segment3> drills;
  const long long count = static_cast<long long>(moves.size()) - 1;
  const long long from = std::max<long long>(first, 1);
  const long long to = std::min<long long>(last, count);
  ToolpathGroup* group = nullptr;
  // The moves become motions a slice at a time, so that a program of a
  // million moves never holds a second copy of itself as motions.
  constexpr long long kSlice = 65536;
  TTNEdEntityArray slice;
  MotionList motions;
  for (long long begin = from; begin <= to; begin += kSlice) {
    const long long stop = std::min(to, begin + kSlice - 1);
    slice.assign(1, TTNEdEntity{});
    slice.insert(slice.end(), moves.begin() + static_cast<std::ptrdiff_t>(begin),
                 moves.begin() + static_cast<std::ptrdiff_t>(stop + 1));
    motions = NCMovesToMotions(slice);
    for (const Motion& m : motions) {
      ++picture.Moves;
      const double z0 = Height(m.FromZ);
      const double z1 = Height(m.Z);
      switch (m.Kind) {
        case MotionKind::ToolChange:
          picture.ToolMarks.push_back({m.X, m.Y, z1});
          continue;
        case MotionKind::Rapid:
          widen(z0);
          widen(z1);
          LinkSegments(m, rapids, solid);
          continue;
        case MotionKind::Line:
          widen(z0);
          widen(z1);
          if (m.Part == MotionPart::Plunge) {
            LinkSegments(m, rapids, drills);
            picture.DrillMarks.push_back({m.X, m.Y, z1});
            continue;
          }
          // A cut that changes height (a plunge or a ramp) is a segment of
          // its own; a cut at one height joins the path of its height.
          if (z0 != z1) {
            LinkSegments(m, rapids, solid);
            continue;
          }
          break;
        case MotionKind::Arc:
          widen(z0);
          widen(z1);
          break;
        default:
          continue;
      }
      const Colour colour = m.Kind == MotionKind::Arc ? kNCArcColour : kNCFeedColour;
      // Arcs are drawn at their start height (a helix shows as its circle).
      if (group == nullptr || group->Z != z0 || group->ToolColour != colour) {
        group = &feeds[{colour, z0}];
        group->ToolColour = colour;
        group->Z = z0;
      }
      AppendMotion(group->Path, m);
    }
  }
  picture.Feeds.reserve(feeds.size());
  for (auto& [key, g] : feeds) picture.Feeds.push_back(std::move(g));
  const std::pair<std::vector<Segment3>*, std::pair<Colour, bool>> links[] = {
      {&rapids, {kNCRapidColour, true}},
      {&solid, {kNCFeedColour, false}},
      {&drills, {kNCDrillColour, false}},
  };
  for (const auto& [list, style] : links) {
    if (list->empty()) continue;
    LinkGroup g;
    g.ToolColour = style.first;
    g.Rapid = style.second;
    g.Moves = std::move(*list);
    picture.Links.push_back(std::move(g));
  }
  picture.MinZ = minZ;
  picture.MaxZ = maxZ;
  picture.Valid = true;
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
  d.Add(doc.MachiningParams.RapidHeight);  // the height of the first rise
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
  // The motions as the NC program makes them, toolpath by toolpath. Where
  // the tool stands when the program starts nobody knows; its first rise
  // is drawn at the origin, from the surface.
  MotionBuilder builder(doc.MachiningParams.RapidHeight);
  MotionList motions;
  std::vector<Segment3> rapids;
  std::vector<Segment3> plunges;
  for (std::size_t i = 1; i < doc.Toolpaths.size(); ++i) {
    const TTNOutRegion& t = doc.Toolpaths[i];
    if (t.Elements.empty()) continue;
    const Colour colour = static_cast<Colour>(t.Colour) & kColourMax;
    motions.clear();
    builder.Append(t, static_cast<int32_t>(i), motions);
    rapids.clear();
    plunges.clear();
    ToolpathGroup* group = nullptr;
    for (const Motion& m : motions) {
      if (m.Kind == MotionKind::Rates || m.Kind == MotionKind::ToolChange) continue;
      if (m.Kind == MotionKind::Drill) {
        widen(Height(m.Z));
        widen(Height(m.Clearance));
        LinkSegments(m, rapids, plunges);
        ++scene.ToolpathMoves;
        continue;
      }
      if (m.Part == MotionPart::Link || m.Part == MotionPart::Plunge) {
        widen(Height(m.Z));
        LinkSegments(m, rapids, plunges);
        continue;
      }
      // Entry, path and exit: cutting moves at the toolpath's depth.
      if (group == nullptr || group->Z != m.Z) {
        const double z = Height(m.Z);
        widen(z);
        group = &feeds[{colour, z}];
        group->ToolColour = colour;
        group->Z = z;
      }
      AppendMotion(group->Path, m);
      ++scene.ToolpathMoves;
    }
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
