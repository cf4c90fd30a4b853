#include "compositing/layer_walk.h"

#include <gtest/gtest.h>

#include "tests/support/allocation_counter.h"
#include "tests/support/float_bits.h"
#include "tests/support/layer_stack.h"

namespace tessary {
namespace {

using host::Color;
using testing::ColorBitsEq;
using testing::ColorNear;
using testing::FakeMap;
using testing::Stack;
using Calls = std::vector<std::string>;

AColor Walk(Stack& s) { return CompositeLayers(s.Tables(), s.ColorFn()).color; }

TEST(ColorWalk, BaseLayer) {
  FakeMap map{"map", {0.8f, 0.6f, 0.4f, 0.5f}, {}};
  FakeMap mask{"mask", {1, 0.5f, 0, 1}, {}};
  struct Case {
    const char* name;
    FakeMap* map;
    FakeMap* mask;
    int mapOn, maskOn;
    AColor want;
  };
  const Case cases[] = {
      {"flat colour", nullptr, nullptr, 1, 1, {0.5f, 0.5f, 0.5f, 1}},
      {"map without mask: colour times its alpha, alpha squared", &map, nullptr, 1, 1, {0.4f, 0.3f, 0.2f, 0.25f}},
      {"flat colour under a mask of intensity 0.5", nullptr, &mask, 1, 1, {0.25f, 0.25f, 0.25f, 0.5f}},
      {"map under a mask: the mask replaces the alpha", &map, &mask, 1, 1, {0.4f, 0.3f, 0.2f, 0.25f}},
      {"map switched off uses the flat colour", &map, nullptr, 0, 1, {0.5f, 0.5f, 0.5f, 1}},
      {"mask switched off", nullptr, &mask, 1, 0, {0.5f, 0.5f, 0.5f, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Stack s(1);
    s.subMaps[0] = c.map;
    s.subMaps[1] = c.mask;
    s.mapOn[0] = c.mapOn;
    s.maskOn[0] = c.maskOn;
    // Layer 0 ignores its use switch, opacity and mode.
    s.layerUsed[0] = 0;
    s.opacity[0] = 0;
    s.blendMode[0] = 99;
    EXPECT_TRUE(ColorNear(Walk(s), c.want, 1e-7f));
  }
}

TEST(ColorWalk, LayersAboveTheBase) {
  struct Case {
    const char* name;
    void (*setup)(Stack&);
    AColor want;
  };
  const Case cases[] = {
      {"Normal at 100 % covers the base",
       [](Stack& s) {
         s.layerColor[0] = Color(0.1f, 0.2f, 0.3f);
         s.layerColor[1] = Color(0.9f, 0.8f, 0.7f);
       },
       {0.9f, 0.8f, 0.7f, 1}},
      {"Normal at 50 % over blue",
       [](Stack& s) {
         s.layerColor[0] = Color(0, 0, 1);
         s.layerColor[1] = Color(1, 0, 0);
         s.opacity[1] = 50;
       },
       {0.5f, 0, 0.5f, 1}},
      {"unused layer changes nothing",
       [](Stack& s) {
         s.layerColor[1] = Color(1, 0, 0);
         s.layerUsed[1] = 0;
       },
       {0.5f, 0.5f, 0.5f, 1}},
      {"opacity 0 changes nothing",
       [](Stack& s) {
         s.layerColor[1] = Color(1, 0, 0);
         s.opacity[1] = 0;
       },
       {0.5f, 0.5f, 0.5f, 1}},
      {"mode out of range changes nothing",
       [](Stack& s) {
         s.layerColor[1] = Color(1, 0, 0);
         s.blendMode[1] = 34;
       },
       {0.5f, 0.5f, 0.5f, 1}},
      {"Multiply",
       [](Stack& s) {
         s.layerColor[1] = Color(0.5f, 0.25f, 1);
         s.blendMode[1] = 1;
       },
       {0.25f, 0.125f, 0.5f, 1}},
      {"Exact Difference of equal colours at full coverage: black, alpha 0",
       [](Stack& s) {
         s.layerColor[1] = Color(0.5f, 0.5f, 0.5f);
         s.blendMode[1] = 33;
       },
       {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Stack s(2);
    c.setup(s);
    EXPECT_TRUE(ColorNear(Walk(s), c.want, 1e-7f));
  }
}

TEST(ColorWalk, MapAlphaIsCoverageWithoutAMask) {
  FakeMap clear{"clear", {1, 0, 0, 0}, {}};
  Stack s(2);
  s.subMaps[2] = &clear;
  EXPECT_TRUE(ColorBitsEq(Walk(s), AColor(0.5f, 0.5f, 0.5f, 1)));  // m = 0: nothing
  // Exact Difference at m = 0 gives the selected colour: D = (0.5 - 1, 0.5,
  // 0.5) and no |D| exceeds t = 1, so the grey g = |(D.r + D.b + D.g) / 3|.
  s.blendMode[1] = 33;
  const AColor got = Walk(s);
  const float g = std::fabs(((-0.5f + 0.5f) + 0.5f) * 0.33333334f);
  EXPECT_TRUE(ColorBitsEq(got, AColor(g, g, g, 1)));
}

TEST(ColorWalk, MaskReplacesTheTopsAlpha) {
  FakeMap map{"map", {1, 1, 1, 0.0f}, {}};
  FakeMap mask{"mask", {0.25f, 0.25f, 0.25f, 1}, {}};
  Stack s(2);
  s.layerColor[0] = Color(0, 0, 0);
  s.subMaps[2] = &map;
  s.subMaps[3] = &mask;
  // Normal with m = 0.25: colour 0.25, alpha (0.25 * 1 + 0 * 1) * 0.25 + 0.75 * 1.
  const AColor got = Walk(s);
  EXPECT_TRUE(ColorBitsEq(got, AColor(0.25f, 0.25f, 0.25f, 0.25f * 0.25f + 0.75f)));
}

TEST(ColorWalk, CallOrderAndSkips) {
  FakeMap m0{"m0", {1, 1, 1, 1}, {}}, k0{"k0", {1, 1, 1, 1}, {}};
  FakeMap m1{"m1", {1, 1, 1, 1}, {}}, k1{"k1", {1, 1, 1, 1}, {}};
  FakeMap m2{"m2", {1, 1, 1, 1}, {}}, k2{"k2", {1, 1, 1, 1}, {}};
  FakeMap m3{"m3", {1, 1, 1, 1}, {}}, k3{"k3", {1, 1, 1, 1}, {}};
  Stack s(4);
  FakeMap* maps[] = {&m0, &k0, &m1, &k1, &m2, &k2, &m3, &k3};
  for (int i = 0; i < 8; ++i) s.subMaps[i] = maps[i];
  s.layerUsed[1] = 0;  // skipped whole
  s.mapOn[2] = 0;      // mask only
  s.maskOn[3] = 0;     // map only
  s.blendMode[3] = 77; // evaluated, then left out
  Walk(s);
  EXPECT_EQ(s.calls, (Calls{"m0.color", "k0.color", "k2.color", "m3.color"}));
}

TEST(ColorWalk, EarlyResultForFewerThanTwoSubMapEntries) {
  Stack s(1);
  s.layerColor[0] = Color(0.2f, 0.3f, 0.4f);
  s.subMaps.SetCount(1);
  ColorWalkResult r = CompositeLayers(s.Tables(), s.ColorFn());
  EXPECT_FALSE(r.complete);
  EXPECT_TRUE(ColorBitsEq(r.color, AColor(0.2f, 0.3f, 0.4f, 1)));

  OutputSettings out;
  out.outputOn = true;
  out.rgbShift = AColor(1, 1, 1, 0);
  r = EvalLayeredColor(s.Tables(), out, s.ColorFn());
  EXPECT_FALSE(r.complete);
  EXPECT_TRUE(ColorBitsEq(r.color, AColor(0.2f, 0.3f, 0.4f, 1)));  // no output stage
}

TEST(ColorWalk, ShortTablesBoundTheWalk) {
  FakeMap m2{"m2", {1, 0, 0, 1}, {}};
  Stack s(3);
  s.subMaps.SetCount(8);  // a sub-map set beyond the tables: N = 4
  s.subMaps[4] = &m2;
  s.subMaps[6] = &m2;
  s.opacity.SetCount(2);  // layer 2 and up are beyond the opacity table
  const AColor got = Walk(s);
  EXPECT_TRUE(s.calls.empty());
  EXPECT_TRUE(ColorBitsEq(got, AColor(0.5f, 0.5f, 0.5f, 1)));
}

TEST(ColorWalk, NoColourEntryGivesOpaqueBlack) {
  Stack s(2);
  s.layerColor.SetCount(0);
  EXPECT_TRUE(ColorBitsEq(Walk(s), AColor(0, 0, 0, 1)));
  host::Tab<FakeMap*> none;
  host::Tab<int> i0;
  host::Tab<float> f0;
  host::Tab<Color> c0;
  LayerTables<FakeMap*> empty{none, i0, i0, i0, f0, c0, i0};
  const ColorWalkResult r = CompositeLayers(empty, [](FakeMap*) { return AColor(); });
  EXPECT_FALSE(r.complete);
  EXPECT_TRUE(ColorBitsEq(r.color, AColor(0, 0, 0, 1)));
}

TEST(ColorWalk, OutputStageRunsOnlyWhenOn) {
  Stack s(2);
  OutputSettings out;
  out.rgbShift = AColor(0.25f, 0, 0, 0);
  EXPECT_TRUE(ColorBitsEq(EvalLayeredColor(s.Tables(), out, s.ColorFn()).color, AColor(0.5f, 0.5f, 0.5f, 1)));
  out.outputOn = true;
  const ColorWalkResult r = EvalLayeredColor(s.Tables(), out, s.ColorFn());
  EXPECT_TRUE(r.complete);
  EXPECT_TRUE(ColorNear(r.color, AColor(0.75f, 0.5f, 0.5f, 1), 1e-7f));
}

TEST(ColorWalk, AllocatesNothing) {
  FakeMap map{"map", {0.3f, 0.6f, 0.9f, 0.8f}, {}};
  Stack s(16);
  for (int i = 0; i < 16; ++i) {
    s.blendMode[i] = i * 2 + 1;
    s.subMaps[2 * i] = &map;
    s.subMaps[2 * i + 1] = &map;
  }
  OutputSettings out;
  out.outputOn = true;
  out.gamma = 2.2f;
  {
    testing::AllocationCounter probe;  // the counter itself works
    int* volatile p = new int(1);
    delete p;
    EXPECT_EQ(probe.Count(), 1);
  }
  const auto eval = [](FakeMap* m) { return m->color; };
  testing::AllocationCounter counter;
  for (int k = 0; k < 100; ++k) (void)EvalLayeredColor(s.Tables(), out, eval);
  EXPECT_EQ(counter.Count(), 0);
}

}  // namespace
}  // namespace tessary
