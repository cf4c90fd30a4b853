#include "host/runtime/stdmaps.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tessary::host {
namespace {

TEST(Checker, SquaresAlternateAndRepeat) {
  CheckerParams p;
  p.color1 = AColor(1, 0, 0, 1);
  p.color2 = AColor(0, 0, 1, 1);
  p.checksU = 4.0f;
  p.checksV = 2.0f;
  const struct {
    float u, v;
    bool second;
  } cases[] = {{0.1f, 0.1f, false}, {0.3f, 0.1f, true},  {0.3f, 0.6f, false}, {0.1f, 0.6f, true},
               {-0.1f, 0.1f, true}, {-0.3f, 0.1f, false}, {1.1f, 0.1f, false}, {0.25f, 0.0f, true},
               {1e30f, 0.1f, false}, {NAN, 0.1f, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(EvalChecker(p, c.u, c.v), c.second ? p.color2 : p.color1) << c.u << "," << c.v;
  }
}

TEST(Gradient, HitsItsThreeColoursAndClampsOutside) {
  GradientParams p;
  p.color1 = AColor(0, 0, 0, 1);
  p.color2 = AColor(1, 0, 0, 1);
  p.color3 = AColor(1, 1, 1, 1);
  p.center = 0.25f;
  const struct {
    GradientKind kind;
    float u, v;
    AColor want;
  } cases[] = {
      {GradientKind::Linear, 0.7f, 0.0f, p.color1},        {GradientKind::Linear, 0.1f, 0.25f, p.color2},
      {GradientKind::Linear, 0.2f, 1.0f, p.color3},        {GradientKind::Linear, 0.2f, -3.0f, p.color1},
      {GradientKind::Linear, 0.2f, 7.0f, p.color3},        {GradientKind::Linear, 0.2f, 0.125f, AColor(0.5f, 0, 0, 1)},
      {GradientKind::Radial, 0.5f, 0.5f, p.color1},        {GradientKind::Radial, 1.0f, 0.5f, p.color3},
      {GradientKind::Radial, 0.0f, 0.0f, p.color3},        {GradientKind::Linear, 0.2f, NAN, p.color1},
  };
  for (const auto& c : cases) {
    p.kind = c.kind;
    EXPECT_EQ(EvalGradient(p, c.u, c.v), c.want) << c.u << "," << c.v;
  }
}

TEST(Noise, StaysInRangeIsDeterministicAndDependsOnTheSeed) {
  for (NoiseKind kind : {NoiseKind::Regular, NoiseKind::Fractal, NoiseKind::Turbulence}) {
    NoiseParams p;
    p.kind = kind;
    p.octaves = 6;
    float lo = 1.0f;
    float hi = 0.0f;
    int differ = 0;
    for (int i = 0; i < 2000; ++i) {
      const float u = static_cast<float>(i) * 0.0137f - 7.0f;
      const float v = static_cast<float>(i % 37) * 0.029f;
      const float n = NoiseValue(p, u, v);
      ASSERT_TRUE(n >= 0.0f && n <= 1.0f) << n;
      ASSERT_EQ(n, NoiseValue(p, u, v));
      lo = std::min(lo, n);
      hi = std::max(hi, n);
      NoiseParams other = p;
      other.seed = 99;
      if (NoiseValue(other, u, v) != n) ++differ;
    }
    EXPECT_GT(hi - lo, 0.3f) << "the noise varies";
    EXPECT_GT(differ, 1500) << "another seed gives another pattern";
  }
  NoiseParams p;
  EXPECT_EQ(NoiseValue(p, NAN, 0.5f), 0.0f);
  EXPECT_EQ(EvalNoise(p, 1e30f, -1e30f).a, 1.0f) << "huge coordinates stay finite";
}

TEST(SlopePerturb, FlatIsZeroAndARampFalls) {
  const Point3 flat = SlopePerturb([](float, float) { return AColor(0.3f, 0.3f, 0.3f, 1); }, 0.5f, 0.5f);
  EXPECT_EQ(flat, Point3(0, 0, 0));
  const Point3 ramp = SlopePerturb([](float u, float) { return AColor(u, u, u, 1); }, 0.5f, 0.5f);
  EXPECT_LT(ramp.x, 0.0f);
  EXPECT_EQ(ramp.y, 0.0f);
}

}  // namespace
}  // namespace tessary::host
