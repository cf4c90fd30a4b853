# Cross build for 64-bit x86 Windows with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESSARY_MINGW_TRIPLET x86_64-w64-mingw32)
set(TESSARY_WINE_LOADER_NAME wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
