# Windows builds (cross-compiled with mingw-w64): the drawing surface's header-only sources from the
# build machine, and the installed layout: the DLL in the install folder with a note on where hosts
# look for VST 2 plug-ins.

# stb is header-only and sits in the build machine's /usr/include; only its own folder may be on the
# include path, never /usr/include itself, whose C library headers are not Windows'.
set(tamblin_stb_root ${CMAKE_BINARY_DIR}/stb-include)
if(NOT EXISTS ${tamblin_stb_root}/stb/stb_truetype.h)
  find_path(tamblin_stb_parent stb/stb_truetype.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  file(MAKE_DIRECTORY ${tamblin_stb_root})
  file(CREATE_LINK ${tamblin_stb_parent}/stb ${tamblin_stb_root}/stb SYMBOLIC)
endif()
set(TAMBLIN_STB_INCLUDE ${tamblin_stb_root} CACHE PATH "Folder holding stb/" FORCE)

option(TAMBLIN_BUILD_WINDOWS_CHECK "Build tamblin-host-check.exe, the test host run under Wine" ON)

install(FILES ${PROJECT_SOURCE_DIR}/docs/windows/VST2-FOLDERS.txt DESTINATION . COMPONENT plugin)

# GCC 12 reports overlapping copies inside std::string's own inline code at -O3 on these targets
# (a known false positive of its -Wrestrict), so that warning is off here.
add_compile_options(-Wno-restrict)
