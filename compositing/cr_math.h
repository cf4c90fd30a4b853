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

#include <cstdint>

namespace tessary {

float CrExpf(float x);
float CrLogf(float x);
float CrCosf(float x);

namespace cr_math_detail {

// The double-precision evaluations the functions round. For every input the
// double is within 2^-58 (relative) of the real value before its own final
// rounding, so it lies less than 0.54 of a unit in its last place (ulp) from
// the real value; special inputs give doubles that round to the special
// results.
double ExpApprox(float x);
double LogApprox(float x);
double CosApprox(float x);

// True when y lies within `ulps` units of its last place of a point where
// rounding to float changes (a midpoint between neighbouring floats,
// subnormals included). Infinities, NaN and values that round to 0 without
// doubt are never near.
bool NearRoundingBoundary(double y, std::uint64_t ulps);

// The functions treat an approximation within this many ulps of a boundary
// as a hard case and take the result from their table.
inline constexpr std::uint64_t kHardCaseUlps = 1;

// Cheaper approximations that log and cos try first: relative error below
// 2^-40, so within 2^13 ulps; their rounding is kept when they lie more than
// kQuickUlps from every boundary. LogQuickApprox takes positive normal
// floats, CosQuickApprox |x| < 2^8.
double LogQuickApprox(float x);
double CosQuickApprox(float x);
inline constexpr std::uint64_t kQuickUlps = std::uint64_t{1} << 15;

}  // namespace cr_math_detail
}  // namespace tessary
