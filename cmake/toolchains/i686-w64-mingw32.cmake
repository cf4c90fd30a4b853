# Cross build for 32-bit x86 Windows with mingw-w64. SSE2 arithmetic instead
# of x87 is set in CMakeLists.txt.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TESSARY_MINGW_TRIPLET i686-w64-mingw32)
set(TESSARY_WINE_LOADER_NAME wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
