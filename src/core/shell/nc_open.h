// Opening an NC program into the document (the File menu's mnuOpenDnc).
//
// The program's text is read once and its moves made in the same pass, by
// the reading the options choose ("NCRead": by the post's words, or as
// standard G-code). The moves replace the document's NC moves; the
// Regions stay. What the window must enable is returned, not done here, so
// that the window and the command line decide what to show.
#pragma once

#include <string>

#include "import/nc/nc_reader.h"
#include "shell/document.h"

namespace tarnak {

struct NCOpenResult {
  bool Loaded = false;  // false: the document is as it was; the message was shown
  int Lines = 0;
  std::size_t Moves = 0;
  // The DXF save of toolpaths, the NC save and Close: at least one move,
  // and the loaded model is not an STL mesh.
  bool EnableSaves = false;
  std::string Hint;  // the post reading found no move in a program with motion words
};

// The text of the file (the editor's text) is handed back through `text`
// when it is not null, so the window loads what was read.
NCOpenResult OpenNCFileCommand(Document& doc, const std::string& path,
                               std::string* text = nullptr);

// The reading the options choose.
inline NCReading NCReadingOf(const ProgramOptions& o) {
  return o.Program.NCRead == 1 ? NCReading::Standard : NCReading::Post;
}

}  // namespace tarnak
