#include "cli_dxf.h"

#include <exception>

#include "shell/dxf_export_commands.h"

namespace tarnak::cli {

bool WriteDxfOption(const Document& doc, const std::string& file, DxfContent content,
                    std::ostream& err) {
  if (file.empty()) return true;
  try {
    if (content == DxfContent::Geometry)
      SaveGeometryDXFCommand(doc, file);
    else if (content == DxfContent::NcMoves)
      SaveToolpathsDXFCommand(doc, file, &doc.NCMoves);
    else
      SaveToolpathsDXFCommand(doc, file);
  } catch (const std::exception& e) {
    err << "tarnak-cli: " << e.what() << '\n';
    return false;
  }
  return true;
}

}  // namespace tarnak::cli
