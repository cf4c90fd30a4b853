#include "compositing/output_stage.h"

#include <gtest/gtest.h>

#include <cmath>

#include "compositing/color_helpers.h"
#include "compositing/cr_math.h"
#include "tests/support/float_bits.h"

namespace tessary {
namespace {

using testing::ColorBitsEq;
using testing::ColorNear;

OutputSettings On() {
  OutputSettings s;
  s.outputOn = true;
  return s;
}

struct StageCase {
  const char* name;
  void (*configure)(OutputSettings&);
  AColor in;
  AColor want;
  float tol;
};

TEST(OutputStage, Steps) {
  const StageCase cases[] = {
      {"neutral settings return the colour up to rounding", [](OutputSettings&) {}, {0.2f, 0.4f, 0.9f, 0.7f},
       {0.2f, 0.4f, 0.9f, 0.7f}, 1e-6f},
      {"hue shift 120 turns red to green", [](OutputSettings& s) { s.hsvShift.r = 120; }, {1, 0, 0, 1},
       {0, 1, 0, 1}, 1e-6f},
      {"saturation shift -1 turns red to white", [](OutputSettings& s) { s.hsvShift.g = -1; }, {1, 0, 0, 1},
       {1, 1, 1, 1}, 0},
      {"value shift 0.5", [](OutputSettings& s) { s.hsvShift.b = 0.5f; }, {0.5f, 0, 0, 1}, {1, 0, 0, 1}, 0},
      {"the shifts' fourth components are not added",
       [](OutputSettings& s) {
         s.hsvShift.a = 5;
         s.rgbShift.a = 5;
       },
       {0.5f, 0.25f, 0.125f, 0.5f}, {0.5f, 0.25f, 0.125f, 0.5f}, 1e-6f},
      {"rgb shift", [](OutputSettings& s) { s.rgbShift = AColor(0.25f, -0.5f, 1, 0); }, {0.5f, 0.5f, 0.5f, 1},
       {0.75f, 0, 1.5f, 1}, 0},
      {"alpha shift", [](OutputSettings& s) { s.alphaShift = -0.5f; }, {0.5f, 0.5f, 0.5f, 1},
       {0.5f, 0.5f, 0.5f, 0.5f}, 0},
      {"clamp keeps alpha at 1",
       [](OutputSettings& s) {
         s.alphaShift = 0.5f;
         s.clampOn = true;
       },
       {0.5f, 0.5f, 0.5f, 1}, {0.5f, 0.5f, 0.5f, 1}, 0},
      {"clamp of every component",
       [](OutputSettings& s) {
         s.rgbShift = AColor(0.75f, -0.75f, 0, 0);
         s.alphaShift = 0.5f;
         s.clampOn = true;
       },
       {0.5f, 0.5f, 0.5f, 1}, {1, 0, 0.5f, 1}, 0},
      {"gamma 2 on 0.25", [](OutputSettings& s) { s.gamma = 2; }, {0.25f, 0.25f, 0.25f, 1}, {0.5f, 0.5f, 0.5f, 1},
       1e-6f},
      {"gamma on exact 0 uses 0.00001", [](OutputSettings& s) { s.gamma = 2; }, {0, 0, 0, 1},
       {0.0031622776f, 0.0031622776f, 0.0031622776f, 1}, 1e-7f},
      {"gamma mirrors negative channels", [](OutputSettings& s) { s.gamma = 2; }, {-0.25f, -0.25f, -0.25f, 1},
       {-0.5f, -0.5f, -0.5f, 1}, 1e-6f},
      {"brightness 2 on 0.25", [](OutputSettings& s) { s.brightness = 2; }, {0.25f, 0.25f, 0.25f, 1},
       {0.5f, 0.5f, 0.5f, 1}, 0},
      {"contrast 2", [](OutputSettings& s) { s.contrast = 2; }, {0.75f, 0.25f, 0.5f, 1}, {1, 0, 0.5f, 1}, 1e-6f},
      {"mono of the brightened channels",
       [](OutputSettings& s) {
         s.monoOn = true;
         s.brightness = 2;
       },
       {0.25f, 0.125f, 0.375f, 1}, {0.5f, 0.5f, 0.5f, 1}, 1e-6f},
      {"mono", [](OutputSettings& s) { s.monoOn = true; }, {0.2f, 0.4f, 0.9f, 1}, {0.5f, 0.5f, 0.5f, 1}, 1e-6f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OutputSettings s = On();
    c.configure(s);
    const AColor got = ApplyOutputStage(s, c.in);
    if (c.tol == 0) {
      EXPECT_TRUE(ColorBitsEq(got, c.want));
    } else {
      EXPECT_TRUE(ColorNear(got, c.want, c.tol));
    }
  }
}

TEST(OutputStage, GammaIsOddAndContinuousThroughZero) {
  OutputSettings s = On();
  s.gamma = 2.2f;
  // The neutral brightness and contrast step, (1 x c - 0.5) x 1 + 0.5, still
  // rounds, so compare with the mirrored curve taken through that step.
  for (float c : {1e-6f, 0.001f, 0.3f, 0.9f, 2.0f}) {
    const float curve = CrExpf(CrLogf(c) / 2.2f);
    EXPECT_EQ(ApplyOutputStage(s, AColor(c, c, c, 1)).r, (curve - 0.5f) + 0.5f) << c;
    EXPECT_EQ(ApplyOutputStage(s, AColor(-c, -c, -c, 1)).r, (-curve - 0.5f) + 0.5f) << c;
  }
  const float atZero = ApplyOutputStage(s, AColor(0, 0, 0, 1)).r;
  EXPECT_TRUE(std::isfinite(atZero));
  EXPECT_GT(atZero, 0.0f);
  EXPECT_LT(atZero, 0.01f);
}

TEST(OutputStage, OrderOfSteps) {
  // Every step at once, computed step by step in the stated order.
  OutputSettings s = On();
  s.hsvShift = AColor(30, -0.25f, 0.1f, 0);
  s.rgbShift = AColor(0.05f, -0.1f, 0.2f, 0);
  s.alphaShift = 0.125f;
  s.gamma = 1.8f;
  s.brightness = 1.25f;
  s.contrast = 0.75f;
  s.monoOn = true;
  s.clampOn = true;
  const AColor in(0.6f, 0.3f, 0.2f, 0.5f);

  AColor hsv = RGBToHSV(in);
  hsv.r += 30;
  hsv.g += -0.25f;
  hsv.b += 0.1f;
  AColor c = HSVToRGB(hsv);
  c.r += 0.05f;
  c.g += -0.1f;
  c.b += 0.2f;
  c.a += 0.125f;
  auto tone = [&](float v) {
    v = CrExpf(CrLogf(v) / 1.8f);
    return (1.25f * v - 0.5f) * 0.75f + 0.5f;
  };
  c.r = tone(c.r);
  c.g = tone(c.g);
  c.b = tone(c.b);
  const float y = ((c.g + c.r) + c.b) * 0.33333334f;
  c = AColor(y, y, y, c.a);
  c.ClampMinMax();
  EXPECT_TRUE(ColorBitsEq(ApplyOutputStage(s, in), c));
}

TEST(OutputStage, GammaOfOneComputesNoLogarithm) {
  // With gamma exactly 1 an exact 0 stays 0 (no 0.00001 substitution).
  OutputSettings s = On();
  EXPECT_EQ(ApplyOutputStage(s, AColor(0, 0, 0, 1)).r, 0.0f);
}

}  // namespace
}  // namespace tessary
