#include "shell/dxf_export_commands.h"

#include "export/dxf/dxf_builders.h"
#include "export/dxf/dxf_writer.h"

namespace tarnak {

DxfSaveResult SaveToolpathsDXFCommand(const Document& doc, const std::filesystem::path& file,
                                      const TTNEdEntityArray* editorMoves) {
  if (editorMoves != nullptr) {
    const DxfOutObject moves = BuildDXFFromNCMoves(*editorMoves);
    WriteDXF(moves, file);
    return {DxfSaveResult::What::NcMoves, moves.EntityCount()};
  }
  const DxfOutObject drawing =
      BuildDXFFromToolpaths(doc.Toolpaths, doc.MachiningParams.RapidHeight);
  WriteDXF(drawing, file);
  return {DxfSaveResult::What::Toolpaths, drawing.EntityCount()};
}

DxfSaveResult SaveGeometryDXFCommand(const Document& doc, const std::filesystem::path& file) {
  const DxfOutObject drawing = BuildDXFFromRegions(doc.Regions);
  WriteDXF(drawing, file);
  return {DxfSaveResult::What::Geometry, drawing.EntityCount()};
}

}  // namespace tarnak
