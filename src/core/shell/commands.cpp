#include "shell/commands.h"

#include <exception>
#include <memory>
#include <utility>
#include <new>

#include "import/dxf/dxf_reader.h"
#include "shell/dxf_import.h"

namespace tarnak {

namespace {

struct BusyGuard {
  explicit BusyGuard(Document& d) : doc(d) { doc.Busy = true; }
  ~BusyGuard() { doc.Busy = false; }
  Document& doc;
};

// What an open replaces, set aside until the new drawing is in and put
// back should the open not get that far.
class DrawingStash {
 public:
  explicit DrawingStash(Document& d)
      : doc_(d),
        regions_(std::move(d.Regions)),
        extents_(d.DrawingExtents),
        fileName_(d.FileName),
        stlMode_(d.StlMode) {
    doc_.Regions.assign(1, TTNRegion{});
  }
  ~DrawingStash() {
    if (kept_) return;
    doc_.Regions = std::move(regions_);
    doc_.DrawingExtents = extents_;
    doc_.FileName = fileName_;
    doc_.StlMode = stlMode_;
  }
  DrawingStash(const DrawingStash&) = delete;
  DrawingStash& operator=(const DrawingStash&) = delete;

  // The new drawing stays; the toolpaths of the old one go with it.
  void Keep() {
    kept_ = true;
    ClearToolpaths(doc_.Toolpaths);
    doc_.Toolpaths3D.clear();
    doc_.ToolpathsCancelled = false;
    // A drawing replaces a model opened before it.
    TTNTriangleArray().swap(doc_.Triangles);
  }

 private:
  Document& doc_;
  TTNRegionArray regions_;
  DrawingExtentsRec extents_;
  std::string fileName_;
  bool stlMode_;
  bool kept_ = false;
};

}  // namespace

bool ConfirmDiscardToolpaths(Document& doc, const std::function<bool()>& save) {
  if (ToolpathCount(doc.Toolpaths) == 0 && doc.Toolpaths3D.empty()) return true;
  const MsgResult answer =
      doc.ui().Message(kSaveBeforeOpeningText, "Tarnak", MsgButtons::YesNoCancel, MsgIcon::Question);
  if (answer == MsgResult::Cancel) return false;
  if (answer == MsgResult::Yes) return save && save();
  return true;
}

OpenResult OpenDxfCommand(Document& doc, const std::string& path) {
  doc.PickMode = kPickNone;
  doc.Cancel.Reset();
  BusyGuard busy(doc);
  const std::string name = ExtractFileNameOnly(path);
  doc.ui().SetStatus("Loading " + name);

  std::unique_ptr<DXF_Object> drawing;
  try {
    DxfReadOptions read;
    read.ExpandBlocks = doc.Options.Program.ExpandBlocks;
    drawing = ReadDxfFile(path, doc.ui(), read);
  } catch (const std::bad_alloc&) {
    doc.ui().Message("Out of memory while reading \"" + path + "\": the drawing is too large",
                     "Error", MsgButtons::Ok, MsgIcon::Error);
    doc.ui().SetStatus("Ready...");
    return OpenResult::Failed;
  } catch (const std::exception& e) {
    doc.ui().Message(e.what(), "Error", MsgButtons::Ok, MsgIcon::Error);
    doc.ui().SetStatus("Ready...");
    return OpenResult::Failed;
  }
  if (doc.Cancel.Poll()) {
    doc.Cancel.Reset();
    doc.ui().SetStatus("Operation Cancelled...");
    return OpenResult::Cancelled;
  }

  DrawingStash previous(doc);
  doc.StlMode = false;
  doc.FileName = name;
  const std::string status = ImportDxfDrawing(doc, std::move(drawing));
  if (doc.Cancel.stopped()) {
    // Escape during the import: what was built so far is not the drawing.
    doc.Cancel.Reset();
    doc.ui().SetStatus("Operation Cancelled...");
    return OpenResult::Cancelled;
  }
  previous.Keep();
  if (status == "No Entities Loaded...") return OpenResult::Empty;
  return OpenResult::Loaded;
}

}  // namespace tarnak
