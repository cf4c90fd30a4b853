#pragma once
// The bump walk: composites the layers' normal perturbations. Sub-maps are
// reached through two callables, so the walk knows no host object:
//   evalPerturb(MapPtr map) -> Point3   (a layer map's perturbation)
//   evalColor(MapPtr map) -> AColor     (a mask map's colour)
// No cache, no output stage, no allocation, no lock.

#include "bump/bump_modes.h"
#include "compositing/color_helpers.h"
#include "compositing/layer_tables.h"
#include "host/sdk/point3.h"

namespace tessary {

// R starts at (0, 0, 0) and is returned as is for fewer than two sub-map
// entries. Layer 0 sets R = M x P (P its map's perturbation or 0, M its mask's
// intensity or 1), whatever its use switch, opacity and mode. Each used layer
// i >= 1 computes L = M x P and mixes every component its mode touches:
//   R.c = (B * a + R.c * (1 - a)) * M + R.c * (1 - M),  a = opacity x 0.01,
// so the mask weight acts twice. Map before mask, only when switched on and
// present; skipped layers call nothing.
template <class MapPtr, class EvalPerturbFn, class EvalColorFn>
host::Point3 CompositePerturb(const LayerTables<MapPtr>& L, EvalPerturbFn&& evalPerturb,
                              EvalColorFn&& evalColor) {
  using Tables = LayerTables<MapPtr>;
  host::Point3 R(0.0f, 0.0f, 0.0f);
  if (L.subMaps.Count() < 2) return R;

  {
    host::Point3 P(0.0f, 0.0f, 0.0f);
    if (Tables::Flag(L.mapOn, 0) && L.subMaps[0]) P = evalPerturb(L.subMaps[0]);
    float M = 1.0f;
    if (Tables::Flag(L.maskOn, 0) && L.subMaps[1]) M = Intensity(evalColor(L.subMaps[1]));
    R = host::Point3(M * P.x, M * P.y, M * P.z);
  }

  const int layers = L.WalkableLayers();
  for (int i = 1; i < layers; ++i) {
    if (L.layerUsed[i] == 0) continue;
    host::Point3 P(0.0f, 0.0f, 0.0f);
    if (L.mapOn[i] != 0 && L.subMaps[2 * i]) P = evalPerturb(L.subMaps[2 * i]);
    float M = 1.0f;
    if (L.maskOn[i] != 0 && L.subMaps[2 * i + 1]) M = Intensity(evalColor(L.subMaps[2 * i + 1]));
    const host::Point3 l(M * P.x, M * P.y, M * P.z);
    const float a = L.opacity[i] * 0.01f;
    const int mode = L.blendMode[i];
    const int touched = bump::ModeComponents(mode);
    // The colour layer mix, with opacity a and mask weight M.
    if (touched & 1) R.x = blend::Mix(bump::ModeValue(mode, l.x, R.x), R.x, a, M);
    if (touched & 2) R.y = blend::Mix(bump::ModeValue(mode, l.y, R.y), R.y, a, M);
    if (touched & 4) R.z = blend::Mix(bump::ModeValue(mode, l.z, R.z), R.z, a, M);
  }
  return R;
}

}  // namespace tessary
