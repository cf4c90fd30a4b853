#include "compositing/blend_modes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/support/float_bits.h"

namespace tessary {
namespace {

using testing::ColorBitsEq;
using testing::ColorNear;

// Base and top chosen so every channel pair is asymmetric (a swapped operand
// shows) and the arithmetic is exact or singly rounded.
const AColor kBase(0.25f, 0.75f, 0.5f, 0.5f);
const AColor kTop(0.5f, 0.125f, 0.625f, 1.0f);

struct RawCase {
  BlendMode mode;
  float r, g, b;  // raw result X per channel at t = m = 1
  float alpha;    // result alpha at t = m = 1
};

// Every mode at t = m = 1, where the result is the raw X. Worked out from the
// mode formulas in binary32, one rounding per operation (an independent
// calculation; the HSV rows go through both conversions, Interpolation
// through correctly rounded cosines). "RGB" modes keep the other channels.
const RawCase kRawCases[] = {
    {BlendMode::Normal, 0.5f, 0.125f, 0.625f, 1.0f},
    {BlendMode::Multiply, 0.125f, 0.09375f, 0.3125f, 0.5f},
    {BlendMode::Screen, 0.625f, 0.78125f, 0.8125f, 1.0f},
    {BlendMode::Additive, 0.75f, 0.875f, 1.125f, 1.5f},
    {BlendMode::Subtractive, -0.25f, -0.125f, 0.125f, 0.5f},
    {BlendMode::Stamp, 0.25f, 0.0f, 0.75f, 0.5f},
    {BlendMode::Difference, 0.25f, 0.625f, 0.125f, 0.5f},
    {BlendMode::Negation, 0.75f, 0.875f, 0.875f, 0.5f},
    {BlendMode::Exclusion, 0.5f, 0.6875f, 0.5f, 0.5f},
    {BlendMode::Darken, 0.25f, 0.125f, 0.5f, 0.5f},
    {BlendMode::Lighten, 0.5f, 0.75f, 0.625f, 0.5f},
    {BlendMode::Overlay, 0.25f, 0.5625f, 0.625f, 0.5f},
    {BlendMode::HardLight, 0.25f, 0.1875f, 0.625f, 0.5f},
    {BlendMode::SoftLight, 0.25f, 0.609375f, 0.5517767f, 0.5f},
    {BlendMode::Dodge, 0.5f, 0.85714287f, 1.3333334f, 0.5f},
    {BlendMode::InverseDodge, 0.6666667f, 0.5f, 1.25f, 0.5f},
    {BlendMode::SoftDodge, 0.25f, 0.42857143f, 0.625f, 0.5f},
    {BlendMode::Burn, -0.5f, -1.0f, 0.19999999f, 0.5f},
    {BlendMode::InverseBurn, -1.0f, -0.16666663f, 0.25f, 0.5f},
    {BlendMode::SoftBurn, 0.33333334f, 0.25f, 0.6f, 0.5f},
    {BlendMode::Interpolation, 0.3232233f, 0.44580683f, 0.5956709f, 0.5f},
    {BlendMode::Average, 0.375f, 0.4375f, 0.5625f, 0.5f},
    {BlendMode::Hue, 0.62500024f, 0.24999999f, 0.75f, 0.5f},
    {BlendMode::Saturation, 0.14999999f, 0.75f, 0.4500001f, 0.5f},
    {BlendMode::Luminance, 0.20833331f, 0.625f, 0.41666675f, 0.5f},
    {BlendMode::Color, 0.60000026f, 0.14999999f, 0.75f, 0.5f},
    {BlendMode::Reflect, 0.125f, 0.64285713f, 0.6666667f, 0.5f},
    {BlendMode::Glow, 0.33333334f, 0.0625f, 0.78125f, 0.5f},
    {BlendMode::Freeze, -0.125f, 0.5f, 0.6f, 0.5f},
    {BlendMode::Heat, 0.0f, -0.020833254f, 0.71875f, 0.5f},
    {BlendMode::RGBRed, 0.5f, 0.75f, 0.5f, 0.5f},
    {BlendMode::RGBGreen, 0.25f, 0.125f, 0.5f, 0.5f},
    {BlendMode::RGBBlue, 0.25f, 0.75f, 0.625f, 0.5f},
    // D = B - T; no |D| above t = 1, but at m = 1 the result is D, alpha 0.
    {BlendMode::ExactDifference, -0.25f, 0.625f, -0.125f, 0.0f},
};

TEST(BlendModes, RawResultsAtFullOpacityAndCoverage) {
  ASSERT_EQ(std::size(kRawCases), static_cast<std::size_t>(kNumBlendModes));
  for (const auto& c : kRawCases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    const AColor got = ApplyBlendMode(static_cast<int>(c.mode), kBase, kTop, 1.0f, 1.0f);
    EXPECT_TRUE(ColorBitsEq(got, AColor(c.r, c.g, c.b, c.alpha)));
  }
}

struct MixCase {
  BlendMode mode;
  AColor want;
};

// Every mode at t = 0.3, m = 0.7 (the top's alpha set to m), worked out like
// kRawCases. By hand for Normal's red, X = 0.5 over B = 0.25:
//   (0.5 * 0.3 + 0.7 * 0.25) * 0.7 + 0.3 * 0.25 = 0.325 * 0.7 + 0.075 = 0.3025
// and Multiply's alpha, raw 0.5 * 0.7 = 0.35 over B.a = 0.5:
//   (0.35 * 0.3 + 0.7 * 0.5) * 0.7 + 0.3 * 0.5 = 0.3185 + 0.15 = 0.4685.
// Another order of the mix (X * (t * m) + B * (1 - t * m), coverage before
// opacity, or B + (X - B) * t * m) gives other bits in 10 to 13 of the rows;
// the alphas tell the four mixed alpha rules apart.
const MixCase kMixCases[] = {
    {BlendMode::Normal, {0.3025f, 0.61875f, 0.52625f, 0.542f}},
    {BlendMode::Multiply, {0.22375001f, 0.6121875f, 0.460625f, 0.4685f}},
    {BlendMode::Screen, {0.32875f, 0.7565625f, 0.565625f, 0.57350004f}},
    {BlendMode::Additive, {0.35500002f, 0.77625f, 0.63125f, 0.647f}},
    {BlendMode::Subtractive, {0.145f, 0.56624997f, 0.42125f, 0.5f}},
    {BlendMode::Stamp, {0.25f, 0.5925f, 0.5525f, 0.5f}},
    {BlendMode::Difference, {0.25f, 0.72375f, 0.42125f, 0.5f}},
    {BlendMode::Negation, {0.35500002f, 0.77625f, 0.57875f, 0.5f}},
    {BlendMode::Exclusion, {0.3025f, 0.736875f, 0.5f, 0.5f}},
    {BlendMode::Darken, {0.25f, 0.61875f, 0.5f, 0.5f}},
    {BlendMode::Lighten, {0.3025f, 0.75f, 0.52625f, 0.5f}},
    {BlendMode::Overlay, {0.25f, 0.710625f, 0.52625f, 0.5f}},
    {BlendMode::HardLight, {0.25f, 0.631875f, 0.52625f, 0.5f}},
    {BlendMode::SoftLight, {0.25f, 0.72046876f, 0.5108731f, 0.5f}},
    {BlendMode::Dodge, {0.3025f, 0.77250004f, 0.67499995f, 0.5f}},
    {BlendMode::InverseDodge, {0.33749998f, 0.6975f, 0.6575f, 0.5f}},
    {BlendMode::SoftDodge, {0.25f, 0.6825f, 0.52625f, 0.5f}},
    {BlendMode::Burn, {0.092499994f, 0.3825f, 0.437f, 0.5f}},
    {BlendMode::InverseBurn, {-0.012500003f, 0.5575f, 0.44750002f, 0.5f}},
    {BlendMode::SoftBurn, {0.26749998f, 0.645f, 0.52099997f, 0.5f}},
    {BlendMode::Interpolation, {0.2653769f, 0.68611944f, 0.5200909f, 0.5f}},
    {BlendMode::Average, {0.27625f, 0.684375f, 0.513125f, 0.5f}},
    {BlendMode::Hue, {0.24999999f, 0.75f, 0.73625004f, 0.5f}},
    {BlendMode::Saturation, {0.22899994f, 0.75f, 0.4895001f, 0.5f}},
    {BlendMode::Luminance, {0.24124998f, 0.72375f, 0.4825001f, 0.5f}},
    {BlendMode::Color, {0.22899994f, 0.75f, 0.73567253f, 0.5f}},
    {BlendMode::Reflect, {0.22375001f, 0.7275f, 0.53499997f, 0.5f}},
    {BlendMode::Glow, {0.26749998f, 0.605625f, 0.5590625f, 0.5f}},
    {BlendMode::Freeze, {0.17124999f, 0.6975f, 0.52099997f, 0.5f}},
    {BlendMode::Heat, {0.19749999f, 0.588125f, 0.54593754f, 0.5f}},
    {BlendMode::RGBRed, {0.3025f, 0.75f, 0.5f, 0.5f}},
    {BlendMode::RGBGreen, {0.25f, 0.61875f, 0.5f, 0.5f}},
    {BlendMode::RGBBlue, {0.25f, 0.75f, 0.52625f, 0.5f}},
    // No |D| above 0.3: the grey g = |(-0.25 + -0.125 + 0.625) / 3| at 1 - m.
    {BlendMode::ExactDifference, {0.12500001f, 0.7375f, 0.2125f, 0.3f}},
};

TEST(BlendModes, LayerMixAtPartialOpacityAndCoverage) {
  ASSERT_EQ(std::size(kMixCases), static_cast<std::size_t>(kNumBlendModes));
  const float t = 0.3f, m = 0.7f;
  for (const auto& c : kMixCases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    const AColor got = ApplyBlendMode(static_cast<int>(c.mode), kBase, AColor(kTop.r, kTop.g, kTop.b, m), t, m);
    EXPECT_TRUE(ColorBitsEq(got, c.want));
  }
}

TEST(BlendModes, AlphaRules) {
  // t = 0.5, m = 0.25 over B.a = 0.5, exact in binary32. Mixed alphas:
  // (raw * 0.5 + 0.25) * 0.25 + 0.375 with raw = m (Normal), B.a * m
  // (Multiply), 1 - (1 - B.a)(1 - m) (Screen) and B.a + m (Additive).
  struct Case {
    int mode;
    float alpha;
  };
  const Case cases[] = {{0, 0.46875f}, {1, 0.453125f}, {2, 0.515625f}, {3, 0.53125f}, {33, 0.75f}};
  const float t = 0.5f, m = 0.25f;
  const AColor top(kTop.r, kTop.g, kTop.b, m);
  for (const Case& c : cases) {
    EXPECT_TRUE(testing::SameBits(ApplyBlendMode(c.mode, kBase, top, t, m).a, c.alpha)) << "mode " << c.mode;
  }
  for (int mode = 4; mode <= 32; ++mode) {
    EXPECT_TRUE(testing::SameBits(ApplyBlendMode(mode, kBase, top, t, m).a, kBase.a)) << "mode " << mode;
  }
}

struct BoundaryCase {
  const char* name;
  BlendMode mode;
  float b, s, want;
};

TEST(BlendModes, ExactBoundariesAndGuards) {
  const BoundaryCase cases[] = {
      {"Overlay takes its second form at b = 0.5", BlendMode::Overlay, 0.5f, 0.3f, 0.3f},
      {"Overlay below 0.5", BlendMode::Overlay, 0.4999999f, 0.5f, 0.4999999f},
      {"Hard Light at s = 0.5 returns b", BlendMode::HardLight, 0.3f, 0.5f, 0.3f},
      {"Soft Light at s = 0.5 returns b", BlendMode::SoftLight, 0.36f, 0.5f, 0.36f},
      {"Dodge with s = 1", BlendMode::Dodge, 0.3f, 1.0f, 1.0f},
      {"Burn with s = 0", BlendMode::Burn, 0.3f, 0.0f, 0.0f},
      {"Inverse burn with b = 0", BlendMode::InverseBurn, 0.0f, 0.3f, 0.0f},
      {"Inverse dodge with b = 1", BlendMode::InverseDodge, 1.0f, 0.3f, 1.0f},
      {"Soft dodge at b + s = 1 divides by b (b = 0 guard)", BlendMode::SoftDodge, 0.0f, 1.0f, 0.0f},
      {"Soft dodge below 1, s = 1 guard unreachable", BlendMode::SoftDodge, 0.25f, 0.25f, 0.16666667f},
      {"Soft burn at b + s = 1 divides by s (s = 0 guard)", BlendMode::SoftBurn, 1.0f, 0.0f, 0.0f},
      {"Reflect with s = 1", BlendMode::Reflect, 0.3f, 1.0f, 1.0f},
      {"Glow with b = 1", BlendMode::Glow, 1.0f, 0.3f, 1.0f},
      {"Freeze with s = 0", BlendMode::Freeze, 0.3f, 0.0f, 0.0f},
      {"Heat with b = 0", BlendMode::Heat, 0.0f, 0.3f, 0.0f},
      {"Interpolation of 0 and 0", BlendMode::Interpolation, 0.0f, 0.0f, 0.0f},
      {"Interpolation of 1 and 1", BlendMode::Interpolation, 1.0f, 1.0f, 1.0f},
      {"Interpolation of 0 and 1", BlendMode::Interpolation, 0.0f, 1.0f, 0.5f},
      {"Darken keeps the smaller", BlendMode::Darken, 0.75f, 0.25f, 0.25f},
      {"Lighten keeps the larger", BlendMode::Lighten, 0.25f, 0.75f, 0.75f},
      {"Additive passes above 1", BlendMode::Additive, 0.75f, 0.5f, 1.25f},
      {"Subtractive passes below 0", BlendMode::Subtractive, 0.25f, 0.5f, -0.25f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const AColor got = ApplyBlendMode(static_cast<int>(c.mode), AColor(c.b, c.b, c.b, 1), AColor(c.s, c.s, c.s, 1), 1, 1);
    EXPECT_TRUE(testing::SameBits(got.r, c.want)) << testing::Show(got.r);
    EXPECT_TRUE(testing::SameBits(got.b, c.want)) << testing::Show(got.b);
  }
}

TEST(BlendModes, MultiplyOfGreys) {
  EXPECT_TRUE(ColorBitsEq(ApplyBlendMode(1, AColor(0.5f, 0.5f, 0.5f, 1), AColor(0.5f, 0.5f, 0.5f, 1), 1, 1),
                          AColor(0.25f, 0.25f, 0.25f, 1)));
}

TEST(BlendModes, NormalAtFullOpacityReturnsTheTopWithAlphaOne) {
  EXPECT_TRUE(ColorBitsEq(ApplyBlendMode(0, AColor(0.1f, 0.2f, 0.3f, 0.4f), AColor(0.9f, 0.8f, 0.7f, 1), 1, 1),
                          AColor(0.9f, 0.8f, 0.7f, 1)));
}

TEST(BlendModes, OutOfRangeIndexLeavesTheBase) {
  for (int mode : {-1, 34, 35, 57, 1 << 30}) {
    EXPECT_TRUE(ColorBitsEq(ApplyBlendMode(mode, kBase, kTop, 1, 1), kBase)) << mode;
  }
}

TEST(BlendModes, ZeroCoverageAndZeroOpacity) {
  // Inside 0..1: outside it some modes produce NaN by design (the square root
  // of a negative base in "Soft Light"), and NaN survives a zero weight.
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  for (int i = 0; i < 300; ++i) {
    const AColor base(u(rng), u(rng), u(rng), u(rng));
    const AColor top(u(rng), u(rng), u(rng), 0.0f);
    for (int mode = 0; mode < 33; ++mode) {
      SCOPED_TRACE(mode);
      const bool hsv = mode >= 22 && mode <= 25;
      const AColor atZeroCoverage = ApplyBlendMode(mode, base, top, u(rng), 0.0f);
      const AColor atZeroOpacity = ApplyBlendMode(mode, base, AColor(top.r, top.g, top.b, 1), 0.0f, 1.0f);
      if (hsv) {
        // Through HSV and back: the base up to rounding.
        EXPECT_TRUE(ColorNear(atZeroCoverage, base, 1e-5f));
        EXPECT_TRUE(ColorNear(atZeroOpacity, base, 1e-5f));
      } else {
        ASSERT_TRUE(ColorBitsEq(atZeroCoverage, base));
        EXPECT_TRUE(ColorNear(atZeroOpacity, base, 1e-6f));
      }
    }
  }
}

TEST(ExactDifference, SelectsWhiteOrGreyByTheOpacityThreshold) {
  struct Case {
    const char* name;
    AColor base, top;
    float t, m;
    AColor want;
  };
  const Case cases[] = {
      {"equal colours give black with alpha 1 - m", {0.3f, 0.6f, 0.9f, 1}, {0.3f, 0.6f, 0.9f, 1}, 0.0f, 0.25f,
       {0, 0, 0, 0.75f}},
      {"over the threshold at full coverage", {1, 0, 0, 1}, {0, 0, 0, 1}, 0.5f, 1.0f, {1, 0, 0, 0}},
      {"over the threshold at half coverage", {1, 0, 0, 1}, {0, 0, 0, 1}, 0.5f, 0.5f, {1, 0.5f, 0.5f, 0.5f}},
      {"at zero coverage the selected white", {1, 0, 0, 0.2f}, {0, 0, 0, 1}, 0.5f, 0.0f, {1, 1, 1, 1}},
      // |D| = 0.25 <= t: grey g = |(0.25 + 0.25 + -0.25) x 0.33333334|.
      {"under the threshold selects the grey", {0.5f, 0.25f, 0.75f, 1}, {0.25f, 0.5f, 0.5f, 1}, 0.25f, 0.0f,
       {0.083333336f, 0.083333336f, 0.083333336f, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(ColorBitsEq(ApplyBlendMode(33, c.base, c.top, c.t, c.m), c.want));
  }
}

TEST(HsvModes, MixComponentsAsPlainNumbers) {
  // Hue 350 and hue 10 mix to 180 at one half: no wrapping around the circle.
  const AColor base = HSVToRGB(AColor(350, 1, 1, 1));
  const AColor top = HSVToRGB(AColor(10, 1, 1, 1));
  const AColor mixed = ApplyBlendMode(static_cast<int>(BlendMode::Hue), base, top, 0.5f, 1.0f);
  EXPECT_NEAR(RGBToHSV(mixed).r, 180.0f, 1e-3f);

  // Luminance of a black base: a grey at the top's largest channel.
  const AColor lum = ApplyBlendMode(static_cast<int>(BlendMode::Luminance), AColor(0, 0, 0, 0.5f),
                                    AColor(0.2f, 0.7f, 0.4f, 1), 1, 1);
  EXPECT_TRUE(ColorBitsEq(lum, AColor(0.7f, 0.7f, 0.7f, 0.5f)));

  // Saturation: a red base takes the top's saturation, keeps its hue and value.
  const AColor sat = ApplyBlendMode(static_cast<int>(BlendMode::Saturation), AColor(1, 0, 0, 1),
                                    AColor(0.5f, 0.25f, 0.5f, 1), 1, 1);
  EXPECT_TRUE(ColorNear(sat, AColor(1, 0.5f, 0.5f, 1), 1e-6f));

  // Color: hue and saturation of the top, value of the base.
  const AColor col = ApplyBlendMode(static_cast<int>(BlendMode::Color), AColor(0.5f, 0.5f, 0.5f, 0.3f),
                                    AColor(0, 1, 0, 1), 1, 1);
  EXPECT_TRUE(ColorNear(col, AColor(0, 0.5f, 0, 0.3f), 1e-6f));

  // An undefined hue (-1) takes part in the mix like any number.
  const AColor grey = ApplyBlendMode(static_cast<int>(BlendMode::Hue), AColor(1, 0, 0, 1),
                                     AColor(0.5f, 0.5f, 0.5f, 1), 0.5f, 1.0f);
  EXPECT_NEAR(RGBToHSV(grey).r, 359.5f, 1e-3f);  // (0 + -1) / 2 = -0.5, the hue of 359.5
}

TEST(BlendModeNameIds, SkipsString35) {
  ASSERT_EQ(blendModeNameIds.size(), 34u);
  for (int i = 0; i < 34; ++i) {
    EXPECT_EQ(blendModeNameIds[static_cast<std::size_t>(i)], i < 19 ? 16 + i : 17 + i) << i;
  }
}

}  // namespace
}  // namespace tessary
