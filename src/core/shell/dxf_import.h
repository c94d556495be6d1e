// The import of a read DXF drawing into the document's Region list.
#pragma once

#include <memory>
#include <string>

#include "shell/document.h"

namespace tarnak {

class DXF_Object;

// The whole import of a read drawing into the document's Region list. The
// drawing is freed as soon as its entities are converted. Returns the
// status text ("12 Regions Created... 3 Open", "No Entities Loaded...").
std::string ImportDxfDrawing(Document& doc, std::unique_ptr<DXF_Object> drawing);

}  // namespace tarnak
