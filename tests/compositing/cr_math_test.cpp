// The correctly rounded exp, log and cos against GNU MPFR on a fixed sample:
// special values, the ends of every binade, every subnormal binade (and, for
// exp, every binade of subnormal results), the hard cases and their
// neighbours, and a million seeded random inputs per function. The exhaustive
// check over all 2^32 inputs is bench/cr_math_check (docs/math.md).

#include "compositing/cr_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "compositing/cr_math_hard_cases.h"
#include "compositing/cr_math_tables.h"
#include "tests/support/float_bits.h"
#include "tests/support/mpfr_float.h"

namespace tessary {
namespace {

using cr_math_tables::HardCase;
using testing::CorrectlyRounded;
using testing::MpfrFunction;
using testing::SameBits;
using testing::Show;

struct Fn {
  const char* name;
  float (*ours)(float);
  double (*approx)(float);
  MpfrFunction reference;
  std::span<const HardCase> hardCases;
  bool even;  // hard cases are keyed by |x|
};

const Fn kExp{"exp", CrExpf, cr_math_detail::ExpApprox, mpfr_exp, cr_math_tables::kExpHardCases, false};
const Fn kLog{"log", CrLogf, cr_math_detail::LogApprox, mpfr_log, cr_math_tables::kLogHardCases, false};
const Fn kCos{"cos", CrCosf, cr_math_detail::CosApprox, mpfr_cos, cr_math_tables::kCosHardCases, true};

float FromBits(std::uint32_t b) { return std::bit_cast<float>(b); }
std::uint32_t Bits(float x) { return std::bit_cast<std::uint32_t>(x); }

// Checks every input against MPFR; reports the first few mismatches.
void ExpectCorrectlyRounded(const Fn& f, const std::vector<float>& inputs) {
  int failures = 0;
  for (float x : inputs) {
    const float got = f.ours(x);
    const float want = CorrectlyRounded(f.reference, x);
    if (!SameBits(got, want) && ++failures <= 10) {
      ADD_FAILURE() << f.name << "(" << Show(x) << ") = " << Show(got) << ", correctly rounded " << Show(want);
    }
  }
  EXPECT_EQ(failures, 0) << f.name << " over " << inputs.size() << " inputs";
}

// Both signs of: the two first and two last floats of every binade (the
// subnormals as binade 0), each power of two in the subnormal range with its
// neighbours, the hard cases with their neighbours.
std::vector<float> EdgeInputs(const Fn& f) {
  std::vector<std::uint32_t> bits;
  for (std::uint32_t e = 0; e < 256; ++e) {
    const std::uint32_t first = e << 23;
    const std::uint32_t last = first | 0x7fffffu;
    for (std::uint32_t b : {first, first + 1, last - 1, last}) bits.push_back(b);
  }
  for (std::uint32_t k = 0; k < 23; ++k) {
    const std::uint32_t p = 1u << k;
    for (std::uint32_t b : {p - 1, p, p + 1}) bits.push_back(b);
  }
  for (const HardCase& h : f.hardCases) {
    for (std::uint32_t d = 0; d < 5; ++d) bits.push_back(h.input + d - 2);
  }
  std::vector<float> inputs;
  for (std::uint32_t b : bits) {
    inputs.push_back(FromBits(b));
    inputs.push_back(FromBits(b ^ 0x80000000u));
  }
  return inputs;
}

TEST(CrMath, SpecialValues) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  const float kSignalling = std::numeric_limits<float>::signaling_NaN();
  struct Case {
    const Fn& f;
    float x, want;
  };
  const Case cases[] = {
      {kExp, kNaN, kNaN},          {kExp, -kNaN, kNaN},       {kExp, kSignalling, kNaN},
      {kExp, kInf, kInf},          {kExp, -kInf, 0.0f},       {kExp, 0.0f, 1.0f},
      {kExp, -0.0f, 1.0f},         {kExp, 89.0f, kInf},       {kExp, 88.72284f, kInf},
      {kExp, -104.0f, 0.0f},       {kExp, -103.27893f, FromBits(1)},
      // e^x passes 2^-150, half the smallest subnormal, between these two.
      {kExp, FromBits(0xc2cff1b4u), FromBits(1)}, {kExp, FromBits(0xc2cff1b5u), 0.0f},
      {kLog, kNaN, kNaN},          {kLog, kSignalling, kNaN}, {kLog, 0.0f, -kInf},
      {kLog, -0.0f, -kInf},        {kLog, -1.0f, kNaN},       {kLog, -FromBits(1), kNaN},
      {kLog, -kInf, kNaN},         {kLog, kInf, kInf},        {kLog, 1.0f, 0.0f},
      {kCos, kNaN, kNaN},          {kCos, kInf, kNaN},        {kCos, -kInf, kNaN},
      {kCos, 0.0f, 1.0f},          {kCos, -0.0f, 1.0f},       {kCos, FromBits(1), 1.0f},
      // Inputs the C library of the development machine rounds the wrong way.
      {kExp, FromBits(0x37ff7f01u), FromBits(0x3f8000ffu)},
      {kLog, FromBits(0x00002447u), FromBits(0xc2bc48feu)},
      {kCos, FromBits(0x3a0f1bbdu), FromBits(0x3f7ffffdu)},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(SameBits(c.f.ours(c.x), c.want))
        << c.f.name << "(" << Show(c.x) << ") = " << Show(c.f.ours(c.x)) << ", want " << Show(c.want);
  }
  EXPECT_EQ(Bits(CrLogf(1.0f)), 0u) << "log 1 is +0";
  EXPECT_EQ(Bits(CrExpf(-kInf)), 0u) << "exp -inf is +0";
  // The smallest subnormal is exact as an input: log(2^-149) = -149 ln2.
  EXPECT_EQ(CrLogf(FromBits(1)), static_cast<float>(-149.0 * 0.693147180559945309));
}

TEST(CrMath, ExpMatchesMpfrAtEdges) {
  std::vector<float> inputs = EdgeInputs(kExp);
  // Around the overflow threshold, the smallest normal result, every binade
  // of subnormal results and the last input that does not round to 0.
  for (double y = -150; y <= 128; y += 1) {
    const float x = static_cast<float>(y * 0.693147180559945309);
    for (int d = -8; d <= 8; ++d) inputs.push_back(FromBits(Bits(x) + static_cast<std::uint32_t>(d)));
  }
  ExpectCorrectlyRounded(kExp, inputs);
}
TEST(CrMath, LogMatchesMpfrAtEdges) { ExpectCorrectlyRounded(kLog, EdgeInputs(kLog)); }
TEST(CrMath, CosMatchesMpfrAtEdges) {
  std::vector<float> inputs = EdgeInputs(kCos);
  // Next to the multiples of pi/2 below 2^12, where cos is smallest.
  for (int k = 1; k < 2608; k += 2) {
    const float x = static_cast<float>(k * 1.57079632679489662);
    for (int d = -2; d <= 2; ++d) inputs.push_back(FromBits(Bits(x) + static_cast<std::uint32_t>(d)));
  }
  ExpectCorrectlyRounded(kCos, inputs);
}

// A million inputs: half of them any bit pattern, half from the range where
// the function is busiest.
std::vector<float> RandomInputs(std::uint32_t seed, float lo, float hi) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> busy(lo, hi);
  std::vector<float> inputs;
  for (int i = 0; i < 500000; ++i) {
    inputs.push_back(FromBits(static_cast<std::uint32_t>(rng())));
    inputs.push_back(busy(rng));
  }
  return inputs;
}

TEST(CrMath, ExpMatchesMpfrOnRandomInputs) { ExpectCorrectlyRounded(kExp, RandomInputs(1, -104.0f, 89.0f)); }
TEST(CrMath, LogMatchesMpfrOnRandomInputs) { ExpectCorrectlyRounded(kLog, RandomInputs(2, 0.0f, 4.0f)); }
TEST(CrMath, CosMatchesMpfrOnRandomInputs) { ExpectCorrectlyRounded(kCos, RandomInputs(3, -8.0f, 8.0f)); }

// The promises the rounding rests on: before its last rounding each
// approximation is within 2^-58 of the real value, so the double is within
// 0.5 + 2^-58 2^53 < 0.54 of its ulps (its own rounding included); the quick
// ones that log and cos try first are within 2^-40, so 2^13 ulps.
TEST(CrMath, ApproximationsStayWithinTheirBound) {
  struct Range {
    const char* name;
    double (*approx)(float);
    MpfrFunction reference;
    float lo, hi;  // inputs in (lo, hi]
    double bound;  // ulps
  };
  constexpr float kMax = std::numeric_limits<float>::max();
  const Range ranges[] = {
      {"exp", cr_math_detail::ExpApprox, mpfr_exp, -103.9f, 88.7f, 0.54},
      {"log", cr_math_detail::LogApprox, mpfr_log, 0.0f, kMax, 0.54},
      {"cos", cr_math_detail::CosApprox, mpfr_cos, -kMax, kMax, 0.54},
      {"quick log", cr_math_detail::LogQuickApprox, mpfr_log, 0x1p-126f, kMax, 0x1p13},
      {"quick cos", cr_math_detail::CosQuickApprox, mpfr_cos, -255.99998f, 255.99998f, 0x1p13},
  };
  std::mt19937 rng(4);
  for (const Range& r : ranges) {
    double worst = 0;
    float worstX = 0;
    for (int i = 0; i < 60000; ++i) {
      // Half any pattern in the range, half near its middle (an eighth of it).
      float x = FromBits(static_cast<std::uint32_t>(rng()));
      if (i % 2 == 0 || !(x > r.lo && x <= r.hi)) x = std::uniform_real_distribution<float>(r.lo / 8, r.hi / 8)(rng);
      if (!(x > r.lo && x <= r.hi)) continue;
      const double y = r.approx(x);
      if (y == 0.0) continue;  // log 1, exactly
      const double err = testing::UlpsError(r.reference, x, y);
      if (err > worst) {
        worst = err;
        worstX = x;
      }
    }
    EXPECT_LE(worst, r.bound) << r.name << " at " << Show(worstX);
  }
}

TEST(CrMath, HardCaseTablesAreSortedCurrentAndRight) {
  for (const Fn* f : {&kExp, &kLog, &kCos}) {
    for (std::size_t i = 0; i < f->hardCases.size(); ++i) {
      const HardCase& h = f->hardCases[i];
      const float x = FromBits(h.input);
      if (i > 0) {
        EXPECT_LT(f->hardCases[i - 1].input, h.input) << f->name << " table order";
      }
      if (f->even) {
        EXPECT_EQ(h.input >> 31, 0u) << f->name << " keys |x|";
      }
      // Each entry is an input the approximation cannot decide...
      EXPECT_TRUE(cr_math_detail::NearRoundingBoundary(f->approx(x), cr_math_detail::kHardCaseUlps))
          << f->name << "(" << Show(x) << ") is no longer a hard case: regenerate the table";
      // ...and its result is the correctly rounded one.
      EXPECT_TRUE(SameBits(FromBits(h.result), CorrectlyRounded(f->reference, x))) << f->name << Show(x);
    }
  }
}

TEST(CrMath, NearRoundingBoundary) {
  using cr_math_detail::NearRoundingBoundary;
  const double midpoint = 1.0 + 0x1p-24;  // between 1 and 1 + 2^-23
  const double subMid = 5 * 0x1p-150;     // between the subnormals 2 and 3 x 2^-149
  const double topMid = 0x1p128 - 0x1p103;  // between the largest float and +inf
  struct Case {
    double y;
    std::uint64_t ulps;
    bool near;
  };
  const Case cases[] = {
      {midpoint, 0, true},
      {std::nextafter(midpoint, 2.0), 0, false},
      {std::nextafter(midpoint, 2.0), 1, true},
      {std::nextafter(std::nextafter(midpoint, 0.0), 0.0), 1, false},
      {-midpoint, 0, true},
      {1.0, 1000, false},
      {1.0 + 0x1p-23, 1000, false},
      {subMid, 0, true},
      {std::nextafter(subMid, 1.0), 1, true},
      {std::nextafter(subMid, 1.0), 0, false},
      {0x1p-150, 0, true},  // between 0 and the smallest subnormal
      {std::nextafter(0x1p-150, 0.0), 1, true},
      {std::nextafter(0x1p-150, 0.0), 0, false},
      {0x1p-152, 1000, false},
      {0x1.8p-149, 0, true},
      {0x1p-149, 1000, false},
      {topMid, 0, true},
      {0x1p128, 1000, false},
      {0.0, 1000, false},
      {std::numeric_limits<double>::infinity(), 1000, false},
      {std::numeric_limits<double>::quiet_NaN(), 1000, false},
  };
  for (const Case& c : cases) EXPECT_EQ(NearRoundingBoundary(c.y, c.ulps), c.near) << std::hexfloat << c.y;
}

// Every table entry recomputed with MPFR at 300 bits.
TEST(CrMath, TablesMatchMpfr) {
  using namespace cr_math_tables;
  mpfr_t v, pi;
  mpfr_init2(v, 300);
  mpfr_init2(pi, 300);
  mpfr_const_pi(pi, MPFR_RNDN);
  // hi + lo equals v to within 2^-104 relative (2^-78 for 26-bit hi parts).
  auto close = [&](double hi, double lo, double tol) {
    mpfr_sub_d(v, v, hi, MPFR_RNDN);
    mpfr_sub_d(v, v, lo, MPFR_RNDN);
    return std::fabs(mpfr_get_d(v, MPFR_RNDN)) <= tol;
  };
  for (int j = 0; j < 128; ++j) {
    mpfr_set_si(v, j, MPFR_RNDN);
    mpfr_div_ui(v, v, 128, MPFR_RNDN);
    mpfr_exp2(v, v, MPFR_RNDN);
    EXPECT_TRUE(close(kExp2[j].hi, kExp2[j].lo, 0x1p-104)) << "2^(" << j << "/128)";

    mpfr_mul_si(v, pi, j, MPFR_RNDN);
    mpfr_div_ui(v, v, 64, MPFR_RNDN);
    mpfr_sin(v, v, MPFR_RNDN);
    const double s = kSinPiOver64[j].hi;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(s) & ((1ull << 27) - 1), 0u) << "sin hi has 26 bits, " << j;
    EXPECT_TRUE(close(s, kSinPiOver64[j].lo, 0x1p-79)) << "sin(" << j << " pi/64)";

    const float c = kLogInverse[j];
    mpfr_set_flt(v, c, MPFR_RNDN);
    mpfr_log(v, v, MPFR_RNDN);
    mpfr_neg(v, v, MPFR_RNDN);
    const double t = kMinusLogInverse[j].hi;
    EXPECT_EQ(t * 0x1p45, std::floor(t * 0x1p45)) << "-log c hi is a multiple of 2^-45, " << j;
    EXPECT_TRUE(close(t, kMinusLogInverse[j].lo, 0x1p-98)) << "-log c, " << j;
    // c is close enough to 1/m on its step for |r| <= 2^-7.
    for (std::uint32_t edge : {0x3f330000u + (static_cast<std::uint32_t>(j) << 16),
                               0x3f330000u + ((static_cast<std::uint32_t>(j) + 1) << 16) - 1}) {
      const double r = static_cast<double>(FromBits(edge)) * static_cast<double>(c) - 1.0;
      EXPECT_LE(std::fabs(r), 0x1p-7) << "log step " << j;
    }
  }
  mpfr_ui_div(v, 2, pi, MPFR_RNDN);
  for (int w = 1; w < 9; ++w) {
    mpfr_mul_2ui(v, v, 32, MPFR_RNDN);
    const unsigned long word = mpfr_get_ui(v, MPFR_RNDZ);
    mpfr_sub_ui(v, v, word, MPFR_RNDN);
    EXPECT_EQ(kTwoOverPi[w], word) << "2/pi word " << w;
  }
  EXPECT_EQ(kTwoOverPi[0], 0u);
  mpfr_const_log2(v, MPFR_RNDN);
  EXPECT_TRUE(close(kLn2Hi, kLn2Lo, 0x1p-100)) << "ln2";
  mpfr_const_log2(v, MPFR_RNDN);
  mpfr_div_ui(v, v, 128, MPFR_RNDN);
  EXPECT_TRUE(close(kLn2x128Hi, kLn2x128Lo, 0x1p-98)) << "ln2/128";
  mpfr_div_ui(v, pi, 64, MPFR_RNDN);
  EXPECT_TRUE(close(kPiOver64Hi, kPiOver64Lo, 0x1p-83)) << "pi/64";
  mpfr_clear(v);
  mpfr_clear(pi);
}

}  // namespace
}  // namespace tessary
