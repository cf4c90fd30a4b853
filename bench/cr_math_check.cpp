// The correctly rounded exp, log and cos of compositing/cr_math against GNU
// MPFR, and the generator of their tables. Not part of CI.
//
//   cr_math_check tables            print compositing/cr_math_tables.h
//   cr_math_check hard-cases        print compositing/cr_math_hard_cases.h
//   cr_math_check verify [fn...]    all 2^32 inputs of exp, log and/or cos
//
// verify compares each result with the C library's double-precision value
// rounded to float and asks MPFR wherever that double lies within 2^8 of its
// ulps of a rounding boundary (the library is far more accurate than that)
// or disagrees with ours. It prints the mismatches (must be 0) and the time.
// hard-cases finds, over all inputs, the approximations within
// kHardCaseUlps of a boundary and gives their correct results from MPFR.

#include <mpfr.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "compositing/cr_math.h"

namespace {

using namespace tessary;
using cr_math_detail::NearRoundingBoundary;

// ---------------------------------------------------------------- MPFR ---

// f(x) correctly rounded to float (subnormals included), as IEEE single
// arithmetic would give it: MPFR's exponent range set to binary32's.
struct Function {
  const char* name;
  int (*mpfr)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
  float (*ours)(float);
  double (*approx)(float);
  double (*libm)(double);
  bool even;  // the table holds the inputs of sign bit 0 only
};

double LibExp(double x) { return std::exp(x); }
double LibLog(double x) { return std::log(x); }
double LibCos(double x) { return std::cos(x); }

const Function kFunctions[] = {
    {"exp", mpfr_exp, CrExpf, cr_math_detail::ExpApprox, LibExp, false},
    {"log", mpfr_log, CrLogf, cr_math_detail::LogApprox, LibLog, false},
    {"cos", mpfr_cos, CrCosf, cr_math_detail::CosApprox, LibCos, true},
};

void UseBinary32Range() {
  mpfr_set_emin(-148);
  mpfr_set_emax(128);
}

float CorrectlyRounded(const Function& f, float x) {
  mpfr_t in, out;
  mpfr_init2(in, 24);
  mpfr_init2(out, 24);
  mpfr_set_flt(in, x, MPFR_RNDN);
  int inex = f.mpfr(out, in, MPFR_RNDN);
  inex = mpfr_check_range(out, inex, MPFR_RNDN);
  mpfr_subnormalize(out, inex, MPFR_RNDN);
  const float r = mpfr_get_flt(out, MPFR_RNDN);
  mpfr_clear(in);
  mpfr_clear(out);
  return r;
}

bool SameBits(float a, float b) {
  if (std::isnan(a) && std::isnan(b)) return true;
  return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// Runs body(begin, end) over all 2^32 input bit patterns on every core, in
// chunks handed out in order.
template <typename Body>
void ForAllInputs(Body body) {
  constexpr std::uint64_t kChunk = 1u << 20;
  std::atomic<std::uint64_t> next{0};
  unsigned n = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < n; ++t) {
    threads.emplace_back([&] {
      UseBinary32Range();
      for (;;) {
        const std::uint64_t begin = next.fetch_add(kChunk);
        if (begin >= (std::uint64_t{1} << 32)) return;
        body(begin, begin + kChunk);
      }
    });
  }
  for (auto& t : threads) t.join();
}

// ------------------------------------------------------------- verify ---

int Verify(const Function& f) {
  std::atomic<std::uint64_t> mismatches{0}, mpfrCalls{0};
  std::mutex printLock;
  const auto start = std::chrono::steady_clock::now();
  ForAllInputs([&](std::uint64_t begin, std::uint64_t end) {
    std::uint64_t bad = 0, calls = 0;
    for (std::uint64_t i = begin; i < end; ++i) {
      const float x = std::bit_cast<float>(static_cast<std::uint32_t>(i));
      const float ours = f.ours(x);
      const double lib = f.libm(static_cast<double>(x));
      if (!NearRoundingBoundary(lib, 256) && SameBits(ours, static_cast<float>(lib))) continue;
      ++calls;
      const float want = CorrectlyRounded(f, x);
      if (!SameBits(ours, want)) {
        if (++bad <= 10) {
          std::lock_guard<std::mutex> lock(printLock);
          std::printf("  %s(0x%08x): ours 0x%08x, correct 0x%08x\n", f.name, static_cast<unsigned>(i),
                      std::bit_cast<std::uint32_t>(ours), std::bit_cast<std::uint32_t>(want));
        }
      }
    }
    mismatches += bad;
    mpfrCalls += calls;
  });
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %llu mismatches over 2^32 inputs (%llu checked with MPFR), %.1f s on %u threads\n", f.name,
              static_cast<unsigned long long>(mismatches.load()),
              static_cast<unsigned long long>(mpfrCalls.load()), seconds,
              std::max(1u, std::thread::hardware_concurrency()));
  std::fflush(stdout);
  return mismatches.load() == 0 ? 0 : 1;
}

// --------------------------------------------------------- hard cases ---

int HardCases() {
  std::printf(
      "#pragma once\n"
      "// Generated by `cr_math_check hard-cases` (bench/cr_math_check.cpp): every\n"
      "// input whose double approximation lies within kHardCaseUlps of a float\n"
      "// rounding boundary, with its correctly rounded result from GNU MPFR.\n"
      "// Sorted by input; cos, an even function, by |input|. Do not edit;\n"
      "// regenerate when an approximation changes.\n\n"
      "#include <array>\n#include <cstdint>\n\n"
      "namespace tessary::cr_math_tables {\n\n"
      "struct HardCase {\n  std::uint32_t input, result;  // float bit patterns\n};\n");
  for (const Function& f : kFunctions) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> found;
    std::mutex lock;
    const auto start = std::chrono::steady_clock::now();
    ForAllInputs([&](std::uint64_t begin, std::uint64_t end) {
      for (std::uint64_t i = begin; i < end; ++i) {
        if (f.even && (i >> 31) != 0) return;
        const float x = std::bit_cast<float>(static_cast<std::uint32_t>(i));
        if (!NearRoundingBoundary(f.approx(x), cr_math_detail::kHardCaseUlps)) continue;
        const float want = CorrectlyRounded(f, x);
        std::lock_guard<std::mutex> guard(lock);
        found.emplace_back(static_cast<std::uint32_t>(i), std::bit_cast<std::uint32_t>(want));
      }
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::sort(found.begin(), found.end());
    std::string name = f.name;
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    std::fprintf(stderr, "%s: %zu hard cases, search %.1f s\n", f.name, found.size(), seconds);
    std::printf("\n// %zu cases\ninline constexpr std::array<HardCase, %zu> k%sHardCases{{\n", found.size(),
                found.size(), name.c_str());
    for (const auto& [in, out] : found) {
      std::printf("    {0x%08xu, 0x%08xu},  // %s(%.9g) = %.9g\n", in, out, f.name,
                  static_cast<double>(std::bit_cast<float>(in)), static_cast<double>(std::bit_cast<float>(out)));
    }
    std::printf("}};\n");
    std::fflush(stdout);
  }
  std::printf("\n}  // namespace tessary::cr_math_tables\n");
  return 0;
}

// ------------------------------------------------------------- tables ---

// A working precision far beyond what the tables keep.
constexpr mpfr_prec_t kPrec = 400;

struct Big {
  mpfr_t v;
  Big() { mpfr_init2(v, kPrec); }
  ~Big() { mpfr_clear(v); }
  Big(const Big&) = delete;
  Big& operator=(const Big&) = delete;
};

// v rounded to nearest with `bits` significant bits, as a double.
double RoundToBits(const Big& v, mpfr_prec_t bits) {
  mpfr_t t;
  mpfr_init2(t, bits);
  mpfr_set(t, v.v, MPFR_RNDN);
  const double d = mpfr_get_d(t, MPFR_RNDN);
  mpfr_clear(t);
  return d;
}

// v rounded to the nearest multiple of 2^-q, as a double.
double RoundToMultiple(const Big& v, long q) {
  Big t;
  mpfr_mul_2si(t.v, v.v, q, MPFR_RNDN);
  mpfr_rint(t.v, t.v, MPFR_RNDN);
  mpfr_mul_2si(t.v, t.v, -q, MPFR_RNDN);
  return mpfr_get_d(t.v, MPFR_RNDN);
}

// v - hi rounded to a double.
double Remainder(const Big& v, double hi) {
  Big t;
  mpfr_sub_d(t.v, v.v, hi, MPFR_RNDN);
  return mpfr_get_d(t.v, MPFR_RNDN);
}

void PrintConstant(const char* name, double v, const char* comment) {
  if (*comment != '\0') std::printf("// %s\n", comment);
  std::printf("inline constexpr double %s = %a;\n", name, v);
}

void PrintPairs(const char* name, const char* comment, const std::vector<std::pair<double, double>>& rows) {
  std::printf("\n// %s\ninline constexpr DoubleDouble %s[%zu] = {\n", comment, name, rows.size());
  for (const auto& [hi, lo] : rows) std::printf("    {%a, %a},\n", hi, lo);
  std::printf("};\n");
}

int Tables() {
  std::printf(
      "#pragma once\n"
      "// Generated by `cr_math_check tables` (bench/cr_math_check.cpp) with GNU\n"
      "// MPFR at %ld bits; the compositing tests check every entry. Do not edit.\n\n"
      "#include <cstdint>\n\n"
      "namespace tessary::cr_math_tables {\n\n"
      "// An unevaluated sum hi + lo.\n"
      "struct DoubleDouble {\n  double hi, lo;\n};\n\n",
      static_cast<long>(kPrec));
  Big ln2, pi, t;
  mpfr_const_log2(ln2.v, MPFR_RNDN);
  mpfr_const_pi(pi.v, MPFR_RNDN);

  // exp: 128/ln2, ln2/128 as a 38-bit part (a multiple of 2^-45) and the rest.
  mpfr_ui_div(t.v, 128, ln2.v, MPFR_RNDN);
  PrintConstant("kInvLn2x128", mpfr_get_d(t.v, MPFR_RNDN), "128/ln2");
  mpfr_div_ui(t.v, ln2.v, 128, MPFR_RNDN);
  const double l1 = RoundToMultiple(t, 45);
  PrintConstant("kLn2x128Hi", l1, "ln2/128 = Hi + Lo, Hi a multiple of 2^-45 (38 bits)");
  PrintConstant("kLn2x128Lo", Remainder(t, l1), "");
  // log: ln2 as a multiple of 2^-45 and the rest.
  const double ln2hi = RoundToMultiple(ln2, 45);
  PrintConstant("kLn2Hi", ln2hi, "ln2 = Hi + Lo, Hi a multiple of 2^-45");
  PrintConstant("kLn2Lo", Remainder(ln2, ln2hi), "");
  // cos: pi/64 with a 26-bit leading part.
  mpfr_div_ui(t.v, pi.v, 64, MPFR_RNDN);
  const double p1 = RoundToBits(t, 26);
  PrintConstant("kPiOver64Hi", p1, "pi/64 = Hi + Lo, Hi of 26 bits");
  PrintConstant("kPiOver64Lo", Remainder(t, p1), "");
  PrintConstant("kPiOver64", mpfr_get_d(t.v, MPFR_RNDN), "pi/64");

  std::vector<std::pair<double, double>> rows;
  for (int j = 0; j < 128; ++j) {
    mpfr_set_si(t.v, j, MPFR_RNDN);
    mpfr_div_ui(t.v, t.v, 128, MPFR_RNDN);
    mpfr_exp2(t.v, t.v, MPFR_RNDN);
    const double hi = mpfr_get_d(t.v, MPFR_RNDN);
    rows.emplace_back(hi, Remainder(t, hi));
  }
  PrintPairs("kExp2", "2^(j/128) = hi + lo", rows);

  // log: the 128 steps of m in [0.69921875, 1.3984375) by float encoding
  // (0x3f330000 + 2^16 i); c is 1/(middle of the step) rounded to float,
  // and exactly 1 on the two steps that meet at 1 (76 and 77).
  std::vector<float> inverse;
  rows.clear();
  for (std::uint32_t i = 0; i < 128; ++i) {
    const float lo = std::bit_cast<float>(0x3f330000u + (i << 16));
    const float hi = std::bit_cast<float>(0x3f330000u + ((i + 1) << 16));
    float c = 1.0f;
    if (i != 76 && i != 77) c = static_cast<float>(2.0 / (static_cast<double>(lo) + static_cast<double>(hi)));
    inverse.push_back(c);
    mpfr_set_flt(t.v, c, MPFR_RNDN);
    mpfr_log(t.v, t.v, MPFR_RNDN);
    mpfr_neg(t.v, t.v, MPFR_RNDN);
    const double h = RoundToMultiple(t, 45);
    rows.emplace_back(h, Remainder(t, h));
  }
  std::printf("\n// c ~ 1/m for each step of m (see LogApprox)\ninline constexpr float kLogInverse[128] = {\n");
  for (std::size_t i = 0; i < inverse.size(); ++i) {
    std::printf("%s%a,%s", i % 4 == 0 ? "    " : " ", static_cast<double>(inverse[i]), i % 4 == 3 ? "\n" : "");
  }
  std::printf("};\n");
  PrintPairs("kMinusLogInverse", "-log(c) = hi + lo, hi a multiple of 2^-45", rows);

  // sin(j pi/64) with a 26-bit hi; exact at the multiples of pi/2.
  rows.clear();
  for (int j = 0; j < 128; ++j) {
    if (j % 32 == 0) {
      rows.emplace_back(j == 32 ? 1.0 : j == 96 ? -1.0 : 0.0, 0.0);
      continue;
    }
    mpfr_mul_si(t.v, pi.v, j, MPFR_RNDN);
    mpfr_div_ui(t.v, t.v, 64, MPFR_RNDN);
    mpfr_sin(t.v, t.v, MPFR_RNDN);
    const double hi = RoundToBits(t, 26);
    rows.emplace_back(hi, Remainder(t, hi));
  }
  PrintPairs("kSinPiOver64", "sin(j pi/64) = hi + lo, hi of 26 bits", rows);

  // 2/pi: a zero word, then 256 bits.
  mpfr_ui_div(t.v, 2, pi.v, MPFR_RNDN);
  std::printf(
      "\n// The bits of 2/pi after the binary point, 32 to a word, after a word of\n"
      "// zeros (the bits before the point).\ninline constexpr std::uint32_t kTwoOverPi[9] = {\n    0x00000000u,");
  for (int w = 0; w < 8; ++w) {
    mpfr_mul_2ui(t.v, t.v, 32, MPFR_RNDN);
    const unsigned long word = mpfr_get_ui(t.v, MPFR_RNDZ);
    mpfr_sub_ui(t.v, t.v, word, MPFR_RNDN);
    std::printf(" 0x%08lxu,%s", word, w == 3 ? "\n   " : "");
  }
  std::printf("\n};\n\n}  // namespace tessary::cr_math_tables\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!mpfr_buildopt_tls_p()) {
    std::fprintf(stderr, "cr_math_check: this MPFR is not thread-safe\n");
    return 2;
  }
  UseBinary32Range();
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "tables") return Tables();
  if (mode == "hard-cases") return HardCases();
  if (mode == "verify") {
    int status = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const Function& f : kFunctions) {
      bool wanted = argc <= 2;
      for (int a = 2; a < argc; ++a) wanted = wanted || f.name == std::string(argv[a]);
      if (wanted) status |= Verify(f);
    }
    std::printf("total %.1f s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return status;
  }
  std::fprintf(stderr, "usage: cr_math_check tables | hard-cases | verify [exp] [log] [cos]\n");
  return 2;
}
