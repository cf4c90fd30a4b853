// Engine benchmarks: every blend mode alone, the colour walk over 1 to 16
// layers (flat colours, then constant sub-maps with masks), the bump walk,
// and the walks that use exp, log and cos: the output stage with gamma, and
// stacks of "Interpolation" layers.
// Figures per layer per sample: the "per_layer" counter is seconds per layer.

#include <benchmark/benchmark.h>

#include <vector>

#include "bump/bump_walk.h"
#include "compositing/layer_walk.h"
#include "host/sdk/tab.h"

namespace tessary {
namespace {

using host::AColor;
using host::Color;
using host::Point3;
using host::Tab;

struct ConstantMap {
  AColor color;
  Point3 perturb;
};

// A layer stack whose layer i blends with mode (offset + i) % 34, or with
// `mode` throughout when that is not negative.
struct BenchStack {
  Tab<const ConstantMap*> subMaps;
  Tab<int> mapOn, maskOn, layerUsed, blendMode;
  Tab<float> opacity;
  Tab<Color> layerColor;

  BenchStack(int layers, int offset, const ConstantMap* map, const ConstantMap* mask, int mode = -1) {
    subMaps.SetCount(2 * layers);
    for (auto* t : {&mapOn, &maskOn, &layerUsed, &blendMode}) t->SetCount(layers);
    opacity.SetCount(layers);
    layerColor.SetCount(layers);
    for (int i = 0; i < layers; ++i) {
      subMaps[2 * i] = map;
      subMaps[2 * i + 1] = mask;
      mapOn[i] = maskOn[i] = layerUsed[i] = 1;
      blendMode[i] = mode >= 0 ? mode : (offset + i) % kNumBlendModes;
      opacity[i] = 40.0f + static_cast<float>(i % 7) * 10.0f;
      const float k = static_cast<float>(i) / static_cast<float>(layers);
      layerColor[i] = Color(0.2f + 0.6f * k, 0.8f - 0.5f * k, 0.3f + 0.4f * (1.0f - k));
    }
  }
  LayerTables<const ConstantMap*> Tables() const {
    return {subMaps, mapOn, maskOn, layerUsed, opacity, layerColor, blendMode};
  }
};

void SetPerLayer(benchmark::State& state, int layers) {
  state.counters["per_layer"] = benchmark::Counter(
      static_cast<double>(layers), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Mode(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  AColor base(0.3f, 0.55f, 0.8f, 1.0f);
  const AColor top(0.7f, 0.45f, 0.2f, 0.9f);
  for (auto _ : state) {
    base = ApplyBlendMode(mode, base, top, 0.5f, 0.9f);
    benchmark::DoNotOptimize(base);
    base.r = base.r * 0.5f + 0.2f;  // keep values in range so no mode degenerates
    base.g = base.g * 0.5f + 0.2f;
    base.b = base.b * 0.5f + 0.2f;
  }
}
BENCHMARK(BM_Mode)->DenseRange(0, kNumBlendModes - 1);

// Averages over all modes: the walk moves to the stack of the next mode
// offset every kSamplesPerStack samples, so each layer position sees each of
// the 34 modes. A render evaluates one stack for many samples in a row, so a
// stack is kept for a run of samples, as a tile of pixels would.
constexpr int kSamplesPerStack = 4096;

// Every layer of every stack blends with `mode` when it is not negative.
void ColorWalk(benchmark::State& state, bool withMaps, float gamma = 1.0f, int mode = -1) {
  const int layers = static_cast<int>(state.range(0));
  const ConstantMap map{{0.6f, 0.4f, 0.7f, 0.85f}, {}};
  const ConstantMap mask{{0.9f, 0.6f, 0.75f, 1.0f}, {}};
  std::vector<BenchStack> stacks;
  for (int k = 0; k < kNumBlendModes; ++k) {
    stacks.emplace_back(layers, k, withMaps ? &map : nullptr, withMaps ? &mask : nullptr, mode);
  }
  const auto eval = [](const ConstantMap* m) { return m->color; };
  OutputSettings output;
  if (gamma != 1.0f) {
    output.outputOn = true;
    output.gamma = gamma;
  }
  std::size_t k = 0;
  int run = 0;
  for (auto _ : state) {
    const ColorWalkResult r = EvalLayeredColor(stacks[k].Tables(), output, eval);
    benchmark::DoNotOptimize(r);
    if (++run == kSamplesPerStack) {
      run = 0;
      if (++k == stacks.size()) k = 0;
    }
  }
  SetPerLayer(state, layers);
}
void BM_ColorWalkFlat(benchmark::State& state) { ColorWalk(state, false); }
void BM_ColorWalkMapsAndMasks(benchmark::State& state) { ColorWalk(state, true); }
BENCHMARK(BM_ColorWalkFlat)->Arg(1)->Arg(4)->Arg(8)->Arg(16);
BENCHMARK(BM_ColorWalkMapsAndMasks)->Arg(1)->Arg(4)->Arg(8)->Arg(16);

// The output stage with gamma 2.2 after the walk over all modes: three
// logarithms and three exponentials per sample.
void BM_ColorWalkGamma(benchmark::State& state) { ColorWalk(state, false, 2.2f); }
BENCHMARK(BM_ColorWalkGamma)->Arg(1)->Arg(8);
// Every layer "Interpolation": six cosines per layer per sample.
void BM_ColorWalkInterpolation(benchmark::State& state) {
  ColorWalk(state, false, 1.0f, static_cast<int>(BlendMode::Interpolation));
}
BENCHMARK(BM_ColorWalkInterpolation)->Arg(8);
// Both at once.
void BM_ColorWalkInterpolationGamma(benchmark::State& state) {
  ColorWalk(state, true, 2.2f, static_cast<int>(BlendMode::Interpolation));
}
BENCHMARK(BM_ColorWalkInterpolationGamma)->Arg(8);

void BumpWalk(benchmark::State& state, int mode) {
  const int layers = static_cast<int>(state.range(0));
  const ConstantMap map{{0.6f, 0.4f, 0.7f, 0.85f}, {0.1f, -0.2f, 0.05f}};
  const ConstantMap mask{{0.9f, 0.6f, 0.75f, 1.0f}, {}};
  std::vector<BenchStack> stacks;
  for (int k = 0; k < kNumBlendModes; ++k) {
    stacks.emplace_back(layers, k, &map, &mask, mode);
  }
  const auto perturb = [](const ConstantMap* m) { return m->perturb; };
  const auto color = [](const ConstantMap* m) { return m->color; };
  std::size_t k = 0;
  int run = 0;
  for (auto _ : state) {
    const Point3 p = CompositePerturb(stacks[k].Tables(), perturb, color);
    benchmark::DoNotOptimize(p);
    if (++run == kSamplesPerStack) {
      run = 0;
      if (++k == stacks.size()) k = 0;
    }
  }
  SetPerLayer(state, layers);
}
void BM_BumpWalk(benchmark::State& state) { BumpWalk(state, -1); }
BENCHMARK(BM_BumpWalk)->Arg(8);
void BM_BumpWalkInterpolation(benchmark::State& state) {
  BumpWalk(state, static_cast<int>(BlendMode::Interpolation));
}
BENCHMARK(BM_BumpWalkInterpolation)->Arg(8);

}  // namespace
}  // namespace tessary

BENCHMARK_MAIN();
