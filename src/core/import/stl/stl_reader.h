// Readers for STL models, binary and text, and the test that tells them
// apart.
//
// Binary: an 80-byte header, a 32-bit facet count, then 50-byte facets
// (normal, three vertices as little-endian 32-bit floats, a 2-byte
// attribute). Files in the wild carry counts that lie, so facets are read
// until the end of the file and the count is only used by the detection.
//
// Text: "facet normal nx ny nz" / "outer loop" / three "vertex x y z"
// lines / "endloop" / "endfacet", keywords in any case, separated by any
// blanks. Numbers always take '.' as the decimal point, whatever separator
// the rest of the program uses; one that does not parse stops the reading
// with a message naming the file and the line.
//
// Coordinates that are not finite (NaN, infinities, values beyond the
// range of a float) are refused, since every later step (box, slicing,
// toolpaths) would silently go wrong with them.
//
// Both readers look for Escape about 20 times per file through the cancel
// token (which lets pending events run, then reads its flag), as the other
// long loops do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "import/stl/stl_triangle.h"
#include "base/cancel.h"
#include "base/user_interface.h"

namespace tarnak {

// A file that cannot be opened or read, or whose contents are refused; the
// text names the file and, for text files, the line.
class StlReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where the bytes come from: a file or a block of memory.
class StlByteSource {
 public:
  virtual ~StlByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Copies up to `count` bytes starting at `offset`; fewer only at the end.
  virtual size_t ReadAt(uint64_t offset, char* buffer, size_t count) = 0;
};

// Throws StlReadError when the file cannot be opened.
std::unique_ptr<StlByteSource> OpenStlFileSource(const std::string& path);
std::unique_ptr<StlByteSource> StlMemorySource(std::string_view bytes);

// How a reader sees Escape and shows its progress: `Token->Poll()` lets
// events run and reads the flag; `Ui` moves the progress bar. Either may
// be null (no progress, never cancelled).
struct StlCancel {
  UserInterface* Ui = nullptr;
  const CancelToken* Token = nullptr;
};

// Binary when the size is exactly 84 + 50 x the header's facet count
// (whatever the header says), otherwise unless one of the first five lines
// contains "facet normal".
bool IsBinaryStl(StlByteSource& source);

// Both readers replace `triangles` with the file's facets, vertices sorted
// by Z. They return false when cancelled (the list is then emptied) and
// throw StlReadError, naming the file as `name`, when the file holds no
// facet or a refused value; the list is then emptied too.
bool ReadBinaryStl(StlByteSource& source, const std::string& name, TTNTriangleArray& triangles,
                   const StlCancel& cancel = {});
bool ReadTextStl(StlByteSource& source, const std::string& name, TTNTriangleArray& triangles,
                 const StlCancel& cancel = {});

}  // namespace tarnak
