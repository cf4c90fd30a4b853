#pragma once
// The map's output settings, as the output stage reads them.

#include "host/sdk/color.h"

namespace tessary {

struct OutputSettings {
  bool outputOn = false;
  bool clampOn = false;
  float alphaShift = 0.0f;
  bool monoOn = false;
  float brightness = 1.0f;  // factor: the editor's percentage x 0.01
  float contrast = 1.0f;    // factor: the editor's percentage x 0.01
  float gamma = 1.0f;
  host::AColor hsvShift{0.0f, 0.0f, 0.0f, 0.0f};  // h, s, v; the fourth is held at 0
  host::AColor rgbShift{0.0f, 0.0f, 0.0f, 0.0f};  // r, g, b; the fourth is held at 0
};

}  // namespace tessary
