# 64-bit Windows with mingw-w64 (SSE2 is the x86-64 baseline).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAMBLIN_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
