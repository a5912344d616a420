# 32-bit Windows with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TAMBLIN_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
# SSE2 arithmetic (-msse2 -mfpmath=sse) is switched on for every 32-bit x86 build by the top-level
# CMakeLists.txt, so that this build and the 64-bit ones follow one arithmetic model.
