// The colour span walk against the per-sample walk: every sample, every bit
// (a NaN wherever the per-sample walk gives one), the same sub-map calls,
// nothing allocated.

#include "compositing/span_walk.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>

#include "compositing/layer_walk.h"
#include "compositing/output_stage.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/span_stack.h"

namespace tessary {
namespace {

using testing::ExactBits;
using testing::kSpanLengths;
using testing::SampleMap;
using testing::SpanStack;

struct Buffers {
  SpanColors out;
  ColorSpanScratch scratch;
};

// Runs the span walk over n samples and the per-sample walk at each of them,
// and compares results, completeness and the sub-map calls (the span path
// calls, for the whole span, what the per-sample path calls for one sample).
void ExpectSpanEqualsPerSample(SpanStack& s, const OutputSettings& output, int n) {
  SCOPED_TRACE("span of " + std::to_string(n));
  auto buffers = std::make_unique<Buffers>();
  s.calls.clear();
  const bool complete = EvalLayeredColorSpan(s.Tables(), output, n, buffers->out, buffers->scratch, s.ColorSpan());
  const std::vector<std::string> spanCalls = s.calls;
  for (int k = 0; k < n; ++k) {
    s.calls.clear();
    const ColorWalkResult want = EvalLayeredColor(s.Tables(), output, s.ColorAt(k));
    ASSERT_EQ(complete, want.complete);
    ASSERT_TRUE(ExactBits(buffers->out.Get(k), want.color, k));
    if (k == 0) {
      ASSERT_EQ(spanCalls, s.calls);
    }
  }
}

TEST(ColorSpanWalk, EveryModeMaskSwitchAndOpacity) {
  testing::ForEachModeCase([](SpanStack& s) {
    for (int n : kSpanLengths) ExpectSpanEqualsPerSample(s, OutputSettings{}, n);
  });
}

TEST(ColorSpanWalk, StackShapes) {
  for (const auto& c : testing::StackShapes()) {
    SCOPED_TRACE(c.name);
    testing::FullStack full(100);
    SpanStack& s = full.s;
    s.blendMode[1] = 11;  // Overlay
    s.blendMode[2] = 33;  // Exact Difference
    s.blendMode[3] = 23;  // Saturation
    s.opacity[2] = 50.0f;
    c.setup(s);
    OutputSettings output;
    output.outputOn = true;
    output.gamma = 1.8f;
    for (int n : kSpanLengths) {
      ExpectSpanEqualsPerSample(s, OutputSettings{}, n);
      ExpectSpanEqualsPerSample(s, output, n);
    }
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(ColorSpanWalk, OutputStage) {
  struct Case {
    const char* name;
    std::function<void(OutputSettings&)> setup;
  };
  const Case cases[] = {
      {"neutral", [](OutputSettings&) {}},
      {"hue, saturation and value",
       [](OutputSettings& o) { o.hsvShift = AColor(120.0f, -0.25f, 0.125f, 0.0f); }},
      {"hue far out of range",
       [](OutputSettings& o) { o.hsvShift = AColor(-1e7f, 1.5f, -2.0f, 0.0f); }},
      {"red, green, blue and alpha",
       [](OutputSettings& o) {
         o.rgbShift = AColor(0.1f, -0.2f, 1.5f, 0.0f);
         o.alphaShift = -0.5f;
       }},
      {"gamma 2.2", [](OutputSettings& o) { o.gamma = 2.2f; }},
      {"gamma 0.45 with brightness and contrast",
       [](OutputSettings& o) {
         o.gamma = 0.45f;
         o.brightness = 1.3f;
         o.contrast = 0.7f;
       }},
      {"brightness and contrast",
       [](OutputSettings& o) {
         o.brightness = 2.0f;
         o.contrast = -1.5f;
       }},
      {"mono", [](OutputSettings& o) { o.monoOn = true; }},
      {"clamp",
       [](OutputSettings& o) {
         o.clampOn = true;
         o.alphaShift = 0.5f;
       }},
      {"everything",
       [](OutputSettings& o) {
         o.hsvShift = AColor(47.5f, -0.1f, 0.05f, 0.0f);
         o.rgbShift = AColor(0.01f, 0.02f, -0.03f, 0.0f);
         o.alphaShift = 0.25f;
         o.gamma = 3.0f;
         o.brightness = 1.1f;
         o.contrast = 0.9f;
         o.monoOn = true;
         o.clampOn = true;
       }},
  };
  SampleMap colors{"colors"};
  testing::FillSamples(colors, 7, 2);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OutputSettings output;
    output.outputOn = true;
    c.setup(output);
    // The stage alone on hostile colours.
    auto span = std::make_unique<SpanColors>();
    for (int k = 0; k < kMaxSpan; ++k) span->Set(k, colors.colors[static_cast<std::size_t>(k)]);
    span::OutputStageSpan(output, *span, kMaxSpan);
    for (int k = 0; k < kMaxSpan; ++k) {
      ASSERT_TRUE(ExactBits(span->Get(k), ApplyOutputStage(output, colors.colors[static_cast<std::size_t>(k)]), k));
    }
    // After a walk; and never after the early result.
    SpanStack s(2);
    s.subMaps[0] = &colors;
    s.blendMode[1] = 1;
    s.opacity[1] = 50.0f;
    for (int n : kSpanLengths) ExpectSpanEqualsPerSample(s, output, n);
    s.subMaps.SetCount(1);
    ExpectSpanEqualsPerSample(s, output, 7);
  }
}

// Random stacks, switches, modes (in and out of range), opacities and
// sub-map values, with and without the output stage, at random lengths.
TEST(ColorSpanWalk, RandomStacks) {
  testing::RandomStacks random(1000);
  for (int round = 0; round < 500; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    SpanStack s(random.Layers());
    random.Randomise(s);
    OutputSettings output;
    output.outputOn = random.Chance(50);
    if (random.Chance(30)) {
      const float h = random.Uniform(-400.0f, 400.0f);
      output.hsvShift = AColor(h, random.Uniform(-1.0f, 1.0f), random.Uniform(-1.0f, 1.0f), 0.0f);
    }
    output.rgbShift = AColor(random.Uniform(-0.2f, 0.2f), 0.0f, random.Uniform(-0.2f, 0.2f), 0.0f);
    output.gamma = random.Chance(50) ? 1.0f : random.Uniform(0.2f, 4.0f);
    output.brightness = random.Uniform(0.5f, 1.5f);
    output.monoOn = random.Chance(20);
    output.clampOn = random.Chance(30);
    ExpectSpanEqualsPerSample(s, output, random.Length());
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(ColorSpanWalk, LengthIsBounded) {
  SampleMap map{"map"};
  testing::FillSamples(map, 3, 0);
  SpanStack s(2);
  s.subMaps[2] = &map;
  auto buffers = std::make_unique<Buffers>();
  for (int n : {0, -5}) {
    s.calls.clear();
    EXPECT_TRUE(CompositeLayersSpan(s.Tables(), n, buffers->out, buffers->scratch, s.ColorSpan()));
    EXPECT_TRUE(s.calls.empty());
  }
  // Longer than the buffers: the first kMaxSpan samples, and no call beyond.
  EXPECT_TRUE(CompositeLayersSpan(s.Tables(), kMaxSpan + 9, buffers->out, buffers->scratch, s.ColorSpan()));
  for (int k : {0, kMaxSpan - 1}) {
    EXPECT_TRUE(ExactBits(buffers->out.Get(k), CompositeLayers(s.Tables(), s.ColorAt(k)).color, k));
  }
}

TEST(ColorSpanWalk, AllocatesNothing) {
  SampleMap map{"map"};
  testing::FillSamples(map, 5, 0);
  SpanStack s(16);
  s.logging = false;
  for (int i = 0; i < 16; ++i) {
    s.blendMode[i] = i * 2 + 1;
    s.subMaps[2 * i] = &map;
    s.subMaps[2 * i + 1] = &map;
  }
  OutputSettings output;
  output.outputOn = true;
  output.gamma = 2.2f;
  auto buffers = std::make_unique<Buffers>();
  auto eval = s.ColorSpan();
  testing::AllocationCounter counter;
  for (int k = 0; k < 20; ++k) {
    (void)EvalLayeredColorSpan(s.Tables(), output, kMaxSpan, buffers->out, buffers->scratch, eval);
  }
  EXPECT_EQ(counter.Count(), 0);
}

}  // namespace
}  // namespace tessary
