#pragma once
// The output stage that follows the layer composite when `outputOn` is set.

#include "compositing/color_helpers.h"
#include "compositing/output_settings.h"
#include "host/color.h"

namespace tessary {

// Runs the stage on c in this order: HSV shift (always through HSV and back),
// RGB shift, alpha shift, then per colour channel gamma (an exact 0 becomes
// 0.00001 first; c^(1/gamma) is exp(log(c) / gamma) with the correctly rounded
// CrLogf and CrExpf; a negative channel is mirrored, -(-c)^(1/gamma), so the
// curve is odd and continuous through 0) followed by brightness and contrast, then
// the grey conversion when `monoOn`, then the clamp of all four components
// when `clampOn`. Does not look at `outputOn`: the caller decides.
host::AColor ApplyOutputStage(const OutputSettings& settings, host::AColor c);

// The steps of the stage in their order, for callers that run each step over
// many samples (the span walk). ApplyOutputStage is exactly these steps.
namespace output_step {

// Through HSV and back with the hue, saturation and value shifts added, then
// the red, green, blue and alpha shifts.
inline AColor Shift(const OutputSettings& s, const AColor& c) {
  AColor hsv = RGBToHSV(c);
  hsv.r = hsv.r + s.hsvShift.r;
  hsv.g = hsv.g + s.hsvShift.g;
  hsv.b = hsv.b + s.hsvShift.b;
  AColor out = HSVToRGB(hsv);
  out.r = out.r + s.rgbShift.r;
  out.g = out.g + s.rgbShift.g;
  out.b = out.b + s.rgbShift.b;
  out.a = out.a + s.alphaShift;
  return out;
}

// Gamma of one colour channel; the stage applies it only when gamma != 1.
float Gamma(float c, float gamma) noexcept;

inline float BrightnessContrast(const OutputSettings& s, float c) {
  return (s.brightness * c - 0.5f) * s.contrast + 0.5f;
}

// The grey conversion when `monoOn`, then the clamp when `clampOn`.
inline AColor MonoAndClamp(const OutputSettings& s, AColor c) {
  if (s.monoOn) {
    const float y = ((c.g + c.r) + c.b) * kThird;
    c.r = y;
    c.g = y;
    c.b = y;
  }
  if (s.clampOn) c.ClampMinMax();
  return c;
}

}  // namespace output_step
}  // namespace tessary
