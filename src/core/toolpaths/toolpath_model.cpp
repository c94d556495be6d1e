#include "toolpaths/toolpath_model.h"

#include "toolpaths/machining_params.h"

namespace tarnak {

TTNOutRegion& AppendToolpath(TTNOutRegionArray& toolpaths, const TTNRegion& region,
                             const ToolpathLink& link, const TTNToolSettings& tool, bool island) {
  if (toolpaths.empty()) toolpaths.resize(1);
  TTNOutRegion& path = toolpaths.emplace_back();
  path.Colour = tool.Colour;
  path.Feed = tool.Feed;
  path.PlungeFeed = tool.PlungeFeed;
  path.SpindleSpeed = static_cast<double>(tool.SpindleSpeed);
  path.ToolNumber = tool.ToolNumber;
  path.Depth = region.Depth;
  path.LeadMoves = region.MachineFlag != 0 ? 1 : 0;
  path.Open = region.Open != 0 ? 1 : 0;
  path.Island = island ? 1 : 0;
  path.Selected = region.Selected != 0 ? 1 : 0;
  path.RapidLevel = link.RapidLevel;
  path.LinkKind = link.LinkKind;
  path.Spare = link.Spare;
  path.Elements = region.Elements;
  return path;
}

void ClearToolpaths(TTNOutRegionArray& toolpaths) {
  toolpaths.clear();
  toolpaths.resize(1);
}

TTNOutRegion& AppendToolpath(TTNOutRegionArray& toolpaths, const TTNRegion& region,
                             const TTNToolSettings& tool, bool island) {
  return AppendToolpath(toolpaths, region, ToolpathLink{region.LinkKind, region.RapidLevel, region.Spare},
                        tool, island);
}

}  // namespace tarnak
