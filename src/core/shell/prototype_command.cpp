#include "shell/prototype_command.h"

#include "base/numbers.h"

namespace tarnak {

std::string GougeStatusText(const PrototypeResult& result) {
  if (!result.GougeMeasured || !(result.GougeDepth > 0.0)) return "No gouge";
  return "Gouge " + FormatNumber("%.4f", result.GougeDepth) + " at X" +
         FormatNumber("%.3f", result.GougeX) + " Y" + FormatNumber("%.3f", result.GougeY);
}

PrototypeResult PrototypeCommand(Document& doc, const PrototypeRunOptions& options) {
  (void)options;
  PrototypeResult result;
  doc.ui().SetStatus("Ready...");
  return result;
}

}  // namespace tarnak
