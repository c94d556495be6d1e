#include "shell/document.h"

#include <algorithm>

namespace tarnak {

void Document::ComputeExtents() {
  DrawingExtentsRec e;
  bool any = false;
  for (size_t i = 1; i < Regions.size(); ++i) {
    const TTNRegion& r = Regions[i];
    if (r.Elements.empty()) continue;
    if (!any) {
      e.MinX = r.MinX;
      e.MaxX = r.MaxX;
      e.MinY = r.MinY;
      e.MaxY = r.MaxY;
      any = true;
    } else {
      e.MinX = std::min(e.MinX, r.MinX);
      e.MaxX = std::max(e.MaxX, r.MaxX);
      e.MinY = std::min(e.MinY, r.MinY);
      e.MaxY = std::max(e.MaxY, r.MaxY);
    }
  }
  if (any) {
    e.Height = e.MaxY - e.MinY;
    e.Width = e.MaxX - e.MinX;
  }
  DrawingExtents = e;
}

void Document::Close() {
  Regions.assign(1, TTNRegion{});
  ClearToolpaths(Toolpaths);
  Toolpaths3D.clear();
  // The model goes with the document (it may hold millions of triangles).
  TTNTriangleArray().swap(Triangles);
  ToolpathsCancelled = false;
  StlMode = false;
  ComputeExtents();
}

std::string ExtractFileNameOnly(const std::string& path) {
  const size_t slash = path.find_last_of("\\/:");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

}  // namespace tarnak
