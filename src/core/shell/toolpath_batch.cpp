#include "shell/toolpath_batch.h"

#include <iterator>
#include <utility>

namespace tarnak {

ToolpathBatch::ToolpathBatch(Document& doc, ToolpathsMode mode) : doc_(doc), mode_(mode) {
  if (mode_ != ToolpathsMode::Append) return;
  kept_ = std::move(doc_.Toolpaths);
  ClearToolpaths(doc_.Toolpaths);
}

ToolpathBatch::~ToolpathBatch() {
  if (!finished_) Finish(doc_.Cancel.stopped());
}

int ToolpathBatch::Finish(bool cancelled) {
  if (finished_) return 0;
  finished_ = true;
  const int made = ToolpathCount(doc_.Toolpaths);
  if (mode_ == ToolpathsMode::Append) {
    TTNOutRegionArray added = std::move(doc_.Toolpaths);
    doc_.Toolpaths = std::move(kept_);
    if (doc_.Toolpaths.empty()) doc_.Toolpaths.resize(1);
    if (added.size() > 1)
      doc_.Toolpaths.insert(doc_.Toolpaths.end(), std::make_move_iterator(added.begin() + 1),
                            std::make_move_iterator(added.end()));
    doc_.ToolpathsCancelled = doc_.ToolpathsCancelled || cancelled;
  } else {
    doc_.ToolpathsCancelled = cancelled;
  }
  return made;
}

}  // namespace tarnak
