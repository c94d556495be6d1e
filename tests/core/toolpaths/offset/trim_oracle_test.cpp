// Trimming against its plain form. TrimRawChain finds the Elements that can
// meet through box trees and skips pairs that provably lie too far apart;
// none of that may change a single piece. The plain form here tries every
// raw Element against every other Element (raw and extra) whose box
// overlaps, and tests clearance against every Element of the source and the
// islands, with the same primitives; the two must agree bit for bit, over
// random wavy outlines offset both ways at distances up to well past the
// waves' curvature, where the raw chain folds over itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "geometry/element_points.h"
#include "geometry/intersect.h"
#include "geometry/primitives.h"
#include "shell/document.h"
#include "toolpaths/offset/offset.h"

namespace tarnak {
namespace {

using Real = long double;

// ------------------------------------------------------------ the plain form

struct PlainTrim {
  const TTNRegionArray& Doc;
  const TTNIslandArray& Islands;
  const TTNRegion& Source;
  double Distance;
  TTNEntityArray& Pieces;

  bool IslandsClear(Point2 p, const Box& box) const {
    for (const TTNIsland& isl : Islands) {
      if (isl.Region < 0 || static_cast<size_t>(isl.Region) >= Doc.size()) continue;
      const TTNRegion& r = Doc[static_cast<size_t>(isl.Region)];
      if (r.Elements.empty()) continue;
      const Box reach = Widened(r.Bounds(), kBoxMargin + isl.Distance);
      const bool meets = reach.MinX <= box.MaxX && box.MinX <= reach.MaxX &&
                         reach.MinY <= box.MaxY && box.MinY <= reach.MaxY;
      if (meets && !ClearOf(r, p, isl.Distance)) return false;
    }
    return true;
  }

  bool Keep(Point2 p, const Box& box, int mode) const {
    return ClearOf(Source, p, Distance) && (mode != 2 || IslandsClear(p, box));
  }

  void Split(const TTNEntity& e, std::vector<double> params, int mode) const {
    std::sort(params.begin(), params.end());
    const Real len = ElementLengthIn<Real>(e);
    const Real tol = e.IsLine() ? 1e-5L : (len > 0 ? 0.000125L / len : INFINITY);
    for (size_t k = 0; k + 1 < params.size(); ++k) {
      const Real t1 = params[k], t2 = params[k + 1];
      if (!(t2 - t1 >= tol)) continue;
      TTNEntity piece = e;
      piece.Mark = false;
      if (e.IsLine()) {
        Real x, y;
        PointAtIn(e, t1, x, y);
        piece.X = static_cast<double>(x);
        piece.Y = static_cast<double>(y);
        PointAtIn(e, t2, x, y);
        piece.X2 = static_cast<double>(x);
        piece.Y2 = static_cast<double>(y);
      } else {
        const Real start = e.StartAngle(), sweep = ArcSweep(e);
        piece.SetStartAngle(WrapAngleIn(start + t1 * sweep));
        piece.SetEndAngle(WrapAngleIn(start + t2 * sweep));
        if (piece.StartAngle() == piece.EndAngle() && t2 - t1 < 0.5L) continue;
      }
      ElementBounds(piece);
      const Box box = piece.Bounds();
      if (!Keep(PointAtIn(e, (t1 + t2) / 2), box, mode)) continue;
      if (!Keep(PointAtIn(e, t1 + (t2 - t1) / 4), box, mode)) continue;
      Pieces.push_back(piece);
    }
  }
};

void TrimPlainly(const TTNRegionArray& doc, TTNEntityArray& raw, TTNRegionArray& extra,
                 const TTNIslandArray& islands, const TTNRegion& source, double distance,
                 TrimMode mode, TTNEntityArray& pieces) {
  pieces.clear();
  const int baseMode = mode == TrimMode::SourceOnly ? 1 : 2;
  for (TTNRegion& r : extra) {
    r.Selected = 0;
    for (TTNEntity& e : r.Elements) e.Mark = false;
  }
  const PlainTrim trim{doc, islands, source, distance, pieces};
  for (size_t i = 0; i < raw.size(); ++i) {
    const TTNEntity& e = raw[i];
    const Box eb = e.Bounds();
    int emode = baseMode;
    std::vector<double> params;
    for (TTNRegion& region : extra) {
      if (!BoxesOverlap(region.Bounds(), eb, kBoxMargin)) continue;
      for (TTNEntity& other : region.Elements) {
        if (!BoxesOverlap(other.Bounds(), eb, kBoxMargin)) continue;
        const IntersectResult hit = IntersectElements(e, other);
        if (hit.Count == 0) continue;
        for (int j = 0; j < hit.Count; ++j) params.push_back(hit.ParamA[j]);
        other.Mark = true;
        region.Selected = 1;
        emode = 2;
      }
    }
    for (size_t k = 0; k < raw.size(); ++k) {
      if (k == i || !BoxesOverlap(eb, raw[k].Bounds(), kBoxMargin)) continue;
      const IntersectResult hit = IntersectElements(e, raw[k]);
      for (int j = 0; j < hit.Count; ++j) params.push_back(hit.ParamA[j]);
    }
    if (params.size() >= 2) {
      if (e.IsFullCircle()) params.insert(params.end(), {0.0, 1.0});
      trim.Split(e, params, emode);
    } else if (e.IsLine()) {
      raw[i].Mark = true;
    } else if (e.IsFullCircle()) {
      TTNEntity whole = e;
      whole.Mark = false;
      if (islands.empty() || trim.IslandsClear(ElementStart(e), eb)) pieces.push_back(whole);
    }
  }
  for (TTNRegion& region : extra) {
    if (!region.Selected) continue;
    for (const TTNEntity& o : region.Elements) {
      if (!o.Mark) {
        TTNEntity whole = o;
        whole.Mark = false;
        pieces.push_back(whole);
        continue;
      }
      std::vector<double> params{0.0, 1.0};
      for (const TTNEntity& other : raw) {
        if (!BoxesOverlap(o.Bounds(), other.Bounds(), kBoxMargin)) continue;
        const IntersectResult hit = IntersectElements(o, other);
        for (int j = 0; j < hit.Count; ++j) params.push_back(hit.ParamA[j]);
      }
      trim.Split(o, params, mode == TrimMode::Pocket ? 2 : 1);
    }
  }
}

// ------------------------------------------------------------ outlines

// A closed outline round a circle whose radius swings `waves` times, of n
// Elements, lines and slight arcs in turn (bulging outwards, their centres
// `pull` of the way out), the points a little irregular. Offset past the
// crests' curvature, the short Elements fold over each other by the
// hundred, and arcs trimmed by both neighbours come out the long way round.
// With `chords`, two stretches of the outline are cut off by long lines.
TTNRegion RandomWavy(std::mt19937& rng, Point2 centre, double radius, int n, int waves,
                     double amplitude, double pull, bool clockwise, bool chords = false) {
  std::uniform_real_distribution<double> jitter(-0.2, 0.2);
  std::vector<Point2> pts;
  std::vector<bool> chordAfter;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * kPi * (i + jitter(rng)) / n;
    const bool cut = (a > 3.5 && a < 4.5) || (a > 5.2 && a < 5.8);
    if (chords && cut) {
      if (!chordAfter.empty()) chordAfter.back() = true;
      continue;
    }
    const double r = radius + amplitude * std::sin(waves * a);
    pts.push_back({centre.X + r * std::cos(a), centre.Y + r * std::sin(a)});
    chordAfter.push_back(false);
  }
  TTNEntityArray els;
  for (size_t i = 0; i < pts.size(); ++i) {
    const Point2 p = pts[i], q = pts[(i + 1) % pts.size()];
    if (i % 2 == 1 || chordAfter[i]) {
      els.push_back(MakeLine(p.X, p.Y, q.X, q.Y));
      continue;
    }
    const double cx = centre.X + pull * (p.X + q.X - 2 * centre.X);
    const double cy = centre.Y + pull * (p.Y + q.Y - 2 * centre.Y);
    TTNEntity arc = MakeArc(cx, cy, std::hypot(q.X - cx, q.Y - cy), PointAngle({cx, cy}, p),
                            PointAngle({cx, cy}, q));
    ElementSnapEnd(arc, p, 0);
    els.push_back(arc);
  }
  TTNRegion r;
  r.Elements = std::move(els);
  if (clockwise) RegionReverse(r);
  RegionBounds(r);
  return r;
}

bool SameEntity(const TTNEntity& a, const TTNEntity& b) {
  return std::memcmp(&a.X, &b.X, 5 * sizeof(double)) == 0 && a.Mark == b.Mark &&
         std::memcmp(&a.MinX, &b.MinX, 4 * sizeof(double)) == 0 && a.OwnerTag == b.OwnerTag;
}

void ExpectSamePieces(const TTNEntityArray& got, const TTNEntityArray& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i)
    ASSERT_TRUE(SameEntity(got[i], want[i])) << "piece " << i << " of " << got.size();
}

TEST(TrimRawChain, SameAsEveryElementAgainstEveryOther) {
  SilentUserInterface ui;
  Document doc(ui);
  std::mt19937 rng(911);
  std::uniform_real_distribution<double> unit(0, 1);
  int longArcs = 0, rounds = 0, kept = 0;
  for (int round = 0; round < 6; ++round) {
    const int n = 1200 + 2 * static_cast<int>(unit(rng) * 300);
    const int waves = 8 + static_cast<int>(unit(rng) * 5);
    const double amplitude = 0.2 + unit(rng) * 0.2;
    const double pull = 0.25 + unit(rng) * 0.1;
    const TTNRegion src =
        RandomWavy(rng, {0, 0}, 5, n, waves, amplitude, pull, round % 2 == 1, round % 3 == 2);
    // Curvature radius at the wave crests.
    const double crest = (5.0 / waves) * (5.0 / waves) / amplitude;
    for (const double d : {0.5 * crest, 2.0 * crest, 4.0 * crest}) {
      for (const int side : {kOffsetLeft, kOffsetRight}) {
        SCOPED_TRACE("round " + std::to_string(round) + " d " + std::to_string(d) + " side " +
                     std::to_string(side));
        ++rounds;
        TTNEntityArray raw;
        OffsetRegion(doc.Cancel, src, side, d, false, raw);
        for (const TTNEntity& e : raw)
          if (e.IsArc() && !e.IsFullCircle() && std::fabs(ArcSweep(e)) > kPi) ++longArcs;
        // Every other round with the pocket's company: islands and obstacle
        // loops standing across the offset.
        TTNRegionArray docRegions(1), extra;
        TTNIslandArray islands;
        TrimMode mode = TrimMode::SourceOnly;
        if (round % 2 == 0) {
          docRegions.push_back(RandomWavy(rng, {5, 0}, 0.5, 60, 3, 0.1, 0.3, true));
          docRegions.push_back(RandomWavy(rng, {0, -5}, 0.3, 8, 1, 0.05, 0.3, true));
          islands = {{1, d / 2}, {2, d}};
          extra.push_back(RandomWavy(rng, {-5, 0}, 0.8, 40, 4, 0.1, 0.3, true));
          extra.push_back(RandomWavy(rng, {0, 5 + d}, 0.4, 20, 2, 0.05, 0.3, false));
          mode = round % 4 == 0 ? TrimMode::Pocket : TrimMode::WithIslands;
        }
        TTNEntityArray rawPlain = raw, pieces, plain;
        TTNRegionArray extraPlain = extra;
        TrimPlainly(docRegions, rawPlain, extraPlain, islands, src, d, mode, plain);
        TrimRawChain(doc.Cancel, docRegions, raw, extra, islands, src, d, mode, pieces);
        ExpectSamePieces(pieces, plain);
        ExpectSamePieces(raw, rawPlain);  // the consumed marks
        for (size_t k = 0; k < extra.size(); ++k) {
          EXPECT_EQ(extra[k].Selected, extraPlain[k].Selected);
          ExpectSamePieces(extra[k].Elements, extraPlain[k].Elements);
        }
        kept += plain.empty() ? 0 : 1;
      }
    }
  }
  // The folded offsets hold arcs trimmed the long way round, whose boxes
  // cover much of the outline: the case the search must not get wrong.
  EXPECT_GT(longArcs, 50);
  EXPECT_GT(kept, rounds * 3 / 4);
}

}  // namespace
}  // namespace tarnak
