#pragma once
// The bump walk over a span of samples: each layer map's perturbation and
// each mask over the whole span into planes, the mode chosen once per layer,
// then a tight loop. Each sample has exactly the bits CompositePerturb
// (bump_walk.h) gives for it: the loops call the same per-sample functions
// (bump::ModeValue, blend::Mix, Intensity) with the mode fixed.
//
// Sub-maps are evaluated through two callables that fill a span:
//   evalPerturbSpan(MapPtr map, SpanPoints& out, int n)  // a layer map's perturbations
//   evalColorSpan(MapPtr map, SpanColors& out, int n)    // a mask map's colours
// called at most once per entry and span, for exactly the entries the
// per-sample walk evaluates, in its order (layer by layer, map before mask);
// only the interleaving with the samples differs. Nothing allocates.

#include <algorithm>

#include "compositing/layer_tables.h"
#include "compositing/span_walk.h"
#include "host/sdk/point3.h"

namespace tessary {

// Perturbations of a span as three planes x, y, z.
struct SpanPoints {
  alignas(64) float x[kMaxSpan];
  alignas(64) float y[kMaxSpan];
  alignas(64) float z[kMaxSpan];

  host::Point3 Get(int k) const { return host::Point3(x[k], y[k], z[k]); }
  void Set(int k, const host::Point3& p) {
    x[k] = p.x;
    y[k] = p.y;
    z[k] = p.z;
  }
  void Fill(const host::Point3& p, int n) {
    for (int k = 0; k < n; ++k) Set(k, p);
  }
};

// The working planes of one bump span walk (one per nesting level).
struct BumpSpanScratch {
  SpanPoints perturb;  // P: the layer map's span, or zeros
  SpanColors mask;     // the mask map's span
  alignas(64) float weight[kMaxSpan];  // M: the mask's intensity, or 1
};

namespace span {

// Layer 0: R = M x P at every sample.
void BumpBaseSpan(SpanPoints& R, const SpanPoints& P, const float* M, int n);
// A layer above the base with mode `mode` (any value; one outside 0..33
// blends as Normal), opacity fraction a, weights M.
void BumpBlendSpan(int mode, SpanPoints& R, const SpanPoints& P, const float* M, float a, int n);

}  // namespace span

// The span counterpart of CompositePerturb over samples 0 .. n-1 of R. A stack
// with fewer than two sub-map entries gives (0, 0, 0) without calling
// anything. n is clamped into 0 .. kMaxSpan; with n = 0 nothing is evaluated.
template <class MapPtr, class EvalPerturbSpanFn, class EvalColorSpanFn>
void CompositePerturbSpan(const LayerTables<MapPtr>& L, int n, SpanPoints& R, BumpSpanScratch& scratch,
                          EvalPerturbSpanFn&& evalPerturbSpan, EvalColorSpanFn&& evalColorSpan) {
  using Tables = LayerTables<MapPtr>;
  n = std::clamp(n, 0, kMaxSpan);
  if (L.subMaps.Count() < 2) {
    R.Fill(host::Point3(0.0f, 0.0f, 0.0f), n);
    return;
  }
  if (n == 0) return;

  // P and M of layer i into the scratch planes.
  const auto layerInputs = [&](int i) {
    if (Tables::Flag(L.mapOn, i) && L.subMaps[2 * i]) {
      evalPerturbSpan(L.subMaps[2 * i], scratch.perturb, n);
    } else {
      scratch.perturb.Fill(host::Point3(0.0f, 0.0f, 0.0f), n);
    }
    if (Tables::Flag(L.maskOn, i) && L.subMaps[2 * i + 1]) {
      evalColorSpan(L.subMaps[2 * i + 1], scratch.mask, n);
      span::IntensitySpan(scratch.mask, scratch.weight, n);
    } else {
      std::fill_n(scratch.weight, n, 1.0f);
    }
  };

  layerInputs(0);
  span::BumpBaseSpan(R, scratch.perturb, scratch.weight, n);

  const int layers = L.WalkableLayers();
  for (int i = 1; i < layers; ++i) {
    if (L.layerUsed[i] == 0) continue;
    layerInputs(i);
    span::BumpBlendSpan(L.blendMode[i], R, scratch.perturb, scratch.weight, L.opacity[i] * 0.01f, n);
  }
}

}  // namespace tessary
