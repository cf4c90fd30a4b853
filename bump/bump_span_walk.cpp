// The loops of the bump span walk: the per-sample mode value and mix of
// bump_modes.h with the mode fixed per loop, so every sample gets the
// per-sample walk's bits. Compiled with the same value-neutral flags as
// compositing/span_walk.cpp (see there) so guarded divisions and square roots
// vectorise; "Interpolation" (out-of-line cosines) stays one sample at a time.

#include "bump/bump_span_walk.h"

#include "bump/bump_modes.h"

namespace tessary::span {
namespace {

// Any index outside the mode table takes this loop (ModeValue gives l for it).
constexpr int kOutOfTable = kNumBlendModes;

// One function per mode, out of line so each loop can be read on its own.
template <int Mode>
[[gnu::noinline]] void BumpLoop(SpanPoints& __restrict R, const SpanPoints& __restrict P, const float* __restrict M,
                                float a, int n) {
  constexpr int touched = bump::ModeComponents(Mode);
  for (int k = 0; k < n; ++k) {
    const float w = M[k];
    const float lx = w * P.x[k];
    const float ly = w * P.y[k];
    const float lz = w * P.z[k];
    if constexpr ((touched & 1) != 0) R.x[k] = bump::Mix(bump::ModeValue(Mode, lx, R.x[k]), R.x[k], a, w);
    if constexpr ((touched & 2) != 0) R.y[k] = bump::Mix(bump::ModeValue(Mode, ly, R.y[k]), R.y[k], a, w);
    if constexpr ((touched & 4) != 0) R.z[k] = bump::Mix(bump::ModeValue(Mode, lz, R.z[k]), R.z[k], a, w);
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
    case Normal: return BumpLoop<static_cast<int>(Normal)>(R, P, M, a, n);
    case Multiply: return BumpLoop<static_cast<int>(Multiply)>(R, P, M, a, n);
    case Screen: return BumpLoop<static_cast<int>(Screen)>(R, P, M, a, n);
    case Additive: return BumpLoop<static_cast<int>(Additive)>(R, P, M, a, n);
    case Subtractive: return BumpLoop<static_cast<int>(Subtractive)>(R, P, M, a, n);
    case Stamp: return BumpLoop<static_cast<int>(Stamp)>(R, P, M, a, n);
    case Difference: return BumpLoop<static_cast<int>(Difference)>(R, P, M, a, n);
    case Negation: return BumpLoop<static_cast<int>(Negation)>(R, P, M, a, n);
    case Exclusion: return BumpLoop<static_cast<int>(Exclusion)>(R, P, M, a, n);
    case Darken: return BumpLoop<static_cast<int>(Darken)>(R, P, M, a, n);
    case Lighten: return BumpLoop<static_cast<int>(Lighten)>(R, P, M, a, n);
    case Overlay: return BumpLoop<static_cast<int>(Overlay)>(R, P, M, a, n);
    case HardLight: return BumpLoop<static_cast<int>(HardLight)>(R, P, M, a, n);
    case SoftLight: return BumpLoop<static_cast<int>(SoftLight)>(R, P, M, a, n);
    case Dodge: return BumpLoop<static_cast<int>(Dodge)>(R, P, M, a, n);
    case InverseDodge: return BumpLoop<static_cast<int>(InverseDodge)>(R, P, M, a, n);
    case SoftDodge: return BumpLoop<static_cast<int>(SoftDodge)>(R, P, M, a, n);
    case Burn: return BumpLoop<static_cast<int>(Burn)>(R, P, M, a, n);
    case InverseBurn: return BumpLoop<static_cast<int>(InverseBurn)>(R, P, M, a, n);
    case SoftBurn: return BumpLoop<static_cast<int>(SoftBurn)>(R, P, M, a, n);
    case Interpolation: return BumpLoop<static_cast<int>(Interpolation)>(R, P, M, a, n);
    case Average: return BumpLoop<static_cast<int>(Average)>(R, P, M, a, n);
    case Hue: return BumpLoop<static_cast<int>(Hue)>(R, P, M, a, n);
    case Saturation: return BumpLoop<static_cast<int>(Saturation)>(R, P, M, a, n);
    case Luminance: return BumpLoop<static_cast<int>(Luminance)>(R, P, M, a, n);
    case Color: return BumpLoop<static_cast<int>(Color)>(R, P, M, a, n);
    case Reflect: return BumpLoop<static_cast<int>(Reflect)>(R, P, M, a, n);
    case Glow: return BumpLoop<static_cast<int>(Glow)>(R, P, M, a, n);
    case Freeze: return BumpLoop<static_cast<int>(Freeze)>(R, P, M, a, n);
    case Heat: return BumpLoop<static_cast<int>(Heat)>(R, P, M, a, n);
    case RGBRed: return BumpLoop<static_cast<int>(RGBRed)>(R, P, M, a, n);
    case RGBGreen: return BumpLoop<static_cast<int>(RGBGreen)>(R, P, M, a, n);
    case RGBBlue: return BumpLoop<static_cast<int>(RGBBlue)>(R, P, M, a, n);
    case ExactDifference: return BumpLoop<static_cast<int>(ExactDifference)>(R, P, M, a, n);
  }
}

}  // namespace tessary::span
