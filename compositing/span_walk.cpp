// The loops of the colour span walk. Each loop applies the per-sample
// function to every sample, with the mode fixed per loop, so each sample gets
// the per-sample path's bits by construction; the tests compare them all.
//
// This file is compiled with -fno-trapping-math and -fno-math-errno (see
// compositing/CMakeLists.txt). Neither changes a value: the first lets the
// vectoriser compute both arms of a guarded expression (the "s != 1 ? b /
// (1 - s) : s" of the dodge family) in all lanes and select, the second lets
// it use the square-root instruction for vectors without a library call to
// set errno for a negative argument. Everything is still IEEE single
// precision, rounded to nearest, without contraction or reassociation.
//
// What vectorises (SSE2, 4 lanes) is listed in docs/performance.md: every
// mode but "Interpolation" (two correctly rounded cosines per channel, out of
// line) and the four HSV modes (the conversions branch per sample); those
// loops run the same per-sample calls one sample at a time.

#include "compositing/span_walk.h"

#include "compositing/blend_modes.h"
#include "compositing/output_stage.h"

namespace tessary::span {
namespace {

// One function per mode, kept out of line so each loop can be read in the
// disassembly on its own.
template <BlendMode Mode>
[[gnu::noinline]] void Blend(SpanColors& __restrict base, const SpanColors& __restrict top,
                             const float* __restrict m, float t, int n) {
  for (int k = 0; k < n; ++k) {
    const AColor T(top.r[k], top.g[k], top.b[k], m[k]);
    base.Set(k, ApplyBlendMode(static_cast<int>(Mode), base.Get(k), T, t, m[k]));
  }
}

}  // namespace

void IntensitySpan(const SpanColors& c, float* __restrict out, int n) {
  for (int k = 0; k < n; ++k) out[k] = Intensity(c.Get(k));
}

void ScaleSpan(SpanColors& c, const float* e, int n) {
  if (e == nullptr) {
    for (int k = 0; k < n; ++k) {
      const float ek = c.a[k];
      c.Set(k, AColor(c.r[k] * ek, c.g[k] * ek, c.b[k] * ek, c.a[k] * ek));
    }
    return;
  }
  const float* __restrict w = e;
  for (int k = 0; k < n; ++k) c.Set(k, AColor(c.r[k] * w[k], c.g[k] * w[k], c.b[k] * w[k], c.a[k] * w[k]));
}

void BlendSpan(int mode, SpanColors& base, const SpanColors& top, const float* m, float t, int n) {
  if (!IsBlendMode(mode)) return;  // as per sample: the base stays as it is
  using enum BlendMode;
  switch (static_cast<BlendMode>(mode)) {
    case Normal: return Blend<Normal>(base, top, m, t, n);
    case Multiply: return Blend<Multiply>(base, top, m, t, n);
    case Screen: return Blend<Screen>(base, top, m, t, n);
    case Additive: return Blend<Additive>(base, top, m, t, n);
    case Subtractive: return Blend<Subtractive>(base, top, m, t, n);
    case Stamp: return Blend<Stamp>(base, top, m, t, n);
    case Difference: return Blend<Difference>(base, top, m, t, n);
    case Negation: return Blend<Negation>(base, top, m, t, n);
    case Exclusion: return Blend<Exclusion>(base, top, m, t, n);
    case Darken: return Blend<Darken>(base, top, m, t, n);
    case Lighten: return Blend<Lighten>(base, top, m, t, n);
    case Overlay: return Blend<Overlay>(base, top, m, t, n);
    case HardLight: return Blend<HardLight>(base, top, m, t, n);
    case SoftLight: return Blend<SoftLight>(base, top, m, t, n);
    case Dodge: return Blend<Dodge>(base, top, m, t, n);
    case InverseDodge: return Blend<InverseDodge>(base, top, m, t, n);
    case SoftDodge: return Blend<SoftDodge>(base, top, m, t, n);
    case Burn: return Blend<Burn>(base, top, m, t, n);
    case InverseBurn: return Blend<InverseBurn>(base, top, m, t, n);
    case SoftBurn: return Blend<SoftBurn>(base, top, m, t, n);
    case Interpolation: return Blend<Interpolation>(base, top, m, t, n);
    case Average: return Blend<Average>(base, top, m, t, n);
    case Hue: return Blend<Hue>(base, top, m, t, n);
    case Saturation: return Blend<Saturation>(base, top, m, t, n);
    case Luminance: return Blend<Luminance>(base, top, m, t, n);
    case Color: return Blend<Color>(base, top, m, t, n);
    case Reflect: return Blend<Reflect>(base, top, m, t, n);
    case Glow: return Blend<Glow>(base, top, m, t, n);
    case Freeze: return Blend<Freeze>(base, top, m, t, n);
    case Heat: return Blend<Heat>(base, top, m, t, n);
    case RGBRed: return Blend<RGBRed>(base, top, m, t, n);
    case RGBGreen: return Blend<RGBGreen>(base, top, m, t, n);
    case RGBBlue: return Blend<RGBBlue>(base, top, m, t, n);
    case ExactDifference: return Blend<ExactDifference>(base, top, m, t, n);
  }
}

void OutputStageSpan(const OutputSettings& s, SpanColors& c, int n) {
  // The HSV round trip and gamma branch per sample: one sample at a time.
  const bool gamma = s.gamma != 1.0f;
  for (int k = 0; k < n; ++k) {
    AColor v = output_step::Shift(s, c.Get(k));
    if (gamma) {
      v.r = output_step::Gamma(v.r, s.gamma);
      v.g = output_step::Gamma(v.g, s.gamma);
      v.b = output_step::Gamma(v.b, s.gamma);
    }
    c.Set(k, v);
  }
  // Brightness, contrast, grey and clamp: whole vectors.
  for (int k = 0; k < n; ++k) {
    const AColor v(output_step::BrightnessContrast(s, c.r[k]), output_step::BrightnessContrast(s, c.g[k]),
                   output_step::BrightnessContrast(s, c.b[k]), c.a[k]);
    c.Set(k, output_step::MonoAndClamp(s, v));
  }
}

}  // namespace tessary::span
