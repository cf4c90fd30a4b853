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
  return output_step::BrightnessContrast(s, c);
}

}  // namespace

float output_step::Gamma(float c, float gamma) noexcept { return GammaChannel(c, gamma); }

host::AColor ApplyOutputStage(const OutputSettings& s, host::AColor c) {
  c = output_step::Shift(s, c);
  c.r = ToneChannel(c.r, s);
  c.g = ToneChannel(c.g, s);
  c.b = ToneChannel(c.b, s);
  return output_step::MonoAndClamp(s, c);
}

}  // namespace tessary
