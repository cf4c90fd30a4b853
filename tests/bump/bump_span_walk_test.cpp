// The bump span walk against the per-sample bump walk: every sample, every
// bit (a NaN wherever the per-sample walk gives one), the same sub-map calls,
// nothing allocated.

#include "bump/bump_span_walk.h"

#include <gtest/gtest.h>

#include <memory>

#include "bump/bump_walk.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/span_stack.h"

namespace tessary {
namespace {

using testing::ExactBits;
using testing::kSpanLengths;
using testing::SampleMap;
using testing::SpanStack;

struct Buffers {
  SpanPoints out;
  BumpSpanScratch scratch;
};

void ExpectSpanEqualsPerSample(SpanStack& s, int n) {
  SCOPED_TRACE("span of " + std::to_string(n));
  auto buffers = std::make_unique<Buffers>();
  s.calls.clear();
  CompositePerturbSpan(s.Tables(), n, buffers->out, buffers->scratch, s.PerturbSpan(), s.ColorSpan());
  const std::vector<std::string> spanCalls = s.calls;
  for (int k = 0; k < n; ++k) {
    s.calls.clear();
    const host::Point3 want = CompositePerturb(s.Tables(), s.PerturbAt(k), s.ColorAt(k));
    ASSERT_TRUE(ExactBits(buffers->out.Get(k), want, k));
    if (k == 0) {
      ASSERT_EQ(spanCalls, s.calls);
    }
  }
}

TEST(BumpSpanWalk, EveryModeMaskSwitchAndOpacity) {
  testing::ForEachModeCase([](SpanStack& s) {
    for (int n : kSpanLengths) ExpectSpanEqualsPerSample(s, n);
  });
}

TEST(BumpSpanWalk, StackShapes) {
  for (const auto& c : testing::StackShapes()) {
    SCOPED_TRACE(c.name);
    testing::FullStack full(200);
    SpanStack& s = full.s;
    s.blendMode[1] = 31;  // RGB green: y only
    s.blendMode[2] = 19;  // Soft burn
    s.blendMode[3] = 20;  // Interpolation
    s.opacity[2] = 50.0f;
    c.setup(s);
    for (int n : kSpanLengths) ExpectSpanEqualsPerSample(s, n);
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(BumpSpanWalk, RandomStacks) {
  testing::RandomStacks random(3000);
  for (int round = 0; round < 500; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    SpanStack s(random.Layers());
    random.Randomise(s);
    ExpectSpanEqualsPerSample(s, random.Length());
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(BumpSpanWalk, LengthIsBounded) {
  SampleMap map{"map"};
  testing::FillSamples(map, 3, 0);
  SpanStack s(2);
  s.subMaps[0] = &map;
  auto buffers = std::make_unique<Buffers>();
  CompositePerturbSpan(s.Tables(), 0, buffers->out, buffers->scratch, s.PerturbSpan(), s.ColorSpan());
  EXPECT_TRUE(s.calls.empty());
  CompositePerturbSpan(s.Tables(), kMaxSpan + 3, buffers->out, buffers->scratch, s.PerturbSpan(), s.ColorSpan());
  const int k = kMaxSpan - 1;
  EXPECT_TRUE(ExactBits(buffers->out.Get(k), CompositePerturb(s.Tables(), s.PerturbAt(k), s.ColorAt(k)), k));
}

TEST(BumpSpanWalk, AllocatesNothing) {
  SampleMap map{"map"};
  testing::FillSamples(map, 5, 0);
  SpanStack s(16);
  s.logging = false;
  for (int i = 0; i < 16; ++i) {
    s.blendMode[i] = i * 2 + 1;
    s.subMaps[2 * i] = &map;
    s.subMaps[2 * i + 1] = &map;
  }
  auto buffers = std::make_unique<Buffers>();
  auto perturb = s.PerturbSpan();
  auto color = s.ColorSpan();
  testing::AllocationCounter counter;
  for (int k = 0; k < 20; ++k) {
    CompositePerturbSpan(s.Tables(), kMaxSpan, buffers->out, buffers->scratch, perturb, color);
  }
  EXPECT_EQ(counter.Count(), 0);
}

}  // namespace
}  // namespace tessary
