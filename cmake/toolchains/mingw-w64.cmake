# What both mingw-w64 toolchain files share; they set TESSARY_MINGW_TRIPLET
# and TESSARY_WINE_LOADER_NAME first. Compilers of the posix thread model
# (GoogleTest needs std::mutex); programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TESSARY_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSARY_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSARY_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSARY_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the test programs through Wine's loader of the architecture
# (scripts/wine-env.sh prepares the prefix); /usr/bin/wine tries the 32-bit
# loader first.
find_program(TESSARY_WINE_LOADER ${TESSARY_WINE_LOADER_NAME} PATHS /usr/lib/wine /usr/lib/wine64 NO_DEFAULT_PATH)
find_program(TESSARY_WINE_LOADER ${TESSARY_WINE_LOADER_NAME})
set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSARY_WINE_LOADER})
