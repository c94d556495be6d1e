// Chaining loose Elements into Regions and joining open Regions end to end.
//
// Both searches take "the first free candidate in list order whose end
// touches the running end point". The list is sorted by MinX and a scan in
// list order stops at the first candidate lying wholly to the right of the
// point, so only candidates with an end point within the tolerance can ever
// be taken. When the list really is sorted we therefore look the touching
// ends up in a grid of end points (geometry/point_grid.h) and take the
// lowest list index among them: the same answer as the scan, without walking the list
// from its start for every step. Unsorted input keeps the plain scan.
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "geometry/point_grid.h"
#include "geometry/primitives.h"
#include "import/profiles/profile_building.h"

namespace tarnak {

namespace {

// End points of the searched items in a point grid, answering "which items
// have an end within T of p (strictly, in both coordinates)".
class EndPointIndex {
 public:
  explicit EndPointIndex(double t) : t_(t), grid_(Layout(t)) {}
  void Add(Point2 p, int index) { grid_.Add(p, index); }
  void Finish() { grid_.Finish(); }
  // Calls f(index) for every item with an end near p (an item may be
  // reported twice, once for each end).
  template <typename F>
  void ForEachNear(Point2 p, F&& f) const {
    // A little more than the tolerance, against rounding in the cell
    // arithmetic; the exact test below decides.
    const double reach = 1.01 * t_ + 1e-12 * (std::fabs(p.X) + std::fabs(p.Y));
    grid_.ForEachNear(p, reach, [&](int32_t index, Point2 q) {
      if (std::fabs(q.X - p.X) < t_ && std::fabs(q.Y - p.Y) < t_) f(index);
    });
  }

 private:
  static PointGrid::Layout Layout(double t) {
    PointGrid::Layout l;
    // Any positive side gives the same answers; four tolerances keep a
    // query within two cells per axis.
    l.W = l.H = (t > 0.0 && std::isfinite(t)) ? 4.0 * t : 1.0;
    return l;
  }
  double t_;
  PointGrid grid_;
};

// True when the items taking part (all when `part` is null) have finite
// MinX values in ascending list order.
template <typename T>
bool SortedByMinX(const std::vector<T>& list, const std::vector<char>* part = nullptr) {
  double previous = -std::numeric_limits<double>::infinity();
  for (size_t i = 0; i < list.size(); ++i) {
    if (part && !(*part)[i]) continue;
    if (!std::isfinite(list[i].MinX) || list[i].MinX < previous) return false;
    previous = list[i].MinX;
  }
  return true;
}

bool Touches(Point2 a, Point2 b, double t) {
  return std::fabs(a.X - b.X) < t && std::fabs(a.Y - b.Y) < t;
}

// ---------------------------------------------------------------------------
// Chaining one chunk of loose Elements.

struct Pick {
  int Index = -1;
  bool AtStart = false;  // the candidate's start point touches the searched point
};

class ChunkChainer {
 public:
  ChunkChainer(TTNEntityArray& chunk, double t) : chunk_(chunk), t_(t), index_(t) {
    indexed_ = SortedByMinX(chunk_);
    if (indexed_) {
      for (size_t i = 0; i < chunk_.size(); ++i) {
        Point2 s, e;
        ElementEnds(chunk_[i], s, e);
        index_.Add(s, static_cast<int>(i));
        index_.Add(e, static_cast<int>(i));
      }
      index_.Finish();
    }
  }

  // First free Element (list order) with an end touching p; its start is
  // tested before its end.
  Pick Find(Point2 p) const {
    Pick best;
    if (indexed_) {
      index_.ForEachNear(p, [&](int i) {
        if (!chunk_[static_cast<size_t>(i)].Mark) return;
        if (best.Index >= 0 && best.Index <= i) return;
        best.Index = i;
      });
      if (best.Index >= 0) best.AtStart = Touches(ElementStart(chunk_[static_cast<size_t>(best.Index)]), p, t_);
      return best;
    }
    for (size_t i = 0; i < chunk_.size(); ++i) {
      const TTNEntity& e = chunk_[i];
      if (!e.Mark) continue;
      if (e.MinX > p.X + t_) break;
      if (!(e.MaxX > p.X - t_)) continue;
      Point2 s, f;
      ElementEnds(e, s, f);
      if (Touches(s, p, t_)) return {static_cast<int>(i), true};
      if (Touches(f, p, t_)) return {static_cast<int>(i), false};
    }
    return best;
  }

 private:
  TTNEntityArray& chunk_;
  double t_;
  bool indexed_ = false;
  EndPointIndex index_;
};

void StoreNext(TTNRegion& r, const TTNEntity& e, bool reversed) {
  r.Elements.emplace_back();
  RegionStoreElement(e, r, reversed, static_cast<int>(r.Elements.size()) - 1);
}

void ChainChunk(const CancelToken& cancel, TTNEntityArray& chunk, TTNRegionArray& out, double t) {
  out.assign(1, TTNRegion{});
  if (cancel.stopped()) return;
  if (chunk.size() == 1 && chunk[0].Radius == 0.0 && chunk[0].X == 0.0 && chunk[0].Y == 0.0 &&
      chunk[0].X2 == 0.0)
    return;
  for (TTNEntity& e : chunk) e.Mark = true;
  ChunkChainer chainer(chunk, t);

  for (size_t seedIndex = 0; seedIndex < chunk.size(); ++seedIndex) {
    TTNEntity& seed = chunk[seedIndex];
    if (!seed.Mark) continue;
    TTNRegion r;
    seed.Mark = false;
    if (seed.IsFullCircle()) {
      // A lone circle always runs clockwise here; the closed-direction step
      // turns it as configured.
      StoreNext(r, seed, seed.Radius > 0.0);
      r.Open = 0;
      out.push_back(std::move(r));
      continue;
    }
    StoreNext(r, seed, false);
    Point2 s, e;
    ElementEnds(seed, s, e);

    bool closed = false;
    while (!closed) {
      const Pick pick = chainer.Find(e);
      if (pick.Index < 0) break;
      TTNEntity& c = chunk[static_cast<size_t>(pick.Index)];
      c.Mark = false;
      const bool reversed = !pick.AtStart;
      // Snap the touching end onto the chain's end; the other end goes on.
      ElementSnapEnd(c, e, reversed ? 1 : 0);
      e = reversed ? ElementStart(c) : ElementEnd(c);
      if (Touches(e, s, t)) {
        ElementSnapEnd(c, s, reversed ? 0 : 1);
        e = s;
        closed = true;
      }
      StoreNext(r, c, reversed);
    }

    const size_t forwardCount = r.Elements.size();
    if (!closed) {
      while (true) {
        const Pick pick = chainer.Find(s);
        if (pick.Index < 0) break;
        TTNEntity& c = chunk[static_cast<size_t>(pick.Index)];
        c.Mark = false;
        // A start touching the chain's start is walked backwards.
        const bool reversed = pick.AtStart;
        ElementSnapEnd(c, s, reversed ? 0 : 1);
        s = reversed ? ElementEnd(c) : ElementStart(c);
        StoreNext(r, c, reversed);
      }
    }

    if (closed) {
      r.Open = 0;
    } else {
      r.Open = 1;
      PutOpenChainInOrder(r, forwardCount);
    }
    out.push_back(std::move(r));
  }
}

// ---------------------------------------------------------------------------
// Joining open Regions.

class OpenRegionFinder {
 public:
  OpenRegionFinder(const TTNRegionArray& list, const std::vector<char>& candidate, double t)
      : list_(list), candidate_(candidate), t_(t), index_(t) {
    indexed_ = SortedByMinX(list_, &candidate_);
    if (indexed_) {
      for (size_t i = 0; i < list_.size(); ++i) {
        if (!candidate_[i]) continue;
        index_.Add(ElementStart(list_[i].Elements.front()), static_cast<int>(i));
        index_.Add(ElementEnd(list_[i].Elements.back()), static_cast<int>(i));
      }
      index_.Finish();
    }
  }

  Pick Find(Point2 p) const {
    Pick best;
    if (indexed_) {
      index_.ForEachNear(p, [&](int i) {
        if (!candidate_[static_cast<size_t>(i)]) return;
        if (best.Index >= 0 && best.Index <= i) return;
        best.Index = i;
      });
      if (best.Index >= 0)
        best.AtStart = Touches(ElementStart(list_[static_cast<size_t>(best.Index)].Elements.front()), p, t_);
      return best;
    }
    for (size_t i = 0; i < list_.size(); ++i) {
      if (!candidate_[i]) continue;
      const TTNRegion& q = list_[i];
      if (q.MinX > p.X + t_) break;
      if (!(q.MaxX > p.X - t_)) continue;
      if (Touches(ElementStart(q.Elements.front()), p, t_)) return {static_cast<int>(i), true};
      if (Touches(ElementEnd(q.Elements.back()), p, t_)) return {static_cast<int>(i), false};
    }
    return best;
  }

 private:
  const TTNRegionArray& list_;
  const std::vector<char>& candidate_;
  double t_;
  bool indexed_ = false;
  EndPointIndex index_;
};

}  // namespace

void ChainElements(const CancelToken& cancel, TTNEntityArray& loose, TTNRegionArray& target,
                   int closedDirection, double tolerance) {
  if (loose.empty()) return;
  cancel.Poll();
  if (target.empty())
    target.emplace_back();
  else
    target.resize(1);

  const int count = static_cast<int>(loose.size());
  int chunkSize = kChunkSize;
  if ((count - 1) / chunkSize + 1 > kChunkCountLimit) chunkSize = (count - 1) / kChunkCountLimit;
  const int chunks = (count - 1) / chunkSize + 1;
  TTNEntityArray all = std::move(loose);
  loose.clear();

  TTNRegionArray joined;
  TTNRegionArray chunkRegions;
  TTNEntityArray chunk;
  for (int c = 0; c < chunks; ++c) {
    if (c % 10 == 0 && cancel.stopped()) return;
    const size_t from = static_cast<size_t>(c) * static_cast<size_t>(chunkSize);
    const size_t to = std::min(all.size(), from + static_cast<size_t>(chunkSize));
    chunk.assign(all.begin() + static_cast<std::ptrdiff_t>(from),
                 all.begin() + static_cast<std::ptrdiff_t>(to));
    ChainChunk(cancel, chunk, chunkRegions, tolerance);
    for (size_t i = 1; i < chunkRegions.size(); ++i) joined.push_back(std::move(chunkRegions[i]));
  }
  if (cancel.stopped()) return;

  for (TTNRegion& r : joined) r.Selected = 1;
  if (!joined.empty()) SortRegionsByMinX(cancel, joined, 0, static_cast<int>(joined.size()) - 1);
  JoinOpenRegions(cancel, joined, tolerance);
  SetClosedDirections(joined, closedDirection);
  for (TTNRegion& r : joined) target.push_back(std::move(r));
}

void JoinOpenRegions(const CancelToken& cancel, TTNRegionArray& list, double tolerance) {
  if (cancel.stopped()) return;
  const double t = tolerance;
  const size_t n = list.size();

  // Candidates are selected open Regions with at least one Element.
  std::vector<char> candidate(n, 0);
  for (size_t i = 0; i < n; ++i)
    candidate[i] = list[i].Selected && list[i].Open && !list[i].Elements.empty();

  // Everything that takes no part in joining keeps its order at the front;
  // it is moved there once joining is done, not copied.
  const std::vector<char> stays = [&] {
    std::vector<char> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = !candidate[i];
    return v;
  }();
  TTNRegionArray joinedOut;

  // The pieces are joined as copies, so a cancelled run leaves the list
  // exactly as it was.
  OpenRegionFinder finder(list, candidate, t);
  int step = 0;
  for (size_t ri = 0; ri < n; ++ri) {
    if (!candidate[ri]) continue;
    if (step++ % 10 == 0) {
      if (cancel.Poll()) return;
    }
    candidate[ri] = 0;
    TTNRegion j = list[ri];
    j.Selected = 0;
    Point2 s = ElementStart(j.Elements.front());
    Point2 e = ElementEnd(j.Elements.back());
    bool closed = false;
    bool grown = false;

    while (!closed) {
      const Pick pick = finder.Find(e);
      if (pick.Index < 0) break;
      candidate[static_cast<size_t>(pick.Index)] = 0;
      TTNRegion q = list[static_cast<size_t>(pick.Index)];
      q.Selected = 0;
      if (pick.AtStart) {
        ElementSnapEnd(q.Elements.front(), e, 0);
        e = ElementEnd(q.Elements.back());
      } else {
        ElementSnapEnd(q.Elements.back(), e, 1);
        e = ElementStart(q.Elements.front());
        RegionReverse(q);
      }
      j.Elements.insert(j.Elements.end(), q.Elements.begin(), q.Elements.end());
      grown = true;
      if (Touches(e, s, t)) {
        ElementSnapEnd(j.Elements.back(), s, 1);
        closed = true;
      }
    }

    if (!closed) {
      while (true) {
        const Pick pick = finder.Find(s);
        if (pick.Index < 0) break;
        candidate[static_cast<size_t>(pick.Index)] = 0;
        TTNRegion q = list[static_cast<size_t>(pick.Index)];
        q.Selected = 0;
        if (pick.AtStart) {
          ElementSnapEnd(q.Elements.front(), s, 0);
          s = ElementEnd(q.Elements.back());
          RegionReverse(q);
        } else {
          ElementSnapEnd(q.Elements.back(), s, 1);
          s = ElementStart(q.Elements.front());
        }
        // The joined Region takes the fields of the piece now at its front.
        q.Elements.insert(q.Elements.end(), j.Elements.begin(), j.Elements.end());
        j = std::move(q);
        grown = true;
      }
    }

    j.Open = closed ? 0 : 1;
    // The box has to cover every piece joined in, or picking, extents and
    // the MinX order would all look at the first piece only.
    if (grown) RegionBounds(j);
    joinedOut.push_back(std::move(j));
  }
  TTNRegionArray result;
  result.reserve(n);
  for (size_t i = 0; i < n; ++i)
    if (stays[i]) result.push_back(std::move(list[i]));
  for (TTNRegion& j : joinedOut) result.push_back(std::move(j));
  list = std::move(result);
}

void PutOpenChainInOrder(TTNRegion& r, size_t forwardCount) {
  if (r.Elements.size() <= forwardCount) return;
  TTNEntityArray ordered;
  ordered.reserve(r.Elements.size());
  for (size_t k = r.Elements.size(); k-- > forwardCount;) ordered.push_back(r.Elements[k]);
  for (size_t k = 0; k < forwardCount; ++k) ordered.push_back(r.Elements[k]);
  r.Elements = std::move(ordered);
}

}  // namespace tarnak
