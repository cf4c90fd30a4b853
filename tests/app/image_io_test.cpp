#include "app/image_io.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/bitmap_tex.h"
#include "app/map_graph.h"
#include "tests/app/test_util.h"

namespace tessary::app::testing {
namespace {

TEST(ImageIo, QuantiseClampsRoundsAndZeroesNaN) {
  const struct {
    float v;
    std::uint32_t q8;
    std::uint32_t q16;
  } cases[] = {{0.0f, 0, 0},       {-0.5f, 0, 0},     {NAN, 0, 0},           {1.0f, 255, 65535},
               {7.0f, 255, 65535}, {INFINITY, 255, 65535}, {0.5f, 128, 32768}, {1.0f / 255.0f, 1, 257},
               {0.4980392f, 127, 32639}};
  for (const auto& c : cases) {
    EXPECT_EQ(Quantise(c.v, 255), c.q8) << c.v;
    EXPECT_EQ(Quantise(c.v, 65535), c.q16) << c.v;
  }
}

Image Gradient4x2() {
  Image img;
  img.width = 4;
  img.height = 2;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      for (float v : {static_cast<float>(x) * 0.25f, static_cast<float>(y), -1.5f, 1.0f + static_cast<float>(x)})
        img.rgba.push_back(v);
  return img;
}

TEST(ImageIo, FloatFormatsKeepValuesAndIntegerFormatsQuantise) {
  ScratchDir dir("imageio");
  const Image src = Gradient4x2();
  const struct {
    const char* name;
    ImageFormat format;
    bool exact;
  } cases[] = {{"a.exr", ImageFormat::Exr, true},
               {"a.tif", ImageFormat::Tiff, true},
               {"a.png", ImageFormat::Png16, false},
               {"b.png", ImageFormat::Png8, false}};
  for (const auto& c : cases) {
    std::string error;
    ASSERT_TRUE(WriteImage((dir / c.name).string(), c.format, src, error)) << c.name << ": " << error;
    Image back;
    ASSERT_TRUE(ReadImage((dir / c.name).string(), back, error)) << error;
    ASSERT_EQ(back.width, 4);
    ASSERT_EQ(back.height, 2);
    for (std::size_t i = 0; i < src.rgba.size(); ++i) {
      const float v = src.rgba[i];
      const float want = c.exact ? v : (v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v));
      const int x = static_cast<int>((i / 4) % 4), y = static_cast<int>(i / 16);
      // The straight colour at the pixel's centre (EXR stores it premultiplied).
      const host::AColor got = SampleBilinear(back, (static_cast<float>(x) + 0.5f) / 4.0f,
                                              1.0f - (static_cast<float>(y) + 0.5f) / 2.0f);
      const float value[4] = {got.r, got.g, got.b, got.a};
      EXPECT_NEAR(value[i % 4], want, c.exact ? 0.0f : 0.5f / 255.0f + 1e-6f) << c.name << " value " << i;
    }
    // 8-bit files are kept as their bytes.
    EXPECT_EQ(!back.rgba8.empty(), c.format == ImageFormat::Png8) << c.name;
  }
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"a.exr", "a.png", "a.tif", "b.png"}));
}

TEST(ImageIo, AbandonedWriterLeavesNothingBehind) {
  ScratchDir dir("abandon");
  {
    ImageWriter w;
    std::string error;
    ASSERT_TRUE(w.Open((dir / "x.png").string(), ImageFormat::Png8, 4, 4, error)) << error;
    EXPECT_EQ(dir.Files().size(), 1u) << "the temporary file exists while writing";
  }
  EXPECT_TRUE(dir.Files().empty());
}

TEST(BitmapSampling, BilinearWithWrapAroundAndVUpwards) {
  const Image img = Gradient4x2();  // red: 0, .25, .5, .75 across; green: 0 top row, 1 bottom row
  const struct {
    float u, v, r, g;
  } cases[] = {
      {0.125f, 0.75f, 0.0f, 0.0f},    // centre of the top-left pixel
      {0.125f, 0.25f, 0.0f, 1.0f},    // v upwards: the bottom row
      {0.25f, 0.75f, 0.125f, 0.0f},   // halfway between two pixel centres
      {0.0f, 0.75f, 0.375f, 0.0f},    // left edge mixes the last column in (wrap-around)
      {1.125f, -0.75f, 0.0f, 1.0f},   // coordinates outside [0, 1) repeat
      {-0.875f, 1.75f, 0.0f, 0.0f},
      {0.125f, 0.5f, 0.0f, 0.5f},     // between the rows
      {0.125f, 1.0f, 0.0f, 0.5f},     // top edge mixes the bottom row in
  };
  for (const auto& c : cases) {
    const host::AColor s = SampleBilinear(img, c.u, c.v);
    EXPECT_FLOAT_EQ(s.r, c.r) << c.u << "," << c.v;
    EXPECT_FLOAT_EQ(s.g, c.g) << c.u << "," << c.v;
  }
  const host::AColor n = SampleBilinear(img, NAN, INFINITY);
  EXPECT_TRUE(std::isfinite(n.r) && std::isfinite(n.g)) << "non-finite coordinates read a pixel";
}

}  // namespace
}  // namespace tessary::app::testing
