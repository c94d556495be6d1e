// Splitting self-touching and self-crossing closed outlines ("Try to correct
// bad DXF geometry").
#include <cmath>
#include <optional>
#include <utility>

#include "geometry/primitives.h"
#include "import/profiles/profile_building.h"
#include "geometry/intersect.h"

namespace tarnak {

namespace {

using Pieces = std::vector<TTNRegion>;

TTNRegion PieceLike(const TTNRegion& src) {
  TTNRegion r = src;
  r.Elements.clear();
  r.Open = 0;
  return r;
}

void Append(TTNRegion& r, const TTNEntityArray& e, size_t from, size_t to) {
  for (size_t k = from; k < to; ++k) r.Elements.push_back(e[k]);
}

// Self-touch: the start of Element i meets the end of a later Element j.
std::optional<Pieces> SplitAtTouch(const TTNRegion& r) {
  const TTNEntityArray& e = r.Elements;
  const size_t last = e.size() - 1;
  std::vector<Point2> starts(e.size()), ends(e.size());
  for (size_t k = 0; k < e.size(); ++k) ElementEnds(e[k], starts[k], ends[k]);
  for (size_t i = 0; i + 2 <= last; ++i) {
    for (size_t j = i + 1; j <= last - 1; ++j) {
      const double dx = starts[i].X - ends[j].X, dy = starts[i].Y - ends[j].Y;
      if (dx * dx + dy * dy < 1e-8) {
        TTNRegion a = PieceLike(r), b = PieceLike(r);
        Append(a, e, 0, i);
        Append(a, e, j + 1, last + 1);
        Append(b, e, i, j + 1);
        Pieces out;
        for (TTNRegion* p : {&a, &b}) {
          if (p->Elements.empty()) continue;
          RegionBounds(*p);
          out.push_back(std::move(*p));
        }
        return out;
      }
    }
  }
  return std::nullopt;
}

bool BoxesOverlap(const TTNEntity& a, const TTNEntity& b) {
  constexpr double m = kChainTolerance;
  return a.MinX <= b.MaxX + m && b.MinX <= a.MaxX + m && a.MinY <= b.MaxY + m &&
         b.MinY <= a.MaxY + m;
}

// Piece of Element e with one end moved onto p; none when the piece would be
// shorter than the chaining tolerance (p at the kept end).
std::optional<TTNEntity> SnappedPiece(const TTNEntity& e, Point2 p, int which) {
  const Point2 kept = which == 0 ? ElementEnd(e) : ElementStart(e);
  if (std::hypot(kept.X - p.X, kept.Y - p.Y) < kChainTolerance) return std::nullopt;
  TTNEntity c = e;
  ElementSnapEnd(c, p, which);
  return c;
}

// Self-crossing: two Elements that are not neighbours intersect.
std::optional<Pieces> SplitAtCrossing(const TTNRegion& r) {
  const TTNEntityArray& e = r.Elements;
  const size_t last = e.size() - 1;
  auto test = [&](size_t i, size_t j) -> std::optional<Pieces> {
    if (!BoxesOverlap(e[i], e[j])) return std::nullopt;
    const IntersectResult hit = IntersectElements(e[i], e[j]);
    if (hit.Count == 0) return std::nullopt;
    const Point2 p = hit.P[0];
    TTNRegion a = PieceLike(r), b = PieceLike(r);
    Append(a, e, 0, i);
    if (auto piece = SnappedPiece(e[i], p, 1)) a.Elements.push_back(*piece);
    if (auto piece = SnappedPiece(e[j], p, 0)) a.Elements.push_back(*piece);
    Append(a, e, j + 1, last + 1);
    if (auto piece = SnappedPiece(e[i], p, 0)) b.Elements.push_back(*piece);
    Append(b, e, i + 1, j);
    if (auto piece = SnappedPiece(e[j], p, 1)) b.Elements.push_back(*piece);
    Pieces out;
    for (TTNRegion* q : {&a, &b}) {
      if (q->Elements.empty()) continue;
      RegionBounds(*q);
      out.push_back(std::move(*q));
    }
    // A crossing at a shared corner cuts nothing off: look further.
    if (out.size() < 2) return std::nullopt;
    return out;
  };
  for (size_t j = 2; j + 1 <= last; ++j)
    if (auto p = test(0, j)) return p;
  for (size_t i = 1; i + 2 <= last; ++i)
    for (size_t j = i + 2; j <= last; ++j)
      if (auto p = test(i, j)) return p;
  return std::nullopt;
}

// One pass over the list: every splittable Region is replaced by its pieces,
// which go to the end of the list. Returns whether anything was split.
template <typename Split>
bool SplitPass(TTNRegionArray& list, int direction, size_t minElements, Split split) {
  TTNRegionArray kept, added;
  kept.reserve(list.size());
  if (!list.empty()) kept.push_back(std::move(list[0]));
  bool any = false;
  for (size_t k = 1; k < list.size(); ++k) {
    TTNRegion& r = list[k];
    if (r.Open == 0 && r.Elements.size() >= minElements) {
      if (auto pieces = split(r)) {
        any = true;
        SetClosedDirections(*pieces, direction);
        for (TTNRegion& p : *pieces) added.push_back(std::move(p));
        continue;
      }
    }
    kept.push_back(std::move(r));
  }
  for (TTNRegion& p : added) kept.push_back(std::move(p));
  list = std::move(kept);
  return any;
}

}  // namespace

void FixBadGeometry(const CancelToken& cancel, TTNRegionArray& list, int direction) {
  if (list.size() < 2) return;
  const long limit = 5L * static_cast<long>(list.size() - 1);
  for (long pass = 0; pass < limit; ++pass) {
    if (cancel.stopped()) return;
    if (!SplitPass(list, direction, 4, SplitAtTouch)) break;
  }
  for (long pass = 0; pass < limit; ++pass) {
    if (cancel.stopped()) return;
    if (!SplitPass(list, direction, 3, SplitAtCrossing)) break;
  }
}

}  // namespace tarnak
