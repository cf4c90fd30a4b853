#include "compositing/blend_modes.h"

#include "compositing/cr_math.h"

namespace tessary::blend {

float Interpolation(float b, float s) noexcept { return 0.5f - 0.25f * CrCosf(kPi * b) - 0.25f * CrCosf(kPi * s); }

}  // namespace tessary::blend
