#include "compositing/cr_math.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cstdint>
#include <limits>

#include "compositing/cr_math_hard_cases.h"
#include "compositing/cr_math_tables.h"

// Every operation below must round once to IEEE double: no x87 extended
// precision (32-bit x86 builds need SSE2 arithmetic) and no fused
// multiply-add (the build passes -ffp-contract=off).
static_assert(FLT_EVAL_METHOD == 0, "cr_math needs IEEE double arithmetic (SSE2 on 32-bit x86)");
static_assert(std::numeric_limits<double>::is_iec559 && std::numeric_limits<float>::is_iec559);

namespace tessary {
namespace cr_math_detail {
namespace {

using namespace cr_math_tables;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// 2^e for -1022 <= e <= 1023, exactly.
double Pow2(int e) { return std::bit_cast<double>(static_cast<std::uint64_t>(e + 1023) << 52); }

// s + t == a + b exactly (Knuth's two-sum: no condition on the magnitudes).
struct Sum {
  double s, t;
};
Sum TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}
// The same when |a| >= |b| or a == 0.
Sum FastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// y with all but its leading 27 significant bits cleared; y minus this is exact.
double Leading27Bits(double y) {
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(y) & ~((std::uint64_t{1} << 26) - 1));
}

inline bool NearBoundary(double y, std::uint64_t ulps) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(y) & ~(std::uint64_t{1} << 63);
  constexpr std::uint64_t kNormalFloatMin = std::uint64_t{1023 - 126} << 52;  // 2^-126
  constexpr std::uint64_t kNormalFloatEnd = std::uint64_t{1023 + 128} << 52;  // 2^128
  if (bits - kNormalFloatMin < kNormalFloatEnd - kNormalFloatMin) return NearNormalBoundary(y, ulps);
  const int e = static_cast<int>(bits >> 52) - 1023;  // y in [2^e, 2^(e+1))
  // At and above 2^128 the float result is +inf whatever the last bits (the
  // boundary to +inf, 2^128 - 2^103, is checked like any other midpoint);
  // below 2^-151 it is 0; NaN and inf have e = 1024.
  if (e >= 128 || e < -151) return false;
  // Below 2^-126 the float grid is 2^-149: this many of the 53 significand
  // bits lie below it (30 at 2^-127, up to 54 at 2^-151).
  const int below = -97 - e;
  const std::uint64_t significand = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const std::uint64_t low = significand & ((std::uint64_t{1} << below) - 1);
  const std::uint64_t half = std::uint64_t{1} << (below - 1);
  return (low >= half ? low - half : half - low) <= ulps;
}

template <std::size_t N>
[[gnu::noinline]] float LookUp(double y, std::uint32_t key, const std::array<HardCase, N>& table) {
  const auto it = std::lower_bound(table.begin(), table.end(), key,
                                   [](const HardCase& h, std::uint32_t k) { return h.input < k; });
  if (it != table.end() && it->input == key) return std::bit_cast<float>(it->result);
  return static_cast<float>(y);
}
// The float nearest to the approximation y of f(x), or the table's result
// when y is too close to a rounding boundary to decide; key is the bits of x
// (of |x| for an even function).
template <std::size_t N>
float Round(double y, std::uint32_t key, const std::array<HardCase, N>& table) {
  if (NearBoundary(y, kHardCaseUlps)) [[unlikely]] return LookUp(y, key, table);
  return static_cast<float>(y);
}

// The 64 bits of 2/pi from the bit of weight 2^-j on; bits before the binary
// point (j <= 0) are 0. Needs j >= -31.
std::uint64_t TwoOverPiBits(int j) {
  const int pos = j + 31;  // kTwoOverPi[0] holds the 32 zero bits of weights 2^31 .. 2^0
  const std::size_t w = static_cast<std::size_t>(pos >> 5);
  const int sh = pos & 31;
  const std::uint64_t first = (std::uint64_t{kTwoOverPi[w]} << 32) | kTwoOverPi[w + 1];
  const std::uint64_t next = kTwoOverPi[w + 2];
  return (first << sh) | (next >> (32 - sh));
}

// |x| = k pi/64 + r with |r| <= pi/128 (a little more at worst), r as
// rh + rl with |rl| <= ulp(rh)/2.
struct Reduced {
  int k;
  double rh, rl;
};

// For |x| < 2^8 (|k| < 2^13): k Cw1 and k Cw2 are exact (40-bit parts), so is
// x - k Cw1 (within a factor 2 of x), and a two-sum keeps the next step
// exact; what is left is below 2^-122 absolute.
Reduced ReduceSmall(double x) {
  const double kd = (x * k64OverPi + kShifter) - kShifter;
  const Sum a = TwoSum(x - kd * kPiOver64Cw1, -(kd * kPiOver64Cw2));
  const Sum r = TwoSum(a.s, a.t - kd * kPiOver64Cw3);
  return {static_cast<int>(kd), r.s, r.t};
}

// For |x| >= 2^-7 (used from 2^8 on): x times 64/pi modulo 128 in integer
// arithmetic from 128 bits of 2/pi; r to a relative 2^-77 plus an absolute
// 2^-101.
Reduced ReduceLarge(std::uint32_t absBits) {
  const std::uint64_t m = (absBits & 0x7fffffu) | 0x800000u;  // |x| = m 2^e
  const int e = static_cast<int>(absBits >> 23) - 150;
  // x 64/pi = m 2^(e+5) sum(b_j 2^-j). Terms with j <= e - 2 are multiples
  // of 128 and drop out; the window of bits e-1 .. e+126 gives
  // x 64/pi = m (H:L) 2^-121 modulo 128, leaving out less than 2^-97.
  const std::uint64_t H = TwoOverPiBits(e - 1);
  const std::uint64_t L = TwoOverPiBits(e + 63);
  const std::uint64_t a = m * (L & 0xffffffffu);
  const std::uint64_t b = m * (L >> 32) + (a >> 32);
  const std::uint64_t lo = (b << 32) | (a & 0xffffffffu);
  const std::uint64_t hi = m * H + (b >> 32);  // modulo 2^64: bits 121..127 of the product are k
  int k = static_cast<int>(hi >> 57);
  // The fraction (bits 0..120) moved to the top of 128 bits, as a signed
  // fixed-point number in [-1/2, 1/2) after rounding k to nearest.
  std::uint64_t fh = (hi << 7) | (lo >> 57);
  std::uint64_t fl = lo << 7;
  const bool negative = (fh >> 63) != 0;
  if (negative) {
    k += 1;
    fl = 0 - fl;
    fh = ~fh + (fl == 0 ? 1 : 0);
  }
  if (fh == 0 && fl == 0) return {k, 0.0, 0.0};
  int lz;
  std::uint64_t nh, nl;
  if (fh != 0) {
    lz = std::countl_zero(fh);
    nh = lz == 0 ? fh : (fh << lz) | (fl >> (64 - lz));
    nl = fl << lz;
  } else {
    lz = 64 + std::countl_zero(fl);
    nh = fl << (lz - 64);
    nl = 0;
  }
  // f = (nh:nl) 2^(-128-lz) = f1 + f2, f1 its leading 27 bits (exact).
  const double f1 = static_cast<double>(nh >> 37) * Pow2(-27 - lz);
  const double f2 = static_cast<double>(nh & ((std::uint64_t{1} << 37) - 1)) * Pow2(-64 - lz) +
                    static_cast<double>(nl >> 11) * Pow2(-117 - lz);
  // r = f pi/64; f1 times the 26-bit leading part of pi/64 is exact.
  const Sum r = FastTwoSum(f1 * kPiOver64Hi, f1 * kPiOver64Lo + f2 * kPiOver64);
  return negative ? Reduced{k, -r.s, -r.t} : Reduced{k, r.s, r.t};
}

}  // namespace

bool NearRoundingBoundary(double y, std::uint64_t ulps) noexcept { return NearBoundary(y, ulps); }

double ExpApprox(float xf) noexcept {
  if (xf != xf) return static_cast<double>(xf) + static_cast<double>(xf);
  if (xf > 89.0f) return kInf;  // e^89 is past the largest float; includes +inf
  if (xf < -104.0f) return 0.0;  // e^-104 < 2^-150 rounds to 0; includes -inf
  return ExpCore(xf);
}

double LogApprox(float xf) noexcept {
  std::uint32_t u = std::bit_cast<std::uint32_t>(xf);
  if (xf != xf) return static_cast<double>(xf) + static_cast<double>(xf);
  if (xf == 0.0f) return -kInf;
  if ((u >> 31) != 0) return kNaN;
  if (u == 0x7f800000u) return kInf;
  int e = 0;
  if (u < 0x00800000u) {  // subnormal: scale into the normal range, exactly
    u = std::bit_cast<std::uint32_t>(xf * 0x1p25f);
    e = -25;
  }
  const LogParts p = SplitLog(u, e);
  const double r = p.r;
  // A two-sum makes the leading part exact, so nothing cancels near x = 1.
  const Sum head = TwoSum(p.head, r);
  // log(1 + r) - r to degree 8 (the rest is below 2^-59 relative).
  const double r2 = r * r;
  const double q = ((1.0 / 3) - r * 0.25) + r2 * ((0.2 - r * (1.0 / 6)) + r2 * ((1.0 / 7) - r * 0.125));
  const double tail = r2 * (r * q - 0.5);
  return head.s + (tail + (head.t + p.low));
}

double CosApprox(float xf) noexcept {
  const std::uint32_t absBits = std::bit_cast<std::uint32_t>(xf) & 0x7fffffffu;
  if (absBits >= 0x7f800000u) return static_cast<double>(xf) - static_cast<double>(xf);  // NaN, inf
  // cos x = cos(a + r) = cos a cos r - sin a sin r, a = k pi/64, |r| <= pi/128.
  const Reduced red = absBits < 0x43800000u  // |x| < 2^8
                          ? ReduceSmall(static_cast<double>(std::bit_cast<float>(absBits)))
                          : ReduceLarge(absBits);
  const DoubleDouble& sa = kSinPiOver64[static_cast<std::size_t>(red.k & 127)];
  const DoubleDouble& ca = kSinPiOver64[static_cast<std::size_t>((red.k + 32) & 127)];
  const double r = red.rh;
  const double r2 = r * r;
  // 1 - cos r and r - sin r, to degrees 8 and 7 (the rest is below 2^-66).
  const double oneMinusCos = r2 * (0.5 - r2 * ((1.0 / 24) - r2 * ((1.0 / 720) - r2 * (1.0 / 40320))));
  const double rMinusSin = r * r2 * ((1.0 / 6) - r2 * ((1.0 / 120) - r2 * (1.0 / 5040)));
  const double sinA = sa.hi + sa.lo;
  const double cosA = ca.hi + ca.lo;
  // The hi parts of the table have 26 bits, so sin(a)hi times the leading
  // 27 bits of r is exact; the first-order term r sin a then costs no error
  // where cos x is small.
  const double rHead = Leading27Bits(r);
  const Sum head = TwoSum(ca.hi, -(sa.hi * rHead));
  const double small = (sinA * rMinusSin - cosA * oneMinusCos) -
                       (sa.hi * (r - rHead) + sa.lo * r + sinA * red.rl);
  return head.s + (small + (head.t + ca.lo));
}

float ExpComplete(float x) noexcept { return Round(ExpApprox(x), std::bit_cast<std::uint32_t>(x), kExpHardCases); }
float LogComplete(float x) noexcept { return Round(LogApprox(x), std::bit_cast<std::uint32_t>(x), kLogHardCases); }
float CosComplete(float x) noexcept {
  return Round(CosApprox(x), std::bit_cast<std::uint32_t>(x) & 0x7fffffffu, kCosHardCases);
}

}  // namespace cr_math_detail
}  // namespace tessary
