#include "host/runtime/stdmaps.h"

#include <cmath>

namespace tessary::host {

namespace {

// x reduced into [0, period) for a positive period; non-finite stays non-finite.
float Wrap(float x, float period) { return x - period * std::floor(x / period); }

bool Odd(float x) {
  const float f = std::floor(x);
  return Wrap(f, 2.0f) >= 1.0f;
}

// A 32-bit integer hash (Wang-style avalanche).
std::uint32_t Hash(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

// The noise lattice repeats every kPeriod cells, so lattice indices stay small.
constexpr float kPeriod = 256.0f;
constexpr std::uint32_t kPeriodInt = 256U;

// The gradient at lattice point (i, j): one of 8 unit-ish directions.
float GradDot(std::uint32_t seed, std::uint32_t i, std::uint32_t j, float x, float y) {
  const std::uint32_t h = Hash(Hash(i % kPeriodInt + seed * 0x9e3779b9U) ^ (j % kPeriodInt) * 0x85ebca6bU) & 7U;
  switch (h) {
    case 0: return x + y;
    case 1: return x - y;
    case 2: return -x + y;
    case 3: return -x - y;
    case 4: return x;
    case 5: return -x;
    case 6: return y;
    default: return -y;
  }
}

float Fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

float Lerp(float a, float b, float t) { return a + (b - a) * t; }

// Gradient noise in about [-1, 1], repeating every kPeriod units.
float Noise2(std::uint32_t seed, float x, float y) {
  x = Wrap(x, kPeriod);
  y = Wrap(y, kPeriod);
  if (!(x >= 0.0f && x < kPeriod) || !(y >= 0.0f && y < kPeriod)) return 0.0f;
  const float fx = std::floor(x);
  const float fy = std::floor(y);
  const auto i = static_cast<std::uint32_t>(fx);
  const auto j = static_cast<std::uint32_t>(fy);
  const float dx = x - fx;
  const float dy = y - fy;
  const float n00 = GradDot(seed, i, j, dx, dy);
  const float n10 = GradDot(seed, i + 1U, j, dx - 1.0f, dy);
  const float n01 = GradDot(seed, i, j + 1U, dx, dy - 1.0f);
  const float n11 = GradDot(seed, i + 1U, j + 1U, dx - 1.0f, dy - 1.0f);
  const float sx = Fade(dx);
  const float sy = Fade(dy);
  return Lerp(Lerp(n00, n10, sx), Lerp(n01, n11, sx), sy);
}

float Clamp01(float t) { return t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t); }

}  // namespace

AColor MixColors(const AColor& a, const AColor& b, float t) {
  return AColor(a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t);
}

AColor EvalConstant(const ConstantParams& p, float, float) { return p.color; }

AColor EvalChecker(const CheckerParams& p, float u, float v) {
  const float x = u * p.checksU;
  const float y = v * p.checksV;
  if (!std::isfinite(x) || !std::isfinite(y)) return p.color1;
  return Odd(x) != Odd(y) ? p.color2 : p.color1;
}

AColor EvalGradient(const GradientParams& p, float u, float v) {
  float t = v;
  if (p.kind == GradientKind::Radial) {
    const float du = (u - 0.5f) * 2.0f;
    const float dv = (v - 0.5f) * 2.0f;
    t = std::sqrt(du * du + dv * dv);
  }
  if (!std::isfinite(t)) return p.color1;
  t = Clamp01(t);
  const float c = p.center > 0.001f ? (p.center < 0.999f ? p.center : 0.999f) : 0.001f;
  if (t < c) return MixColors(p.color1, p.color2, t / c);
  return MixColors(p.color2, p.color3, (t - c) / (1.0f - c));
}

float NoiseValue(const NoiseParams& p, float u, float v) {
  if (!std::isfinite(u) || !std::isfinite(v) || !(p.size > 0.0f)) return 0.0f;
  float scale = 1.0f / p.size;
  if (p.kind == NoiseKind::Regular) return Clamp01(0.5f + 0.5f * Noise2(p.seed, u * scale, v * scale));
  const int octaves = p.octaves < 1 ? 1 : (p.octaves > 10 ? 10 : p.octaves);
  float sum = 0.0f;
  float weight = 1.0f;
  float total = 0.0f;
  for (int o = 0; o < octaves; ++o) {
    const float n = Noise2(p.seed + static_cast<std::uint32_t>(o), u * scale, v * scale);
    sum += (p.kind == NoiseKind::Turbulence ? std::fabs(n) : n) * weight;
    total += weight;
    weight *= 0.5f;
    scale *= 2.0f;
  }
  sum /= total;
  return Clamp01(p.kind == NoiseKind::Turbulence ? sum : 0.5f + 0.5f * sum);
}

AColor EvalNoise(const NoiseParams& p, float u, float v) {
  return MixColors(p.color1, p.color2, NoiseValue(p, u, v));
}

}  // namespace tessary::host
