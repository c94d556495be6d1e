// The tool bar's pictures, drawn at run time so that the program carries no
// image files.
#pragma once

#include <QIcon>

namespace tarnak::gui {

enum class ToolGlyph {
  OpenDrawing,
  OpenNc,
  SaveNc,
  SaveDxf,
  ZoomPrevious,
  ZoomIn,
  ZoomOut,
  ZoomWindow,
  ZoomAll,
  ZoomSelected,
  View3D,
  ViewAll,
  ViewSelected,
  ViewToolpaths,
  Contour,
  Pocket,
  Drill,
  CircuitBoard,
  Prototype,
};

QIcon ToolIcon(ToolGlyph glyph);

}  // namespace tarnak::gui
