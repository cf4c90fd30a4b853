// Engine benchmarks: every blend mode alone, the colour walk over 1 to 16
// layers (flat colours, then constant sub-maps with masks), the bump walk,
// and the walks that use exp, log and cos: the output stage with gamma, and
// stacks of "Interpolation" layers. Then the same walks over spans of
// samples, side by side with the per-sample walks, over all modes and per
// mode.
// Figures per layer per sample: the "per_layer" counter is seconds per layer
// and sample.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bump/bump_span_walk.h"
#include "bump/bump_walk.h"
#include "compositing/layer_walk.h"
#include "compositing/span_walk.h"
#include "host/tab.h"

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

// Seconds per layer and sample: `layers` x `samples` per iteration.
void SetPerLayer(benchmark::State& state, int layers, int samples = 1) {
  state.counters["per_layer"] =
      benchmark::Counter(static_cast<double>(layers) * samples,
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
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
    // Modes 0 to 3 mix the alpha too: Multiply at t = 0.5, m = 0.9 keeps 0.955
    // of it per round, which would reach the slow subnormal numbers in a few
    // thousand rounds and then measure those instead of the mode.
    base.a = base.a * 0.5f + 0.5f;
  }
}
BENCHMARK(BM_Mode)->DenseRange(0, kNumBlendModes - 1);

// Averages over all modes: the walk moves to the stack of the next mode
// offset every kSamplesPerStack samples, so each layer position sees each of
// the 34 modes. A render evaluates one stack for many samples in a row, so a
// stack is kept for a run of samples, as a tile of pixels would.
constexpr int kSamplesPerStack = 4096;

// Every layer of every stack blends with `mode` when it is not negative.
void ColorWalk(benchmark::State& state, int layers, bool withMaps, float gamma = 1.0f, int mode = -1) {
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
int Layers(const benchmark::State& state) { return static_cast<int>(state.range(0)); }
void BM_ColorWalkFlat(benchmark::State& state) { ColorWalk(state, Layers(state), false); }
void BM_ColorWalkMapsAndMasks(benchmark::State& state) { ColorWalk(state, Layers(state), true); }
BENCHMARK(BM_ColorWalkFlat)->Arg(1)->Arg(4)->Arg(8)->Arg(16);
BENCHMARK(BM_ColorWalkMapsAndMasks)->Arg(1)->Arg(4)->Arg(8)->Arg(16);

// The output stage with gamma 2.2 after the walk over all modes: three
// logarithms and three exponentials per sample.
void BM_ColorWalkGamma(benchmark::State& state) { ColorWalk(state, Layers(state), false, 2.2f); }
BENCHMARK(BM_ColorWalkGamma)->Arg(1)->Arg(8);
// Every layer "Interpolation": six cosines per layer per sample.
void BM_ColorWalkInterpolation(benchmark::State& state) {
  ColorWalk(state, Layers(state), false, 1.0f, static_cast<int>(BlendMode::Interpolation));
}
BENCHMARK(BM_ColorWalkInterpolation)->Arg(8);
// Both at once.
void BM_ColorWalkInterpolationGamma(benchmark::State& state) {
  ColorWalk(state, Layers(state), true, 2.2f, static_cast<int>(BlendMode::Interpolation));
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

// Per mode, side by side with the span walks below: 8 layers, every layer
// above the base in `mode`, flat colours or constant maps and masks.
int Mode(const benchmark::State& state) { return static_cast<int>(state.range(0)); }
void BM_ColorWalkModeFlat(benchmark::State& state) { ColorWalk(state, 8, false, 1.0f, Mode(state)); }
void BM_ColorWalkModeMaps(benchmark::State& state) { ColorWalk(state, 8, true, 1.0f, Mode(state)); }
BENCHMARK(BM_ColorWalkModeFlat)->DenseRange(0, kNumBlendModes - 1);
BENCHMARK(BM_ColorWalkModeMaps)->DenseRange(0, kNumBlendModes - 1);

// The span walks. Sub-maps deliver whole spans (a constant map fills the
// planes, as the cheapest bitmap would at best); one iteration walks one span
// of `samples`. The stacks are the per-sample walks' stacks, moved on after
// the same number of samples.
struct SpanBuffers {
  SpanColors out;
  ColorSpanScratch scratch;
};

void SpanWalk(benchmark::State& state, int layers, int samples, bool withMaps, float gamma = 1.0f,
              int mode = -1) {
  const ConstantMap map{{0.6f, 0.4f, 0.7f, 0.85f}, {}};
  const ConstantMap mask{{0.9f, 0.6f, 0.75f, 1.0f}, {}};
  std::vector<BenchStack> stacks;
  for (int k = 0; k < kNumBlendModes; ++k) {
    stacks.emplace_back(layers, k, withMaps ? &map : nullptr, withMaps ? &mask : nullptr, mode);
  }
  const auto evalSpan = [](const ConstantMap* m, SpanColors& out, int n) { out.Fill(m->color, n); };
  OutputSettings output;
  if (gamma != 1.0f) {
    output.outputOn = true;
    output.gamma = gamma;
  }
  auto buffers = std::make_unique<SpanBuffers>();
  std::size_t k = 0;
  int run = 0;
  for (auto _ : state) {
    const bool complete =
        EvalLayeredColorSpan(stacks[k].Tables(), output, samples, buffers->out, buffers->scratch, evalSpan);
    benchmark::DoNotOptimize(complete);
    benchmark::DoNotOptimize(buffers->out.r[samples - 1]);
    run += samples;
    if (run >= kSamplesPerStack) {
      run = 0;
      if (++k == stacks.size()) k = 0;
    }
  }
  SetPerLayer(state, layers, samples);
}
constexpr int kSpanSamples = 64;
// Arguments: layers, samples per span.
void BM_SpanWalkFlat(benchmark::State& state) {
  SpanWalk(state, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), false);
}
void BM_SpanWalkMapsAndMasks(benchmark::State& state) {
  SpanWalk(state, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), true);
}
BENCHMARK(BM_SpanWalkFlat)->Args({1, kSpanSamples})->Args({8, kSpanSamples})->Args({16, kSpanSamples});
BENCHMARK(BM_SpanWalkMapsAndMasks)
    ->Args({1, kSpanSamples})
    ->Args({8, 16})
    ->Args({8, kSpanSamples})
    ->Args({8, kMaxSpan})
    ->Args({16, kSpanSamples});
// The output stage with gamma 2.2 after the walk (compare BM_ColorWalkGamma).
void BM_SpanWalkGamma(benchmark::State& state) {
  SpanWalk(state, static_cast<int>(state.range(0)), kSpanSamples, false, 2.2f);
}
BENCHMARK(BM_SpanWalkGamma)->Arg(1)->Arg(8);
// Per mode: 8 layers over spans of 64.
void BM_SpanWalkModeFlat(benchmark::State& state) { SpanWalk(state, 8, kSpanSamples, false, 1.0f, Mode(state)); }
void BM_SpanWalkModeMaps(benchmark::State& state) { SpanWalk(state, 8, kSpanSamples, true, 1.0f, Mode(state)); }
BENCHMARK(BM_SpanWalkModeFlat)->DenseRange(0, kNumBlendModes - 1);
BENCHMARK(BM_SpanWalkModeMaps)->DenseRange(0, kNumBlendModes - 1);

// The bump walk over spans (compare BM_BumpWalk).
struct BumpSpanBuffers {
  SpanPoints out;
  BumpSpanScratch scratch;
};
void BM_BumpSpanWalk(benchmark::State& state) {
  const int layers = static_cast<int>(state.range(0));
  const ConstantMap map{{0.6f, 0.4f, 0.7f, 0.85f}, {0.1f, -0.2f, 0.05f}};
  const ConstantMap mask{{0.9f, 0.6f, 0.75f, 1.0f}, {}};
  std::vector<BenchStack> stacks;
  for (int k = 0; k < kNumBlendModes; ++k) stacks.emplace_back(layers, k, &map, &mask);
  const auto perturb = [](const ConstantMap* m, SpanPoints& out, int n) { out.Fill(m->perturb, n); };
  const auto color = [](const ConstantMap* m, SpanColors& out, int n) { out.Fill(m->color, n); };
  auto buffers = std::make_unique<BumpSpanBuffers>();
  std::size_t k = 0;
  int run = 0;
  for (auto _ : state) {
    CompositePerturbSpan(stacks[k].Tables(), kSpanSamples, buffers->out, buffers->scratch, perturb, color);
    benchmark::DoNotOptimize(buffers->out.x[kSpanSamples - 1]);
    run += kSpanSamples;
    if (run >= kSamplesPerStack) {
      run = 0;
      if (++k == stacks.size()) k = 0;
    }
  }
  SetPerLayer(state, layers, kSpanSamples);
}
BENCHMARK(BM_BumpSpanWalk)->Arg(8);

}  // namespace
}  // namespace tessary

BENCHMARK_MAIN();
