#include "shell/stl_commands.h"

#include <utility>

namespace tarnak {

namespace {

StlModelBox ToModelBox(const DrawingExtentsRec& e) {
  return {e.MinX, e.MaxX, e.MinY, e.MaxY, e.MinZ, e.MaxZ, e.MidZ, e.Height, e.Width};
}

DrawingExtentsRec ToExtents(const StlModelBox& b) {
  return {b.MinX, b.MaxX, b.MinY, b.MaxY, b.MinZ, b.MaxZ, b.MidZ, b.Height, b.Width};
}

// PickMode and Busy for as long as the load runs, cleared on every path.
class LoadingScope {
 public:
  explicit LoadingScope(Document& doc) : doc_(doc) {
    doc_.PickMode = kPickModeStlLoad;
    doc_.Busy = true;
  }
  ~LoadingScope() {
    doc_.PickMode = kPickNone;
    doc_.Busy = false;
  }
  LoadingScope(const LoadingScope&) = delete;
  LoadingScope& operator=(const LoadingScope&) = delete;

 private:
  Document& doc_;
};

}  // namespace

void SetStockBoxFromExtents(Document& doc) {
  const DrawingExtentsRec& e = doc.DrawingExtents;
  TTNMachiningParameters& p = doc.MachiningParams;
  p.X1 = e.MinX;
  p.Y1 = e.MinY;
  p.Z1 = e.MinZ;
  p.X2 = e.MaxX;
  p.Y2 = e.MaxY;
  p.Z2 = e.MaxZ;
}

StlOpenCommandResult OpenStl(Document& doc, const std::string& path) {
  StlOpenCommandResult result;
  doc.Cancel.Reset();
  LoadingScope loading(doc);

  // Read beside the document: a file that fails or is cancelled leaves the
  // drawing or model shown as it was, instead of an empty model in its place.
  TTNTriangleArray triangles;
  const StlOpenResult read =
      LoadStlModel(path, doc.Options.Program.STLDepth, triangles, doc.ui(), doc.Cancel);
  result.Status = read.Status;
  result.Binary = read.Binary;
  if (read.Status != StlOpenStatus::Loaded) {
    doc.Cancel.Reset();
    return result;
  }

  doc.Triangles = std::move(triangles);
  doc.Regions.assign(1, TTNRegion{});
  ClearToolpaths(doc.Toolpaths);
  doc.Toolpaths3D.clear();
  doc.ToolpathsCancelled = false;
  doc.StlMode = true;
  doc.ViewMode = 0;
  doc.FileName = ExtractFileNameOnly(path);
  doc.DrawingExtents = ToExtents(read.Box);
  SetStockBoxFromExtents(doc);

  result.Triangles = doc.Triangles.size();
  result.Window.StlEditMenu = true;
  result.Window.PrototypeOnly = true;
  result.Window.View3DZoomAll = true;
  result.Window.MarginText = kStlMarginAfterOpen;
  return result;
}

bool FlipModel(Document& doc) {
  if (doc.Triangles.empty()) return false;
  StlModelBox box;
  MeshBox(doc.Triangles, box);
  FlipMesh(doc.Triangles, box.MinZ + box.MaxZ);
  return true;
}

void ApplyStlMove(Document& doc, const StlMoveRequest& request) {
  StlModelBox box = ToModelBox(doc.DrawingExtents);
  ApplyStlMove(doc.Triangles, request, box);
  doc.DrawingExtents = ToExtents(box);
  SetStockBoxFromExtents(doc);
}

}  // namespace tarnak
