# GNU MPFR (Debian libmpfr-dev), the high-precision reference of the tests and
# tools of compositing/cr_math. The module itself never links it.
find_path(MPFR_INCLUDE_DIR mpfr.h)
find_library(MPFR_LIBRARY mpfr)
find_library(GMP_LIBRARY gmp)
if(MPFR_INCLUDE_DIR AND MPFR_LIBRARY AND GMP_LIBRARY AND NOT TARGET tessary_mpfr)
  add_library(tessary_mpfr INTERFACE)
  target_include_directories(tessary_mpfr SYSTEM INTERFACE ${MPFR_INCLUDE_DIR})
  target_link_libraries(tessary_mpfr INTERFACE ${MPFR_LIBRARY} ${GMP_LIBRARY})
endif()
