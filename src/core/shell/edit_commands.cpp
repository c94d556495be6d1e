#include "shell/edit_commands.h"

#include <cstddef>

#include "base/numbers.h"
#include "editing/combine.h"
#include "geometry/primitives.h"
#include "import/profiles/profile_building.h"
#include "import/stl/stl_mesh.h"
#include "selection/region_geometry.h"
#include "selection/region_selection.h"

namespace tarnak {

namespace {

constexpr const char* kCaption = "Tarnak";
constexpr const char* kFirstElementPrompt = "Choose New First Entity of a Closed Region";
constexpr double kDegreesToRadians = kPi / 180.0;

int RegionCount(const Document& doc) {
  return doc.Regions.empty() ? 0 : static_cast<int>(doc.Regions.size()) - 1;
}

// The drawing lists start with their reserved slot, even an empty one.
void EnsureSlot0(Document& doc) {
  if (doc.Regions.empty()) doc.Regions.resize(1);
}

}  // namespace

bool CheckForSelected(Document& doc) {
  if (AnyRegionSelected(doc.Regions)) return true;
  doc.ui().Message(kNothingSelectedWarning, kCaption, MsgButtons::Ok, MsgIcon::Warning);
  return false;
}

EditResult DeleteSelectedCommand(Document& doc) {
  EditResult r;
  if (doc.ui().Message(kDeleteQuestion, kCaption, MsgButtons::OkCancel, MsgIcon::Warning) !=
      MsgResult::Ok)
    return r;
  EnsureSlot0(doc);
  r.Count = DeleteSelectedRegions(doc.Regions);
  doc.Regions[0].Owner = 0;
  doc.ComputeExtents();
  r.Done = r.Redraw = true;
  return r;
}

EditResult ReverseSelectedCommand(Document& doc) {
  EditResult r;
  if (!CheckForSelected(doc)) return r;
  r.Count = ReverseSelectedRegions(doc.Regions);
  r.Done = r.Redraw = true;
  return r;
}

EditResult StartChangeFirstElement(Document& doc) {
  EditResult r;
  r.ShowDirections = true;
  doc.ui().SetStatus(kFirstElementPrompt);
  doc.PickMode = kPickFirstElement;
  r.Done = true;
  return r;
}

EditResult ChangeFirstElementClick(Document& doc, Point2 p) {
  EditResult r;
  if (doc.PickMode != kPickFirstElement) return r;
  r.Done = true;
  const int hit = PickRegion(doc.Regions, p, false, doc.PickTolerance);
  if (hit == 0) return r;
  TTNRegion& reg = doc.Regions[static_cast<std::size_t>(hit)];
  if (reg.Open != 0) return r;
  const int k = NearestElement(reg, p);
  if (k > 0 && SetFirstElement(reg, k)) {
    r.Count = k;
    r.Redraw = true;
  }
  return r;
}

EditResult ExplodeCommand(Document& doc) {
  EditResult r;
  EnsureSlot0(doc);
  r.Count = ExplodeRegions(doc.Regions);
  if (r.Count > 0) {
    doc.ui().SetStatus(std::to_string(r.Count) + " New Regions Created");
    doc.Regions[0].Owner = 0;
    r.Redraw = true;
  }
  r.ToolpathIconsOff = true;
  r.Done = true;
  return r;
}

EditResult JoinCommand(Document& doc) {
  EditResult r;
  if (!CheckForSelected(doc)) return r;
  doc.Cancel.Reset();
  const int direction = doc.Options.Program.Dir ? 1 : 0;
  if (!JoinSelectedRegions(doc.Cancel, doc.Regions, direction, kChainTolerance)) {
    doc.Cancel.Reset();
    doc.ui().SetStatus("Operation Cancelled...");
    return r;
  }
  doc.ComputeExtents();
  r.Count = RegionCount(doc);
  r.Done = r.Redraw = true;
  return r;
}

EditResult CombineCommand(Document& doc) {
  EditResult r;
  if (!CheckForSelected(doc)) return r;
  doc.Cancel.Reset();
  const int n0 = CombineSelected(doc.Cancel, doc.Regions);
  doc.Cancel.Reset();
  r.Count = RegionCount(doc);
  doc.ui().SetStatus(std::to_string(r.Count) + " regions created from " + std::to_string(n0) +
                     " original regions");
  doc.ComputeExtents();
  r.Done = r.Redraw = true;
  return r;
}

MoveWindowValues MoveWindowRefresh(const Document& doc, const MoveWindowValues& previous) {
  Box b;
  if (!SelectionBox(doc.Regions, b)) return previous;
  MoveWindowValues v;
  v.LowerLeftX = b.MinX;
  v.LowerLeftY = b.MinY;
  v.CentreX = (b.MinX + b.MaxX) / 2.0;
  v.CentreY = (b.MinY + b.MaxY) / 2.0;
  v.UpperRightX = b.MaxX;
  v.UpperRightY = b.MaxY;
  return v;
}

EditResult MoveApply(Document& doc, const MoveFields& fields, const MoveWindowValues& shown) {
  EditResult r;
  const Point2 centre{shown.CentreX, shown.CentreY};
  const double angle = fields.RotateDegrees * kDegreesToRadians;
  if (doc.StlMode) {
    ScaleMesh(doc.Triangles, centre.X, centre.Y, 0.0, fields.Scale);
    RotateMesh(doc.Triangles, 2, centre.X, centre.Y, angle);
    StlModelBox box;
    MeshBox(doc.Triangles, box);
    DrawingExtentsRec& e = doc.DrawingExtents;
    e.MinX = box.MinX;
    e.MaxX = box.MaxX;
    e.MinY = box.MinY;
    e.MaxY = box.MaxY;
    e.Width = e.MaxX - e.MinX;
    e.Height = e.MaxY - e.MinY;
    r.Done = r.Redraw = true;
    return r;
  }
  if (!CheckForSelected(doc)) return r;
  MoveScaleRotateSelection(doc.Regions, Point2{fields.X, fields.Y}, fields.Scale, angle, centre);
  doc.ComputeExtents();
  r.Done = r.Redraw = true;
  return r;
}

EditResult DepthApply(Document& doc, DepthTarget target, double depth, int single) {
  EditResult r;
  EnsureSlot0(doc);
  ApplyDepths(doc.Regions, target, depth, single);
  r.Done = r.Redraw = true;
  return r;
}

std::string FormatMoveValue(double v) { return FormatNumber("%.4F", v); }

}  // namespace tarnak
