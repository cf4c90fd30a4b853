#include "host/sdk/shade_context.h"

namespace tessary::host {

void ShadeContext::NewSample() {
  used_ = 0;
  next_ = 0;
}

bool ShadeContext::GetCache(Texmap* map, AColor& c) {
  ++lookups_;
  for (int i = 0; i < used_; ++i) {
    const Entry& e = cache_[static_cast<std::size_t>(i)];
    if (e.map == map) {
      ++hits_;
      c = e.color;
      return true;
    }
  }
  return false;
}

void ShadeContext::PutCache(Texmap* map, const AColor& c) {
  if (!map) return;
  ++stores_;
  for (int i = 0; i < used_; ++i) {
    Entry& e = cache_[static_cast<std::size_t>(i)];
    if (e.map == map) {
      e.color = c;
      return;
    }
  }
  if (used_ < kCacheSize) {
    cache_[static_cast<std::size_t>(used_++)] = Entry{map, c};
    return;
  }
  cache_[static_cast<std::size_t>(next_)] = Entry{map, c};
  next_ = (next_ + 1) % kCacheSize;
}

}  // namespace tessary::host
