#pragma once
// The blend modes as they apply to normal perturbations. Each component
// (x, y, z) is treated like a colour channel: l is the layer's weighted
// component, r the accumulated one. Screen, the HSV modes, Exact Difference
// and any index outside the table blend as Normal. Nothing is clamped or
// normalised; divisions are guarded only against an exact zero divisor.

#include <cmath>

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
    case BlendMode::RGBBlue: return l;
    case BlendMode::Multiply: return l * r;
    case BlendMode::Additive: return l + r;
    case BlendMode::Subtractive: return r - l;
    case BlendMode::Stamp: return 2.0f * l + r - 1.0f;
    case BlendMode::Difference: return std::fabs(r - l);
    case BlendMode::Negation: return 1.0f - std::fabs(1.0f - r - l);
    case BlendMode::Exclusion: return l + r - 2.0f * l * r;
    case BlendMode::Darken: return l < r ? l : r;
    case BlendMode::Lighten: return l > r ? l : r;
    case BlendMode::Overlay: return r >= 0.5f ? 1.0f - 2.0f * (1.0f - l) * (1.0f - r) : 2.0f * l * r;
    case BlendMode::HardLight: return l >= 0.5f ? 1.0f - 2.0f * (1.0f - l) * (1.0f - r) : 2.0f * l * r;
    case BlendMode::SoftLight:
      if (l >= 0.5f) return std::sqrt(r) * (2.0f * l - 1.0f) + 2.0f * r * (1.0f - l);
      return ((1.0f - 2.0f * l) * r + 2.0f * l) * r;
    case BlendMode::Dodge: return l != 1.0f ? r / (1.0f - l) : l;
    case BlendMode::InverseDodge: return r != 1.0f ? l / (1.0f - r) : r;
    case BlendMode::SoftDodge:
      if (l + r >= 1.0f) return r != 0.0f ? 1.0f - ((1.0f - l) / r) * 0.5f : r;
      return l != 1.0f ? (r * 0.5f) / (1.0f - l) : l;
    case BlendMode::Burn: return l != 0.0f ? 1.0f - (1.0f - r) / l : l;
    case BlendMode::InverseBurn: return r != 0.0f ? 1.0f - (1.0f - l) / r : r;
    case BlendMode::SoftBurn:
      if (l + r >= 1.0f) return l != 0.0f ? 1.0f - ((1.0f - r) / l) * 0.5f : l;
      return r != 1.0f ? (l * 0.5f) / (1.0f - r) : r;
    case BlendMode::Interpolation:
      return blend::Interpolation(r, l);
    case BlendMode::Average: return (l + r) * 0.5f;
    case BlendMode::Reflect: return l != 1.0f ? (r * r) / (1.0f - l) : l;
    case BlendMode::Glow: return r != 1.0f ? (l * l) / (1.0f - r) : r;
    case BlendMode::Freeze: return l != 0.0f ? 1.0f - ((1.0f - r) / l) * (1.0f - r) : l;
    case BlendMode::Heat: return r != 0.0f ? 1.0f - ((1.0f - l) / r) * (1.0f - l) : r;
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

// The mix of one component: R = (B * a + r * (1 - a)) * M + r * (1 - M).
inline float Mix(float B, float r, float a, float M) {
  return (B * a + r * (1.0f - a)) * M + r * (1.0f - M);
}

}  // namespace tessary::bump
