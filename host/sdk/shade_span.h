#pragma once
// A span of samples: what a renderer hands a texture map when it wants the
// colours of a run of samples (part of a row, say) at once. It gives each
// sample's texture coordinates, keeps a colour cache for the span (the span
// counterpart of the shading context's per-sample cache) and lends maps that
// evaluate sub-maps over the span their working memory. It also holds the
// per-sample shading context through which a map without a span evaluation
// of its own is evaluated one sample at a time. One span per render thread;
// nothing here locks.

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <vector>

#include "host/sdk/color.h"
#include "host/sdk/point3.h"

namespace tessary::host {

class ShadeContext;
class Texmap;

// The most samples one span holds.
inline constexpr int kMaxSpan = 256;

// The colours of a span as four planes (structure of arrays), so a loop over
// the span reads and writes whole vectors of one channel. Only the first n
// samples (the span's count) are meaningful.
struct SpanColors {
  alignas(64) float r[kMaxSpan];
  alignas(64) float g[kMaxSpan];
  alignas(64) float b[kMaxSpan];
  alignas(64) float a[kMaxSpan];

  AColor Get(int k) const { return AColor(r[k], g[k], b[k], a[k]); }
  void Set(int k, const AColor& c) {
    r[k] = c.r;
    g[k] = c.g;
    b[k] = c.b;
    a[k] = c.a;
  }
  void Fill(const AColor& c, int n) {
    for (int k = 0; k < n; ++k) Set(k, c);
  }
};

class ShadeSpan {
 public:
  static constexpr int kCacheSize = 8;

  // `sc` is the context the span's default evaluations move from sample to
  // sample; it must outlive the span.
  explicit ShadeSpan(ShadeContext& sc);
  ~ShadeSpan();
  ShadeSpan(const ShadeSpan&) = delete;
  ShadeSpan& operator=(const ShadeSpan&) = delete;

  // Starts a new span of n samples (clamped into 0 .. kMaxSpan): the colour
  // cache is emptied; the coordinates are set with SetUVW afterwards.
  void NewSpan(int n);
  void SetUVW(int k, const Point3& uvw) {
    u_[k] = uvw.x;
    v_[k] = uvw.y;
    w_[k] = uvw.z;
  }

  int Count() const { return count_; }
  // Texture coordinates of sample k (channel 1, the only one kept), and the
  // same as planes for loops over the span.
  Point3 UVW(int k) const { return Point3(u_[k], v_[k], w_[k]); }
  const float* U() const { return u_; }
  const float* V() const { return v_; }
  const float* W() const { return w_; }

  // The per-sample context (G-buffer ID, default evaluations).
  ShadeContext& Context() { return sc_; }

  // The span cache: as the per-sample cache, one entry per map holding its
  // colours at every sample of the span. The same policy (eight entries, a
  // second store for a map replaces the first, the oldest goes when full),
  // so a map finds here exactly what it would find at each of the span's
  // samples in the per-sample cache. Counts like the per-sample cache.
  bool GetCache(Texmap* map, SpanColors& out);
  void PutCache(Texmap* map, const SpanColors& c);
  std::uint64_t CacheLookups() const { return lookups_; }
  std::uint64_t CacheHits() const { return hits_; }
  std::uint64_t CacheStores() const { return stores_; }

  // Working memory for a map that evaluates sub-maps over the span: `bytes`
  // bytes aligned to 64, the caller's until the matching PopScratch. Nested
  // maps push in turn; the block of each depth is allocated once and kept,
  // so once every depth has been reached spans allocate nothing. Null when
  // no memory is left (nothing is pushed then).
  void* PushScratch(std::size_t bytes);
  void PopScratch();

 private:
  struct Block {
    void* data = nullptr;
    std::size_t bytes = 0;
  };

  ShadeContext& sc_;
  int count_ = 0;
  alignas(64) float u_[kMaxSpan] = {};
  alignas(64) float v_[kMaxSpan] = {};
  alignas(64) float w_[kMaxSpan] = {};
  std::array<Texmap*, kCacheSize> cacheMaps_{};
  std::array<SpanColors, kCacheSize> cacheColors_;
  int used_ = 0;
  int next_ = 0;
  std::uint64_t lookups_ = 0;
  std::uint64_t hits_ = 0;
  std::uint64_t stores_ = 0;
  std::vector<Block> scratch_;
  std::size_t depth_ = 0;
};

// Scratch of type T from a span for the life of the object (T trivial:
// its bytes are left as they were). Null when no memory was left.
template <class T>
class SpanScratch {
  static_assert(std::is_trivially_default_constructible_v<T> && std::is_trivially_destructible_v<T>);
  static_assert(alignof(T) <= 64);

 public:
  explicit SpanScratch(ShadeSpan& span) : span_(span) {
    void* p = span.PushScratch(sizeof(T));
    if (p) value_ = ::new (p) T;
  }
  ~SpanScratch() {
    if (value_) span_.PopScratch();
  }
  SpanScratch(const SpanScratch&) = delete;
  SpanScratch& operator=(const SpanScratch&) = delete;

  T* get() const { return value_; }

 private:
  ShadeSpan& span_;
  T* value_ = nullptr;
};

}  // namespace tessary::host
