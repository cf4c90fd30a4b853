#pragma once
// The colour walk over a layer stack: the base layer, then every used layer
// above it blended by its mode, opacity and coverage, then the output stage.
// Sub-maps are evaluated through a callable, so the walk knows no host object:
//   evalColor(MapPtr map) -> AColor
// The walk allocates nothing, takes no lock and keeps no state.

#include "compositing/blend_modes.h"
#include "compositing/color_helpers.h"
#include "compositing/layer_tables.h"
#include "compositing/output_settings.h"
#include "compositing/output_stage.h"

namespace tessary {

struct ColorWalkResult {
  AColor color;
  // False for the early result of a stack with fewer than two sub-map
  // entries: that colour skips the output stage and is not cached.
  bool complete = true;
};

// The layer stack alone, without the output stage.
//
// The base starts as layer 0's flat colour with alpha 1 (opaque black when the
// colour table is empty). With fewer than two sub-map entries that colour is
// returned at once (complete = false). Otherwise layer 0's map replaces it when
// switched on and present, and the base is multiplied, all four channels, by
// the mask's intensity or else by its own alpha. Each used layer i >= 1 then
// supplies a top (its map's colour, or its flat colour with alpha 1) and a
// coverage m (its mask's intensity, which also becomes the top's alpha, or
// else the top's alpha), and is blended with opacity fraction opacity x 0.01.
// Sub-maps are called in layer order, map before mask, only when their switch
// is on and their entry present; skipped layers call nothing.
template <class MapPtr, class EvalColorFn>
ColorWalkResult CompositeLayers(const LayerTables<MapPtr>& L, EvalColorFn&& evalColor) {
  using Tables = LayerTables<MapPtr>;
  AColor base = L.layerColor.Count() > 0 ? AColor(L.layerColor[0], 1.0f) : AColor(0.0f, 0.0f, 0.0f, 1.0f);
  if (L.subMaps.Count() < 2) return {base, false};

  if (Tables::Flag(L.mapOn, 0) && L.subMaps[0]) base = evalColor(L.subMaps[0]);
  float e = base.a;
  if (Tables::Flag(L.maskOn, 0) && L.subMaps[1]) e = Intensity(evalColor(L.subMaps[1]));
  base = AColor(base.r * e, base.g * e, base.b * e, base.a * e);

  const int layers = L.WalkableLayers();
  for (int i = 1; i < layers; ++i) {
    if (L.layerUsed[i] == 0) continue;
    AColor top(L.layerColor[i], 1.0f);
    if (L.mapOn[i] != 0 && L.subMaps[2 * i]) top = evalColor(L.subMaps[2 * i]);
    float m = top.a;
    if (L.maskOn[i] != 0 && L.subMaps[2 * i + 1]) {
      m = Intensity(evalColor(L.subMaps[2 * i + 1]));
      top.a = m;
    }
    const float t = L.opacity[i] * 0.01f;
    base = ApplyBlendMode(L.blendMode[i], base, top, t, m);
  }
  return {base, true};
}

// The whole colour evaluation without the cache: the layer walk, then the
// output stage when output.outputOn is set (never after the early result).
template <class MapPtr, class EvalColorFn>
ColorWalkResult EvalLayeredColor(const LayerTables<MapPtr>& L, const OutputSettings& output,
                                 EvalColorFn&& evalColor) {
  ColorWalkResult r = CompositeLayers(L, evalColor);
  if (r.complete && output.outputOn) r.color = ApplyOutputStage(output, r.color);
  return r;
}

}  // namespace tessary
