// The material editor's sample: where each texture coordinate lands, how
// colours become bytes, and that the map is updated first.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/runtime/editor/preview.h"
#include "host/sdk/mtl.h"
#include "host/sdk/shade_context.h"

namespace tessary::host::editor {
namespace {

// A map whose colour is its texture coordinate: red = u, green = v.
class UvMap : public Texmap {
 public:
  AColor EvalColor(ShadeContext& sc) override {
    const Point3 uvw = sc.UVW();
    return {uvw.x, uvw.y, blue, 1.0f};
  }
  Point3 EvalNormalPerturb(ShadeContext&) override { return {}; }
  void Update(TimeValue t, Interval& /*valid*/) override {
    ++updates;
    updatedAt = t;
  }
  float blue = 0.0f;
  int updates = 0;
  TimeValue updatedAt = -1;
};

// A map of one colour.
class FlatMap : public Texmap {
 public:
  explicit FlatMap(AColor c) : color(c) {}
  AColor EvalColor(ShadeContext&) override { return color; }
  Point3 EvalNormalPerturb(ShadeContext&) override { return {}; }
  AColor color;
};

TEST(Preview, VGrowsUpwardsAndEachPixelIsTheCentreOfItsCell) {
  UvMap map;
  const PreviewImage image = RenderPreview(map, 160, 5, 3);
  ASSERT_EQ(image.width, 5);
  ASSERT_EQ(image.height, 3);
  EXPECT_EQ(map.updates, 1);
  EXPECT_EQ(map.updatedAt, 160);
  // Rows of 15 bytes padded to 16.
  EXPECT_EQ(image.bgr.size(), 48u);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      const float u = (static_cast<float>(x) + 0.5f) / 5.0f;
      const float v = 1.0f - (static_cast<float>(y) + 0.5f) / 3.0f;
      const auto r = static_cast<std::uint32_t>(u * 255.0f + 0.5f);
      const auto g = static_cast<std::uint32_t>(v * 255.0f + 0.5f);
      EXPECT_EQ(image.Pixel(x, y), (r << 16) | (g << 8)) << x << "," << y;
    }
  }
  EXPECT_EQ(image.bgr[15], 0) << "padding";
  EXPECT_EQ(image.Pixel(5, 0), 0u);
  EXPECT_EQ(image.Pixel(0, -1), 0u);
}

TEST(Preview, ChannelsAreClampedAndNotANumberIsBlack) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    AColor color;
    std::uint32_t pixel;
  };
  // 1/255 rounds to 1; 0.00195 * 255 + 0.5 is below 1; 0.99805 * 255 + 0.5 reaches 255.
  const Case cases[] = {
      {{-0.5f, 1.5f, 0.5f, 1.0f}, 0x0000FF80},
      {{nan, inf, -inf, 1.0f}, 0x0000FF00},
      {{1.0f / 255.0f, 0.00195f, 0.99805f, 0.0f}, 0x000100FF},
  };
  for (const Case& c : cases) {
    FlatMap map(c.color);
    const PreviewImage image = RenderPreview(map, 0, 2, 2);
    EXPECT_EQ(image.Pixel(1, 1), c.pixel) << std::hex << c.pixel;
  }
}

TEST(Preview, SizesOutsideTheLimitsGiveNoImage) {
  UvMap map;
  for (auto [w, h] : {std::pair{0, 4}, std::pair{4, 0}, std::pair{-1, 4}, std::pair{1025, 4}}) {
    const PreviewImage image = RenderPreview(map, 0, w, h);
    EXPECT_EQ(image.width, 0);
    EXPECT_TRUE(image.bgr.empty());
  }
  EXPECT_EQ(map.updates, 0);
}

TEST(Preview, DigestFollowsThePixels) {
  UvMap map;
  const std::uint32_t first = PreviewDigest(RenderPreview(map, 0, 8, 8));
  EXPECT_EQ(PreviewDigest(RenderPreview(map, 0, 8, 8)), first);
  map.blue = 0.5f;
  EXPECT_NE(PreviewDigest(RenderPreview(map, 0, 8, 8)), first);
  map.blue = 0.0f;
  EXPECT_NE(PreviewDigest(RenderPreview(map, 0, 4, 16)), PreviewDigest(RenderPreview(map, 0, 16, 4)));
}

}  // namespace
}  // namespace tessary::host::editor
