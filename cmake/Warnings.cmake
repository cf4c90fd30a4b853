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
# GCC's flow-based -Wrestrict at -O2 and above flags string concatenations in
# the standard library (`"[" + std::to_string(i)`) that cannot overlap. In
# optimised builds it stays visible as a warning but does not fail the build;
# the debug build keeps it an error.
target_compile_options(tessary_warnings INTERFACE
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<NOT:$<CONFIG:Debug>>>:-Wno-error=restrict>)
