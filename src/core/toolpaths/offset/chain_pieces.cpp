// Chaining trimmed pieces back into Regions.
//
// A chain grows by the first free piece that starts where it ends. "First"
// follows the list order, looking after the piece taken last before
// wrapping round to the front; the start points are indexed in a point grid
// (geometry/point_grid.h) of cells four times the matching tolerance wide,
// so that finding the next piece looks at a handful of candidates instead
// of the whole list.
#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/point_grid.h"
#include "geometry/primitives.h"
#include "toolpaths/offset/offset.h"

namespace tarnak {

namespace {

constexpr double kSamePoint = 0.00025;   // in x and in y
constexpr double kCell = 4 * kSamePoint;  // a query spans at most two cells per axis
constexpr double kReach = 1.01 * kSamePoint;

bool Near(Point2 a, Point2 b) {
  return std::fabs(a.X - b.X) <= kSamePoint && std::fabs(a.Y - b.Y) <= kSamePoint;
}

class StartIndex {
 public:
  explicit StartIndex(const TTNEntityArray& pieces) : pieces_(pieces), grid_(Layout()) {
    grid_.Reserve(pieces.size());
    for (size_t i = 0; i < pieces.size(); ++i)
      grid_.Add(ElementStart(pieces[i]), static_cast<int32_t>(i));  // a non-finite start can match nothing
    grid_.Finish();
  }

  // The first free piece starting at p: the lowest index above `after`,
  // else the lowest index of all; -1 when there is none.
  int32_t Find(Point2 p, int32_t after) const {
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return -1;
    int32_t bestAfter = std::numeric_limits<int32_t>::max();
    int32_t bestAny = std::numeric_limits<int32_t>::max();
    // A little more than the tolerance either side, against rounding in the
    // cell arithmetic; usually one cell.
    grid_.ForEachNear(p, kReach, [&](int32_t k, Point2 start) {
      if (!Near(start, p) || pieces_[static_cast<size_t>(k)].Mark) return;
      bestAny = std::min(bestAny, k);
      if (k > after) bestAfter = std::min(bestAfter, k);
    });
    if (bestAfter != std::numeric_limits<int32_t>::max()) return bestAfter;
    return bestAny != std::numeric_limits<int32_t>::max() ? bestAny : -1;
  }

 private:
  static PointGrid::Layout Layout() {
    PointGrid::Layout l;
    l.W = l.H = kCell;
    return l;
  }
  const TTNEntityArray& pieces_;
  PointGrid grid_;
};

bool Same(Point2 a, Point2 b) { return a.X == b.X && a.Y == b.Y; }

// Makes a's end and b's start the same point, where the pieces were cut at
// slightly different places (a crossing is found once on each Element, and
// near-tangent crossings carry small parameter errors). A line end moves
// exactly; an arc keeps its radius and its centre shifts by about the gap;
// an arc that cannot move (a half circle) is left to its neighbour.
void Join(TTNEntity& a, TTNEntity& b) {
  const Point2 ae = ElementEnd(a), bs = ElementStart(b);
  if (Same(ae, bs)) return;
  if (b.IsLine()) {
    ElementSnapEnd(b, ae, 0);
  } else if (a.IsLine()) {
    ElementSnapEnd(a, bs, 1);
  } else {
    ElementSnapEnd(b, ae, 0);
    if (Same(ElementStart(b), bs)) ElementSnapEnd(a, bs, 1);  // b stayed as it was
  }
}

bool AllZero(const TTNEntity& e) {
  return e.X == 0.0 && e.Y == 0.0 && e.Radius == 0.0 && e.X2 == 0.0 && e.Y2 == 0.0;
}

void Emit(const TTNEntityArray& pieces, const std::vector<int32_t>& chain, bool closed,
          double depth, TTNRegionArray& out) {
  TTNRegion r;
  r.Elements.reserve(chain.size());
  for (int32_t k : chain) r.Elements.push_back(pieces[static_cast<size_t>(k)]);
  r.Open = closed ? 0 : 1;
  r.Selected = closed ? 1 : 0;
  r.Depth = depth;
  RegionBounds(r);  // also clears the consumed marks on the copies
  if (closed) r.Direction = static_cast<uint8_t>(RegionIsClockwise(r));
  out.push_back(std::move(r));
}

}  // namespace

int ChainPieces(const CancelToken& cancel, TTNEntityArray& pieces, bool allowOpen, double depth,
                TTNRegionArray& out, bool chainTagged) {
  if (cancel.stopped() || pieces.empty()) return 0;
  if (pieces.size() == 1 && AllZero(pieces[0])) return 0;

  const StartIndex starts(pieces);
  const int64_t bound = static_cast<int64_t>(pieces.size()) + 20;
  int added = 0;
  std::vector<int32_t> chain;
  for (size_t s = 0; s < pieces.size(); ++s) {
    TTNEntity& first = pieces[s];
    if (first.Mark || (first.OwnerTag != 0 && !chainTagged)) continue;
    first.Mark = true;
    chain.assign(1, static_cast<int32_t>(s));
    if (first.IsFullCircle()) {
      Emit(pieces, chain, true, depth, out);
      ++added;
      continue;
    }

    const Point2 start = ElementStart(first);
    int32_t last = static_cast<int32_t>(s);
    int32_t dropped = -1;
    int failures = 0;
    bool closed = false;
    for (int64_t step = 0; step < bound; ++step) {
      if (chain.empty()) {  // the first piece itself was dropped
        const int32_t next = starts.Find(start, last);
        if (next < 0) {
          chain.push_back(dropped);
          break;
        }
        pieces[static_cast<size_t>(next)].Mark = true;
        chain.push_back(next);
        last = next;
        failures = 0;
        dropped = -1;
        continue;
      }
      const Point2 end = ElementEnd(pieces[static_cast<size_t>(chain.back())]);
      const Point2 chainStart = ElementStart(pieces[static_cast<size_t>(chain.front())]);
      if (Near(end, chainStart) &&
          (chain.size() >= 2 || pieces[static_cast<size_t>(chain[0])].IsArc())) {
        closed = true;
        break;
      }
      const int32_t next = starts.Find(end, last);
      if (next >= 0) {
        pieces[static_cast<size_t>(next)].Mark = true;
        Join(pieces[static_cast<size_t>(chain.back())], pieces[static_cast<size_t>(next)]);
        chain.push_back(next);
        last = next;
        failures = 0;
        dropped = -1;
        continue;
      }
      // Dead end: drop the piece that led here (it stays used up) and look
      // again from where the chain ended before it; twice in a row ends it.
      if (++failures >= 2) {
        // No other way on: the chain really ends here, with the piece that
        // was dropped (an open path keeps its last Element).
        if (dropped >= 0) chain.push_back(dropped);
        break;
      }
      dropped = chain.back();
      chain.pop_back();
    }

    if (closed) {
      TTNEntity& head = pieces[static_cast<size_t>(chain.front())];
      TTNEntity& tail = pieces[static_cast<size_t>(chain.back())];
      ElementSnapEnd(tail, ElementStart(head), 1);
      if (&head != &tail) Join(tail, head);  // when the tail could not move (a half circle)
      Emit(pieces, chain, true, depth, out);
      ++added;
    } else if (allowOpen && !chain.empty()) {
      Emit(pieces, chain, false, depth, out);
      ++added;
    }
  }
  return added;
}

}  // namespace tarnak
