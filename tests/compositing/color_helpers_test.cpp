#include "compositing/color_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "tests/support/float_bits.h"

namespace tessary {
namespace {

using testing::ColorBitsEq;
using testing::ColorNear;

TEST(Intensity, UsesTheRoundedThirdInTheStatedOrder) {
  EXPECT_EQ(Intensity(AColor(1, 1, 1, 0.25f)), 1.0f);
  // ((b + g) + r) * 0.33333334f, not a division by 3 and not (r + g + b).
  const float r = 0.3f, g = 0.6f, b = 0.9f;
  const float want = ((b + g) + r) * 0.33333334f;
  EXPECT_TRUE(testing::SameBits(Intensity(AColor(r, g, b, 7.0f)), want));
  EXPECT_NEAR(Intensity(AColor(r, g, b)), 0.6f, 1e-6f);
  EXPECT_EQ(Intensity(AColor(0.2f, 0.4f, 0.9f)), ((0.9f + 0.4f) + 0.2f) * 0.33333334f);
}

struct HsvCase {
  const char* name;
  AColor rgb;
  AColor hsv;
};

TEST(RGBToHSV, KnownColours) {
  const HsvCase cases[] = {
      {"black", {0, 0, 0, 0.5f}, {UndefinedHue, 0, 0, 0.5f}},
      {"white", {1, 1, 1, 0.25f}, {UndefinedHue, 0, 1, 0.25f}},
      {"grey", {0.4f, 0.4f, 0.4f, 1}, {UndefinedHue, 0, 0.4f, 1}},
      {"red", {1, 0, 0, 1}, {0, 1, 1, 1}},
      {"yellow", {1, 1, 0, 1}, {60, 1, 1, 1}},
      {"green", {0, 1, 0, 1}, {120, 1, 1, 1}},
      {"cyan", {0, 1, 1, 1}, {180, 1, 1, 1}},
      {"blue", {0, 0, 1, 1}, {240, 1, 1, 1}},
      {"magenta", {1, 0, 1, 1}, {300, 1, 1, 1}},
      {"red ties with green", {0.8f, 0.8f, 0.2f, 1}, {60, 0.75f, 0.8f, 1}},
      // Green is largest: h = (b - r) / delta + 2, times 60; s comes out negative.
      {"negative max", {-0.5f, -0.25f, -1.0f, 1}, {((-1.0f - -0.5f) / 0.75f + 2.0f) * 60.0f, -3.0f, -0.25f, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(ColorBitsEq(RGBToHSV(c.rgb), c.hsv));
  }
}

TEST(HSVToRGB, KnownHues) {
  const HsvCase cases[] = {
      {"no saturation ignores hue", {0.5f, 0.5f, 0.5f, 0.3f}, {UndefinedHue, 0, 0.5f, 0.3f}},
      {"green", {0, 1, 0, 1}, {120, 1, 1, 1}},
      // 300 x 0.016666668 rounds just above 5, so f is 2^-21 and blue is 1 - 2^-21.
      {"magenta's rounding", {1, 0, 0.9999995f, 1}, {300, 1, 1, 1}},
      {"sector -1 is the colour of h + 360", {1, 0, 0.5f, 1}, {-30, 1, 1, 1}},
      {"a full turn is red", {1, 0, 0, 1}, {360, 1, 1, 1}},
      {"reduced 420 is yellow", {1, 1, 0, 1}, {420, 1, 1, 1}},
      {"reduced -90 is 270", {0.5f, 0, 1, 1}, {-90, 1, 1, 1}},
      {"reduced 720 is red", {1, 0, 0, 1}, {720, 1, 1, 1}},
      {"reduced -360 is red", {1, 0, 0, 1}, {-360, 1, 1, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(ColorBitsEq(HSVToRGB(c.hsv), c.rgb));
  }
}

TEST(HSVToRGB, OutOfRangeHuesActAsAngles) {
  // Any hue h and h + 360k give the same colour (the reduction is exact for
  // whole turns that are exactly representable).
  for (float h : {10.0f, 95.5f, 200.25f, 359.0f}) {
    SCOPED_TRACE(h);
    const AColor base = HSVToRGB(AColor(h, 0.6f, 0.8f, 1));
    for (float turns : {1.0f, 2.0f, -1.0f, -3.0f, 1000.0f}) {
      EXPECT_TRUE(ColorNear(HSVToRGB(AColor(h + 360.0f * turns, 0.6f, 0.8f, 1)), base, 2e-4f));
    }
  }
  // Huge hues from the output stage's shift (the control accepts +-10,000,000).
  for (float h : {1e7f, -1e7f, 3.4e38f, -3.4e38f}) {
    const AColor c = HSVToRGB(AColor(h, 1, 1, 1));
    EXPECT_TRUE(std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b)) << h;
  }
}

TEST(HSVToRGB, NonFiniteHueGivesNonFiniteColourWithoutUndefinedConversion) {
  for (float h : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                  -std::numeric_limits<float>::infinity()}) {
    const AColor c = HSVToRGB(AColor(h, 0.5f, 1, 0.75f));
    EXPECT_TRUE(std::isnan(c.r) && std::isnan(c.g) && std::isnan(c.b)) << h;
    EXPECT_EQ(c.a, 0.75f);
  }
}

TEST(HSVToRGB, HueJustBelowZeroAfterRoundingStaysRed) {
  // RGBToHSV can round a hue just below 0 up to exactly 360.
  const AColor hsv = RGBToHSV(AColor(1, 0, 1e-9f, 1));
  EXPECT_EQ(hsv.r, 360.0f);
  EXPECT_TRUE(ColorNear(HSVToRGB(hsv), AColor(1, 0, 0, 1), 1e-6f));
}

TEST(HSVRoundTrip, ColoursInTheUnitCubeComeBack) {
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  for (int i = 0; i < 20000; ++i) {
    const AColor c(u(rng), u(rng), u(rng), u(rng));
    const AColor back = HSVToRGB(RGBToHSV(c));
    ASSERT_TRUE(ColorNear(back, c, 2e-6f)) << "case " << i;
    ASSERT_EQ(back.a, c.a);
  }
}

}  // namespace
}  // namespace tessary
