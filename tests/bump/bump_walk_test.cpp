#include "bump/bump_walk.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/float_bits.h"
#include "tests/support/layer_stack.h"

namespace tessary {
namespace {

using host::AColor;
using host::Point3;
using testing::FakeMap;
using testing::PointBitsEq;
using testing::Stack;
using Calls = std::vector<std::string>;

Point3 Walk(Stack& s) { return CompositePerturb(s.Tables(), s.PerturbFn(), s.ColorFn()); }

TEST(BumpModes, ValuesForOneComponent) {
  // l = 0.25 (layer), r = 0.75 (accumulated): asymmetric, so a swapped
  // operand shows; every value worked out by hand from the bump formulas.
  const float l = 0.25f, r = 0.75f;
  const float want[kNumBlendModes] = {
      l,       0.1875f, l,     1.0f,  0.5f,   0.25f, 0.5f,    1.0f, 0.625f, l,     // 0..9
      r,       0.625f,  0.375f, 0.65625f, 1.0f, 1.0f, 0.5f, 0.0f, 0.0f,   0.5f,  // 10..19
      0.5f,    0.5f,    l,     l,     l,      l,     0.75f,   0.25f, 0.75f, 0.25f,  // 20..29
      l,       l,       l,     l,                                                   // 30..33
  };
  for (int mode = 0; mode < kNumBlendModes; ++mode) {
    EXPECT_TRUE(testing::SameBits(bump::ModeValue(mode, l, r), want[mode]))
        << "mode " << mode << ": " << testing::Show(bump::ModeValue(mode, l, r));
  }
  for (int mode : {34, 99, -1}) {
    EXPECT_TRUE(testing::SameBits(bump::ModeValue(mode, l, r), l)) << "mode " << mode << " blends as Normal";
  }
}

TEST(BumpModes, BranchesGuardsAndSpecialValues) {
  struct Case {
    const char* what;
    int mode;
    float l, r, want;
  };
  const Case cases[] = {
      {"Soft Light below 0.5", 13, 0.25f, 0.5f, 0.375f},
      {"Soft Light from 0.5", 13, 0.75f, 0.25f, 0.375f},
      {"Soft dodge, l + r >= 1", 16, 0.5f, 0.75f, 0.6666666f},
      {"Soft dodge, l + r < 1", 16, 0.5f, 0.25f, 0.25f},
      {"Soft burn, l + r >= 1", 19, 0.5f, 0.75f, 0.75f},
      {"Soft burn, l + r < 1", 19, 0.5f, 0.25f, 0.33333334f},
      {"Dodge guard, l = 1", 14, 1.0f, 0.3f, 1.0f},
      {"Burn guard, l = 0", 17, 0.0f, 0.3f, 0.0f},
      {"Interpolation of 0 and 0", 20, 0.0f, 0.0f, 0.0f},
      {"Interpolation of 1 and 0", 20, 1.0f, 0.0f, 0.5f},
      {"Interpolation of 0.25 and 0.5", 20, 0.25f, 0.5f, 0.3232233f},
      {"Subtractive takes the layer away", 4, 0.75f, 0.25f, -0.5f},
      // Where these modes part from the colour formulas: ties go to r,
      {"Darken tie +0, -0", 9, 0.0f, -0.0f, -0.0f},
      {"Darken tie -0, +0", 9, -0.0f, 0.0f, 0.0f},
      {"Lighten tie +0, -0", 10, 0.0f, -0.0f, -0.0f},
      {"Lighten with a NaN layer", 10, NAN, 0.5f, 0.5f},
      // the doubled operand of a product is l,
      {"Exclusion, 2r would overflow", 8, 0.0f, 2e38f, 2e38f},
      {"Overlay, 2r would overflow", 11, 0.0f, -2e38f, -0.0f},
      {"Hard Light, 2r would overflow", 12, 0.0f, 2e38f, 0.0f},
      // and a NaN sum takes the division-by-(1 - r) branch.
      {"Soft burn, NaN sum, r = 1", 19, NAN, 1.0f, 1.0f},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(testing::SameBits(bump::ModeValue(c.mode, c.l, c.r), c.want))
        << c.what << ": " << testing::Show(bump::ModeValue(c.mode, c.l, c.r));
  }
}

TEST(BumpWalk, NoLayers) {
  Stack s(0);
  EXPECT_TRUE(PointBitsEq(Walk(s), Point3(0, 0, 0)));
  host::Tab<FakeMap*> none;
  host::Tab<int> i0;
  host::Tab<float> f0;
  host::Tab<host::Color> c0;
  LayerTables<FakeMap*> empty{none, i0, i0, i0, f0, c0, i0};
  EXPECT_TRUE(PointBitsEq(CompositePerturb(empty, s.PerturbFn(), s.ColorFn()), Point3(0, 0, 0)));
}

TEST(BumpWalk, BaseLayer) {
  FakeMap map{"map", {}, {0.5f, -0.25f, 1.0f}};
  FakeMap mask{"mask", {1, 0.5f, 0, 0.1f}, {}};  // weight 0.5, alpha ignored
  Stack s(1);
  s.subMaps[0] = &map;
  s.layerUsed[0] = 0;
  s.opacity[0] = 0;
  s.blendMode[0] = 3;
  EXPECT_TRUE(PointBitsEq(Walk(s), Point3(0.5f, -0.25f, 1.0f)));
  s.subMaps[1] = &mask;
  EXPECT_TRUE(PointBitsEq(Walk(s), Point3(0.25f, -0.125f, 0.5f)));
}

TEST(BumpWalk, MaskActsTwice) {
  FakeMap base{"base", {}, {0.5f, 0.5f, 0.5f}};
  FakeMap top{"top", {}, {1.0f, 0.25f, -1.0f}};
  FakeMap mask{"mask", {0.5f, 0.5f, 0.5f, 1}, {}};
  Stack s(2);
  s.subMaps[0] = &base;
  s.subMaps[2] = &top;
  s.subMaps[3] = &mask;
  // (0.5 p x 1 + r x 0) x 0.5 + r x 0.5 = 0.25 p + 0.5 r
  EXPECT_TRUE(PointBitsEq(Walk(s), Point3(0.25f + 0.25f, 0.0625f + 0.25f, -0.25f + 0.25f)));
  EXPECT_EQ(s.calls, (Calls{"base.perturb", "top.perturb", "mask.color"}));
}

TEST(BumpWalk, LayerRules) {
  FakeMap base{"base", {}, {0.5f, 0.75f, -0.5f}};
  FakeMap top{"top", {}, {0.25f, 0.25f, 0.25f}};
  struct Case {
    const char* name;
    void (*setup)(Stack&);
    Point3 want;
  };
  const Case cases[] = {
      {"unused layer changes nothing", [](Stack& s) { s.layerUsed[1] = 0; }, {0.5f, 0.75f, -0.5f}},
      {"opacity 0 changes nothing", [](Stack& s) { s.opacity[1] = 0; }, {0.5f, 0.75f, -0.5f}},
      {"map off flattens under Normal at 100 %", [](Stack& s) { s.mapOn[1] = 0; }, {0, 0, 0}},
      {"RGB green touches y only", [](Stack& s) { s.blendMode[1] = 31; }, {0.5f, 0.25f, -0.5f}},
      {"RGB red touches x only", [](Stack& s) { s.blendMode[1] = 30; }, {0.25f, 0.75f, -0.5f}},
      {"Additive", [](Stack& s) { s.blendMode[1] = 3; }, {0.75f, 1.0f, -0.25f}},
      {"Subtractive is r - l", [](Stack& s) { s.blendMode[1] = 4; }, {0.25f, 0.5f, -0.75f}},
      {"out-of-range mode blends as Normal", [](Stack& s) { s.blendMode[1] = 99; }, {0.25f, 0.25f, 0.25f}},
      {"Screen blends as Normal", [](Stack& s) { s.blendMode[1] = 2; }, {0.25f, 0.25f, 0.25f}},
      {"half opacity", [](Stack& s) { s.opacity[1] = 50; }, {0.375f, 0.5f, -0.125f}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Stack s(2);
    s.subMaps[0] = &base;
    s.subMaps[2] = &top;
    c.setup(s);
    EXPECT_TRUE(PointBitsEq(Walk(s), c.want));
  }
}

TEST(BumpWalk, SkippedLayersCallNothingAndColourCachesAreNotUsed) {
  FakeMap a{"a", {}, {1, 1, 1}}, b{"b", {1, 1, 1, 1}, {1, 1, 1}};
  Stack s(3);
  s.subMaps[2] = &a;
  s.subMaps[3] = &b;
  s.subMaps[4] = &a;
  s.subMaps[5] = &b;
  s.layerUsed[1] = 0;
  s.maskOn[2] = 0;
  Walk(s);
  EXPECT_EQ(s.calls, (Calls{"a.perturb"}));
}

TEST(BumpWalk, ShortTablesBoundTheWalk) {
  FakeMap a{"a", {}, {1, 1, 1}};
  Stack s(2);
  s.subMaps.SetCount(6);
  s.subMaps[4] = &a;  // layer 2 exists only in subMaps
  EXPECT_TRUE(PointBitsEq(Walk(s), Point3(0, 0, 0)));
  EXPECT_TRUE(s.calls.empty());
}

}  // namespace
}  // namespace tessary
