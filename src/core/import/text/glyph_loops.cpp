#include "import/text/glyph_loops.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

#include "geometry/primitives.h"
#include "import/profiles/profile_building.h"
#include "import/text/text_geometry.h"
#include "import/text/ttf_converter.h"

namespace tarnak {

namespace {

// The least distance (larger coordinate difference) between two of the
// vertices: sorted on X, each compared with those after it until X alone
// puts them farther than the best so far.
int64_t LeastApart(const std::vector<int32_t>& x, const std::vector<int32_t>& y) {
  std::vector<std::pair<int32_t, int32_t>> p(x.size());
  for (size_t i = 0; i < x.size(); ++i) p[i] = {x[i], y[i]};
  std::sort(p.begin(), p.end());
  int64_t best = std::numeric_limits<int64_t>::max();
  for (size_t i = 0; i < p.size(); ++i)
    for (size_t j = i + 1; j < p.size(); ++j) {
      const int64_t along = int64_t{p[j].first} - p[i].first;
      if (along >= best) break;
      best = std::min(best, std::max(along, std::abs(int64_t{p[j].second} - p[i].second)));
    }
  return best;
}

constexpr int32_t kMaxCoordinate = 1 << 20;
constexpr uint32_t kMaxLoopLength = 1u << 20;

}  // namespace

GlyphLoops MakeGlyphLoops(const TStrokeCollection& strokes) {
  GlyphLoops g;
  const std::vector<TStroke>& all = strokes.Strokes();
  bool closed = true;
  size_t i = 0;
  while (i < all.size() && closed) {
    const int32_t contour = all[i].Contour;
    GlyphLoops::Loop loop;
    loop.Begin = static_cast<uint32_t>(g.X.size());
    const TStroke* last = nullptr;
    const TStroke* first = nullptr;
    for (; i < all.size() && all[i].Contour == contour; ++i) {
      const TStroke& s = all[i];
      if (s.X1 == s.X2 && s.Y1 == s.Y2) continue;  // the tail drops it
      if (last && (s.X1 != last->X2 || s.Y1 != last->Y2)) closed = false;
      // Far beyond any glyph (a thousand ems), and it keeps the area sums
      // below exactly in 64 bits.
      if (std::abs(int64_t{s.X1}) > kMaxCoordinate || std::abs(int64_t{s.Y1}) > kMaxCoordinate) closed = false;
      if (!first) first = &s;
      g.X.push_back(s.X1);
      g.Y.push_back(s.Y1);
      last = &s;
    }
    loop.End = static_cast<uint32_t>(g.X.size());
    if (loop.End == loop.Begin) continue;  // nothing left of it
    if (last->X2 != first->X1 || last->Y2 != first->Y1 || loop.End - loop.Begin < 3 ||
        loop.End - loop.Begin > kMaxLoopLength)
      closed = false;
    if (!closed) break;
    loop.MinX = loop.MaxX = g.X[loop.Begin];
    loop.MinY = loop.MaxY = g.Y[loop.Begin];
    for (uint32_t k = loop.Begin; k < loop.End; ++k) {
      const int32_t x = g.X[k], y = g.Y[k];
      const uint32_t next = k + 1 == loop.End ? loop.Begin : k + 1;
      loop.TwiceArea += int64_t{x} * g.Y[next] - int64_t{g.X[next]} * y;
      loop.MinX = std::min(loop.MinX, x);
      loop.MaxX = std::max(loop.MaxX, x);
      loop.MinY = std::min(loop.MinY, y);
      loop.MaxY = std::max(loop.MaxY, y);
    }
    g.Loops.push_back(loop);
  }
  if (!closed) {
    g.Loops.clear();
    return g;
  }
  g.Usable = true;
  if (g.Loops.empty()) return g;  // nothing the tail would keep
  g.MinX = g.Loops[0].MinX;
  g.MinY = g.Loops[0].MinY;
  g.MaxX = g.Loops[0].MaxX;
  g.MaxY = g.Loops[0].MaxY;
  for (const GlyphLoops::Loop& l : g.Loops) {
    g.MinX = std::min(g.MinX, l.MinX);
    g.MinY = std::min(g.MinY, l.MinY);
    g.MaxX = std::max(g.MaxX, l.MaxX);
    g.MaxY = std::max(g.MaxY, l.MaxY);
  }
  g.Apart = LeastApart(g.X, g.Y);
  g.Usable = g.Apart > 0;
  if (!g.Usable) g.Loops.clear();
  return g;
}

namespace {

// One glyph of the text where it lands.
struct Placed {
  std::shared_ptr<const GlyphLoops> Glyph;
  double Pen = 0.0;
  Box Bounds;
  double AbsX = 0.0, AbsY = 0.0;  // the largest coordinate sizes met on the way there
};

struct Placing {
  double F, Dx, Dy;
  // The same operations, in the same order, as TextToElements, then
  // ScaleElements and TranslateElements on the Elements.
  double X(int32_t x, double pen) const { return (static_cast<double>(x) + pen) * F + Dx; }
  double Y(int32_t y) const { return static_cast<double>(y) * F + Dy; }
};

// No vertex of a within w of one of b (both coordinates closer, as the
// chaining compares), among those near both boxes. `work` counts the
// comparisons.
bool ApartFrom(const Placed& a, const Placed& b, const Placing& at, double w, double reach, size_t& work) {
  const Box& ba = a.Bounds;
  const Box& bb = b.Bounds;
  const Box near = Widened(Box::FromMinMax(std::max(ba.MinX, bb.MinX), std::max(ba.MinY, bb.MinY),
                                           std::min(ba.MaxX, bb.MaxX), std::min(ba.MaxY, bb.MaxY)),
                          reach);
  auto inside = [&](const Placed& p, std::vector<Point2>& into) {
    const GlyphLoops& g = *p.Glyph;
    for (size_t k = 0; k < g.X.size(); ++k) {
      const Point2 q{at.X(g.X[k], p.Pen), at.Y(g.Y[k])};
      if (q.X >= near.MinX && q.X <= near.MaxX && q.Y >= near.MinY && q.Y <= near.MaxY) into.push_back(q);
    }
    work += g.X.size();
  };
  std::vector<Point2> pa, pb;
  inside(a, pa);
  if (pa.empty()) return true;
  inside(b, pb);
  work += pa.size() * pb.size();
  for (const Point2& p : pa)
    for (const Point2& q : pb)
      if (std::fabs(p.X - q.X) < w && std::fabs(p.Y - q.Y) < w) return false;
  return true;
}

}  // namespace

bool StraightTextToRegions(const CancelToken& cancel, const std::string& s, TTTFToVectorConverter& ttf,
                           double scale, double dx, double dy, int closedDirection,
                           bool removeDuplicates, TTNRegionArray& out) {
  if (!(scale > 0.0) || !std::isfinite(scale) || !std::isfinite(dx) || !std::isfinite(dy)) return false;
  if (ttf.StrokeFont() || SingleLineFace(ttf.Font().Name)) return false;
  const Placing at{scale, dx, dy};
  // Vertices must keep this far apart at the text's size (twice the
  // tolerance when duplicates are dropped: two lines are duplicates when
  // both their ends lie within it of each other's).
  const double w = removeDuplicates ? 2.01 * kChainTolerance : kChainTolerance;
  // The glyphs in place, as TextToElements walks the pen.
  std::vector<Placed> placed;
  ttf.Offset = 0;
  double pen = 0.0;
  size_t vertices = 0;
  for (char32_t c : ttf.Characters(s)) {
    std::shared_ptr<const GlyphLoops> g = ttf.CachedLoops(c);
    if (g && !g->Usable) return false;
    if (g && !g->Loops.empty()) {
      Placed p;
      p.Pen = pen;
      p.Bounds = Box::FromMinMax(at.X(g->MinX, pen), at.Y(g->MinY), at.X(g->MaxX, pen), at.Y(g->MaxY));
      p.AbsX = std::max({std::fabs(p.Bounds.MinX), std::fabs(p.Bounds.MaxX),
                         std::fabs((g->MinX + pen) * scale), std::fabs((g->MaxX + pen) * scale)});
      p.AbsY = std::max({std::fabs(p.Bounds.MinY), std::fabs(p.Bounds.MaxY),
                         std::fabs(g->MinY * scale), std::fabs(g->MaxY * scale)});
      if (!std::isfinite(p.AbsX) || !std::isfinite(p.AbsY)) return false;
      // Within the glyph: its least distance scaled, less what rounding
      // the coordinates (three operations each) can take off it.
      const double room = 0x1p-48 * (p.AbsX + p.AbsY + 1.0);
      if (!(static_cast<double>(g->Apart) * scale > w + room)) return false;
      vertices += g->X.size();
      p.Glyph = std::move(g);
      placed.push_back(std::move(p));
    }
    pen += ttf.Offset;
  }
  if (cancel.stopped()) return false;
  // Between glyphs: pairs whose boxes come near, swept along X.
  {
    const double reach = 2.0 * w;
    std::vector<std::pair<double, uint32_t>> byLow(placed.size());
    for (size_t i = 0; i < placed.size(); ++i) byLow[i] = {placed[i].Bounds.MinX, static_cast<uint32_t>(i)};
    std::sort(byLow.begin(), byLow.end());
    std::vector<uint32_t> active;
    size_t work = 0;
    const size_t budget = 64 * vertices + 4096;
    for (const auto& entry : byLow) {
      // Not a structured binding: the lambda below takes `from`.
      const double from = entry.first;
      const uint32_t i = entry.second;
      const Box& b = placed[i].Bounds;
      std::erase_if(active, [&](uint32_t o) { return placed[o].Bounds.MaxX < from - reach; });
      work += active.size();
      for (uint32_t o : active) {
        if (BoxesOverlap(placed[o].Bounds, b, reach) && !ApartFrom(placed[o], placed[i], at, w, reach, work))
          return false;
      }
      if (work > budget) return false;
      active.push_back(i);
    }
  }

  // The Regions in MinX order, equal ones in the order of the text.
  struct Key {
    double MinX;
    uint32_t Glyph, Loop;
    bool operator<(const Key& o) const {
      if (MinX != o.MinX) return MinX < o.MinX;
      return Glyph != o.Glyph ? Glyph < o.Glyph : Loop < o.Loop;
    }
  };
  std::vector<Key> order;
  for (size_t i = 0; i < placed.size(); ++i)
    for (size_t l = 0; l < placed[i].Glyph->Loops.size(); ++l)
      order.push_back({at.X(placed[i].Glyph->Loops[l].MinX, placed[i].Pen), static_cast<uint32_t>(i),
                       static_cast<uint32_t>(l)});
  std::sort(order.begin(), order.end());
  if (cancel.stopped()) return false;

  out.assign(1, TTNRegion{});
  out.reserve(1 + order.size());
  std::vector<Point2> q;
  for (const Key& key : order) {
    const Placed& p = placed[key.Glyph];
    const GlyphLoops& g = *p.Glyph;
    const GlyphLoops::Loop& loop = g.Loops[key.Loop];
    const uint32_t n = loop.End - loop.Begin;
    q.resize(n);
    // The start: the leftmost point, the lowest of several, as they come
    // out (rounding far from the origin can make two of them level).
    uint32_t from = 0;
    for (uint32_t k = 0; k < n; ++k) {
      q[k] = {at.X(g.X[loop.Begin + k], p.Pen), at.Y(g.Y[loop.Begin + k])};
      if (q[k].X < q[from].X || (q[k].X == q[from].X && q[k].Y < q[from].Y)) from = k;
    }
    // The way round as the area in font units gives it, unless the
    // rounding of the moved points and of the shoelace sum over them could
    // sway it (a sliver): then as the Regions' own test finds it.
    const double np = static_cast<double>(n) + 4.0;
    const double bound = 0x1p-48 * np * np * (p.AbsX + 1.0) * (p.AbsY + 1.0);
    const bool sure = std::fabs(static_cast<double>(loop.TwiceArea)) * scale * scale > bound;
    const int clockwise = loop.TwiceArea < 0 ? 1 : 0;
    const bool forward = !sure || clockwise == closedDirection;
    TTNRegion& r = out.emplace_back();
    r.Selected = 1;
    r.Open = 0;
    r.MinX = key.MinX;
    r.MaxX = at.X(loop.MaxX, p.Pen);
    r.MinY = at.Y(loop.MinY);
    r.MaxY = at.Y(loop.MaxY);
    r.Elements.resize(n);
    TTNEntity* e = r.Elements.data();
    for (uint32_t k = 0; k < n; ++k, ++e) {
      const uint32_t to = forward ? (from + 1 == n ? 0 : from + 1) : (from == 0 ? n - 1 : from - 1);
      const Point2 a = q[from], b = q[to];
      e->X = a.X;
      e->Y = a.Y;
      e->X2 = b.X;
      e->Y2 = b.Y;
      e->MinX = std::min(a.X, b.X);
      e->MaxX = std::max(a.X, b.X);
      e->MinY = std::min(a.Y, b.Y);
      e->MaxY = std::max(a.Y, b.Y);
      from = to;
    }
    if (sure)
      r.Direction = static_cast<uint8_t>(closedDirection);
    else
      RegionSetDirection(r, closedDirection);
  }
  return true;
}

}  // namespace tarnak
