#pragma once
// A layer stack for comparing the span walks with the per-sample walks: its
// stand-in sub-maps hold one colour and one perturbation per sample, so the
// same map can be evaluated one sample at a time or over a whole span, and
// they log their calls. Also the hostile values the maps are filled from and
// the comparison of span and per-sample results.

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "bump/bump_span_walk.h"
#include "compositing/blend_modes.h"
#include "compositing/layer_tables.h"
#include "compositing/span_walk.h"
#include "host/sdk/color.h"
#include "host/sdk/point3.h"
#include "host/sdk/tab.h"
#include "tests/support/float_bits.h"

namespace tessary::testing {

// Values that break careless arithmetic: signed zeros, the 0.5 and 1 branch
// points and their neighbours, negatives, values above 1, subnormals, the
// extremes, infinities and NaNs with different signs and payloads.
inline std::vector<float> HostileValues() {
  const float inf = std::numeric_limits<float>::infinity();
  return {0.0f,        -0.0f,         1.0f,        0.5f,         0.25f,       0.75f,
          -0.75f,      1.6f,          2.0f,        -1.0f,        0.49999997f, 0.50000006f,
          0.99999994f, 1.0000001f,    1e-40f,      -1e-42f,      1.1754944e-38f,
          3.4e38f,     -3.4e38f,      inf,         -inf,         1e-7f,       0.3f,
          std::bit_cast<float>(0x7fc00000u), std::bit_cast<float>(0xffc00000u),
          std::bit_cast<float>(0x7fc12345u), std::bit_cast<float>(0xff800001u)};
}

// A stand-in map with its value at every sample of a span.
struct SampleMap {
  std::string name;
  std::vector<host::AColor> colors = std::vector<host::AColor>(kMaxSpan);
  std::vector<host::Point3> perturbs = std::vector<host::Point3>(kMaxSpan);
};

// Fills a map's samples: ordinary values in -0.5 .. 1.5, every `hostileEvery`
// value (0: none) taken from HostileValues(), all from `seed`.
inline void FillSamples(SampleMap& m, unsigned seed, int hostileEvery) {
  static const std::vector<float> hostile = HostileValues();
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> ordinary(-0.5f, 1.5f);
  int count = 0;
  const auto next = [&] {
    if (hostileEvery > 0 && ++count % hostileEvery == 0) return hostile[rng() % hostile.size()];
    return ordinary(rng);
  };
  for (auto& c : m.colors) c = host::AColor(next(), next(), next(), next());
  for (auto& p : m.perturbs) p = host::Point3(next(), next(), next());
}

// Sixteen values at which modes branch or break: with FillPairs a span of
// kMaxSpan samples meets every pair of them.
inline constexpr int kPairValues = 16;
static_assert(kPairValues * kPairValues == kMaxSpan);
inline float PairValue(int i) {
  const float values[kPairValues] = {0.0f,        -0.0f,       1.0f,        0.5f,
                                     0.49999997f, 0.50000006f, 0.99999994f, 0.25f,
                                     -0.75f,      1.6f,        1e-40f,      std::numeric_limits<float>::infinity(),
                                     -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                                     3.4e38f,     1e-7f};
  return values[i % kPairValues];
}

// Sample k of `below` holds value k mod 16 and sample k of `above` value
// k / 16 in red (green and blue rotated), so every pair of values meets in
// each channel; below's alpha is 1 (a base map under no mask passes its
// colour on exactly), above's alpha runs through the values.
inline void FillPairs(SampleMap& below, SampleMap& above) {
  for (int k = 0; k < kMaxSpan; ++k) {
    const int lo = k % kPairValues;
    const int hi = k / kPairValues;
    const auto i = static_cast<std::size_t>(k);
    below.colors[i] = host::AColor(PairValue(lo), PairValue(lo + 5), PairValue(lo + 11), 1.0f);
    above.colors[i] = host::AColor(PairValue(hi), PairValue(hi + 5), PairValue(hi + 11), PairValue(k * 7));
    below.perturbs[i] = host::Point3(PairValue(lo), PairValue(lo + 5), PairValue(lo + 11));
    above.perturbs[i] = host::Point3(PairValue(hi), PairValue(hi + 5), PairValue(hi + 11));
  }
}

struct SpanStack {
  host::Tab<const SampleMap*> subMaps;
  host::Tab<int> mapOn, maskOn, layerUsed, blendMode;
  host::Tab<float> opacity;
  host::Tab<host::Color> layerColor;
  std::vector<std::string> calls;  // filled by the logging callables
  bool logging = true;

  // n layers: no maps, switches on, distinct flat colours, 100 %, Normal.
  explicit SpanStack(int n) {
    subMaps.SetCount(2 * n);
    for (auto* t : {&mapOn, &maskOn, &layerUsed, &blendMode}) t->SetCount(n);
    opacity.SetCount(n);
    layerColor.SetCount(n);
    for (int i = 0; i < n; ++i) {
      subMaps[2 * i] = subMaps[2 * i + 1] = nullptr;
      mapOn[i] = maskOn[i] = layerUsed[i] = 1;
      blendMode[i] = 0;
      opacity[i] = 100.0f;
      const float k = static_cast<float>(i + 1) * 0.125f;
      layerColor[i] = host::Color(k, 1.0f - k, 0.5f * k);
    }
  }

  LayerTables<const SampleMap*> Tables() const {
    return {subMaps, mapOn, maskOn, layerUsed, opacity, layerColor, blendMode};
  }

  void Log(const SampleMap* m, const char* what) {
    if (logging) calls.push_back(m->name + what);
  }
  // Per sample k.
  auto ColorAt(int k) {
    return [this, k](const SampleMap* m) {
      Log(m, ".color");
      return m->colors[static_cast<std::size_t>(k)];
    };
  }
  auto PerturbAt(int k) {
    return [this, k](const SampleMap* m) {
      Log(m, ".perturb");
      return m->perturbs[static_cast<std::size_t>(k)];
    };
  }
  // Over a span; a span longer than kMaxSpan is a fault of the walk.
  auto ColorSpan() {
    return [this](const SampleMap* m, SpanColors& out, int n) {
      Log(m, ".color");
      EXPECT_TRUE(n >= 1 && n <= kMaxSpan) << n;
      for (int k = 0; k < n; ++k) out.Set(k, m->colors[static_cast<std::size_t>(k)]);
    };
  }
  auto PerturbSpan() {
    return [this](const SampleMap* m, SpanPoints& out, int n) {
      Log(m, ".perturb");
      EXPECT_TRUE(n >= 1 && n <= kMaxSpan) << n;
      for (int k = 0; k < n; ++k) out.Set(k, m->perturbs[static_cast<std::size_t>(k)]);
    };
  }
};

// What the span tests run through: the span lengths (vector loops have tails
// at 1, 7 and kMaxSpan - 1), every mode and three values outside the table,
// opacities, and the switches and entries of the layer under test.
inline constexpr int kSpanLengths[] = {1, 7, 64, kMaxSpan - 1, kMaxSpan};
inline constexpr float kOpacities[] = {0.0f, 50.0f, 100.0f, 37.0f};
inline std::vector<int> ModesToTest() {
  std::vector<int> modes = {-1, kNumBlendModes, 99};
  for (int m = 0; m < kNumBlendModes; ++m) modes.push_back(m);
  return modes;
}
struct LayerSwitches {
  const char* name;
  bool map, mask;  // entries present
  int mapOn, maskOn;
};
inline constexpr LayerSwitches kLayerSwitches[] = {
    {"map and mask", true, true, 1, 1},      {"map only", true, false, 1, 1},
    {"mask only", false, true, 1, 1},        {"neither", false, false, 1, 1},
    {"mask switched off", true, true, 1, 0}, {"map switched off", true, true, 0, 1},
    {"both switched off", true, true, 0, 0},
};

// The layer under test (layer 1, maps given by LayerSwitches) over a base
// whose map passes every boundary value on unchanged and meets every top
// value (FillPairs), under a layer at 50 % with the same mode.
struct ModeStack {
  SampleMap base{"base"}, map{"map"}, mask{"mask"}, over{"over"};
  SpanStack s{3};
  ModeStack(unsigned seed, int mode, const LayerSwitches& layer, float opacity) {
    FillPairs(base, map);
    FillSamples(mask, seed, 3);
    FillSamples(over, seed + 1, 3);
    s.subMaps[0] = &base;
    s.subMaps[2] = layer.map ? &map : nullptr;
    s.subMaps[3] = layer.mask ? &mask : nullptr;
    s.subMaps[4] = &over;
    s.mapOn[1] = layer.mapOn;
    s.maskOn[1] = layer.maskOn;
    s.blendMode[1] = mode;
    s.blendMode[2] = mode;
    s.opacity[1] = opacity;
    s.opacity[2] = 50.0f;
  }
};

// Runs `check` on the ModeStack of every mode, switch setting and opacity;
// stops at the first failure.
inline void ForEachModeCase(const std::function<void(SpanStack&)>& check) {
  unsigned seed = 0;
  for (int mode : ModesToTest()) {
    for (const auto& layer : kLayerSwitches) {
      for (float opacity : kOpacities) {
        SCOPED_TRACE("mode " + std::to_string(mode) + ", " + layer.name + ", opacity " + std::to_string(opacity));
        ModeStack st(seed += 2, mode, layer, opacity);
        check(st.s);
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
}

// A four-layer stack whose eight entries all hold maps of mixed values.
struct FullStack {
  SampleMap maps[8];
  SpanStack s{4};
  explicit FullStack(unsigned seed) {
    for (int i = 0; i < 8; ++i) {
      maps[i].name = "m" + std::to_string(i);
      FillSamples(maps[i], seed + static_cast<unsigned>(i), 4);
      s.subMaps[i] = &maps[i];
    }
  }
};

// Shapes of a FullStack.
struct StackShape {
  const char* name;
  std::function<void(SpanStack&)> setup;
};
inline std::vector<StackShape> StackShapes() {
  return {
      {"as built", [](SpanStack&) {}},
      {"layer 0 ignores its use switch, opacity and mode",
       [](SpanStack& s) {
         s.layerUsed[0] = 0;
         s.opacity[0] = 0.0f;
         s.blendMode[0] = 99;
       }},
      {"layer 0 map and mask switched off",
       [](SpanStack& s) {
         s.mapOn[0] = 0;
         s.maskOn[0] = 0;
       }},
      {"layer 0 map without its mask", [](SpanStack& s) { s.subMaps[1] = nullptr; }},
      {"layer 0 switched on with null entries",
       [](SpanStack& s) {
         s.subMaps[0] = nullptr;
         s.subMaps[1] = nullptr;
       }},
      {"skipped layers",
       [](SpanStack& s) {
         s.layerUsed[1] = 0;
         s.layerUsed[3] = 0;
       }},
      {"every layer above the base skipped",
       [](SpanStack& s) {
         for (int i = 1; i < 4; ++i) s.layerUsed[i] = 0;
       }},
      {"one sub-map entry: the early result", [](SpanStack& s) { s.subMaps.SetCount(1); }},
      {"no sub-map entries", [](SpanStack& s) { s.subMaps.SetCount(0); }},
      {"no colour entries", [](SpanStack& s) { s.layerColor.SetCount(0); }},
      {"an odd sub-map count", [](SpanStack& s) { s.subMaps.SetCount(5); }},
      {"tables shorter than the sub-maps",
       [](SpanStack& s) {
         s.opacity.SetCount(3);
         s.blendMode.SetCount(2);
       }},
  };
}

// Random stacks over a pool of maps (every fourth map ordinary values only,
// the others with hostile values mixed in), from a fixed seed.
struct RandomStacks {
  std::mt19937 rng;
  std::vector<SampleMap> maps;

  explicit RandomStacks(unsigned seed) : rng(seed), maps(16) {
    for (std::size_t i = 0; i < maps.size(); ++i) {
      maps[i].name = "m" + std::to_string(i);
      FillSamples(maps[i], seed + static_cast<unsigned>(i), static_cast<int>(i % 4) * 3);
    }
  }
  bool Chance(int percent) { return static_cast<int>(rng() % 100) < percent; }
  float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }
  int Layers() { return 1 + static_cast<int>(rng() % 9); }
  int Length() { return 1 + static_cast<int>(rng() % kMaxSpan); }

  // Random entries, switches, modes (in and out of the table), opacities
  // (0, 100 and out of range among them) and flat colours.
  void Randomise(SpanStack& s) {
    for (int i = 0; i < s.subMaps.Count() / 2; ++i) {
      s.subMaps[2 * i] = Chance(80) ? &maps[rng() % maps.size()] : nullptr;
      s.subMaps[2 * i + 1] = Chance(50) ? &maps[rng() % maps.size()] : nullptr;
      s.mapOn[i] = Chance(85) ? 1 : 0;
      s.maskOn[i] = Chance(70) ? 1 : 0;
      s.layerUsed[i] = Chance(85) ? 1 : 0;
      s.blendMode[i] = static_cast<int>(rng() % 40) - 3;
      s.opacity[i] = Chance(30) ? 100.0f : (Chance(15) ? 0.0f : Uniform(-20.0f, 120.0f));
      s.layerColor[i] = host::Color(Uniform(-0.5f, 1.5f), Uniform(0.0f, 1.0f), Uniform(0.0f, 1.0f));
    }
  }
};

// The same bits, or both NaN. Where two NaNs of different sign or payload
// meet in one operation, the NaN that comes out depends on the order in which
// the compiler puts the operands (IEEE leaves it open), and the per-sample walk
// itself gives other NaN bits in the debug build than in the release build
// for such inputs; every other value has one exact bit pattern.
inline ::testing::AssertionResult ExactBits(const float* got, const float* want, int count, int sample) {
  for (int i = 0; i < count; ++i) {
    if (!SameBits(got[i], want[i])) {
      return ::testing::AssertionFailure() << "sample " << sample << ", component " << i << ": span "
                                           << Show(got[i]) << ", per sample " << Show(want[i]);
    }
  }
  return ::testing::AssertionSuccess();
}
inline ::testing::AssertionResult ExactBits(const host::AColor& got, const host::AColor& want, int sample) {
  const float g[4] = {got.r, got.g, got.b, got.a};
  const float w[4] = {want.r, want.g, want.b, want.a};
  return ExactBits(g, w, 4, sample);
}
inline ::testing::AssertionResult ExactBits(const host::Point3& got, const host::Point3& want, int sample) {
  const float g[3] = {got.x, got.y, got.z};
  const float w[3] = {want.x, want.y, want.z};
  return ExactBits(g, w, 3, sample);
}

}  // namespace tessary::testing
