#pragma once
// Colour helpers shared by the blend modes, the layer walk and the output
// stage: intensity, and the conversions between RGB and HSV. All arithmetic
// is single precision in the order written here; nothing is clamped, and a
// non-finite input gives a non-finite output.

#include <cmath>
#include <limits>

#include "host/sdk/color.h"

namespace tessary {

using host::AColor;
using host::Color;

// Hue of black and of every grey.
inline constexpr float UndefinedHue = -1.0f;

// The single-precision third; means are multiplied by it, never divided by 3.
inline constexpr float kThird = 0.33333334f;
// The single-precision sixtieth used to turn degrees into hue sectors.
inline constexpr float kSixtieth = 0.016666668f;

// ((b + g) + r) x 0.33333334; alpha is ignored.
inline float Intensity(const AColor& c) { return ((c.b + c.g) + c.r) * kThird; }

// RGB (with alpha) to HSV (h in degrees or UndefinedHue, s, v, alpha carried).
// Ties for the largest channel go to red, then green. A colour whose largest
// channel is exactly 0 gives (-1, 0, 0); a grey gives (-1, 0, v).
inline AColor RGBToHSV(const AColor& c) {
  float mx = c.r;
  if (c.g > mx) mx = c.g;
  if (c.b > mx) mx = c.b;
  float mn = c.r;
  if (c.g < mn) mn = c.g;
  if (c.b < mn) mn = c.b;

  AColor hsv(UndefinedHue, 0.0f, mx, c.a);
  if (mx == 0.0f) return hsv;
  const float delta = mx - mn;
  hsv.g = delta / mx;
  if (delta == 0.0f) return hsv;

  float h;
  if (c.r == mx) {
    h = (c.g - c.b) / delta;
  } else if (c.g == mx) {
    h = (c.b - c.r) / delta + 2.0f;
  } else {
    h = (c.r - c.g) / delta + 4.0f;
  }
  h = h * 60.0f;
  if (!(h >= 0.0f)) h = h + 360.0f;
  hsv.r = h;
  return hsv;
}

// HSV (h in degrees) back to RGB, alpha carried. s exactly 0 gives the grey
// (v, v, v) whatever the hue. Hues in (-60, 360) map directly (-60 < h < 0
// takes the sector-5 row, the colour of h + 360). Any other finite hue is
// first reduced as an angle into [0, 360); a non-finite hue gives NaN
// channels. No float-to-int conversion ever sees a value outside -1..6.
inline AColor HSVToRGB(const AColor& hsv) {
  const float h = hsv.r;
  const float s = hsv.g;
  const float v = hsv.b;
  if (s == 0.0f) return AColor(v, v, v, hsv.a);

  float x = h * kSixtieth;
  float fl = std::floor(x);
  if (!(fl >= -1.0f && fl <= 5.0f)) {
    if (!std::isfinite(h)) {
      const float nan = std::numeric_limits<float>::quiet_NaN();
      return AColor(nan, nan, nan, hsv.a);
    }
    float reduced = std::fmod(h, 360.0f);  // exact
    if (reduced < 0.0f) reduced = reduced + 360.0f;
    x = reduced * kSixtieth;
    fl = std::floor(x);
    if (fl >= 6.0f) {  // rounded up to a full turn: hue 0
      x = 0.0f;
      fl = 0.0f;
    }
  }
  const int i = static_cast<int>(fl);
  const float f = x - fl;
  const float p = (1.0f - s) * v;
  const float q = (1.0f - f * s) * v;
  const float u = (1.0f - (1.0f - f) * s) * v;
  switch (i) {
    case 0: return AColor(v, u, p, hsv.a);
    case 1: return AColor(q, v, p, hsv.a);
    case 2: return AColor(p, v, u, hsv.a);
    case 3: return AColor(p, q, v, hsv.a);
    case 4: return AColor(u, p, v, hsv.a);
    default: return AColor(v, p, q, hsv.a);  // sector 5, and sector -1
  }
}

}  // namespace tessary
