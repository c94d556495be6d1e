// Whether a strategy command replaces the document's toolpaths or adds to
// them, so that contour, pocket and drill with their own tools can go into
// one NC program (the writer changes tools between them).
//
// The strategies themselves always start from an empty list (their first
// pass clears it, and their lead moves are added over the whole list): a
// batch that adds sets the earlier toolpaths aside while the strategy runs
// and puts them back in front of the new ones when it ends.
#pragma once

#include "shell/document.h"

namespace tarnak {

enum class ToolpathsMode {
  Replace,  // the new toolpaths replace the list (the menus' own behaviour)
  Append,   // they are added after the ones already there
};

class ToolpathBatch {
 public:
  ToolpathBatch(Document& doc, ToolpathsMode mode);
  // Puts the toolpaths set aside back should Finish not have run.
  ~ToolpathBatch();
  ToolpathBatch(const ToolpathBatch&) = delete;
  ToolpathBatch& operator=(const ToolpathBatch&) = delete;

  // Ends the batch: the earlier toolpaths (when adding) come back in front
  // of the new ones, and the document remembers whether its toolpaths hold
  // a cancelled run. Returns the number of toolpaths this batch made.
  int Finish(bool cancelled);

 private:
  Document& doc_;
  ToolpathsMode mode_;
  TTNOutRegionArray kept_;
  bool finished_ = false;
};

}  // namespace tarnak
