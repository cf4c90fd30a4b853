#include "tests/support/allocation_counter.h"

#include <cstdlib>
#include <new>

#ifdef _WIN32
#include <malloc.h>
#endif

namespace tessary::testing {
namespace {
thread_local int* active = nullptr;
}  // namespace

AllocationCounter::AllocationCounter() { active = &count_; }
AllocationCounter::~AllocationCounter() { active = nullptr; }

}  // namespace tessary::testing

namespace {
void* Allocate(std::size_t n) {
  if (int* c = tessary::testing::active) ++*c;
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void* AllocateAligned(std::size_t n, std::align_val_t al) {
  if (int* c = tessary::testing::active) ++*c;
  const auto align = static_cast<std::size_t>(al);
  const std::size_t size = n == 0 ? align : (n + align - 1) / align * align;
#ifdef _WIN32
  // The Windows C runtime has no aligned_alloc; its aligned blocks are
  // freed with _aligned_free (FreeAligned).
  if (void* p = _aligned_malloc(size, align)) return p;
#else
  if (void* p = std::aligned_alloc(align, size)) return p;
#endif
  throw std::bad_alloc();
}
void FreeAligned(void* p) noexcept {
#ifdef _WIN32
  _aligned_free(p);
#else
  std::free(p);
#endif
}
}  // namespace

// The replaced operators pair malloc with free; GCC cannot see that the
// replacement new is the one in use and warns about the pair.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void* operator new(std::size_t n, std::align_val_t al) { return AllocateAligned(n, al); }
void* operator new[](std::size_t n, std::align_val_t al) { return AllocateAligned(n, al); }
// The non-throwing forms too: left to the runtime (or a sanitizer's), their
// blocks would come back through the replaced deletes above.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new(std::size_t n, std::align_val_t al, const std::nothrow_t&) noexcept {
  try {
    return AllocateAligned(n, al);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, std::align_val_t al, const std::nothrow_t&) noexcept {
  try {
    return AllocateAligned(n, al);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { FreeAligned(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { FreeAligned(p); }
#pragma GCC diagnostic pop
