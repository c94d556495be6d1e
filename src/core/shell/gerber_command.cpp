#include "shell/gerber_command.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "import/gerber/excellon_reader.h"
#include "import/gerber/gerber_reader.h"
#include "import/profiles/profile_building.h"
#include "toolpaths/toolpath_model.h"

namespace tarnak {

namespace {

std::string LowerExtension(const std::string& path) {
  std::string e = std::filesystem::path(path).extension().string();
  std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return std::tolower(c); });
  return e;
}

bool LooksLikeDrillFile(const std::string& path, UserInterface& ui, std::string& text) {
  if (!ReadBoardFile(path, text, ui)) return false;
  const std::string e = LowerExtension(path);
  if (e == ".drl" || e == ".xln") return true;
  // Drill files open with an M48 header line; Gerber never has one.
  size_t p = 0;
  while (p < text.size()) {
    size_t end = text.find('\n', p);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(p, end - p);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty() && line[0] != ';') return line == "M48";
    p = end + 1;
  }
  return false;
}

GerberOpenResult OpenWith(Document& doc, const std::string& path, bool detect) {
  doc.PickMode = kPickNone;
  doc.Cancel.Reset();
  doc.Busy = true;
  GerberOpenResult result;
  doc.ui().SetStatus("Loading " + ExtractFileNameOnly(path));
  TTNRegionArray regions(1);
  std::string text;
  GerberStatus st = GerberStatus::Failed;
  if (!detect) {
    st = GerberImport(path, regions, doc.Options.Program.Dir ? 1 : 0, doc.Options.Program.Offset,
                      doc.ui(), doc.Cancel);
  } else if (LooksLikeDrillFile(path, doc.ui(), text)) {
    st = ExcellonImportText(text, path, regions, doc.ui());
  } else if (!text.empty() || std::filesystem::exists(path)) {
    st = GerberImportText(text, path, regions, doc.Options.Program.Dir ? 1 : 0,
                          doc.Options.Program.Offset, doc.ui(), doc.Cancel);
  }
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

}  // namespace

GerberOpenResult OpenGerber1Click(Document& doc, const std::string& path) {
  return OpenWith(doc, path, false);
}

GerberOpenResult OpenBoardFile(Document& doc, const std::string& path) {
  return OpenWith(doc, path, true);
}

bool IsBoardFileName(const std::string& path) {
  static const char* const kExtensions[] = {".gbr", ".ger", ".gbl", ".gtl", ".gbx", ".grb",
                                            ".gko", ".gbo", ".gto", ".gbs", ".gts", ".pho",
                                            ".art", ".drl", ".xln", ".top", ".bot"};
  const std::string e = LowerExtension(path);
  return std::any_of(std::begin(kExtensions), std::end(kExtensions),
                     [&](const char* x) { return e == x; });
}

}  // namespace tarnak
