#pragma once
// The 34 blend modes. Each combines the running composite (the base B) with
// a layer's colour (the top T) at opacity fraction t and coverage m. The
// per-channel raw results X are small functions of one signature; the layer
// mix then blends X into the base, first by opacity, then by coverage:
//   R.c = (X.c * t + (1 - t) * B.c) * m + (1 - m) * B.c
// Nothing here clamps. Divisions are guarded only against an exact zero
// divisor. The numbering is stored in scene files: never reorder, only append.

#include <array>
#include <cmath>

#include "compositing/color_helpers.h"

namespace tessary {

enum class BlendMode : int {
  Normal = 0,
  Multiply = 1,
  Screen = 2,
  Additive = 3,
  Subtractive = 4,
  Stamp = 5,
  Difference = 6,
  Negation = 7,
  Exclusion = 8,
  Darken = 9,
  Lighten = 10,
  Overlay = 11,
  HardLight = 12,
  SoftLight = 13,
  Dodge = 14,
  InverseDodge = 15,
  SoftDodge = 16,
  Burn = 17,
  InverseBurn = 18,
  SoftBurn = 19,
  Interpolation = 20,
  Average = 21,
  Hue = 22,
  Saturation = 23,
  Luminance = 24,
  Color = 25,
  Reflect = 26,
  Glow = 27,
  Freeze = 28,
  Heat = 29,
  RGBRed = 30,
  RGBGreen = 31,
  RGBBlue = 32,
  ExactDifference = 33,
};

inline constexpr int kNumBlendModes = 34;
static_assert(kNumBlendModes == int(BlendMode::ExactDifference) + 1, "a new mode is appended after the last");

// String-table IDs of the mode names, in mode order: 16..34 for modes 0..18,
// then 36..50 for modes 19..33 (there is no string 35).
inline constexpr std::array<int, kNumBlendModes> blendModeNameIds = {
    16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32,
    33, 34, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50};
static_assert(blendModeNameIds.size() == kNumBlendModes);
static_assert(blendModeNameIds[18] == 34 && blendModeNameIds[19] == 36);

inline constexpr bool IsBlendMode(int index) { return index >= 0 && index < kNumBlendModes; }

// Single-precision pi, used by "Interpolation".
inline constexpr float kPi = 3.1415927f;

// Raw results for one channel: b is the base value, s the top value.
namespace blend {
inline float Normal(float, float s) { return s; }
inline float Multiply(float b, float s) { return b * s; }
inline float Screen(float b, float s) { return 1.0f - (1.0f - b) * (1.0f - s); }
inline float Additive(float b, float s) { return b + s; }
inline float Subtractive(float b, float s) { return b + s - 1.0f; }
inline float Stamp(float b, float s) { return 2.0f * s + b - 1.0f; }
inline float Difference(float b, float s) { return std::fabs(b - s); }
inline float Negation(float b, float s) { return 1.0f - std::fabs((1.0f - b) - s); }
inline float Exclusion(float b, float s) { return b + s - 2.0f * b * s; }
inline float Darken(float b, float s) { return b >= s ? s : b; }
inline float Lighten(float b, float s) { return b > s ? b : s; }
inline float Overlay(float b, float s) {
  return b < 0.5f ? 2.0f * b * s : 1.0f - 2.0f * (1.0f - b) * (1.0f - s);
}
inline float HardLight(float b, float s) {
  return s < 0.5f ? 2.0f * b * s : 1.0f - 2.0f * (1.0f - b) * (1.0f - s);
}
inline float SoftLight(float b, float s) {
  if (s < 0.5f) return ((1.0f - 2.0f * s) * b + 2.0f * s) * b;
  return std::sqrt(b) * (2.0f * s - 1.0f) + 2.0f * b * (1.0f - s);
}
inline float Dodge(float b, float s) { return s != 1.0f ? b / (1.0f - s) : s; }
inline float InverseDodge(float b, float s) { return b != 1.0f ? s / (1.0f - b) : b; }
inline float SoftDodge(float b, float s) {
  if (b + s >= 1.0f) return b != 0.0f ? 1.0f - ((1.0f - s) / b) * 0.5f : b;
  return s != 1.0f ? (b * 0.5f) / (1.0f - s) : s;
}
inline float Burn(float b, float s) { return s != 0.0f ? 1.0f - (1.0f - b) / s : s; }
inline float InverseBurn(float b, float s) { return b != 0.0f ? 1.0f - (1.0f - s) / b : b; }
inline float SoftBurn(float b, float s) {
  if (b + s < 1.0f) return b != 1.0f ? (s * 0.5f) / (1.0f - b) : b;
  return s != 0.0f ? 1.0f - ((1.0f - b) / s) * 0.5f : s;
}
// 0.5 - 0.25 cos(pi b) - 0.25 cos(pi s) with the correctly rounded CrCosf.
// Out of line (blend_modes.cpp): its two cosines would otherwise be inlined
// into every walk's mode switch and cost the other modes registers.
float Interpolation(float b, float s) noexcept;
inline float Average(float b, float s) { return (b + s) * 0.5f; }
inline float Reflect(float b, float s) { return s != 1.0f ? (b * b) / (1.0f - s) : s; }
inline float Glow(float b, float s) { return b != 1.0f ? (s * s) / (1.0f - b) : b; }
inline float Freeze(float b, float s) { return s != 0.0f ? 1.0f - ((1.0f - b) / s) * (1.0f - b) : s; }
inline float Heat(float b, float s) { return b != 0.0f ? 1.0f - ((1.0f - s) / b) * (1.0f - s) : b; }

// The layer mix of one channel: by opacity t, then by coverage m.
inline float Mix(float x, float b, float t, float m) {
  return (x * t + (1.0f - t) * b) * m + (1.0f - m) * b;
}

// Applies fn to r, g and b through the layer mix; alpha stays the base's.
template <float (*Fn)(float, float)>
inline AColor PerChannel(const AColor& B, const AColor& T, float t, float m) {
  return AColor(Mix(Fn(B.r, T.r), B.r, t, m), Mix(Fn(B.g, T.g), B.g, t, m),
                Mix(Fn(B.b, T.b), B.b, t, m), B.a);
}

// Modes 22 to 25: mix hue, saturation and/or value in HSV space.
inline AColor HSVRule(const AColor& B, const AColor& T, float t, float m, bool hue, bool sat,
                      bool val) {
  AColor hb = RGBToHSV(B);
  const AColor ht = RGBToHSV(AColor(T.r, T.g, T.b, 1.0f));
  auto mix = [t, m](float base, float top) {
    return ((1.0f - t) * base + top * t) * m + (1.0f - m) * base;
  };
  if (hue) hb.r = mix(hb.r, ht.r);
  if (sat) hb.g = mix(hb.g, ht.g);
  if (val) hb.b = mix(hb.b, ht.b);
  hb.a = B.a;
  return HSVToRGB(hb);
}

// Mode 33: the signed difference, thresholded by opacity, mixed by coverage.
inline AColor ExactDifference(const AColor& B, const AColor& T, float t, float m) {
  const float dr = B.r - T.r;
  const float dg = B.g - T.g;
  const float db = B.b - T.b;
  const float g = std::fabs((dr + db + dg) * kThird);
  const bool over = std::fabs(dr) > t || std::fabs(dg) > t || std::fabs(db) > t;
  const float sel = over ? 1.0f : g;
  const float keep = 1.0f - m;
  return AColor(dr * m + keep * sel, dg * m + keep * sel, db * m + keep * sel, keep * 1.0f);
}
}  // namespace blend

// Applies blend mode `mode` to base B and top T (whose alpha the caller has
// set to the coverage m) at opacity fraction t. An index outside 0..33 returns
// the base unchanged. Always inlined into the walks: the composite then stays
// in registers from layer to layer instead of passing through memory.
[[gnu::always_inline]] inline AColor ApplyBlendMode(int mode, const AColor& B, const AColor& T, float t, float m) {
  using blend::Mix;
  using blend::PerChannel;
  using blend::HSVRule;
  if (!IsBlendMode(mode)) return B;
  switch (static_cast<BlendMode>(mode)) {
    case BlendMode::Normal: {
      AColor r = PerChannel<blend::Normal>(B, T, t, m);
      r.a = Mix(m, B.a, t, m);
      return r;
    }
    case BlendMode::Multiply: {
      AColor r = PerChannel<blend::Multiply>(B, T, t, m);
      r.a = Mix(B.a * m, B.a, t, m);
      return r;
    }
    case BlendMode::Screen: {
      AColor r = PerChannel<blend::Screen>(B, T, t, m);
      r.a = Mix(1.0f - (1.0f - B.a) * (1.0f - m), B.a, t, m);
      return r;
    }
    case BlendMode::Additive: {
      AColor r = PerChannel<blend::Additive>(B, T, t, m);
      r.a = Mix(B.a + m, B.a, t, m);
      return r;
    }
    case BlendMode::Subtractive: return PerChannel<blend::Subtractive>(B, T, t, m);
    case BlendMode::Stamp: return PerChannel<blend::Stamp>(B, T, t, m);
    case BlendMode::Difference: return PerChannel<blend::Difference>(B, T, t, m);
    case BlendMode::Negation: return PerChannel<blend::Negation>(B, T, t, m);
    case BlendMode::Exclusion: return PerChannel<blend::Exclusion>(B, T, t, m);
    case BlendMode::Darken: return PerChannel<blend::Darken>(B, T, t, m);
    case BlendMode::Lighten: return PerChannel<blend::Lighten>(B, T, t, m);
    case BlendMode::Overlay: return PerChannel<blend::Overlay>(B, T, t, m);
    case BlendMode::HardLight: return PerChannel<blend::HardLight>(B, T, t, m);
    case BlendMode::SoftLight: return PerChannel<blend::SoftLight>(B, T, t, m);
    case BlendMode::Dodge: return PerChannel<blend::Dodge>(B, T, t, m);
    case BlendMode::InverseDodge: return PerChannel<blend::InverseDodge>(B, T, t, m);
    case BlendMode::SoftDodge: return PerChannel<blend::SoftDodge>(B, T, t, m);
    case BlendMode::Burn: return PerChannel<blend::Burn>(B, T, t, m);
    case BlendMode::InverseBurn: return PerChannel<blend::InverseBurn>(B, T, t, m);
    case BlendMode::SoftBurn: return PerChannel<blend::SoftBurn>(B, T, t, m);
    case BlendMode::Interpolation: return PerChannel<blend::Interpolation>(B, T, t, m);
    case BlendMode::Average: return PerChannel<blend::Average>(B, T, t, m);
    case BlendMode::Hue: return HSVRule(B, T, t, m, true, false, false);
    case BlendMode::Saturation: return HSVRule(B, T, t, m, false, true, false);
    case BlendMode::Luminance: return HSVRule(B, T, t, m, false, false, true);
    case BlendMode::Color: return HSVRule(B, T, t, m, true, true, false);
    case BlendMode::Reflect: return PerChannel<blend::Reflect>(B, T, t, m);
    case BlendMode::Glow: return PerChannel<blend::Glow>(B, T, t, m);
    case BlendMode::Freeze: return PerChannel<blend::Freeze>(B, T, t, m);
    case BlendMode::Heat: return PerChannel<blend::Heat>(B, T, t, m);
    case BlendMode::RGBRed: return AColor(Mix(T.r, B.r, t, m), B.g, B.b, B.a);
    case BlendMode::RGBGreen: return AColor(B.r, Mix(T.g, B.g, t, m), B.b, B.a);
    case BlendMode::RGBBlue: return AColor(B.r, B.g, Mix(T.b, B.b, t, m), B.a);
    case BlendMode::ExactDifference: return blend::ExactDifference(B, T, t, m);
  }
  return B;
}

}  // namespace tessary
