// The Gerber open command: import, extents, travel order, and what the
// window must enable afterwards.
#pragma once

#include <string>

#include "shell/commands.h"
#include "shell/document.h"

namespace tarnak {

inline constexpr const char* kGerberFilter =
    "Gerber Files (*.Ger, *.Gbr, *.Gbl)|*.GER;*.GBR;*.GBL|GER Files (*.Ger)|*.GER|"
    "GBR Files (*.Gbr)|*.GBR|GBL Files (*.Gbl)|*.GBL";

struct GerberOpenResult {
  OpenResult Status = OpenResult::Failed;
  // Regions were made: the window enables the view tools, the selection
  // menu and Close, shows the 2D edit menu and hides the STL one; without
  // them Close is disabled.
  bool HasRegions = false;
};

// Imports a Gerber file into the document with the options' default
// direction and tool offset. The Regions are replaced only when the import
// traced the file; then the extents are recomputed, the Regions put in
// nearest travel order and the toolpaths of the old drawing dropped. A
// stopped, refused or cancelled import leaves the document as it was.
GerberOpenResult OpenGerber1Click(Document& doc, const std::string& path);

// True for the extensions of Gerber artwork and drill files that board
// editors write (.gbr, .ger, .gbl, .gtl, .gbx, .grb, .gko, .drl, .xln, ...).
bool IsBoardFileName(const std::string& path);

// Opens a Gerber or a drill file with the reader its extension or content
// calls for (a drill file: .drl/.xln, or a first M48 line), as
// OpenGerber1Click does.
GerberOpenResult OpenBoardFile(Document& doc, const std::string& path);

}  // namespace tarnak
