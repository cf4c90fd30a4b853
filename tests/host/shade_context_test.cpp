#include "host/sdk/shade_context.h"

#include <gtest/gtest.h>

#include "tests/host/test_objects.h"

namespace tessary::host {
namespace {

using testing::ColorMap;

TEST(ShadeContextCache, HitReturnsTheColourStoredForThatMapAtThisSample) {
  ColorMap a(AColor(1, 0, 0)), b(AColor(0, 1, 0));
  ShadeContext sc;
  AColor c(9, 9, 9, 9);
  EXPECT_FALSE(sc.GetCache(&a, c));
  EXPECT_EQ(c, AColor(9, 9, 9, 9));  // a miss leaves the colour alone
  sc.PutCache(&a, AColor(0.25f, 0.5f, 0.75f, 1.0f));
  sc.PutCache(&b, AColor(0.1f, 0.2f, 0.3f, 0.4f));
  ASSERT_TRUE(sc.GetCache(&a, c));
  EXPECT_EQ(c, AColor(0.25f, 0.5f, 0.75f, 1.0f));
  ASSERT_TRUE(sc.GetCache(&b, c));
  EXPECT_EQ(c, AColor(0.1f, 0.2f, 0.3f, 0.4f));
  sc.PutCache(&a, AColor(1, 1, 1, 1));  // replaces, does not add
  ASSERT_TRUE(sc.GetCache(&a, c));
  EXPECT_EQ(c, AColor(1, 1, 1, 1));
  EXPECT_EQ(sc.CacheLookups(), 4u);
  EXPECT_EQ(sc.CacheHits(), 3u);
  EXPECT_EQ(sc.CacheStores(), 3u);
}

TEST(ShadeContextCache, MovingTheSampleEmptiesTheCache) {
  ColorMap a(AColor(1, 0, 0));
  ShadeContext sc;
  AColor c;
  sc.PutCache(&a, AColor(1, 1, 1, 1));
  sc.MoveTo(Point3(0.5f, 0.25f, 0.0f));
  EXPECT_FALSE(sc.GetCache(&a, c));
  EXPECT_EQ(sc.UVW(), Point3(0.5f, 0.25f, 0.0f));
  sc.PutCache(&a, AColor(1, 1, 1, 1));
  sc.NewSample();
  EXPECT_FALSE(sc.GetCache(&a, c));
}

TEST(ShadeContextCache, FullCacheDropsTheOldestEntry) {
  constexpr int n = ShadeContext::kCacheSize + 1;
  std::vector<std::unique_ptr<ColorMap>> maps;
  for (int i = 0; i < n; ++i) maps.push_back(std::make_unique<ColorMap>(AColor()));
  ShadeContext sc;
  for (int i = 0; i < n; ++i) sc.PutCache(maps[static_cast<std::size_t>(i)].get(), AColor(static_cast<float>(i), 0, 0, 1));
  AColor c;
  EXPECT_FALSE(sc.GetCache(maps[0].get(), c));
  for (int i = 1; i < n; ++i) {
    ASSERT_TRUE(sc.GetCache(maps[static_cast<std::size_t>(i)].get(), c)) << i;
    EXPECT_EQ(c.r, static_cast<float>(i));
  }
}

TEST(ShadeContext, RecordsTheGBufferIDAndIgnoresNullMaps) {
  ShadeContext sc;
  sc.SetGBufferID(7);
  EXPECT_EQ(sc.GBufferID(), 7);
  sc.PutCache(nullptr, AColor(1, 1, 1, 1));
  AColor c;
  EXPECT_FALSE(sc.GetCache(nullptr, c));
  EXPECT_EQ(sc.CacheStores(), 0u);
}

}  // namespace
}  // namespace tessary::host
