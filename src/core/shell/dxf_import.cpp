#include "shell/dxf_import.h"

#include <string>
#include <utility>

#include "geometry/primitives.h"
#include "import/dxf/dxf_entities.h"
#include "import/profiles/profile_building.h"
#include "import/text/text_geometry.h"
#include "selection/region_selection.h"
#include "shell/text_commands.h"

namespace tarnak {

std::string ImportDxfDrawing(Document& doc, std::unique_ptr<DXF_Object> drawing) {
  const int dir = doc.Options.Program.Dir ? 1 : 0;
  TTNEntityArray loose;
  TTNRegionArray polylines;
  TTNRegionArray textRegions(1);
  if (drawing && doc.ImportTexts) {
    ApplyTextOptions(doc);
    DxfTextsToRegions(doc.Cancel, *drawing, textRegions, doc.Ttf, kNoSkipLayer, dir);
  }

  if (drawing)
    DxfToElements(doc.Cancel, *drawing, kNoSkipLayer, dir, kEllipseTolerance, loose, polylines);
  if (!loose.empty()) CleanElements(doc.Cancel, loose);
  drawing.reset();

  if (loose.empty() && textRegions.size() <= 1 && polylines.empty()) {
    doc.Regions.assign(1, TTNRegion{});
    doc.ComputeExtents();
    const std::string status = "No Entities Loaded...";
    doc.ui().SetStatus(status);
    return status;
  }

  if (!loose.empty())
    ChainElements(doc.Cancel, loose, doc.Regions, dir, kChainTolerance);
  else
    doc.Regions.assign(1, TTNRegion{});
  AppendRegions(polylines, 0, doc.Regions);

  for (size_t i = 1; i < doc.Regions.size(); ++i) doc.Regions[i].Selected = 1;
  SortRegionsByMinX(doc.Cancel, doc.Regions, 1, static_cast<int>(doc.Regions.size()) - 1);
  JoinOpenRegions(doc.Cancel, doc.Regions, kChainTolerance);
  SetClosedDirections(doc.Regions, dir);
  if (doc.Options.Program.Fix) FixBadGeometry(doc.Cancel, doc.Regions, dir);
  AppendRegions(textRegions, 1, doc.Regions);

  doc.ComputeExtents();
  const OpenClosedCount counts = RegionCountOpenClosed(doc.Regions);
  const std::string status = std::to_string(counts.Open + counts.Closed) + " Regions Created... " +
                             std::to_string(counts.Open) + " Open";
  doc.ui().SetStatus(status);

  OrderByNearest(doc.Cancel, doc.Regions, doc.DrawingExtents);
  for (TTNRegion& r : doc.Regions) ClearRegionSelection(r);
  return status;
}

}  // namespace tarnak
