// Memory for image pixels (image_io.h): huge pages for large blocks on Linux.

#include <cstdlib>
#include <new>

#include "app/image_io.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tessary::app {

namespace {

#if defined(__linux__)
constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Blocks from this size on are placed on huge-page boundaries (at most one
// huge page more than asked for, a small share of so large a block).
constexpr std::size_t kLargeBlock = std::size_t{8} << 20;
#endif

}  // namespace

void* AllocateImageMemory(std::size_t bytes) {
#if defined(__linux__)
  if (bytes >= kLargeBlock) {
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (!p) throw std::bad_alloc();
    // Only advice: where the system has no huge pages it keeps ordinary ones.
    (void)::madvise(p, rounded, MADV_HUGEPAGE);
    return p;
  }
#endif
  return ::operator new(bytes);
}

void FreeImageMemory(void* p, std::size_t bytes) noexcept {
#if defined(__linux__)
  if (bytes >= kLargeBlock) {
    std::free(p);
    return;
  }
#endif
  ::operator delete(p, bytes);
}

}  // namespace tessary::app
