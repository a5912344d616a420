# Shared part of the Windows cross toolchains: Debian's mingw-w64 compilers in their -posix thread
# variant (the -win32 variant has no std::thread or std::mutex). TAMBLIN_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TAMBLIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAMBLIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAMBLIN_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAMBLIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Header-only sources and data files of the build machine (stb, fonts) are found where Debian puts them.
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
# The C and C++ runtimes go into the binaries: they need nothing beside Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
