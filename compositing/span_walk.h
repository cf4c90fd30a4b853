#pragma once
// The colour walk over a span of samples (a row or part of a tile) instead of
// one sample: every sub-map is evaluated over the whole span into a plane
// buffer, the blend mode is chosen once per layer, and a tight loop blends
// the span. Each sample of the result has exactly the bits that
// CompositeLayers / EvalLayeredColor (layer_walk.h) give for that sample: the
// loops call the same per-sample functions (ApplyBlendMode, Intensity, the
// output steps) with the mode fixed, and the compiler vectorises a loop only
// where that keeps every bit (no contraction, no reassociation).
//
// Sub-maps are evaluated through a callable that fills a span:
//   evalSpan(MapPtr map, SpanColors& out, int n)  // samples 0 .. n-1 of out
// It is called at most once per map entry and span, exactly for the entries
// the per-sample walk would evaluate (switch on, entry present, layer used),
// in the same order: layer by layer, map before mask. Only the interleaving
// differs: the per-sample path runs the whole stack for one sample before the
// next, the span path runs one sub-map for the whole span before the next.
//
// Nothing allocates: the caller owns the result and the scratch planes.

#include <algorithm>

#include "compositing/color_helpers.h"
#include "compositing/layer_tables.h"
#include "compositing/output_settings.h"
#include "host/sdk/shade_span.h"

namespace tessary {

// The most samples one span walk computes, and the colours of a span as four
// planes: the host's span types (host/sdk/shade_span.h), so a map's span
// evaluation writes straight into the walk's planes.
using host::kMaxSpan;
using host::SpanColors;

// The working planes of one colour span walk. A layered map that is itself a
// sub-map of another needs its own scratch (one per nesting level).
struct ColorSpanScratch {
  SpanColors top;   // the layer's colour: its map's span or its flat colour
  SpanColors mask;  // the mask map's span
  alignas(64) float coverage[kMaxSpan];
};

// The span loops, compiled once (span_walk.cpp).
namespace span {

// out[k] = Intensity(c at k).
void IntensitySpan(const SpanColors& c, float* out, int n);
// Layer 0: every channel of c times e[k]; with e == nullptr times c's own alpha.
void ScaleSpan(SpanColors& c, const float* e, int n);
// base = ApplyBlendMode(mode, base, top with alpha m, t, m) at every sample;
// a mode outside 0..33 leaves base untouched.
void BlendSpan(int mode, SpanColors& base, const SpanColors& top, const float* m, float t, int n);
// c = ApplyOutputStage(settings, c) at every sample.
void OutputStageSpan(const OutputSettings& settings, SpanColors& c, int n);

}  // namespace span

// The span counterpart of CompositeLayers: the layer stack without the output
// stage, over samples 0 .. n-1 of `out`. Returns false for the early result of
// a stack with fewer than two sub-map entries (out holds layer 0's flat colour
// with alpha 1, or opaque black; no sub-map is called), true otherwise. n is
// clamped into 0 .. kMaxSpan; with n = 0 nothing is evaluated.
template <class MapPtr, class EvalSpanFn>
[[nodiscard]] bool CompositeLayersSpan(const LayerTables<MapPtr>& L, int n, SpanColors& out,
                                       ColorSpanScratch& scratch, EvalSpanFn&& evalSpan) {
  using Tables = LayerTables<MapPtr>;
  n = std::clamp(n, 0, kMaxSpan);
  const AColor flat0 = L.layerColor.Count() > 0 ? AColor(L.layerColor[0], 1.0f) : AColor(0.0f, 0.0f, 0.0f, 1.0f);
  if (L.subMaps.Count() < 2) {
    out.Fill(flat0, n);
    return false;
  }
  if (n == 0) return true;

  if (Tables::Flag(L.mapOn, 0) && L.subMaps[0]) {
    evalSpan(L.subMaps[0], out, n);
  } else {
    out.Fill(flat0, n);
  }
  if (Tables::Flag(L.maskOn, 0) && L.subMaps[1]) {
    evalSpan(L.subMaps[1], scratch.mask, n);
    span::IntensitySpan(scratch.mask, scratch.coverage, n);
    span::ScaleSpan(out, scratch.coverage, n);
  } else {
    span::ScaleSpan(out, nullptr, n);
  }

  const int layers = L.WalkableLayers();
  for (int i = 1; i < layers; ++i) {
    if (L.layerUsed[i] == 0) continue;
    if (L.mapOn[i] != 0 && L.subMaps[2 * i]) {
      evalSpan(L.subMaps[2 * i], scratch.top, n);
    } else {
      scratch.top.Fill(AColor(L.layerColor[i], 1.0f), n);
    }
    const float* m = scratch.top.a;
    if (L.maskOn[i] != 0 && L.subMaps[2 * i + 1]) {
      evalSpan(L.subMaps[2 * i + 1], scratch.mask, n);
      span::IntensitySpan(scratch.mask, scratch.coverage, n);
      m = scratch.coverage;
    }
    const float t = L.opacity[i] * 0.01f;
    span::BlendSpan(L.blendMode[i], out, scratch.top, m, t, n);
  }
  return true;
}

// The span counterpart of EvalLayeredColor: the walk, then the output stage
// over the span when output.outputOn is set (never after the early result).
template <class MapPtr, class EvalSpanFn>
[[nodiscard]] bool EvalLayeredColorSpan(const LayerTables<MapPtr>& L, const OutputSettings& output, int n,
                                        SpanColors& out, ColorSpanScratch& scratch, EvalSpanFn&& evalSpan) {
  const bool complete = CompositeLayersSpan(L, n, out, scratch, evalSpan);
  if (complete && output.outputOn) span::OutputStageSpan(output, out, std::clamp(n, 0, kMaxSpan));
  return complete;
}

}  // namespace tessary
