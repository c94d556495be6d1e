// Feeds arbitrary bytes to the text STL reader: it may not crash, hang or
// read out of bounds, and whatever it accepts keeps the triangle
// invariants through the transforms and the sort.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "stl_fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tarnak::fuzz::ReadAndCheck(bytes, [](tarnak::StlByteSource& s, tarnak::TTNTriangleArray& t) {
    return tarnak::ReadTextStl(s, "fuzz.stl", t);
  });
  return 0;
}
