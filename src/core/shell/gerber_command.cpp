#include "shell/gerber_command.h"

#include "import/gerber/gerber_reader.h"
#include "import/profiles/profile_building.h"
#include "toolpaths/toolpath_model.h"

namespace tarnak {

GerberOpenResult OpenGerber1Click(Document& doc, const std::string& path) {
  doc.PickMode = kPickNone;
  doc.Cancel.Reset();
  doc.Busy = true;
  GerberOpenResult result;
  doc.ui().SetStatus("Loading " + ExtractFileNameOnly(path));
  TTNRegionArray regions(1);
  const GerberStatus st = GerberImport(path, regions, doc.Options.Program.Dir ? 1 : 0,
                                       doc.Options.Program.Offset, doc.ui(), doc.Cancel);
  doc.Busy = false;
  if (st != GerberStatus::Imported) {
    result.Status = st == GerberStatus::Cancelled ? OpenResult::Cancelled : OpenResult::Failed;
    doc.Cancel.Reset();
    doc.ui().SetStatus(st == GerberStatus::Cancelled ? "Operation Cancelled..." : "Ready...");
    return result;
  }
  doc.Regions = std::move(regions);
  doc.StlMode = false;
  doc.FileName = ExtractFileNameOnly(path);
  ClearToolpaths(doc.Toolpaths);
  doc.Toolpaths3D.clear();
  doc.ToolpathsCancelled = false;
  doc.ComputeExtents();
  result.HasRegions = doc.Regions.size() > 1;
  if (result.HasRegions) OrderByNearest(doc.Cancel, doc.Regions, doc.DrawingExtents);
  doc.Cancel.Reset();
  result.Status = result.HasRegions ? OpenResult::Loaded : OpenResult::Empty;
  doc.ui().SetStatus(std::to_string(doc.Regions.size() - 1) + " Regions Created...");
  return result;
}

}  // namespace tarnak
