#pragma once
// The host's standard procedural maps: constant colour, checker, gradient and
// noise. Each is a parameter set and a pure evaluation at a (u, v) texture
// coordinate; the map objects that the host creates wrap these. Coordinates
// may lie anywhere: the checker and the noise repeat, the gradient clamps.
// A non-finite coordinate gives the first colour. Nothing here allocates.

#include <cstdint>

#include "host/sdk/color.h"
#include "host/sdk/point3.h"
#include "host/runtime/runtime_only.h"

namespace tessary::host {

// Returns its colour everywhere and its perturbation as the bump.
struct ConstantParams {
  AColor color{0.0f, 0.0f, 0.0f, 1.0f};
  Point3 perturb{0.0f, 0.0f, 0.0f};
};

// Alternating squares: `checks` squares per unit of u and of v; the square
// holding (0, 0) has color1.
struct CheckerParams {
  AColor color1{0.0f, 0.0f, 0.0f, 1.0f};
  AColor color2{1.0f, 1.0f, 1.0f, 1.0f};
  float checksU = 8.0f;
  float checksV = 8.0f;
};

enum class GradientKind : int { Linear = 0, Radial = 1 };

// Three colours: color1 at the start, color2 at `center`, color3 at the end.
// Linear runs along v from 0 (start) to 1; radial runs from the centre of the
// unit square (start) to its edge midpoints (end) and beyond stays color3.
struct GradientParams {
  AColor color1{0.0f, 0.0f, 0.0f, 1.0f};
  AColor color2{0.5f, 0.5f, 0.5f, 1.0f};
  AColor color3{1.0f, 1.0f, 1.0f, 1.0f};
  float center = 0.5f;  // kept inside (0, 1) by the evaluation
  GradientKind kind = GradientKind::Linear;
};

enum class NoiseKind : int { Regular = 0, Fractal = 1, Turbulence = 2 };

// Gradient noise over the plane, mixed between two colours. `size` is the
// feature size in texture units; fractal and turbulence sum `octaves`
// octaves (1 to 10), each of half the size and half the weight.
struct NoiseParams {
  AColor color1{0.0f, 0.0f, 0.0f, 1.0f};
  AColor color2{1.0f, 1.0f, 1.0f, 1.0f};
  float size = 0.25f;
  int octaves = 3;
  NoiseKind kind = NoiseKind::Regular;
  std::uint32_t seed = 0;
};

AColor EvalConstant(const ConstantParams& p, float u, float v);
AColor EvalChecker(const CheckerParams& p, float u, float v);
AColor EvalGradient(const GradientParams& p, float u, float v);
AColor EvalNoise(const NoiseParams& p, float u, float v);

// The mix factor of the noise map at (u, v), in [0, 1].
float NoiseValue(const NoiseParams& p, float u, float v);

// The bump of a procedural map: the fall of its grey value across one
// kSlopeStep step in u and in v, as (x, y, 0). A flat map gives (0, 0, 0).
inline constexpr float kSlopeStep = 1.0f / 1024.0f;
template <class EvalFn>
Point3 SlopePerturb(EvalFn&& eval, float u, float v) {
  auto grey = [&](float uu, float vv) {
    const AColor c = eval(uu, vv);
    return ((c.b + c.g) + c.r) * 0.33333334f;
  };
  const float h = kSlopeStep * 0.5f;
  return Point3(grey(u - h, v) - grey(u + h, v), grey(u, v - h) - grey(u, v + h), 0.0f);
}

// Linear mix a + (b - a) * t of all four channels.
AColor MixColors(const AColor& a, const AColor& b, float t);

}  // namespace tessary::host
