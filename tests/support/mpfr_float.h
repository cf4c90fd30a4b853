#pragma once
// GNU MPFR as the reference for single-precision functions: the correctly
// rounded float result of f(x), subnormals included, and the error of a
// double approximation in units of its last place. Used by the tests and the
// check tool of compositing/cr_math only; the module never links MPFR.

#include <mpfr.h>

#include <cmath>

namespace tessary::testing {

using MpfrFunction = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

// f(x) rounded to nearest float, ties to even, as IEEE binary32 gives it:
// 24 bits in binary32's exponent range, then MPFR's subnormal rounding.
inline float CorrectlyRounded(MpfrFunction f, float x) {
  const mpfr_exp_t emin = mpfr_get_emin();
  const mpfr_exp_t emax = mpfr_get_emax();
  mpfr_set_emin(-148);
  mpfr_set_emax(128);
  mpfr_t in, out;
  mpfr_init2(in, 24);
  mpfr_init2(out, 24);
  mpfr_set_flt(in, x, MPFR_RNDN);
  int inex = f(out, in, MPFR_RNDN);
  inex = mpfr_check_range(out, inex, MPFR_RNDN);
  mpfr_subnormalize(out, inex, MPFR_RNDN);
  const float r = mpfr_get_flt(out, MPFR_RNDN);
  mpfr_clear(in);
  mpfr_clear(out);
  mpfr_set_emin(emin);
  mpfr_set_emax(emax);
  return r;
}

// |f(x) - y| in units of the last place of y (y finite and not 0).
inline double UlpsError(MpfrFunction f, float x, double y) {
  mpfr_t in, out;
  mpfr_init2(in, 24);
  mpfr_init2(out, 200);
  mpfr_set_flt(in, x, MPFR_RNDN);
  f(out, in, MPFR_RNDN);
  mpfr_sub_d(out, out, y, MPFR_RNDN);
  int e = 0;
  std::frexp(y, &e);  // y in [2^(e-1), 2^e): its ulp is 2^(e-53)
  mpfr_mul_2si(out, out, 53 - e, MPFR_RNDN);
  const double ulps = std::fabs(mpfr_get_d(out, MPFR_RNDN));
  mpfr_clear(in);
  mpfr_clear(out);
  return ulps;
}

}  // namespace tessary::testing
