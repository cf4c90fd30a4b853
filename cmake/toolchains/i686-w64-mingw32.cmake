# Cross build for 32-bit x86 Windows with mingw-w64 (the posix thread model,
# which GoogleTest needs for std::mutex). Programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TESSARY_MINGW_TRIPLET i686-w64-mingw32)

set(CMAKE_C_COMPILER ${TESSARY_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSARY_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSARY_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSARY_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the test programs through Wine's 32-bit loader (scripts/wine-env.sh
# prepares the prefix). SSE2 arithmetic instead of x87 is set in CMakeLists.txt.
find_program(TESSARY_WINE_LOADER wine PATHS /usr/lib/wine /usr/lib/wine64 NO_DEFAULT_PATH)
find_program(TESSARY_WINE_LOADER wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSARY_WINE_LOADER})
