#include "compositing/output_stage.h"

#include "compositing/color_helpers.h"
#include "compositing/cr_math.h"

namespace tessary {
namespace {

float GammaChannel(float c, float gamma) {
  if (c == 0.0f) c = 0.00001f;
  if (c < 0.0f) return -CrExpf(CrLogf(-c) / gamma);
  return CrExpf(CrLogf(c) / gamma);
}

float ToneChannel(float c, const OutputSettings& s) {
  if (s.gamma != 1.0f) c = GammaChannel(c, s.gamma);
  return (s.brightness * c - 0.5f) * s.contrast + 0.5f;
}

}  // namespace

host::AColor ApplyOutputStage(const OutputSettings& s, host::AColor c) {
  AColor hsv = RGBToHSV(c);
  hsv.r = hsv.r + s.hsvShift.r;
  hsv.g = hsv.g + s.hsvShift.g;
  hsv.b = hsv.b + s.hsvShift.b;
  c = HSVToRGB(hsv);

  c.r = c.r + s.rgbShift.r;
  c.g = c.g + s.rgbShift.g;
  c.b = c.b + s.rgbShift.b;

  c.a = c.a + s.alphaShift;

  c.r = ToneChannel(c.r, s);
  c.g = ToneChannel(c.g, s);
  c.b = ToneChannel(c.b, s);

  if (s.monoOn) {
    const float y = ((c.g + c.r) + c.b) * kThird;
    c.r = y;
    c.g = y;
    c.b = y;
  }
  if (s.clampOn) c.ClampMinMax();
  return c;
}

}  // namespace tessary
