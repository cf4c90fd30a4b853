#include "tests/support/allocation_counter.h"

#include <cstdlib>
#include <new>

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
  if (void* p = std::aligned_alloc(align, size)) return p;
  throw std::bad_alloc();
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
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop
