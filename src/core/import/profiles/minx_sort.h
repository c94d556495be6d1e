// The in-place quicksort on MinX that orders loose Elements and Regions
// before chaining, shared with the text tail's shortcut for glyph outlines
// (import/text/outline_chaining.h), which must reproduce its every step.
//
// The order of equal keys follows from the partitioning and is part of the
// result (it picks the first Element of every chain), so the partition step
// must stay exactly like this.
#pragma once

#include <utility>
#include <vector>

#include "base/cancel.h"

namespace tarnak {

// One partition of a[first..last] around the MinX of the middle entry. The
// scans start at i and j (first and last, or nearer the middle when every
// entry skipped is known to lie on its side of the pivot: the scans would
// pass over them without a swap). On return a[first..j] <= pivot <=
// a[i..last].
template <typename T>
inline void PartitionMinX(std::vector<T>& a, int first, int last, int& i, int& j) {
  const double pivot = a[static_cast<size_t>((first + last) / 2)].MinX;
  do {
    while (i < last && a[static_cast<size_t>(i)].MinX < pivot) ++i;
    while (j > first && pivot < a[static_cast<size_t>(j)].MinX) --j;
    if (i <= j) {
      if (i != j) std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(j)]);
      ++i;
      --j;
    }
  } while (i <= j);
}

// Ascending on MinX with the middle entry as pivot; recursing into the
// smaller part keeps the stack shallow on hostile input. Returns at once
// when the token is stopped.
template <typename T>
void QuickSortMinX(const CancelToken& cancel, std::vector<T>& a, int first, int last) {
  while (first < last) {
    if (cancel.stopped()) return;
    int i = first, j = last;
    PartitionMinX(a, first, last, i, j);
    if (j - first < last - i) {
      if (first < j) QuickSortMinX(cancel, a, first, j);
      first = i;
    } else {
      if (i < last) QuickSortMinX(cancel, a, i, last);
      last = j;
    }
  }
}

}  // namespace tarnak
