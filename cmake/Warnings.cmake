# One warnings target, linked by every target of the project.
add_library(tessary_warnings INTERFACE)
target_compile_options(tessary_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wunused
  -Woverloaded-virtual -Wnull-dereference -Wdouble-promotion -Wformat=2
  -Wimplicit-fallthrough -Wswitch-enum)
option(TESSARY_WERROR "Treat warnings as errors" ON)
if(TESSARY_WERROR)
  target_compile_options(tessary_warnings INTERFACE -Werror)
endif()
# GCC's flow-based warnings at -O2 and above (-Wrestrict, -Wnull-dereference)
# report paths inside the standard library and GoogleTest that cannot
# happen (GCC 12 flags `"[" + std::to_string(i)` and gtest's own macros).
# In optimised builds they stay visible as warnings but do not fail the
# build; the debug build (dev, CI) keeps them as errors.
target_compile_options(tessary_warnings INTERFACE
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<NOT:$<CONFIG:Debug>>>:-Wno-error=restrict$<SEMICOLON>-Wno-error=null-dereference>)
