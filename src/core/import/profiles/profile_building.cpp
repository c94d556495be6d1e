#include "import/profiles/profile_building.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "geometry/primitives.h"
#include "import/dxf/dxf_entities.h"
#include "import/dxf/dxf_expand.h"
#include "import/profiles/minx_sort.h"
#include "selection/region_selection.h"

namespace tarnak {

namespace {

TTNEntity LineElement(double x1, double y1, double x2, double y2) {
  TTNEntity e = MakeLine(x1, y1, x2, y2);
  e.Mark = false;
  return e;
}

// A plane tilted against the drawing plane: its circles are seen from above
// as ellipses, so a bulge cannot stay an arc.
bool TiltedPlane(const OcsMatrix& m) { return 1.0 - std::fabs(m.Az.Z) > 1e-9; }

// One polyline (or 3D face, or mesh taken as its vertex chain) as a Region.
// Returns false when no segment was long enough to keep.
bool PolylineToRegion(const Polyline_& pl, TTNRegion& r, double tolerance) {
  std::vector<DxfPoint> v = pl.Vertices;
  bool flattened = false;
  if (pl.Ocs && TiltedPlane(*pl.Ocs)) {
    v = FlattenBulges(v, tolerance);
    flattened = true;
  }
  if (pl.Ocs) {
    // Vertices are stored in the polyline's own plane. A drawing mirrored in
    // CAD keeps its outlines with a downward extrusion; taken as read they
    // would land mirrored beside the rest of the drawing. Seen from above a
    // downward plane also turns every bulge the other way.
    const bool flipped = pl.Ocs->Az.Z < 0.0;
    for (DxfPoint& p : v) {
      const double bulge = p.W;
      const DxfPoint w = pl.Ocs->ToWorld(DxfPoint{p.X, p.Y, p.Z, 0.0});
      p = DxfPoint{w.X, w.Y, w.Z, flipped ? -bulge : bulge};
    }
  }
  if (pl.Kind() == DxfKind::Face3D || pl.Kind() == DxfKind::Solid) {
    // A face's corners are not closed by the reader: complete the chain
    // back to the first corner the way a closed polyline is.
    if (!v.empty() && (std::fabs(v.back().X - v.front().X) > kChainTolerance ||
                       std::fabs(v.back().Y - v.front().Y) > kChainTolerance))
      v.push_back(v.front());
  }
  if (v.size() < 2) return false;

  r.Elements.clear();
  r.Elements.reserve(v.size() - 1);
  double p1x = v[0].X, p1y = v[0].Y;
  double b = v[0].W;
  for (size_t i = 1; i < v.size(); ++i) {
    const double p2x = v[i].X, p2y = v[i].Y;
    TTNEntity e;
    if (b == 0.0) {
      e = LineElement(p1x, p1y, p2x, p2y);
    } else {
      const double k = (1.0 / b - b) / 2.0;
      const double cx = (p1x + p2x - (p2y - p1y) * k) / 2.0;
      const double cy = (p1y + p2y + (p2x - p1x) * k) / 2.0;
      double radius = std::hypot(p1x - cx, p1y - cy);
      if (b < 0.0) radius = -radius;
      e.X = cx;
      e.Y = cy;
      e.Radius = radius;
      e.SetStartAngle(PointAngle(Point2{cx, cy}, Point2{p1x, p1y}));
      e.SetEndAngle(PointAngle(Point2{cx, cy}, Point2{p2x, p2y}));
      e.Mark = false;
    }
    if (ElementLength(e) > kShortSegment) {
      ElementBounds(e);
      r.Elements.push_back(e);
      p1x = p2x;
      p1y = p2y;
    }
    b = v[i].W;
  }
  if (r.Elements.empty()) return false;

  r.Open = pl.IsClosed() ? 0 : 1;
  if (!flattened && r.Elements.size() == 2 && pl.Vertices.size() >= 2 && pl.Vertices[0].W == 1.0 &&
      pl.Vertices[1].W == 1.0) {
    // Two half-circle bulges: one full circle.
    TTNEntity c = r.Elements[0];
    c.SetStartAngle(0.0);
    c.SetEndAngle(0.0);
    ElementBounds(c);
    r.Elements.assign(1, c);
    r.Open = 0;
  }
  RegionBounds(r);
  r.Selected = 1;
  r.Depth = pl.Width;
  return true;
}

// Unit chord direction; a vanishing chord keeps a scaled-up direction so
// that it compares unequal to real directions.
Point2 ChordDirection(const TTNEntity& e) {
  Point2 s, t;
  ElementEnds(e, s, t);
  const double dx = t.X - s.X, dy = t.Y - s.Y;
  const double len = std::hypot(dx, dy);
  if (len <= 1e-10) return {dx * 10000.0, dy * 10000.0};
  return {dx / len, dy / len};
}

bool ChainEndsMeet(const TTNRegion& r) {
  if (r.Elements.empty()) return false;
  const Point2 s = ElementStart(r.Elements.front());
  const Point2 e = ElementEnd(r.Elements.back());
  return std::fabs(s.X - e.X) < kChainTolerance && std::fabs(s.Y - e.Y) < kChainTolerance;
}

// The sort key of one entry and where the entry was.
struct MinXKey {
  double MinX;
  size_t Index;
};

// QuickSortMinX of list[first..last] run on small (key, position) pairs,
// then each entry moved once to its place: the partitioning looks at MinX
// alone, so the pairs end in exactly the order the entries themselves would
// have (also when a cancel stops the sort half-way), without the many
// exchanges of whole Regions (each a large record).
template <typename T>
void SortByKeys(const CancelToken& cancel, std::vector<T>& list, int first, int last) {
  if (first >= last) return;
  const size_t from = static_cast<size_t>(first);
  const size_t n = static_cast<size_t>(last - first) + 1;
  std::vector<MinXKey> keys(n);
  for (size_t k = 0; k < n; ++k) keys[k] = MinXKey{list[from + k].MinX, k};
  QuickSortMinX(cancel, keys, 0, static_cast<int>(n) - 1);
  std::vector<T> sorted;
  sorted.reserve(n);
  for (const MinXKey& k : keys) sorted.push_back(std::move(list[from + k.Index]));
  std::move(sorted.begin(), sorted.end(), list.begin() + static_cast<std::ptrdiff_t>(from));
}

}  // namespace

void SortElementsByMinX(const CancelToken& cancel, TTNEntityArray& list, int first, int last) {
  if (first < 0 || last >= static_cast<int>(list.size())) return;
  // Elements are small plain records: exchanging them in place costs less
  // than gathering them from all over a large list afterwards.
  QuickSortMinX(cancel, list, first, last);
}

void SortRegionsByMinX(const CancelToken& cancel, TTNRegionArray& list, int first, int last) {
  if (first < 0 || last >= static_cast<int>(list.size())) return;
  SortByKeys(cancel, list, first, last);
}

void EllipseToLines(double cx, double cy, double mx, double my, double ratio, double t0,
                    double t1, double tolerance, TTNEntityArray& out) {
  if (tolerance == 0.0) tolerance = kEllipseTolerance;
  const double a = std::hypot(mx, my);
  const double b = a * ratio;
  const double phi = PointAngle(mx, my);
  // Ellipses run counter-clockwise from the start to the end parameter; an
  // end at or below the start wraps through a full turn.
  if (!(t1 > t0)) t1 += kTwoPi;
  if (!std::isfinite(t0) || !std::isfinite(t1) || !std::isfinite(a) || !std::isfinite(b)) return;

  const size_t firstNew = out.size();
  auto at = [&](double t) { return Point2{cx + a * std::cos(t), cy + b * std::sin(t)}; };
  Point2 prev = at(t0);
  if (a - tolerance > 0.0) {
    // alpha is the half angle whose chord stays within the tolerance on the
    // enclosing circle of radius a; steps of 2*alpha keep every chord of
    // the (flatter) ellipse within it too.
    const double alpha = std::atan(std::sqrt(a * a - (a - tolerance) * (a - tolerance)) /
                                   (a - tolerance));
    const double count = std::round(std::fabs(t1 - t0) / (2.0 * alpha));
    // A bound that keeps a degenerate (huge) ellipse from exhausting memory.
    const long n = static_cast<long>(std::min(count, 1.0e6)) + 1;
    const double step = (t1 - t0) / static_cast<double>(n);
    double t = t0;
    for (long k = 0; k < n + 6; ++k) {
      t += step;
      if (t >= t1) break;
      const Point2 p = at(t);
      out.push_back(LineElement(prev.X, prev.Y, p.X, p.Y));
      prev = p;
    }
  }
  const Point2 last = at(t1);
  out.push_back(LineElement(prev.X, prev.Y, last.X, last.Y));

  if (phi != 0.0) {
    const double c = std::cos(phi), s = std::sin(phi);
    for (size_t i = firstNew; i < out.size(); ++i) {
      TTNEntity& e = out[i];
      auto rot = [&](double& x, double& y) {
        const double dx = x - cx, dy = y - cy;
        x = cx + dx * c - dy * s;
        y = cy + dx * s + dy * c;
      };
      rot(e.X, e.Y);
      rot(e.X2, e.Y2);
      ElementBounds(e);
    }
  }
}

void DxfToElements(const CancelToken& cancel, const DXF_Object& drawing,
                   const std::string& skipLayer, int closedDirection, double ellipseTolerance,
                   TTNEntityArray& loose, TTNRegionArray& polyRegions) {
  if (cancel.stopped()) return;
  if (ellipseTolerance == 0.0) ellipseTolerance = kEllipseTolerance;
  loose.reserve(loose.size() + static_cast<size_t>(std::max(0, drawing.NumEntitiesAndVertices())));

  for (const auto& layer : drawing.Layers) {
    if (layer->Name == skipLayer) continue;
    for (const auto& list : layer->Lists) {
      if (list->Entities.empty()) continue;
      const DxfKind kind = list->Entities.front()->Kind();
      for (const auto& ent : list->Entities) {
        switch (kind) {
          case DxfKind::Line: {
            const auto& l = static_cast<const Line_&>(*ent);
            loose.push_back(LineElement(l.P1.X, l.P1.Y, l.P2.X, l.P2.Y));
            break;
          }
          case DxfKind::Arc: {
            const auto& a = static_cast<const Arc_&>(*ent);
            TTNEntity e = MakeArc(a.P1.X, a.P1.Y, a.Radius, a.StartAngle, a.EndAngle);
            e.Mark = false;
            loose.push_back(e);
            break;
          }
          case DxfKind::Circle: {
            const auto& c = static_cast<const Circle_&>(*ent);
            TTNEntity e = MakeArc(c.P1.X, c.P1.Y, c.Radius, 0.0, 0.0);
            e.Mark = false;
            loose.push_back(e);
            break;
          }
          case DxfKind::Ellipse: {
            const auto& el = static_cast<const Ellipse_&>(*ent);
            EllipseToLines(el.P1.X, el.P1.Y, el.P2.X, el.P2.Y, el.Ratio, el.StartParam,
                           el.EndParam, ellipseTolerance, loose);
            break;
          }
          case DxfKind::Polyline:
          case DxfKind::Face3D:
          case DxfKind::Solid:
          case DxfKind::PolygonMesh:
          case DxfKind::PolyfaceMesh: {
            TTNRegion r;
            if (PolylineToRegion(static_cast<const Polyline_&>(*ent), r, ellipseTolerance))
              polyRegions.push_back(std::move(r));
            break;
          }
          default:
            break;  // points, texts, attributes and blocks make no Elements
        }
      }
    }
  }
  loose.shrink_to_fit();

  if (polyRegions.empty()) return;
  SortRegionsByMinX(cancel, polyRegions, 0, static_cast<int>(polyRegions.size()) - 1);
  TTNRegionArray kept;
  kept.reserve(polyRegions.size());
  for (TTNRegion& r : polyRegions) {
    ClearRegionSelection(r);
    if (!r.Elements.empty()) kept.push_back(std::move(r));
  }
  polyRegions = std::move(kept);
  RemoveDuplicateRegions(polyRegions);
  for (TTNRegion& r : polyRegions) r.Selected = 1;
  JoinOpenRegions(cancel, polyRegions, kChainTolerance);
  SetClosedDirections(polyRegions, closedDirection);
  MergeCollinear(polyRegions);
}

void MergeCollinear(TTNRegionArray& list) {
  TTNRegionArray out;
  out.reserve(list.size());
  for (TTNRegion& src : list) {
    if (src.Elements.size() < 2) {
      out.push_back(std::move(src));
      continue;
    }
    const bool wasClosed = src.Open == 0;
    TTNEntityArray elements = std::move(src.Elements);
    TTNRegion cur = src;  // fields without the Elements
    cur.Elements.clear();
    cur.Elements.push_back(elements[0]);
    Point2 lastDir = ChordDirection(elements[0]);
    bool split = false;
    for (size_t k = 1; k < elements.size(); ++k) {
      const TTNEntity& e = elements[k];
      const Point2 d = ChordDirection(e);
      TTNEntity& last = cur.Elements.back();
      if (e.IsLine() && last.IsLine() && std::fabs(d.X - lastDir.X) <= 1e-8 &&
          std::fabs(d.Y - lastDir.Y) <= 1e-8) {
        last.X2 = e.X2;
        last.Y2 = e.Y2;
        ElementBounds(last);
        lastDir = ChordDirection(last);
      } else if (std::fabs(d.X + lastDir.X) <= 1e-8 && std::fabs(d.Y + lastDir.Y) <= 1e-8) {
        // The path turns straight back: what came before becomes a Region
        // of its own and a new one starts here.
        RegionBounds(cur);
        TTNRegion next = cur;
        next.Elements.clear();
        split = true;
        cur.Open = ChainEndsMeet(cur) && wasClosed ? 0 : 1;
        out.push_back(std::move(cur));
        cur = std::move(next);
        cur.Open = src.Open;
        cur.Elements.push_back(e);
        lastDir = d;
      } else {
        cur.Elements.push_back(e);
        lastDir = d;
      }
    }
    RegionBounds(cur);
    // A piece cut out of a closed outline only stays closed when its own
    // ends meet; otherwise it would be machined as a loop it is not.
    if (split && wasClosed && !ChainEndsMeet(cur)) cur.Open = 1;
    out.push_back(std::move(cur));
  }
  list = std::move(out);
}

void CleanElements(const CancelToken& cancel, TTNEntityArray& loose) {
  // 1. Too-short Elements go.
  loose.erase(std::remove_if(loose.begin(), loose.end(),
                             [](const TTNEntity& e) { return !(ElementLength(e) > kShortElement); }),
              loose.end());
  NormaliseAndSortElements(cancel, loose, true);
}

void NormaliseAndSortElements(const CancelToken& cancel, TTNEntityArray& loose,
                              bool dropDuplicates) {
  // 2. Lines run towards greater X.
  for (TTNEntity& e : loose)
    if (e.IsLine() && e.X > e.X2) ElementReverse(e);
  // 3. Sorted by MinX.
  if (loose.empty()) return;
  SortElementsByMinX(cancel, loose, 0, static_cast<int>(loose.size()) - 1);
  if (cancel.stopped() || !dropDuplicates) return;
  // 4. Duplicates: an Element goes when a later one (within the MinX window)
  // repeats it, so of a set of duplicates the last one remains.
  constexpr double t = kChainTolerance;
  auto duplicates = [](const TTNEntity& i, const TTNEntity& j) {
    if (i.Radius != j.Radius) return false;
    if (i.IsLine()) {
      if (std::fabs(j.X - j.X2) < t) {
        if (!(std::fabs(i.X2 - j.X2) < t)) return false;
        const bool same = std::fabs(i.Y - j.Y) < t && std::fabs(i.Y2 - j.Y2) < t;
        const bool crossed = std::fabs(j.Y - i.Y2) < t && std::fabs(j.Y2 - i.Y) < t;
        return same || crossed;
      }
      return std::fabs(i.X2 - j.X2) < t && std::fabs(i.Y - j.Y) < t && std::fabs(i.Y2 - j.Y2) < t;
    }
    return std::fabs(i.MaxX - j.MaxX) < t && std::fabs(i.MinY - j.MinY) < t &&
           std::fabs(i.MaxY - j.MaxY) < t && std::fabs(i.StartAngle() - j.StartAngle()) < 1e-8 &&
           std::fabs(i.EndAngle() - j.EndAngle()) < 1e-8;
  };
  const size_t n = loose.size();
  std::vector<char> drop(n, 0);
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = i + 1; j < n; ++j) {
      if (loose[j].MinX - loose[i].MinX > t) break;
      if (duplicates(loose[i], loose[j])) {
        drop[i] = 1;
        break;
      }
    }
  }
  size_t w = 0;
  for (size_t i = 0; i < n; ++i)
    if (!drop[i]) loose[w++] = loose[i];
  loose.resize(w);
}

void SetClosedDirections(TTNRegionArray& list, int direction) {
  for (TTNRegion& r : list)
    if (r.Open == 0) RegionSetDirection(r, direction);
}

void RemoveDuplicateRegions(TTNRegionArray& list) {
  const size_t n = list.size();
  std::vector<char> drop(n, 0);
  auto near = [](Point2 a, Point2 b) {
    return std::fabs(a.X - b.X) < 1e-8 && std::fabs(a.Y - b.Y) < 1e-8;
  };
  for (size_t i = 0; i < n; ++i) {
    const TTNRegion& ri = list[i];
    for (size_t j = i + 1; j < n; ++j) {
      const TTNRegion& rj = list[j];
      if (rj.MinX - ri.MinX > kChainTolerance) break;
      if (rj.Elements.size() != ri.Elements.size() || rj.Elements.empty()) continue;
      if (!(std::fabs(ri.MinX - rj.MinX) <= 1e-8 && std::fabs(ri.MinY - rj.MinY) <= 1e-8 &&
            std::fabs(ri.MaxY - rj.MaxY) <= 1e-8 && std::fabs(ri.MaxX - rj.MaxX) <= 1e-8))
        continue;
      const Point2 js = ElementStart(rj.Elements.front());
      bool hit = false;
      for (const TTNEntity& e : ri.Elements) {
        Point2 s, t;
        ElementEnds(e, s, t);
        if (near(js, s) || near(js, t)) {
          hit = true;
          break;
        }
      }
      if (hit) {
        drop[i] = 1;
        break;
      }
    }
  }
  size_t w = 0;
  for (size_t i = 0; i < n; ++i) {
    if (drop[i]) continue;
    if (w != i) list[w] = std::move(list[i]);
    ++w;
  }
  list.resize(w);
}

void AppendRegions(const TTNRegionArray& source, int first, TTNRegionArray& target) {
  if (first < 0) first = 0;
  for (size_t i = static_cast<size_t>(first); i < source.size(); ++i) target.push_back(source[i]);
}

}  // namespace tarnak
