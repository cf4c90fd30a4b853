// Memory for image pixels (image_io.h): huge pages for large blocks on Linux;
// and the check of an image's float values that the span sampler relies on.

#include <cstdint>
#include <cstdlib>
#include <cstring>
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

bool PlainValues(const float* values, std::size_t count) {
  // On the bits, so that the loop has no branch: an exponent of all ones is
  // infinity or NaN; the sign bit alone is -0.
  std::uint32_t bad = 0;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t u;
    std::memcpy(&u, values + i, sizeof(u));
    bad |= static_cast<std::uint32_t>((u & 0x7F800000u) == 0x7F800000u) | static_cast<std::uint32_t>(u == 0x80000000u);
  }
  return bad == 0;
}

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
  (void)bytes;  // only large blocks on Linux come from elsewhere
#if defined(__linux__)
  if (bytes >= kLargeBlock) {
    std::free(p);
    return;
  }
#endif
  ::operator delete(p);
}

}  // namespace tessary::app
