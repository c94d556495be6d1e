#include "shell/nc_open.h"

#include <fstream>
#include <sstream>

#include "base/errors.h"

namespace tarnak {

NCOpenResult OpenNCFileCommand(Document& doc, const std::string& path, std::string* text) {
  NCOpenResult r;
  UserInterface& ui = doc.ui();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ui.Message("Cannot open file " + path, "NC file", MsgButtons::Ok, MsgIcon::Error);
    return r;
  }
  std::ostringstream all;
  all << in.rdbuf();
  std::string content = std::move(all).str();
  const NCReading reading = NCReadingOf(doc.Options);
  NCReadResult read;
  try {
    read = ReadNCText(content, reading, doc.PostDefinition, doc.Options.Editor);
  } catch (const NCReadError& e) {
    ui.Message(std::string(e.what()) + " in " + path, "NC file", MsgButtons::Ok, MsgIcon::Error);
    return r;
  }
  r.Loaded = true;
  r.Lines = read.Lines;
  r.Moves = read.MoveCount();
  r.EnableSaves = r.Moves > 0 && !doc.StlMode;
  r.Hint = NCReadingHint(read, reading, doc.PostDefinition);
  doc.NCMoves = std::move(read.Moves);
  doc.NCExtents = read.Extents;
  doc.NCFileName = path;
  if (text) *text = std::move(content);
  for (const std::string& note : read.Notes) ui.SetHint(note);
  ui.SetStatus(r.Hint.empty() ? "Ready..." : r.Hint);
  ui.SetStatus2("Lines " + std::to_string(r.Lines));
  return r;
}

}  // namespace tarnak
