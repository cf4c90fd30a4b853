#include "host/sdk/shade_span.h"

#include <algorithm>
#include <cstring>

namespace tessary::host {

namespace {

void CopySpan(SpanColors& to, const SpanColors& from, int n) {
  const auto bytes = static_cast<std::size_t>(n) * sizeof(float);
  std::memcpy(to.r, from.r, bytes);
  std::memcpy(to.g, from.g, bytes);
  std::memcpy(to.b, from.b, bytes);
  std::memcpy(to.a, from.a, bytes);
}

constexpr std::align_val_t kScratchAlignment{64};

}  // namespace

ShadeSpan::ShadeSpan(ShadeContext& sc) : sc_(sc) {}

ShadeSpan::~ShadeSpan() {
  for (const Block& b : scratch_) ::operator delete(b.data, kScratchAlignment);
}

void ShadeSpan::NewSpan(int n) {
  count_ = std::clamp(n, 0, kMaxSpan);
  used_ = 0;
  next_ = 0;
}

bool ShadeSpan::GetCache(Texmap* map, SpanColors& out) {
  ++lookups_;
  for (int i = 0; i < used_; ++i) {
    if (cacheMaps_[static_cast<std::size_t>(i)] == map) {
      ++hits_;
      CopySpan(out, cacheColors_[static_cast<std::size_t>(i)], count_);
      return true;
    }
  }
  return false;
}

void ShadeSpan::PutCache(Texmap* map, const SpanColors& c) {
  if (!map) return;
  ++stores_;
  int slot = -1;
  for (int i = 0; i < used_ && slot < 0; ++i) {
    if (cacheMaps_[static_cast<std::size_t>(i)] == map) slot = i;
  }
  if (slot < 0 && used_ < kCacheSize) slot = used_++;
  if (slot < 0) {
    slot = next_;
    next_ = (next_ + 1) % kCacheSize;
  }
  cacheMaps_[static_cast<std::size_t>(slot)] = map;
  CopySpan(cacheColors_[static_cast<std::size_t>(slot)], c, count_);
}

void* ShadeSpan::PushScratch(std::size_t bytes) {
  if (depth_ == scratch_.size()) {
    try {
      scratch_.emplace_back();
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  Block& b = scratch_[depth_];
  if (b.bytes < bytes) {
    void* fresh = nullptr;
    try {
      // The throwing form, so the block pairs with the delete below whatever
      // replacement of the global operators a program brings.
      fresh = ::operator new(bytes, kScratchAlignment);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    ::operator delete(b.data, kScratchAlignment);
    b = Block{fresh, bytes};
  }
  ++depth_;
  return b.data;
}

void ShadeSpan::PopScratch() {
  if (depth_ > 0) --depth_;
}

}  // namespace tessary::host
