# Cross build for 64-bit x86 Windows with mingw-w64 (the posix thread model,
# which GoogleTest needs for std::mutex). Programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESSARY_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TESSARY_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSARY_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSARY_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSARY_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the test programs through Wine's 64-bit loader (scripts/wine-env.sh
# prepares the prefix); /usr/bin/wine would pick the 32-bit loader first.
find_program(TESSARY_WINE_LOADER wine64 PATHS /usr/lib/wine /usr/lib/wine64 NO_DEFAULT_PATH)
find_program(TESSARY_WINE_LOADER wine64)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSARY_WINE_LOADER})
