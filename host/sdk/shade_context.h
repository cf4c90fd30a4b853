#pragma once
// The shading context: what the renderer knows at one sample, plus a small
// per-sample colour cache that maps use to avoid evaluating the same map
// twice at one sample. One context per render thread; nothing here locks.

#include <array>
#include <cstdint>

#include "host/sdk/color.h"
#include "host/sdk/maxtypes.h"
#include "host/sdk/point3.h"

namespace tessary::host {

class Texmap;

class ShadeContext {
 public:
  static constexpr int kCacheSize = 8;

  ShadeContext() = default;
  virtual ~ShadeContext() = default;

  // Texture coordinates at the sample (channel 1, the only one kept).
  virtual Point3 UVW(int /*channel*/ = 1) { return uvw_; }
  void SetUVW(const Point3& uvw) { uvw_ = uvw; }

  // Starts a new sample: the colour cache is emptied.
  void NewSample();
  // Moves the sample: new UVW and an empty cache.
  void MoveTo(const Point3& uvw) {
    SetUVW(uvw);
    NewSample();
  }

  // The colour map stored at this sample, when there is one. Counts a
  // lookup, and a hit when found.
  virtual bool GetCache(Texmap* map, AColor& c);
  // Stores map's colour for this sample. A second store for the same map
  // replaces the first; when the cache is full the oldest entry goes.
  // Never allocates.
  virtual void PutCache(Texmap* map, const AColor& c);

  // The G-buffer ID of the object being shaded, set by the maps.
  virtual void SetGBufferID(int id) { gbufferID_ = id; }
  int GBufferID() const { return gbufferID_; }

  // Counters since construction or ResetCounters.
  std::uint64_t CacheLookups() const { return lookups_; }
  std::uint64_t CacheHits() const { return hits_; }
  std::uint64_t CacheStores() const { return stores_; }
  void ResetCounters() { lookups_ = hits_ = stores_ = 0; }

 private:
  struct Entry {
    Texmap* map = nullptr;
    AColor color;
  };
  std::array<Entry, kCacheSize> cache_{};
  int used_ = 0;  // entries in use
  int next_ = 0;  // slot replaced when full
  Point3 uvw_;
  int gbufferID_ = 0;
  std::uint64_t lookups_ = 0;
  std::uint64_t hits_ = 0;
  std::uint64_t stores_ = 0;
};

}  // namespace tessary::host
