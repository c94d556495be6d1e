#include "base/allocator.h"

#include <cstdlib>  // defines __GLIBC__ where it applies

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tarnak {

void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  // Either setting turns off the library's own growing of both thresholds,
  // so both are given.
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
}

}  // namespace tarnak
