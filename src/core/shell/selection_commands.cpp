#include "shell/selection_commands.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "geometry/distance.h"
#include "geometry/primitives.h"
#include "selection/region_geometry.h"
#include "selection/region_index.h"
#include "selection/region_selection.h"

namespace tarnak {

namespace {

constexpr const char* kCaption = "Tarnak";
constexpr const char* kNothingSelected = "選択されていません";
constexpr const char* kDetecting = "Detecting Islands... Esc to Cancel...";
constexpr const char* kCancelled = "Process Cancelled...";
constexpr const char* kReady = "Ready...";
constexpr const char* kOrderSet = "Machining Order Set...";

// Highest Region index (the list keeps slot 0 in front; an empty document
// may have no slot at all).
int LastIndex(const Document& doc) {
  return doc.Regions.empty() ? 0 : static_cast<int>(doc.Regions.size()) - 1;
}

TTNRegion& At(Document& doc, int i) { return doc.Regions[static_cast<std::size_t>(i)]; }

// The common ending of every command: the show-selected state.
SelectionResult Finish(const Document& doc, SelectionResult r) {
  r.AnySelected = AnyRegionSelected(doc.Regions);
  return r;
}

// After a deselection: with nothing left selected the toolpath commands go
// off and the view returns to showing everything.
void AfterDeselect(const Document& doc, SelectionResult& r, bool viewAll) {
  if (!AnyRegionSelected(doc.Regions)) {
    r.ToolpathIcons = IconState::Off;
    r.ViewAll = viewAll;
  }
}

// Lets pending events run and tells whether Escape was pressed (it clears
// PickMode) or the Region list was replaced meanwhile; a loop over the list
// must stop then.
class EscPoll {
 public:
  explicit EscPoll(Document& doc)
      : doc_(doc), size_(doc.Regions.size()), data_(doc.Regions.data()) {
    const int n = LastIndex(doc);
    step_ = n / 50;
  }
  // Call for i = 1, 2, ...; true when the loop must stop.
  bool Stop(int i) {
    if (i <= next_) return false;
    doc_.ProcessEvents();
    next_ += step_;
    return doc_.PickMode == kPickNone || doc_.Cancel.stopped() || doc_.Regions.size() != size_ ||
           doc_.Regions.data() != data_;
  }

 private:
  Document& doc_;
  std::size_t size_;
  const TTNRegion* data_;
  int step_ = 0;
  int next_ = 0;
};

// Which single-Element arcs and circles are empty: no other Region's first
// Element ends strictly inside their circle. The end points are sorted by X
// so that each circle only looks at those within its width.
class EmptyCircleTest {
 public:
  explicit EmptyCircleTest(const TTNRegionArray& list) {
    for (std::size_t j = 1; j < list.size(); ++j) {
      if (list[j].Elements.empty()) continue;
      const Point2 p = ElementEnd(list[j].Elements.front());
      if (std::isnan(p.X) || std::isnan(p.Y)) continue;  // never inside anything
      ends_.push_back({p.X, p.Y, static_cast<int>(j)});
    }
    std::sort(ends_.begin(), ends_.end(), [](const End& a, const End& b) { return a.X < b.X; });
  }

  // A Region of exactly one Element that is an arc or circle.
  static bool IsCandidate(const TTNRegion& r) {
    return r.Elements.size() == 1 && r.Elements.front().Radius != 0.0;
  }

  bool IsEmpty(const TTNRegionArray& list, int i) const {
    const TTNEntity& e = list[static_cast<std::size_t>(i)].Elements.front();
    const double r2 = e.Radius * e.Radius;
    const auto inside = [&](const End& p) {
      const double dx = p.X - e.X, dy = p.Y - e.Y;
      return p.Region != i && dx * dx + dy * dy < r2;
    };
    // Anything strictly inside lies less than |Radius| away in X; the slack
    // only widens the range that is looked at.
    const double reach = std::fabs(e.Radius) * (1.0 + 1e-9) + 1e-9;
    const double lo = e.X - reach, hi = e.X + reach;
    if (!std::isfinite(lo) || !std::isfinite(hi))
      return std::none_of(ends_.begin(), ends_.end(), inside);
    auto it = std::lower_bound(ends_.begin(), ends_.end(), lo,
                               [](const End& a, double x) { return a.X < x; });
    for (; it != ends_.end() && it->X <= hi; ++it)
      if (inside(*it)) return false;
    return true;
  }

 private:
  struct End {
    double X, Y;
    int Region;
  };
  std::vector<End> ends_;
};

void StartLongCommand(Document& doc, Pick mode) {
  doc.ProcessEvents();
  doc.Cancel.Reset();
  doc.PickMode = mode;
  doc.ui().SetStatus(kDetecting);
}

}  // namespace

// ------------------------------------------------------------ select all

SelectionResult SelectAllClosed(Document& doc) {
  SelectionResult r;
  StartLongCommand(doc, kPickSelectAllClosedRunning);
  const int n = LastIndex(doc);
  RegionIndex index(doc.Regions);
  EscPoll poll(doc);
  for (int i = 1; i <= n; ++i) {
    if (poll.Stop(i)) {
      r.Cancelled = true;
      break;
    }
    const int role = index.Classify(doc.Regions, doc.DrawingExtents, i, ClassifyVariant{});
    if (role == kClassifiedBoundary) ++r.Boundaries;
    if (role == kClassifiedIsland) ++r.Islands;
  }
  r.Redraw = true;
  if (r.Boundaries > 0 || r.Islands > 0) {
    doc.ui().SetStatus(std::to_string(r.Boundaries) + " Boundaries " + std::to_string(r.Islands) +
                       "  Islands Selected");
    r.ToolpathIcons = IconState::On;
  } else {
    doc.ui().SetStatus(" Ready...");
  }
  if (r.Cancelled) doc.ui().SetStatus(kCancelled);
  doc.PickMode = kPickNone;
  return Finish(doc, r);
}

SelectionResult SelectAllOpen(Document& doc) {
  SelectionResult r;
  const int n = LastIndex(doc);
  for (int i = 1; i <= n; ++i)
    if (At(doc, i).Open != 0) At(doc, i).Selected = 1;
  r.Redraw = true;
  if (!AnyRegionSelected(doc.Regions))
    doc.ui().Message(kNothingSelected, kCaption, MsgButtons::Ok, MsgIcon::Warning);
  else
    r.ToolpathIcons = IconState::On;
  return Finish(doc, r);
}

SelectionResult SelectAll(Document& doc) {
  SelectionResult closed = SelectAllClosed(doc);
  SelectionResult open = SelectAllOpen(doc);
  closed.Redraw = true;
  if (open.ToolpathIcons == IconState::On) closed.ToolpathIcons = IconState::On;
  return Finish(doc, closed);
}

SelectionResult SelectAllAsIslands(Document& doc) {
  SelectionResult r;
  StartLongCommand(doc, kPickAllAsIslandsRunning);
  const int n = LastIndex(doc);
  const Point2 q{doc.DrawingExtents.MinX - doc.PickTolerance / 2.0,
                 doc.DrawingExtents.MinY - doc.PickTolerance / 2.0};

  // The board outline: the Region of the Element nearest to the corner
  // (the later one on equal distances).
  int b = 0;
  double best = 1e99;
  for (int i = 1; i <= n; ++i)
    for (const TTNEntity& e : At(doc, i).Elements) {
      const double d = PointElementDistance(e, q, PastSpan::StartPoint);
      if (d <= best) {
        best = d;
        b = i;
      }
    }

  int count = 0;
  if (b > 0) {
    EscPoll poll(doc);
    for (int i = 1; i <= n; ++i) {
      if (poll.Stop(i)) {
        // What was marked stays, but the outline must not stay an Island of
        // itself; slot 0 keeps no Boundary, so the board command asks for
        // this command again.
        if (static_cast<std::size_t>(b) < doc.Regions.size() && At(doc, b).Owner == b)
          At(doc, b).Owner = 0;
        doc.ui().SetStatus(kCancelled);
        doc.PickMode = kPickNone;
        r.Cancelled = true;
        r.Islands = count;
        r.Redraw = true;
        if (count > 0) r.ToolpathIcons = IconState::On;
        return Finish(doc, r);
      }
      TTNRegion& ri = At(doc, i);
      if (ri.Open != 0) continue;
      ri.Selected = 1;
      ri.Owner = b;
      ri.Parent = b;
      ri.Depth = 0.0;
      ++count;
    }
    At(doc, b).Owner = 0;
    doc.Regions[0].Owner = b;
  }

  r.Islands = count;
  if (count > 0) r.ToolpathIcons = IconState::On;
  doc.ui().SetStatus(std::to_string(count) + "  Islands Selected");
  r.Redraw = true;
  doc.PickMode = kPickNone;
  return Finish(doc, r);
}

// ------------------------------------------------------------ empty circles

SelectionResult SelectEmptyCircles(Document& doc) {
  SelectionResult r;
  const EmptyCircleTest test(doc.Regions);
  const int n = LastIndex(doc);
  int selected = 0;
  for (int i = 1; i <= n; ++i) {
    if (!EmptyCircleTest::IsCandidate(At(doc, i)) || !test.IsEmpty(doc.Regions, i)) continue;
    At(doc, i).Selected = 1;
    ++selected;
  }
  if (selected > 0) {
    r.Redraw = true;
    r.ToolpathIcons = IconState::On;
  }
  return Finish(doc, r);
}

SelectionResult DeselectEmptyCircles(Document& doc) {
  SelectionResult r;
  const EmptyCircleTest test(doc.Regions);
  const int n = LastIndex(doc);
  for (int i = 1; i <= n; ++i) {
    TTNRegion& ri = At(doc, i);
    if (ri.Selected != 1 || !EmptyCircleTest::IsCandidate(ri) || !test.IsEmpty(doc.Regions, i))
      continue;
    ClearRegionSelection(ri);
    r.Redraw = true;
  }
  AfterDeselect(doc, r, true);
  return Finish(doc, r);
}

// ------------------------------------------------------------ deselect

SelectionResult DeselectAll(Document& doc) {
  SelectionResult r;
  for (TTNRegion& reg : doc.Regions) ClearRegionSelection(reg);  // slot 0 included
  r.ToolpathIcons = IconState::Off;
  r.ViewAll = true;
  r.Redraw = true;
  doc.PickMode = kPickNone;
  doc.ui().SetStatus(kReady);
  return Finish(doc, r);
}

SelectionResult DeselectAllOpen(Document& doc) {
  SelectionResult r;
  const int n = LastIndex(doc);
  for (int i = 1; i <= n; ++i)
    if (At(doc, i).Selected == 1 && At(doc, i).Open == 1) ClearRegionSelection(At(doc, i));
  AfterDeselect(doc, r, true);
  r.Redraw = true;
  return Finish(doc, r);
}

SelectionResult DeselectAllClosed(Document& doc) {
  SelectionResult r;
  const int n = LastIndex(doc);
  for (int i = 1; i <= n; ++i)
    if (At(doc, i).Selected == 1 && At(doc, i).Open == 0) ClearRegionSelection(At(doc, i));
  AfterDeselect(doc, r, true);
  r.Redraw = true;
  return Finish(doc, r);
}

SelectionResult CancelPick(Document& doc) {
  doc.PickMode = kPickNone;
  doc.Cancel.Reset();
  doc.ui().SetStatus(kReady);
  return Finish(doc, SelectionResult{});
}

// ------------------------------------------------------------ pick modes

SelectionResult StartPick(Document& doc, Pick pickMode) {
  const char* prompt = nullptr;
  switch (pickMode) {
    case kPickSelectSingle: prompt = "Select Single Region..."; break;
    case kPickSelectRegion: prompt = "Click on outer Region...Islands detected automatically."; break;
    case kPickDeselectRegion: prompt = "Click on Region...Islands DeSelected automatically."; break;
    case kPickDeselectSingle: prompt = "Click on Region to DeSelect it..."; break;
    case kPickAddBoundary: prompt = "Select Boundary to Add"; break;
    case kPickAddIslandBoundary: prompt = "Select Boundary to this Island"; break;
    case kPickDeselectWindow: prompt = "Click and Drag DeSelection window..."; break;
    case kPickSelectWindow: prompt = "Click and Drag selection window..."; break;
    default: {
      SelectionResult refused;
      refused.Handled = false;
      return Finish(doc, refused);
    }
  }
  doc.PickMode = pickMode;
  doc.ui().SetStatus(prompt);
  return Finish(doc, SelectionResult{});
}

SelectionResult StartSelectSingle(Document& doc) { return StartPick(doc, kPickSelectSingle); }
SelectionResult StartSelectRegion(Document& doc) { return StartPick(doc, kPickSelectRegion); }
SelectionResult StartDeselectRegion(Document& doc) { return StartPick(doc, kPickDeselectRegion); }
SelectionResult StartDeselectSingle(Document& doc) { return StartPick(doc, kPickDeselectSingle); }
SelectionResult StartAddBoundary(Document& doc) { return StartPick(doc, kPickAddBoundary); }
SelectionResult StartAddIsland(Document& doc) { return StartPick(doc, kPickAddIslandBoundary); }
SelectionResult StartDeselectWindow(Document& doc) { return StartPick(doc, kPickDeselectWindow); }
SelectionResult StartSelectWindow(Document& doc) { return StartPick(doc, kPickSelectWindow); }

// ------------------------------------------------------------ clicks

namespace {

void ClickSelectSingle(Document& doc, Point2 p, SelectionResult& r) {
  const int k = PickRegion(doc.Regions, p, false, doc.PickTolerance);
  r.Hit = k;
  if (k == 0 || At(doc, k).Selected != 0) return;
  if (At(doc, k).Open != 0) {
    At(doc, k).Selected = 1;
  } else {
    ClassifyVariant v;
    v.Kind = ClassifyKind::Single;
    ClassifyRegion(doc.Regions, doc.DrawingExtents, k, v);
  }
  r.ToolpathIcons = IconState::On;
  r.Redraw = true;
}

void ClickSelectRegion(Document& doc, Point2 p, SelectionResult& r) {
  const int c = PickRegion(doc.Regions, p, false, doc.PickTolerance);
  r.Hit = c;
  if (c == 0) return;
  TTNRegion& rc = At(doc, c);
  rc.Selected = 1;
  rc.Parent = c;
  rc.Level = 0;
  rc.Owner = 0;
  RegionIndex index(doc.Regions);
  ClassifyVariant v;
  v.Kind = ClassifyKind::Region;
  v.Clicked = c;
  const Box cb = rc.Bounds();
  const int n = LastIndex(doc);
  for (int j = 1; j <= n; ++j) {
    if (j == c) continue;
    TTNRegion& rj = At(doc, j);
    // Open: its box within c's and its probe point inside c. Closed:
    // RegionInsideRegion(c, j), the same two tests (false for an open c).
    if (!BoxInsideBox(cb, rj.Bounds()) || !index.PointIn(index.Probe(j), c)) continue;
    if (rj.Open != 0)
      rj.Selected = 1;
    else
      index.Classify(doc.Regions, doc.DrawingExtents, j, v);
  }
  r.ToolpathIcons = IconState::On;
  r.Redraw = true;
}

void ClickDeselectRegion(Document& doc, Point2 p, SelectionResult& r) {
  const int k = PickRegion(doc.Regions, p, true, doc.PickTolerance);
  r.Hit = k;
  if (k == 0) return;
  ClearRegionSelection(At(doc, k));
  const TTNRegion& rk = At(doc, k);
  const int n = LastIndex(doc);
  for (int j = 1; j <= n; ++j)
    if (j != k && RegionInsideRegion(rk, At(doc, j))) ClearRegionSelection(At(doc, j));
  if (!AnyRegionSelected(doc.Regions)) r.ToolpathIcons = IconState::Off;
  r.Redraw = true;
}

void ClickDeselectSingle(Document& doc, Point2 p, SelectionResult& r) {
  const int k = PickRegion(doc.Regions, p, true, doc.PickTolerance);
  r.Hit = k;
  if (k == 0) return;
  ClearRegionSelection(At(doc, k));
  if (!AnyRegionSelected(doc.Regions)) r.ToolpathIcons = IconState::Off;
  r.Redraw = true;
}

void ClickAddBoundary(Document& doc, Point2 p, SelectionResult& r) {
  const int k = PickRegion(doc.Regions, p, false, doc.PickTolerance);
  r.Hit = k;
  if (k == 0) return;
  TTNRegion& rk = At(doc, k);
  if (rk.Selected != 0) {
    doc.ui().SetStatus("Region " + std::to_string(k) + " Already Selected");
  } else {
    rk.Parent = k;
    rk.Selected = 1;
    rk.Owner = 0;
    r.Redraw = true;
  }
  r.ToolpathIcons = IconState::On;
}

void ClickIslandBoundary(Document& doc, Point2 p, SelectionResult& r) {
  const int k = PickRegion(doc.Regions, p, false, doc.PickTolerance);
  r.Hit = k;
  if (k == 0) return;
  doc.IslandTarget = k;
  doc.ui().SetStatus("Select Island To " + std::to_string(k));
  doc.PickMode = kPickAddIsland;
}

void ClickAddIsland(Document& doc, Point2 p, SelectionResult& r) {
  const int k = PickRegion(doc.Regions, p, false, doc.PickTolerance);
  r.Hit = k;
  const int t = doc.IslandTarget;
  // The Boundary picked before may be gone (the list rebuilt meanwhile).
  if (k == 0 || t < 1 || t > LastIndex(doc)) return;
  TTNRegion& rk = At(doc, k);
  rk.Selected = 1;
  rk.Level = At(doc, t).Level + 1;
  rk.Parent = t;
  rk.Owner = t;
  r.ToolpathIcons = IconState::On;
  r.Redraw = true;
}

void ClickMachiningOrder(Document& doc, Point2 p, SelectionResult& r) {
  const int n = LastIndex(doc);
  if (!(doc.OrderCounter > 0 && doc.OrderCounter < n)) {
    doc.PickMode = kPickNone;
    doc.ui().SetStatus(kOrderSet);
    return;
  }
  const int k = PickRegion(doc.Regions, p, false, doc.PickTolerance);
  r.Hit = k;
  if (k == 0) return;
  if (k != doc.OrderCounter) {
    std::swap(At(doc, k), At(doc, doc.OrderCounter));
    // Parent and Owner links name Regions by position: make them follow
    // the two exchanged records.
    std::vector<int32_t> newIndex(doc.Regions.size());
    std::iota(newIndex.begin(), newIndex.end(), 0);
    newIndex[static_cast<std::size_t>(k)] = doc.OrderCounter;
    newIndex[static_cast<std::size_t>(doc.OrderCounter)] = k;
    RenumberRegionLinks(doc.Regions, newIndex);
  }
  r.Redraw = true;
  ++doc.OrderCounter;
  if (doc.OrderCounter < n)
    doc.ui().SetStatus("Next sequence number is " + std::to_string(doc.OrderCounter));
  else
    doc.ui().SetStatus(kOrderSet);
}

}  // namespace

SelectionResult SelectionClick(Document& doc, Point2 p, MouseButton button) {
  SelectionResult r;
  const Pick mode = doc.PickMode;
  const bool leftOnly = mode == kPickSelectSingle || mode == kPickSelectRegion ||
                        mode == kPickDeselectRegion || mode == kPickDeselectSingle;
  if (leftOnly && button != MouseButton::Left) {
    r.Handled = false;
    return Finish(doc, r);
  }
  switch (mode) {
    case kPickSelectSingle: ClickSelectSingle(doc, p, r); break;
    case kPickSelectRegion: ClickSelectRegion(doc, p, r); break;
    case kPickDeselectRegion: ClickDeselectRegion(doc, p, r); break;
    case kPickDeselectSingle: ClickDeselectSingle(doc, p, r); break;
    case kPickAddBoundary: ClickAddBoundary(doc, p, r); break;
    case kPickAddIslandBoundary: ClickIslandBoundary(doc, p, r); break;
    case kPickAddIsland: ClickAddIsland(doc, p, r); break;
    case kPickMachiningOrder: ClickMachiningOrder(doc, p, r); break;
    default: r.Handled = false; break;
  }
  return Finish(doc, r);
}

SelectionResult SelectionWindow(Document& doc, const Box& window) {
  SelectionResult r;
  const Box w =
      Box::FromMinMax(std::min(window.MinX, window.MaxX), std::min(window.MinY, window.MaxY),
                      std::max(window.MinX, window.MaxX), std::max(window.MinY, window.MaxY));
  const int n = LastIndex(doc);
  if (doc.PickMode == kPickSelectWindow) {
    RegionIndex index(doc.Regions);
    ClassifyVariant v;
    v.Kind = ClassifyKind::Window;
    v.Window = w;
    bool any = false;
    for (int i = 1; i <= n; ++i) {
      if (!PointNearBox(index.Probe(i), w)) continue;
      any = true;
      if (At(doc, i).Open != 0)
        At(doc, i).Selected = 1;
      else
        index.Classify(doc.Regions, doc.DrawingExtents, i, v);
    }
    if (any) r.ToolpathIcons = IconState::On;
  } else if (doc.PickMode == kPickDeselectWindow) {
    for (int i = 1; i <= n; ++i) {
      TTNRegion& ri = At(doc, i);
      if (ri.Selected != 1 || ri.Elements.empty()) continue;
      if (PointNearBox(ElementEnd(ri.Elements.front()), w)) ClearRegionSelection(ri);
    }
    if (!AnyRegionSelected(doc.Regions)) r.ToolpathIcons = IconState::Off;
  } else {
    r.Handled = false;
    return Finish(doc, r);
  }
  r.Redraw = true;
  doc.ui().SetStatus(kReady);
  doc.PickMode = kPickNone;
  return Finish(doc, r);
}

// ------------------------------------------------------------ machining order

SelectionResult StartMachiningOrder(Document& doc) {
  SelectionResult r;
  for (TTNRegion& reg : doc.Regions) ClearRegionSelection(reg);
  r.ShowInfo = true;
  r.ShowOrderWindow = true;
  r.Redraw = true;
  doc.OrderCounter = 1;
  doc.ui().SetStatus("Click on regions in sequence...");
  doc.PickMode = kPickMachiningOrder;
  return Finish(doc, r);
}

void SetOrderCounter(Document& doc, int value) {
  doc.OrderCounter = std::clamp(value, 1, std::max(1, LastIndex(doc)));
}

std::string OrderWindowLabel(const Document& doc) {
  return "Start At (1 - " + std::to_string(LastIndex(doc)) + ")";
}

}  // namespace tarnak
