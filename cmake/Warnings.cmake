# One warnings target, linked by every target of the project.
add_library(tessary_warnings INTERFACE)
target_compile_options(tessary_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wunused
  -Woverloaded-virtual -Wdouble-promotion -Wformat=2
  -Wimplicit-fallthrough -Wswitch-enum)
# Left out: -Wnull-dereference, which GCC 12 at -O3 reports on paths inside
# the standard library's containers that cannot be taken.
option(TESSARY_WERROR "Treat warnings as errors" ON)
if(TESSARY_WERROR)
  target_compile_options(tessary_warnings INTERFACE -Werror)
endif()
# GCC 12's flow-based -Wrestrict at -O2 and above flags std::string
# assignments and concatenations (`"[" + std::to_string(i)`) inside the
# standard library that cannot overlap (a known fault of that release). It is
# off in optimised builds; the debug build, where it has no false positives,
# keeps it as an error.
target_compile_options(tessary_warnings INTERFACE
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<NOT:$<CONFIG:Debug>>>:-Wno-restrict>)
