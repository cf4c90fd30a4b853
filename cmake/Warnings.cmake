# One warnings target, linked by every target of the project.
# is left out: with GCC 12 at -O3 it reports paths inside
# the standard library's containers that cannot be taken.
add_library(tessary_warnings INTERFACE)
target_compile_options(tessary_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wunused
  -Woverloaded-virtual -Wdouble-promotion -Wformat=2
  -Wimplicit-fallthrough -Wswitch-enum)
option(TESSARY_WERROR "Treat warnings as errors" ON)
if(TESSARY_WERROR)
  target_compile_options(tessary_warnings INTERFACE -Werror)
endif()
