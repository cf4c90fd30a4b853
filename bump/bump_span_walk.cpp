// The loops of the bump span walk: the per-sample mode value of
// bump_modes.h and the layer mix of compositing/blend_modes.h with the mode
// fixed per loop, so every sample gets the per-sample walk's bits. Compiled with the same value-neutral flags as
// compositing/span_walk.cpp (see there) so guarded divisions and square roots
// vectorise; "Interpolation" (out-of-line cosines) stays one sample at a time.

#include "bump/bump_span_walk.h"

#include "bump/bump_modes.h"

namespace tessary::span {
namespace {

// Any index outside the mode table takes this loop (ModeValue gives l for it).
constexpr auto kOutOfTable = static_cast<BlendMode>(kNumBlendModes);

// One function per mode, out of line so each loop can be read on its own.
template <BlendMode Mode>
[[gnu::noinline]] void BumpLoop(SpanPoints& __restrict R, const SpanPoints& __restrict P, const float* __restrict M,
                                float a, int n) {
  constexpr int mode = static_cast<int>(Mode);
  constexpr int touched = bump::ModeComponents(mode);
  for (int k = 0; k < n; ++k) {
    const float w = M[k];
    const float lx = w * P.x[k];
    const float ly = w * P.y[k];
    const float lz = w * P.z[k];
    if constexpr ((touched & 1) != 0) R.x[k] = blend::Mix(bump::ModeValue(mode, lx, R.x[k]), R.x[k], a, w);
    if constexpr ((touched & 2) != 0) R.y[k] = blend::Mix(bump::ModeValue(mode, ly, R.y[k]), R.y[k], a, w);
    if constexpr ((touched & 4) != 0) R.z[k] = blend::Mix(bump::ModeValue(mode, lz, R.z[k]), R.z[k], a, w);
  }
}

}  // namespace

void BumpBaseSpan(SpanPoints& __restrict R, const SpanPoints& __restrict P, const float* __restrict M, int n) {
  for (int k = 0; k < n; ++k) R.Set(k, host::Point3(M[k] * P.x[k], M[k] * P.y[k], M[k] * P.z[k]));
}

void BumpBlendSpan(int mode, SpanPoints& R, const SpanPoints& P, const float* M, float a, int n) {
  if (!IsBlendMode(mode)) return BumpLoop<kOutOfTable>(R, P, M, a, n);
  using enum BlendMode;
  switch (static_cast<BlendMode>(mode)) {
    case Normal: return BumpLoop<Normal>(R, P, M, a, n);
    case Multiply: return BumpLoop<Multiply>(R, P, M, a, n);
    case Screen: return BumpLoop<Screen>(R, P, M, a, n);
    case Additive: return BumpLoop<Additive>(R, P, M, a, n);
    case Subtractive: return BumpLoop<Subtractive>(R, P, M, a, n);
    case Stamp: return BumpLoop<Stamp>(R, P, M, a, n);
    case Difference: return BumpLoop<Difference>(R, P, M, a, n);
    case Negation: return BumpLoop<Negation>(R, P, M, a, n);
    case Exclusion: return BumpLoop<Exclusion>(R, P, M, a, n);
    case Darken: return BumpLoop<Darken>(R, P, M, a, n);
    case Lighten: return BumpLoop<Lighten>(R, P, M, a, n);
    case Overlay: return BumpLoop<Overlay>(R, P, M, a, n);
    case HardLight: return BumpLoop<HardLight>(R, P, M, a, n);
    case SoftLight: return BumpLoop<SoftLight>(R, P, M, a, n);
    case Dodge: return BumpLoop<Dodge>(R, P, M, a, n);
    case InverseDodge: return BumpLoop<InverseDodge>(R, P, M, a, n);
    case SoftDodge: return BumpLoop<SoftDodge>(R, P, M, a, n);
    case Burn: return BumpLoop<Burn>(R, P, M, a, n);
    case InverseBurn: return BumpLoop<InverseBurn>(R, P, M, a, n);
    case SoftBurn: return BumpLoop<SoftBurn>(R, P, M, a, n);
    case Interpolation: return BumpLoop<Interpolation>(R, P, M, a, n);
    case Average: return BumpLoop<Average>(R, P, M, a, n);
    case Hue: return BumpLoop<Hue>(R, P, M, a, n);
    case Saturation: return BumpLoop<Saturation>(R, P, M, a, n);
    case Luminance: return BumpLoop<Luminance>(R, P, M, a, n);
    case Color: return BumpLoop<Color>(R, P, M, a, n);
    case Reflect: return BumpLoop<Reflect>(R, P, M, a, n);
    case Glow: return BumpLoop<Glow>(R, P, M, a, n);
    case Freeze: return BumpLoop<Freeze>(R, P, M, a, n);
    case Heat: return BumpLoop<Heat>(R, P, M, a, n);
    case RGBRed: return BumpLoop<RGBRed>(R, P, M, a, n);
    case RGBGreen: return BumpLoop<RGBGreen>(R, P, M, a, n);
    case RGBBlue: return BumpLoop<RGBBlue>(R, P, M, a, n);
    case ExactDifference: return BumpLoop<ExactDifference>(R, P, M, a, n);
  }
}

}  // namespace tessary::span
