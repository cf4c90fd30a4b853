#include "host/sdk/shade_span.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "host/sdk/shade_context.h"
#include "tests/host/test_objects.h"

namespace tessary::host {
namespace {

using testing::ColorMap;

// A map whose colour is its sample's coordinates, and which remembers each
// colour in the context's cache: a colour left over from another sample
// would come back from the cache (alpha 2) instead of being computed.
class CoordinateMap : public ColorMap {
 public:
  CoordinateMap() : ColorMap(AColor()) {}
  AColor EvalColor(ShadeContext& sc) override {
    AColor c;
    if (sc.GetCache(this, c)) return AColor(c.r, c.g, c.b, 2.0f);
    const Point3 p = sc.UVW();
    c = AColor(p.x, p.y, p.z, 1.0f);
    sc.PutCache(this, c);
    sc.SetGBufferID(static_cast<int>(p.x));
    return c;
  }
};

TEST(ShadeSpan, ByDefaultEachSampleIsEvaluatedAtItsCoordinatesWithAnEmptyCache) {
  CoordinateMap map;
  ShadeContext sc;
  ShadeSpan span(sc);
  span.NewSpan(5);
  for (int k = 0; k < 5; ++k) span.SetUVW(k, Point3(float(k), 0.5f * float(k), -1.0f));
  SpanColors out;
  out.Fill(AColor(7, 7, 7, 7), kMaxSpan);
  map.EvalColorSpan(span, out);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(out.Get(k), AColor(float(k), 0.5f * float(k), -1.0f, 1.0f)) << k;
  EXPECT_EQ(out.Get(5), AColor(7, 7, 7, 7));  // beyond the span: untouched
  EXPECT_EQ(sc.GBufferID(), 4);               // as the per-sample path leaves it
  EXPECT_EQ(sc.CacheHits(), 0u);
}

TEST(ShadeSpan, CountIsClampedToTheSpanLimit) {
  ShadeContext sc;
  ShadeSpan span(sc);
  for (const auto& [asked, kept] : {std::pair{-3, 0}, {0, 0}, {1, 1}, {kMaxSpan, kMaxSpan}, {kMaxSpan + 1, kMaxSpan}}) {
    span.NewSpan(asked);
    EXPECT_EQ(span.Count(), kept) << asked;
  }
}

// The span cache must decide hit or miss exactly as the per-sample cache
// does for the same stores and lookups, eviction included, so a map that
// uses it evaluates its sub-maps exactly when it would per sample.
TEST(ShadeSpan, CacheHitsAndMissesAsThePerSampleCache) {
  constexpr int kMaps = ShadeSpan::kCacheSize + 4;
  std::vector<std::unique_ptr<ColorMap>> maps;
  for (int i = 0; i < kMaps; ++i) maps.push_back(std::make_unique<ColorMap>(AColor()));
  ShadeContext perSample;
  ShadeContext sc;
  ShadeSpan span(sc);
  span.NewSpan(3);
  std::mt19937 rng(12);
  SpanColors colors, got;
  for (int step = 0; step < 2000; ++step) {
    Texmap* m = maps[rng() % kMaps].get();
    const float value = float(step);
    if (rng() % 2) {
      perSample.PutCache(m, AColor(value, 0, 0, 1));
      colors.Fill(AColor(value, 0, 0, 1), 3);
      colors.r[2] = -value;
      span.PutCache(m, colors);
    } else {
      AColor want;
      const bool hit = perSample.GetCache(m, want);
      ASSERT_EQ(span.GetCache(m, got), hit) << "step " << step;
      if (hit) {
        EXPECT_EQ(got.Get(0), want);
        EXPECT_EQ(got.r[2], -want.r);
      }
    }
    if (step % 500 == 499) {
      perSample.NewSample();
      span.NewSpan(3);
    }
  }
  EXPECT_EQ(span.CacheLookups(), perSample.CacheLookups());
  EXPECT_EQ(span.CacheHits(), perSample.CacheHits());
  EXPECT_EQ(span.CacheStores(), perSample.CacheStores());
  EXPECT_GT(span.CacheHits(), 0u);
}

TEST(ShadeSpan, ScratchIsOneAlignedBlockPerDepthKeptForTheNextSpan) {
  ShadeContext sc;
  ShadeSpan span(sc);
  std::vector<void*> first;
  {
    SpanScratch<SpanColors> a(span);
    SpanScratch<SpanColors> b(span);
    SpanScratch<SpanColors> c(span);
    for (const auto* s : {&a, &b, &c}) {
      ASSERT_NE(s->get(), nullptr);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(s->get()) % 64, 0u);
      first.push_back(s->get());
    }
    EXPECT_NE(first[0], first[1]);
    EXPECT_NE(first[1], first[2]);
    c.get()->r[kMaxSpan - 1] = 1.0f;  // the whole block is the caller's
  }
  span.NewSpan(10);
  SpanScratch<SpanColors> a(span);
  SpanScratch<SpanColors> b(span);
  EXPECT_EQ(a.get(), first[0]);
  EXPECT_EQ(b.get(), first[1]);
}

}  // namespace
}  // namespace tessary::host
