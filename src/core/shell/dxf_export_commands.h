// The two File menu commands that write DXF files: the toolpaths and the
// geometry (all Regions).
//
// The save dialog belongs to the user interface: the caller shows it with
// the filter and default extension below and hands the chosen file in.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "import/nc/nc_moves.h"
#include "shell/document.h"

namespace tarnak {

// The save dialog of both commands: its filter and default extension.
inline constexpr std::string_view kDxfSaveFilter = "DXF Files (*.Dxf)|*.DXF";
inline constexpr std::string_view kDxfDefaultExtension = "Dxf";

// What was written.
struct DxfSaveResult {
  enum class What { Toolpaths, NcMoves, Geometry };
  What Written = What::Toolpaths;
  std::size_t Entities = 0;  // LINE and ARC entities in the file
};

// Writes the document's 2D toolpaths (their motions, links and lead moves
// included) to `file`; or, when the NC editor pane is shown, the moves of
// the program loaded in it (`editorMoves`, null while the pane is hidden).
// Throws AtomicFileError naming the file with the system's reason; the old
// file is then as it was.
DxfSaveResult SaveToolpathsDXFCommand(const Document& doc, const std::filesystem::path& file,
                                      const TTNEdEntityArray* editorMoves = nullptr);

// Writes every Region of the document to `file`. Throws as above.
DxfSaveResult SaveGeometryDXFCommand(const Document& doc, const std::filesystem::path& file);

}  // namespace tarnak
