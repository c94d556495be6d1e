#include "shell/commands.h"

#include <exception>
#include <memory>

#include "import/dxf/dxf_reader.h"
#include "shell/dxf_import.h"

namespace tarnak {

namespace {

struct BusyGuard {
  explicit BusyGuard(Document& d) : doc(d) { doc.Busy = true; }
  ~BusyGuard() { doc.Busy = false; }
  Document& doc;
};

}  // namespace

OpenResult OpenDxfCommand(Document& doc, const std::string& path) {
  doc.PickMode = kPickNone;
  doc.Cancel.Reset();
  BusyGuard busy(doc);
  doc.StlMode = false;
  const std::string name = ExtractFileNameOnly(path);
  doc.FileName = name;
  doc.ui().SetStatus("Loading " + name);

  std::unique_ptr<DXF_Object> drawing;
  try {
    drawing = ReadDxfFile(path, doc.ui());
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

  const std::string status = ImportDxfDrawing(doc, std::move(drawing));
  if (status == "No Entities Loaded...") return OpenResult::Empty;
  return OpenResult::Loaded;
}

}  // namespace tarnak
