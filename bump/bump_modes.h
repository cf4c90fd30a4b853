#pragma once
// The blend modes as they apply to normal perturbations. Each component
// (x, y, z) is treated like a colour channel: l is the layer's weighted
// component, r the accumulated one. Screen, the HSV modes, Exact Difference
// and any index outside the table blend as Normal. Nothing is clamped or
// normalised; divisions are guarded only against an exact zero divisor.
//
// Where a mode is the colour formula with r as the base and l as the top,
// it calls that formula (compositing/blend_modes.h). The modes that keep a
// formula of their own say why: either the formula differs, or the colour
// formula would give other bits for some inputs (the operands of a product
// in another order overflow differently; ties and NaN pick the other value).

#include "compositing/blend_modes.h"

namespace tessary::bump {

// The value B that mode `mode` mixes into component r for layer value l.
inline float ModeValue(int mode, float l, float r) {
  if (!IsBlendMode(mode)) return l;
  switch (static_cast<BlendMode>(mode)) {
    case BlendMode::Normal:
    case BlendMode::Screen:
    case BlendMode::Hue:
    case BlendMode::Saturation:
    case BlendMode::Luminance:
    case BlendMode::Color:
    case BlendMode::ExactDifference:
    case BlendMode::RGBRed:
    case BlendMode::RGBGreen:
    case BlendMode::RGBBlue: return blend::Normal(r, l);
    // Symmetric formulas, called with l first as the bump formula reads: with
    // NaN in both operands an unoptimised build returns the first one's NaN.
    case BlendMode::Multiply: return blend::Multiply(l, r);
    case BlendMode::Additive: return blend::Additive(l, r);
    // Not the colour formula (b + s - 1): the layer is taken away.
    case BlendMode::Subtractive: return r - l;
    case BlendMode::Stamp: return blend::Stamp(r, l);
    case BlendMode::Difference: return blend::Difference(r, l);
    case BlendMode::Negation: return blend::Negation(r, l);
    // (2 l) r here, (2 r) l in the colour formula: they differ where one
    // doubling overflows (l = 0, r = 2e38 gives 2e38 here, NaN there).
    case BlendMode::Exclusion: return l + r - 2.0f * l * r;
    // On a tie these return r where the colour formulas return l, so -0
    // against +0 gives the other sign; Lighten also returns r where either
    // is NaN, the colour formula l.
    case BlendMode::Darken: return l < r ? l : r;
    case BlendMode::Lighten: return l > r ? l : r;
    // The same branches as the colour formulas, but the doubled operand of
    // each product is l where the colour formula doubles r (see Exclusion).
    case BlendMode::Overlay: return r >= 0.5f ? 1.0f - 2.0f * (1.0f - l) * (1.0f - r) : 2.0f * l * r;
    case BlendMode::HardLight: return l >= 0.5f ? 1.0f - 2.0f * (1.0f - l) * (1.0f - r) : 2.0f * l * r;
    case BlendMode::SoftLight: return blend::SoftLight(r, l);
    case BlendMode::Dodge: return blend::Dodge(r, l);
    case BlendMode::InverseDodge: return blend::InverseDodge(r, l);
    case BlendMode::SoftDodge: return blend::SoftDodge(r, l);
    case BlendMode::Burn: return blend::Burn(r, l);
    case BlendMode::InverseBurn: return blend::InverseBurn(r, l);
    // Branches on l + r >= 1, the colour formula on b + s < 1: a NaN sum
    // takes the other branch (l = NaN, r = 1 gives 1 here, NaN there).
    case BlendMode::SoftBurn:
      if (l + r >= 1.0f) return l != 0.0f ? 1.0f - ((1.0f - r) / l) * 0.5f : l;
      return r != 1.0f ? (l * 0.5f) / (1.0f - r) : r;
    case BlendMode::Interpolation: return blend::Interpolation(r, l);
    case BlendMode::Average: return blend::Average(l, r);  // symmetric, see Multiply
    case BlendMode::Reflect: return blend::Reflect(r, l);
    case BlendMode::Glow: return blend::Glow(r, l);
    case BlendMode::Freeze: return blend::Freeze(r, l);
    case BlendMode::Heat: return blend::Heat(r, l);
  }
  return l;
}

// The component mask of a mode: bit 0 x, bit 1 y, bit 2 z. "RGB red",
// "RGB green" and "RGB blue" touch one component; every other value all three.
constexpr int ModeComponents(int mode) {
  switch (mode) {
    case static_cast<int>(BlendMode::RGBRed): return 1;
    case static_cast<int>(BlendMode::RGBGreen): return 2;
    case static_cast<int>(BlendMode::RGBBlue): return 4;
    default: return 7;
  }
}

}  // namespace tessary::bump
