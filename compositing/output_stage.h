#pragma once
// The output stage that follows the layer composite when `outputOn` is set.

#include "compositing/output_settings.h"
#include "host/sdk/color.h"

namespace tessary {

// Runs the stage on c in this order: HSV shift (always through HSV and back),
// RGB shift, alpha shift, then per colour channel gamma (an exact 0 becomes
// 0.00001 first; c^(1/gamma) is exp(log(c) / gamma) with the correctly rounded
// CrLogf and CrExpf; a negative channel is mirrored, -(-c)^(1/gamma), so the
// curve is odd and continuous through 0) followed by brightness and contrast, then
// the grey conversion when `monoOn`, then the clamp of all four components
// when `clampOn`. Does not look at `outputOn`: the caller decides.
host::AColor ApplyOutputStage(const OutputSettings& settings, host::AColor c);

}  // namespace tessary
