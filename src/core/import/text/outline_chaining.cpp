// How the general tail's result follows from the loops (see the header):
//
// * Lines are normalised (towards greater X) and quicksorted on MinX, then
//   cut into chunks of consecutive lines. In a chunk the first free line
//   seeds a chain, which runs forward from the seed's end and then back
//   from its start. With the meeting points apart, the only line a chain
//   can take next is the loop's next line, so a loop lying in one chunk
//   becomes one closed Region starting with its first line in sorted order,
//   and a loop cut by chunk borders becomes open pieces, joined afterwards.
// * The first line of a loop is one of its lines of least MinX. Two of them
//   meeting at the loop's single leftmost point give the same Region either
//   way once the closed direction is set (the two chains are each other's
//   reverse), provided the orientation test cannot be swayed by rounding.
//   Every other tie (a vertical left edge, two loops of equal MinX, pieces
//   at chunk borders) depends on how the quicksort ordered equal keys, so
//   the quicksort is run for real, on compact entries. It is pruned where
//   nothing can come of it: a range lying within one chunk and holding no
//   two tied lines whose order matters is left unsorted. And since text is
//   laid out left to right, the entries fall into stretches that no swap
//   can cross (every key of one below every key of the next); a partition
//   only touches the stretch of its pivot, and its scans start there.
// * The Regions are then quicksorted on MinX in the order they were made,
//   the pieces joined by the general JoinOpenRegions, and closed Regions
//   turned to the wanted direction.
#include "import/text/outline_chaining.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "geometry/primitives.h"
#include "import/profiles/minx_sort.h"
#include "import/profiles/profile_building.h"

namespace tarnak {

namespace {

constexpr double kT = kChainTolerance;

// The kept lines (zero-length ones left out) in list order, grouped in
// loops; a line's vertex is its end point in its own direction, which is
// the start of the loop's next line.
struct Loops {
  std::vector<uint32_t> Source;  // index in the Element list
  std::vector<double> Key;       // MinX
  std::vector<Point2> V;         // vertex
  std::vector<uint8_t> Flip;     // normalising reverses the line (X > X2)
  std::vector<uint32_t> Begin;   // loop l holds lines Begin[l] .. Begin[l + 1] - 1
  // Per loop: the least MinX, how many lines have it, the first of them,
  // and the box of the loop's lines.
  struct Facts {
    double MinKey;
    int Tied;
    uint32_t FirstMin;
    double MinX, MinY, MaxY, MaxX;
  };
  std::vector<Facts> Loop;
  Box Vertices;        // box of all vertices
  bool Marked = false;  // some line came with its Mark set

  size_t Count() const { return Key.size(); }
  size_t LoopCount() const { return Loop.size(); }
  uint32_t Length(size_t l) const { return Begin[l + 1] - Begin[l]; }
  uint32_t Next(size_t l, uint32_t k) const { return k + 1 == Begin[l + 1] ? Begin[l] : k + 1; }
  uint32_t Prev(size_t l, uint32_t k) const { return k == Begin[l] ? Begin[l + 1] - 1 : k - 1; }
};

// Lines only, no negative zero (so that equal coordinates are equal bit for
// bit and snapping one end onto another changes nothing), boxes as
// ElementBounds makes them, and every run of lines that follow each other
// closed. (A coordinate that is not finite fails here or in VerticesApart.)
bool FindLoops(const TTNEntityArray& elements, Loops& L) {
  const size_t n = elements.size();
  if (n >= (size_t{1} << 31)) return false;
  L.Source.resize(n);
  L.Key.resize(n);
  L.V.resize(n);
  L.Flip.resize(n);
  L.Begin.assign(1, 0);
  L.Loop.clear();
  constexpr uint64_t kNegativeZero = uint64_t{1} << 63;
  auto negativeZero = [](double v) { return std::bit_cast<uint64_t>(v) == kNegativeZero; };
  size_t k = 0;  // lines kept
  Loops::Facts f{};
  Point2 start{}, low{}, high{};
  bool marked = false;
  auto close = [&]() {
    // The open loop must end where it began.
    if (L.V[k - 1].X != start.X || L.V[k - 1].Y != start.Y) return false;
    L.Begin.push_back(static_cast<uint32_t>(k));
    L.Loop.push_back(f);
    return true;
  };
  for (size_t i = 0; i < n; ++i) {
    const TTNEntity& e = elements[i];
    if (e.Radius != 0.0) return false;
    if (e.X == e.X2 && e.Y == e.Y2) continue;  // the tail drops it
    if (negativeZero(e.X) || negativeZero(e.Y) || negativeZero(e.X2) || negativeZero(e.Y2)) return false;
    const double minX = std::min(e.X, e.X2), maxX = std::max(e.X, e.X2);
    const double minY = std::min(e.Y, e.Y2), maxY = std::max(e.Y, e.Y2);
    if (e.MinX != minX || e.MaxX != maxX || e.MinY != minY || e.MaxY != maxY) return false;
    marked = marked || e.Mark;
    const bool continues = k > L.Begin.back() && e.X == L.V[k - 1].X && e.Y == L.V[k - 1].Y;
    if (!continues) {
      if (k > L.Begin.back() && !close()) return false;
      start = {e.X, e.Y};
      f = {e.MinX, 0, static_cast<uint32_t>(k), e.MinX, e.MinY, e.MaxY, e.MaxX};
      if (k == 0) low = high = start;
    }
    if (e.MinX < f.MinKey) {
      f.MinKey = e.MinX;
      f.Tied = 1;
      f.FirstMin = static_cast<uint32_t>(k);
    } else if (e.MinX == f.MinKey) {
      ++f.Tied;
    }
    f.MinX = std::min(f.MinX, e.MinX);
    f.MinY = std::min(f.MinY, e.MinY);
    f.MaxY = std::max(f.MaxY, e.MaxY);
    f.MaxX = std::max(f.MaxX, e.MaxX);
    low = {std::min(low.X, e.X2), std::min(low.Y, e.Y2)};
    high = {std::max(high.X, e.X2), std::max(high.Y, e.Y2)};
    L.Source[k] = static_cast<uint32_t>(i);
    L.Key[k] = e.MinX;
    L.V[k] = {e.X2, e.Y2};
    L.Flip[k] = e.X > e.X2 ? 1 : 0;
    ++k;
  }
  if (k == 0 || !close()) return false;
  L.Source.resize(k);
  L.Key.resize(k);
  L.V.resize(k);
  L.Flip.resize(k);
  L.Vertices = Box::FromMinMax(low.X, low.Y, high.X, high.Y);
  L.Marked = marked;
  return true;
}

// Points within w of each other in both coordinates (strictly, as the
// chaining compares) among p: binned along the longer side of their box,
// one bin at least as wide as w, so that only neighbouring bins need
// comparing. `work` counts the comparisons; past `budget` the answer is
// yes (a crowd that would make this slow is refused). `apart` is set to a
// lower bound of the least distance (larger of the two coordinate
// differences) between two points, when none are close.
bool AnyClose(const std::vector<Point2>& p, const Box& box, double w, size_t& work, size_t budget,
              std::vector<uint32_t>& start, std::vector<Point2>& sorted, double& apart) {
  const size_t m = p.size();
  apart = std::numeric_limits<double>::infinity();
  if (m < 2) return false;
  auto distance = [](Point2 a, Point2 b) { return std::max(std::fabs(a.X - b.X), std::fabs(a.Y - b.Y)); };
  if (m <= 8) {
    for (size_t u = 0; u < m; ++u)
      for (size_t v = u + 1; v < m; ++v) {
        if (std::fabs(p[u].X - p[v].X) < w && std::fabs(p[u].Y - p[v].Y) < w) return true;
        apart = std::min(apart, distance(p[u], p[v]));
      }
    work += m * m;
    return work > budget;
  }
  const bool alongX = box.MaxX - box.MinX >= box.MaxY - box.MinY;
  const double low = alongX ? box.MinX : box.MinY;
  const double extent = alongX ? box.MaxX - box.MinX : box.MaxY - box.MinY;
  const double width = std::max(1.01 * w, extent / static_cast<double>(m));
  if (!std::isfinite(extent) || !std::isfinite(width)) return true;
  const size_t bins = std::min(m, static_cast<size_t>(extent / width)) + 1;
  const double perWidth = 1.0 / width;
  auto binOf = [&](Point2 q) {
    return std::min(bins - 1, static_cast<size_t>(((alongX ? q.X : q.Y) - low) * perWidth));
  };
  start.assign(bins + 2, 0);
  for (const Point2& q : p) ++start[binOf(q) + 2];
  for (size_t i = 2; i < bins + 2; ++i) start[i] += start[i - 1];
  // start[b + 1] counts the points before bin b; filling moves it on, so
  // that afterwards start[b] is the first of bin b and start[b + 1] the end.
  sorted.resize(m);
  for (const Point2& q : p) sorted[start[binOf(q) + 1]++] = q;
  // Points two bins apart or more are at least a bin width apart along.
  apart = 0.99 * width;
  for (size_t i = 0; i < bins; ++i) {
    const size_t end = start[i + 2];
    for (size_t u = start[i]; u < start[i + 1]; ++u) {
      const Point2 q = sorted[u];
      for (size_t v = u + 1; v < end; ++v) {
        if (std::fabs(q.X - sorted[v].X) < w && std::fabs(q.Y - sorted[v].Y) < w) return true;
        apart = std::min(apart, distance(q, sorted[v]));
      }
      work += end - u;
    }
    if (work > budget) return true;
  }
  return false;
}

// No two vertices within w of each other: within each loop, and between
// loops whose boxes come that near, among the vertices lying near the
// other loop's box.
//
// A text repeats its letters, and a loop that is another moved (the same
// vertices less its first, bit for bit) is as far apart within itself,
// give or take the rounding of the moves: checked once, with room to
// spare, it need not be checked again.
bool VerticesApart(const Loops& L, double w) {
  const size_t loops = L.LoopCount();
  size_t work = 0;
  const size_t budget = 64 * L.Count() + 4096;
  std::vector<uint32_t> start;
  std::vector<Point2> p, sorted;
  auto boxOf = [&](size_t l) {
    const Loops::Facts& f = L.Loop[l];
    return Box::FromMinMax(f.MinX, f.MinY, f.MaxX, f.MaxY);
  };
  // Loops checked, by a hash of their shape; one per hash is kept.
  struct Checked {
    uint32_t Loop;
    double Apart;
  };
  std::unordered_map<uint64_t, Checked> checked;
  auto relative = [&](size_t l, uint32_t i) {
    const Point2 o = L.V[L.Begin[l]], q = L.V[L.Begin[l] + i];
    return Point2{q.X - o.X, q.Y - o.Y};
  };
  for (size_t l = 0; l < loops; ++l) {
    const uint32_t len = L.Length(l);
    uint64_t hash = len;
    for (uint32_t i = 1; i < len; ++i) {
      const Point2 r = relative(l, i);
      hash = (hash ^ std::bit_cast<uint64_t>(r.X)) * 0x100000001b3ull;
      hash = (hash ^ std::bit_cast<uint64_t>(r.Y)) * 0x100000001b3ull;
    }
    const Loops::Facts& f = L.Loop[l];
    const double size = std::max({std::fabs(f.MinX), std::fabs(f.MaxX), std::fabs(f.MinY), std::fabs(f.MaxY)});
    auto it = checked.find(hash);
    if (it != checked.end() && L.Length(it->second.Loop) == len) {
      const size_t o = it->second.Loop;
      // The differences taken round each vertex by half a unit in the last
      // place of the largest coordinate of either loop at most.
      const Point2 o0 = L.V[L.Begin[o]];
      const double room = 16.0 * 0x1p-52 * (3.0 * size + std::fabs(o0.X) + std::fabs(o0.Y) + 1.0);
      bool same = it->second.Apart > w + room;
      for (uint32_t i = 1; same && i < len; ++i) {
        const Point2 a = relative(l, i), b = relative(o, i);
        same = std::bit_cast<uint64_t>(a.X) == std::bit_cast<uint64_t>(b.X) &&
               std::bit_cast<uint64_t>(a.Y) == std::bit_cast<uint64_t>(b.Y);
      }
      if (same) continue;
    }
    p.assign(L.V.begin() + L.Begin[l], L.V.begin() + L.Begin[l + 1]);
    double apart = 0.0;
    if (AnyClose(p, boxOf(l), w, work, budget, start, sorted, apart)) return false;
    if (it == checked.end()) checked.emplace(hash, Checked{static_cast<uint32_t>(l), apart});
  }
  // Pairs of loops, swept by the low side of their boxes along the longer
  // side of the whole (a vertical text runs down, not across).
  const bool alongX = L.Vertices.MaxX - L.Vertices.MinX >= L.Vertices.MaxY - L.Vertices.MinY;
  auto low = [&](size_t l) { return alongX ? L.Loop[l].MinX : L.Loop[l].MinY; };
  auto high = [&](size_t l) { return alongX ? L.Loop[l].MaxX : L.Loop[l].MaxY; };
  std::vector<std::pair<double, uint32_t>> byLow(loops);
  for (size_t l = 0; l < loops; ++l) byLow[l] = {low(l), static_cast<uint32_t>(l)};
  std::sort(byLow.begin(), byLow.end());
  // Boxes are widened by twice w, against rounding in the sums.
  const double reach = 2.0 * w;
  std::vector<uint32_t> active;
  for (const auto& entry : byLow) {
    const double from = entry.first;
    const uint32_t l = entry.second;
    const Box b = boxOf(l);
    std::erase_if(active, [&](uint32_t o) { return high(o) < from - reach; });
    work += active.size();
    for (uint32_t o : active) {
      const Box c = boxOf(o);
      if (c.MinX > b.MaxX + reach || b.MinX > c.MaxX + reach || c.MinY > b.MaxY + reach ||
          b.MinY > c.MaxY + reach)
        continue;
      // The vertices of each near the other's box.
      const Box near = Box::FromMinMax(std::max(b.MinX, c.MinX) - reach, std::max(b.MinY, c.MinY) - reach,
                                       std::min(b.MaxX, c.MaxX) + reach, std::min(b.MaxY, c.MaxY) + reach);
      p.clear();
      size_t fromO = 0;
      for (uint32_t owner : {o, l}) {
        for (uint32_t k = L.Begin[owner]; k < L.Begin[owner + 1]; ++k) {
          const Point2 q = L.V[k];
          if (q.X >= near.MinX && q.X <= near.MaxX && q.Y >= near.MinY && q.Y <= near.MaxY) p.push_back(q);
        }
        if (owner == o) fromO = p.size();
        work += L.Length(owner);
      }
      if (fromO == 0 || fromO == p.size()) continue;
      double apart = 0.0;
      if (AnyClose(p, near, w, work, budget, start, sorted, apart)) return false;
    }
    if (work > budget) return false;
    active.push_back(l);
  }
  return true;
}

// The orientation RegionIsClockwise finds for the chain that starts with
// line k in its normalised direction, computed the same way over the same
// points, and whether rounding could have swayed it (a sliver of next to no
// area): then false.
bool ChainTurn(const Loops& L, size_t l, uint32_t k, int& clockwise) {
  const uint32_t len = L.Length(l);
  double s = 0.0, size = 0.0;
  // Forward the starts are the vertices from the one before k on, back
  // they are k's own and those before it; the last line ends at the first.
  const bool back = L.Flip[k] != 0;
  uint32_t q = back ? k : L.Prev(l, k);
  const Point2 first = L.V[q];
  Point2 previous = first;
  for (uint32_t i = 1; i <= len; ++i) {
    q = back ? L.Prev(l, q) : L.Next(l, q);
    const Point2 p = i < len ? L.V[q] : first;
    s += p.X * previous.Y - previous.X * p.Y;
    size += std::fabs(p.X * previous.Y) + std::fabs(previous.X * p.Y);
    previous = p;
  }
  s += first.X * previous.Y - previous.X * first.Y;
  const double bound = 4.0 * (static_cast<double>(len) + 4.0) * 0x1p-53 * size;
  clockwise = s > 0.0 ? 1 : 0;
  return std::fabs(s) > bound;
}

// A loop as the closed Region the general tail makes of it: the chain from
// the seed k (its first line in sorted order) turned to the wanted
// direction. Both ways round it starts at the seed's normalised start.
// `turn` is ChainTurn's answer for k when known (-1: not yet asked).
TTNRegion ClosedLoop(const TTNEntityArray& elements, const Loops& L, size_t l, uint32_t k,
                     int direction, int turn) {
  const uint32_t len = L.Length(l);
  TTNRegion r;
  r.Selected = 1;
  r.Open = 0;
  int clockwise = turn;
  const bool sure = turn >= 0 || ChainTurn(L, l, k, clockwise);
  // The chain itself when the turn is in doubt (RegionSetDirection decides
  // below), else straight away the way round it would end up.
  const bool chainForward = !L.Flip[k];
  const bool forward = sure && clockwise != direction ? !chainForward : chainForward;
  // The start point is the vertex of line v.
  const uint32_t v = L.Flip[k] ? k : L.Prev(l, k);
  const uint32_t b = L.Begin[l], e = L.Begin[l + 1];
  const uint32_t from = forward ? L.Next(l, v) : v;
  if (forward && !L.Marked && L.Source[e - 1] - L.Source[b] == len - 1) {
    // The loop's lines lie together in the list as they are to be stored.
    const auto at = elements.begin() + L.Source[b];
    r.Elements.reserve(len);
    r.Elements.insert(r.Elements.end(), at + (from - b), at + len);
    r.Elements.insert(r.Elements.end(), at, at + (from - b));
  } else {
    r.Elements.reserve(len);
    uint32_t q = from;
    for (uint32_t i = 0; i < len; ++i) {
      TTNEntity& to = r.Elements.emplace_back(elements[L.Source[q]]);
      to.Mark = false;
      if (!forward) {
        std::swap(to.X, to.X2);
        std::swap(to.Y, to.Y2);
      }
      q = forward ? L.Next(l, q) : L.Prev(l, q);
    }
  }
  const Loops::Facts& f = L.Loop[l];
  r.MinX = f.MinX;
  r.MinY = f.MinY;
  r.MaxY = f.MaxY;
  r.MaxX = f.MaxX;
  if (sure)
    r.Direction = static_cast<uint8_t>(direction);
  else
    RegionSetDirection(r, direction);
  return r;
}

// A run of a loop's lines inside one chunk (in loop order) as the open
// Region that chaining the chunk makes of it, step by step as the general
// chaining goes: from the seed (at `seed` in the run) forward, then back.
TTNRegion OpenPiece(const TTNEntityArray& elements, const Loops& L,
                    const std::vector<uint32_t>& run, size_t seed) {
  auto normalised = [&](uint32_t k) {
    TTNEntity e = elements[L.Source[k]];
    e.Mark = false;
    if (L.Flip[k]) ElementReverse(e);
    return e;
  };
  auto touches = [](Point2 a, Point2 b) { return std::fabs(a.X - b.X) < kT && std::fabs(a.Y - b.Y) < kT; };
  auto store = [](TTNRegion& r, const TTNEntity& e, bool reversed) {
    r.Elements.emplace_back();
    RegionStoreElement(e, r, reversed, static_cast<int>(r.Elements.size()) - 1);
  };
  TTNRegion r;
  const uint32_t k = run[seed];
  const TTNEntity first = normalised(k);
  store(r, first, false);
  Point2 s, e;
  ElementEnds(first, s, e);
  // The seed's normalised end is its loop end unless normalising turned it.
  const std::ptrdiff_t step = L.Flip[k] ? -1 : 1;
  const auto size = static_cast<std::ptrdiff_t>(run.size());
  bool closed = false;
  for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(seed) + step; !closed && i >= 0 && i < size; i += step) {
    TTNEntity c = normalised(run[static_cast<size_t>(i)]);
    const bool reversed = !touches(ElementStart(c), e);
    ElementSnapEnd(c, e, reversed ? 1 : 0);
    e = reversed ? ElementStart(c) : ElementEnd(c);
    if (touches(e, s)) {
      ElementSnapEnd(c, s, reversed ? 0 : 1);
      e = s;
      closed = true;
    }
    store(r, c, reversed);
  }
  const size_t forwardCount = r.Elements.size();
  if (!closed) {
    for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(seed) - step; i >= 0 && i < size; i -= step) {
      TTNEntity c = normalised(run[static_cast<size_t>(i)]);
      const bool reversed = touches(ElementStart(c), s);
      ElementSnapEnd(c, s, reversed ? 0 : 1);
      s = reversed ? ElementEnd(c) : ElementStart(c);
      store(r, c, reversed);
    }
  }
  r.Selected = 1;
  if (closed) {
    r.Open = 0;
  } else {
    r.Open = 1;
    PutOpenChainInOrder(r, forwardCount);
  }
  return r;
}

// ---------------------------------------------------------------------------
// The MinX quicksort of the normalised lines, for real but pruned.

struct SortEntry {
  double MinX;
  uint32_t Line;
  uint32_t Hot;  // a line whose place among equal keys matters
};

class LineSort {
 public:
  LineSort(const CancelToken& cancel, std::vector<SortEntry>& a, int chunkSize)
      : cancel_(cancel), a_(a), chunkSize_(chunkSize) {
    // Stretches: a cut lies between p and p + 1 when every key up to p is
    // below every key after it. A swap puts a key at or above the pivot
    // after one at or below it, so it never crosses a cut.
    const size_t n = a_.size();
    std::vector<double> suffixMin(n);
    double low = a_[n - 1].MinX;
    for (size_t p = n; p-- > 0;) suffixMin[p] = low = std::min(low, a_[p].MinX);
    stretch_.resize(n);
    double high = a_[0].MinX;
    uint32_t s = 0;
    first_.push_back(0);
    for (size_t p = 0; p < n; ++p) {
      high = std::max(high, a_[p].MinX);
      stretch_[p] = s;
      if (p + 1 < n && high < suffixMin[p + 1]) {
        last_.push_back(static_cast<int>(p));
        first_.push_back(static_cast<int>(p + 1));
        ++s;
      }
    }
    last_.push_back(static_cast<int>(n) - 1);
  }

  // QuickSortMinX(first, last), leaving alone the ranges that need no work.
  void Run(int first, int last) {
    while (first < last) {
      if (cancel_.stopped()) return;
      if (!Needed(first, last)) {
        Pruned.emplace_back(first, last);
        return;
      }
      // Every entry before the pivot's stretch is below the pivot and every
      // one after it above: the scans would pass them all without a swap.
      const uint32_t g = stretch_[static_cast<size_t>((first + last) / 2)];
      int i = std::max(first, first_[g]), j = std::min(last, last_[g]);
      PartitionMinX(a_, first, last, i, j);
      if (j - first < last - i) {
        if (first < j) Run(first, j);
        first = i;
      } else {
        if (i < last) Run(i, last);
        last = j;
      }
    }
  }

  // Ranges left unsorted: each lies in one chunk and holds no two hot
  // entries of equal key.
  std::vector<std::pair<int, int>> Pruned;

 private:
  bool Needed(int first, int last) const {
    if (first / chunkSize_ != last / chunkSize_) return true;
    if (stretch_[static_cast<size_t>(first)] != stretch_[static_cast<size_t>(last)]) return true;
    if (last - first > 4096) return true;
    std::array<double, 16> keys{};
    size_t count = 0;
    for (int p = first; p <= last; ++p) {
      const SortEntry& e = a_[static_cast<size_t>(p)];
      if (!e.Hot) continue;
      for (size_t t = 0; t < count; ++t)
        if (keys[t] == e.MinX) return true;
      if (count == keys.size()) return true;
      keys[count++] = e.MinX;
    }
    return false;
  }

  const CancelToken& cancel_;
  std::vector<SortEntry>& a_;
  int chunkSize_;
  std::vector<uint32_t> stretch_;
  std::vector<int> first_, last_;
};

// A Region about to be made: a whole loop or a piece of one, by its seed.
struct Made {
  uint32_t Seed = 0;
  uint32_t Loop = 0;
  int Piece = -1;  // index into the pieces' runs, -1 for a whole loop
  double MinX = 0.0;
};

struct RegionKey {
  double MinX;
  uint32_t Index;
};

}  // namespace

bool ChainGlyphOutlines(const CancelToken& cancel, TTNEntityArray& elements, TTNRegionArray& out,
                        int closedDirection, bool removeDuplicates) {
  if (cancel.stopped() || elements.size() < 2) return false;
  Loops L;
  if (!FindLoops(elements, L)) return false;
  const size_t m = L.Count();
  const size_t loops = L.LoopCount();

  // Chunks as ChainElements cuts them. A last chunk of one line would meet
  // the chaining's special case of a lone line at the origin: not here.
  const int count = static_cast<int>(m);
  int chunkSize = kChunkSize;
  if ((count - 1) / chunkSize + 1 > kChunkCountLimit) chunkSize = (count - 1) / kChunkCountLimit;
  const int chunks = (count - 1) / chunkSize + 1;
  if (chunks > 1 && count - (chunks - 1) * chunkSize == 1) return false;

  // Duplicate lines (the same points within the tolerance) would be
  // dropped. Two lines of a loop of two are; any other pair would have
  // vertices within twice the tolerance across and once along, which the
  // wider test below refuses.
  if (removeDuplicates)
    for (size_t l = 0; l < loops; ++l)
      if (L.Length(l) < 3) return false;
  if (!VerticesApart(L, removeDuplicates ? 2.01 * kT : kT)) return false;

  // Loops whose lines of least MinX must be found in sorted order: all but
  // those with exactly two, meeting at the loop's one leftmost point, of a
  // MinX no other loop starts at, and of a sure orientation.
  std::vector<uint8_t> hot(loops, 0);
  std::vector<int8_t> turn(loops, -1);  // of the chain from FirstMin
  {
    std::vector<std::pair<double, uint32_t>> byMin(loops);
    for (size_t l = 0; l < loops; ++l) byMin[l] = {L.Loop[l].MinKey, static_cast<uint32_t>(l)};
    std::sort(byMin.begin(), byMin.end());
    for (size_t i = 1; i < loops; ++i)
      if (byMin[i].first == byMin[i - 1].first) hot[byMin[i].second] = hot[byMin[i - 1].second] = 1;
  }
  for (size_t l = 0; l < loops; ++l) {
    if (hot[l] || L.Loop[l].Tied != 2) {
      hot[l] = 1;
      continue;
    }
    int clockwise = 0;
    if (ChainTurn(L, l, L.Loop[l].FirstMin, clockwise))
      turn[l] = static_cast<int8_t>(clockwise);
    else
      hot[l] = 1;
  }

  std::vector<SortEntry> a;
  a.reserve(m);
  for (size_t k = 0; k < m; ++k) a.push_back({L.Key[k], static_cast<uint32_t>(k), 0});
  // Marks the lines of least MinX of loop l, found at place[k].
  auto markLoop = [&](size_t l, const std::vector<uint32_t>* place) {
    for (uint32_t k = L.Begin[l]; k < L.Begin[l + 1]; ++k)
      if (L.Key[k] == L.Loop[l].MinKey) a[place ? (*place)[k] : k].Hot = 1;
  };
  for (size_t l = 0; l < loops; ++l)
    if (hot[l]) markLoop(l, nullptr);

  LineSort sorter(cancel, a, chunkSize);
  sorter.Run(0, count - 1);
  auto stop = [&]() {
    out.resize(1);
    elements.clear();
    return true;
  };
  if (cancel.stopped()) return stop();

  // Where each line went. A hot line's range is the one among the ranges
  // left unsorted that holds its place, or its place alone: two hot lines
  // of equal key never share a range, and of two ranges the one in front
  // comes first.
  std::vector<uint32_t> place(m);
  for (size_t p = 0; p < m; ++p) place[a[p].Line] = static_cast<uint32_t>(p);
  auto rangeFirst = [&](uint32_t k) {
    const int at = static_cast<int>(place[k]);
    const auto& pruned = sorter.Pruned;
    auto it = std::upper_bound(pruned.begin(), pruned.end(), std::pair<int, int>{at, INT32_MAX});
    if (it != pruned.begin() && std::prev(it)->second >= at) return std::prev(it)->first;
    return at;
  };
  auto chunkOf = [&](uint32_t k) { return static_cast<int>(place[k]) / chunkSize; };
  std::sort(sorter.Pruned.begin(), sorter.Pruned.end());

  // Loops cut by a chunk border: every line of theirs may seed a piece, and
  // so may be tied with any other seed of its key. Their ranges are sorted
  // on now (each range sorts by itself, whenever that happens).
  std::vector<uint8_t> split(loops, 0);
  bool anySplit = false;
  if (chunks > 1) {
    for (size_t l = 0; l < loops; ++l) {
      uint32_t low = UINT32_MAX, high = 0;
      for (uint32_t k = L.Begin[l]; k < L.Begin[l + 1]; ++k) {
        low = std::min(low, place[k]);
        high = std::max(high, place[k]);
      }
      split[l] = static_cast<int>(low) / chunkSize != static_cast<int>(high) / chunkSize;
      anySplit = anySplit || split[l];
    }
  }
  if (anySplit) {
    std::vector<double> pieceKeys;
    for (size_t l = 0; l < loops; ++l) {
      if (!split[l]) continue;
      for (uint32_t k = L.Begin[l]; k < L.Begin[l + 1]; ++k) {
        a[place[k]].Hot = 1;
        pieceKeys.push_back(L.Key[k]);
      }
    }
    std::sort(pieceKeys.begin(), pieceKeys.end());
    for (size_t l = 0; l < loops; ++l) {
      if (split[l] || !std::binary_search(pieceKeys.begin(), pieceKeys.end(), L.Loop[l].MinKey)) continue;
      hot[l] = 1;
      markLoop(l, &place);
    }
    const std::vector<std::pair<int, int>> pruned = std::move(sorter.Pruned);
    sorter.Pruned.clear();
    for (const auto& [f, l] : pruned) {
      const size_t kept = sorter.Pruned.size();
      sorter.Run(f, l);
      if (sorter.Pruned.size() == kept + 1 && sorter.Pruned.back() == std::pair<int, int>{f, l}) continue;
      for (int p = f; p <= l; ++p) place[a[static_cast<size_t>(p)].Line] = static_cast<uint32_t>(p);
    }
    if (cancel.stopped()) return stop();
    std::sort(sorter.Pruned.begin(), sorter.Pruned.end());
  }
  // Hot lines of equal key by their ranges; any other two by key.
  auto before = [&](uint32_t u, uint32_t v) {
    if (L.Key[u] != L.Key[v]) return L.Key[u] < L.Key[v];
    return rangeFirst(u) < rangeFirst(v);
  };

  // The Regions in the order the chunks make them.
  std::vector<Made> made;
  made.reserve(loops + 16);
  std::vector<std::vector<uint32_t>> runs;  // the pieces' lines in loop order
  for (size_t l = 0; l < loops; ++l) {
    const auto loop = static_cast<uint32_t>(l);
    if (!split[l]) {
      uint32_t seed = L.Loop[l].FirstMin;
      if (hot[l])
        for (uint32_t k = L.Begin[l]; k < L.Begin[l + 1]; ++k)
          if (L.Key[k] == L.Loop[l].MinKey && before(k, seed)) seed = k;
      made.push_back({seed, loop, -1, L.Loop[l].MinKey});
      continue;
    }
    // Start the walk where the chunk changes, so that no run wraps round.
    uint32_t start = L.Begin[l];
    while (chunkOf(L.Prev(l, start)) == chunkOf(start)) start = L.Next(l, start);
    const uint32_t len = L.Length(l);
    uint32_t k = start;
    for (uint32_t i = 0; i < len;) {
      std::vector<uint32_t> run;
      const int c = chunkOf(k);
      while (i < len && chunkOf(k) == c) {
        run.push_back(k);
        k = L.Next(l, k);
        ++i;
      }
      uint32_t seed = run[0];
      for (uint32_t q : run)
        if (before(q, seed)) seed = q;
      made.push_back({seed, loop, static_cast<int>(runs.size()), L.Key[seed]});
      runs.push_back(std::move(run));
    }
  }
  // Seeds of equal key are all hot: `before` orders them as the sort did.
  std::sort(made.begin(), made.end(), [&](const Made& x, const Made& y) { return before(x.Seed, y.Seed); });

  // ChainElements from here: Poll, the Regions quicksorted on MinX, the
  // pieces joined, closed Regions turned.
  if (cancel.Poll()) return stop();
  std::vector<RegionKey> order(made.size());
  for (size_t i = 0; i < made.size(); ++i) order[i] = {made[i].MinX, static_cast<uint32_t>(i)};
  if (!order.empty()) QuickSortMinX(cancel, order, 0, static_cast<int>(order.size()) - 1);

  out.resize(1);
  out.reserve(1 + made.size());
  TTNRegionArray pieces;
  std::vector<size_t> piecePlace;  // where each piece stood among all Regions
  for (size_t i = 0; i < order.size(); ++i) {
    const Made& r = made[order[i].Index];
    if (r.Piece < 0) {
      const int known = hot[r.Loop] ? -1 : turn[r.Loop];
      out.push_back(ClosedLoop(elements, L, r.Loop, r.Seed, closedDirection, known));
      continue;
    }
    const std::vector<uint32_t>& run = runs[static_cast<size_t>(r.Piece)];
    const size_t seedAt = static_cast<size_t>(std::find(run.begin(), run.end(), r.Seed) - run.begin());
    pieces.push_back(OpenPiece(elements, L, run, seedAt));
    piecePlace.push_back(i);
  }
  if (!pieces.empty()) {
    const TTNRegionArray unjoined = pieces;
    JoinOpenRegions(cancel, pieces, kT);
    if (pieces.front().Selected) {
      // Cancelled before any join: the list stays as it was, pieces among
      // the closed Regions in MinX order.
      TTNRegionArray all(out.begin() + 1, out.end());
      out.resize(1);
      size_t c = 0, p = 0;
      for (size_t i = 0; i < order.size(); ++i)
        out.push_back(p < piecePlace.size() && piecePlace[p] == i ? unjoined[p++] : std::move(all[c++]));
      elements.clear();
      return true;
    }
    SetClosedDirections(pieces, closedDirection);
    for (TTNRegion& r : pieces) out.push_back(std::move(r));
  }
  elements.clear();
  return true;
}

}  // namespace tarnak
