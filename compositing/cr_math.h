#pragma once
// Correctly rounded single-precision exponential, natural logarithm and
// cosine: the result is the real function's value rounded to the nearest
// float, ties to even, for every input, so the map gives the same bits on
// every platform and C runtime. They use only IEEE double arithmetic (no
// library mathematics, no long double), so every build agrees.
//
// Edges: a NaN input gives a NaN.
//   CrExpf: +inf gives +inf, -inf gives +0; results beyond the largest float
//           are +inf; small results go through the subnormals to +0.
//   CrLogf: +0 and -0 give -inf; negatives and -inf give NaN; +inf gives +inf;
//           1 gives +0; subnormal inputs are exact.
//   CrCosf: +-inf give NaN; arguments of any size are reduced exactly.
//
// The common cases are inline, so the walks that call them per channel and
// per layer keep their values in registers; the rest is in cr_math.cpp.
// docs/math.md gives the error bounds and the exhaustive check.

#include <bit>
#include <cstdint>

#include "compositing/cr_math_tables.h"

namespace tessary {
namespace cr_math_detail {

// The double-precision evaluations the functions round. For every input the
// double is within 2^-58 (relative) of the real value before its own final
// rounding, so it lies less than 0.54 of a unit in its last place (ulp) from
// the real value; special inputs give doubles that round to the special
// results.
double ExpApprox(float x) noexcept;
double LogApprox(float x) noexcept;
double CosApprox(float x) noexcept;

// True when y lies within `ulps` units of its last place of a point where
// rounding to float changes (a midpoint between neighbouring floats,
// subnormals included). Infinities, NaN and values that round to 0 without
// doubt are never near.
bool NearRoundingBoundary(double y, std::uint64_t ulps) noexcept;

// The functions treat an approximation within this many ulps of a boundary
// as a hard case and take the result from their table.
inline constexpr std::uint64_t kHardCaseUlps = 1;

// The functions for every input: the approximations above, rounded, with
// the hard cases from the table.
float ExpComplete(float x) noexcept;
float LogComplete(float x) noexcept;
float CosComplete(float x) noexcept;

// NearRoundingBoundary for |y| in [2^-126, 2^128) or y == 0, where the float
// grid is the 29 low bits of the double's significand.
inline bool NearNormalBoundary(double y, std::uint64_t ulps) {
  const std::uint64_t low = std::bit_cast<std::uint64_t>(y) & ((std::uint64_t{1} << 29) - 1);
  return low - ((std::uint64_t{1} << 28) - ulps) <= 2 * ulps;
}

// v + kShifter holds v rounded to the nearest integer in its low 32 bits
// (for |v| < 2^31), and subtracting kShifter again gives it as a double.
inline constexpr double kShifter = 0x1.8p52;
inline int LowInt(double shifted) {
  return static_cast<int>(static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(shifted)));
}

// ExpApprox for x in [-104, 89].
inline double ExpCore(float xf) noexcept {
  using namespace cr_math_tables;
  const double x = static_cast<double>(xf);
  // x = (128 q + j) ln2/128 + r, |r| <= ln2/256. kd times the 38-bit leading
  // part of ln2/128 is exact, and so is the difference (within a factor 2 of x).
  const double shifted = x * kInvLn2x128 + kShifter;
  const int k = LowInt(shifted);
  const double kd = shifted - kShifter;
  const double r = (x - kd * kLn2x128Hi) - kd * kLn2x128Lo;
  const DoubleDouble& t = kExp2[static_cast<std::size_t>(k & 127)];
  // 2^(q + j/128) as hi + lo, scaled exactly by a power of two.
  const double scale = std::bit_cast<double>(static_cast<std::uint64_t>((k >> 7) + 1023) << 52);
  const double hi = t.hi * scale;
  // e^r - 1 to degree 5 (the rest is below 2^-60.7 relative).
  const double r2 = r * r;
  const double p = (r + r2 * (0.5 + r * (1.0 / 6))) + (r2 * r2) * ((1.0 / 24) + r * (1.0 / 120));
  return hi + (t.lo * scale + hi * p);
}

// log x = e ln2 - log c + log(1 + r) for x = 2^e m (u the bits of a positive
// normal float m, e added) with m in [0.69921875, 1.3984375): the 128 equal
// steps of m's float encoding choose c ~ 1/m, and c = 1 on the two steps
// that meet at 1. r = m c - 1 is exact (m c has 24 + 24 bits and is within
// 2^-7 of 1). `head` = e ln2hi - log(c)hi is exact (both are multiples of
// 2^-45 below 2^7); `low` = e ln2lo - log(c)lo.
struct LogParts {
  double head, low, r;
};
inline LogParts SplitLog(std::uint32_t u, int e) {
  using namespace cr_math_tables;
  const std::uint32_t offset = u - 0x3f330000u;
  const int ex = static_cast<int>(offset) >> 23;
  e += ex;
  const std::size_t i = (offset >> 16) & 127;
  const float m = std::bit_cast<float>(u - (static_cast<std::uint32_t>(ex) << 23));
  const DoubleDouble& t = kMinusLogInverse[i];
  return {static_cast<double>(e) * kLn2Hi + t.hi, static_cast<double>(e) * kLn2Lo + t.lo,
          static_cast<double>(m) * static_cast<double>(kLogInverse[i]) - 1.0};
}

// Cheaper approximations that log and cos try first: relative error below
// 2^-40, so within 2^13 ulps; their rounding is kept when they lie more than
// kQuickUlps (2^-38 relative) from every boundary, which is all but about
// one input in 2^13. LogQuickApprox takes positive normal floats,
// CosQuickApprox |x| < 2^8.
inline constexpr std::uint64_t kQuickUlps = std::uint64_t{1} << 15;

inline double LogQuickApprox(float x) noexcept {
  const LogParts p = SplitLog(std::bit_cast<std::uint32_t>(x), 0);
  // log(1 + r) - r to degree 6 (the rest is below 2^-44.8 relative).
  const double r = p.r;
  const double r2 = r * r;
  const double tail = r2 * (r * (1.0 / 3) - 0.5) + (r2 * r2) * ((r * 0.2 - 0.25) - r2 * (1.0 / 6));
  return (p.head + r) + (p.low + tail);
}

inline double CosQuickApprox(float xf) noexcept {
  using namespace cr_math_tables;
  // x = k pi/64 + r, |r| <= pi/128; k Cw1 and x - k Cw1 are exact (40-bit
  // Cw1, |k| < 2^13, Sterbenz), the rest costs below 2^-84 absolute. Every
  // step is odd in x, so the result is even without taking |x|.
  const double x = static_cast<double>(xf);
  constexpr double kTail = kPiOver64Cw2 + kPiOver64Cw3;
  const double shifted = x * k64OverPi + kShifter;
  const int k = LowInt(shifted);
  const double kd = shifted - kShifter;
  const double r = (x - kd * kPiOver64Cw1) - kd * kTail;
  const DoubleDouble& sa = kSinPiOver64[static_cast<std::size_t>(k & 127)];
  const DoubleDouble& ca = kSinPiOver64[static_cast<std::size_t>((k + 32) & 127)];
  const double sinA = sa.hi + sa.lo;
  const double cosA = ca.hi + ca.lo;
  // cos r - 1 and sin r to degrees 6 and 5 (the rest is below 2^-58 and 2^-50).
  const double r2 = r * r;
  const double cosRm1 = (r2 * r2) * ((1.0 / 24) - r2 * (1.0 / 720)) - r2 * 0.5;
  const double sinR = r + (r * r2) * (r2 * (1.0 / 120) - (1.0 / 6));
  return (cosA - sinA * sinR) + cosA * cosRm1;
}

}  // namespace cr_math_detail

inline float CrExpf(float x) noexcept {
  using namespace cr_math_detail;
  if (x > -87.0f && x < 88.5f) {  // normal results; NaN goes on
    const double y = ExpCore(x);
    if (!NearNormalBoundary(y, kHardCaseUlps)) return static_cast<float>(y);
  }
  return ExpComplete(x);
}

inline float CrLogf(float x) noexcept {
  using namespace cr_math_detail;
  if (std::bit_cast<std::uint32_t>(x) - 0x00800000u < 0x7f000000u) {  // positive, normal, finite
    const double y = LogQuickApprox(x);
    if (!NearNormalBoundary(y, kQuickUlps)) return static_cast<float>(y);
  }
  return LogComplete(x);
}

inline float CrCosf(float x) noexcept {
  using namespace cr_math_detail;
  if ((std::bit_cast<std::uint32_t>(x) & 0x7fffffffu) < 0x43800000u) {  // |x| < 2^8
    const double y = CosQuickApprox(x);
    if (!NearNormalBoundary(y, kQuickUlps)) return static_cast<float>(y);
  }
  return CosComplete(x);
}

}  // namespace tessary
