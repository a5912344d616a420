# Install rules that put plug-ins and programs where Linux hosts and desktops look for them.
#
# One rule for every plug-in format and every program, decided when `cmake --install` runs:
#   - a normal user with the default prefix (/usr/local) and no DESTDIR: into the home folder, the
#     plug-ins into ~/.<format> (~/.vst, ~/.lv2, ~/.clap, ~/.vst3) and the programs, desktop entry,
#     icon and manual pages under ~/.local, since hosts scan those folders and the user cannot write
#     /usr/local;
#   - root with the default prefix, an explicit prefix (--prefix, CMAKE_INSTALL_PREFIX) or DESTDIR (a
#     package tree): machine-wide, the plug-ins into <prefix>/lib/<format> and the rest under <prefix>,
#     because no musician's host scans /root/.lv2;
#     CLAP is the one exception: its hosts search only ~/.clap and /usr/lib/clap, so root's install
#     with the default prefix puts a CLAP plug-in into /usr/lib/clap;
#   - TAMBLIN_<FORMAT>_DIR, set when configuring (TAMBLIN_VST_DIR, TAMBLIN_LV2_DIR, ...), names the
#     plug-in folder of that format outright.
# Every file installed is recorded per user in the build folder (install-record-<user>.txt), which
# scripts/uninstall.sh reads to remove exactly those files again. Stripping (cmake --install --strip,
# CPack) applies to every binary.
#
# A format folder adds its plug-in with one call, for example
#   tamblin_install_plugin(clap TARGETS tamblin_clap)
#   tamblin_install_plugin(vst3 TARGETS tamblin_vst3 SUBDIR Tamblin.vst3/Contents/x86_64-linux)
#   tamblin_install_plugin(lv2 TARGETS tamblin_lv2 tamblin_lv2_ui FILES ${turtle} SUBDIR Tamblin.lv2)
# and a program with
#   tamblin_install_program(TARGETS tamblin-render)
# Each installed target is also built by the target tamblin-installable, which scripts/demo.sh builds,
# so that an install right after the demo finds every file.
include_guard(GLOBAL)

set(TAMBLIN_INSTALL_RULES "${CMAKE_CURRENT_LIST_DIR}/InstallRules.cmake")
if(NOT TARGET tamblin-installable)
  add_custom_target(tamblin-installable)
endif()

# Install-time code: the first lines of every rule below.
set(_tamblinInstallPrelude "include(\"${TAMBLIN_INSTALL_RULES}\")\n")

# tamblin_install_plugin(FORMAT [TARGETS target...] [FILES file...] [SUBDIR path] [COMPONENT name])
#   FORMAT     the format's folder name: vst, lv2, clap, vst3 (~/.FORMAT, <prefix>/lib/FORMAT)
#   TARGETS    shared libraries or modules, installed without the executable bit, stripped on request
#   FILES      data files (Turtle, resources) copied as they are
#   SUBDIR     the path inside the format folder (a bundle: Tamblin.lv2, Tamblin.vst3/Contents/...)
#   COMPONENT  the install component, `plugin` unless given
function(tamblin_install_plugin format)
  cmake_parse_arguments(P "" "SUBDIR;COMPONENT" "TARGETS;FILES" ${ARGN})
  if(NOT P_COMPONENT)
    set(P_COMPONENT plugin)
  endif()
  string(TOUPPER "${format}" upper)
  set(TAMBLIN_${upper}_DIR "" CACHE PATH
    "Folder to install the ${format} plug-in into (empty: ~/.${format} for a user, else <prefix>/lib/${format})")
  set(code "${_tamblinInstallPrelude}")
  string(APPEND code "tamblin_plugin_folder(folder \"${format}\" \"${TAMBLIN_${upper}_DIR}\")\n")
  if(P_SUBDIR)
    string(APPEND code "set(folder \"\${folder}/${P_SUBDIR}\")\n")
  endif()
  _tamblin_install_code(code "${P_TARGETS}" "${P_FILES}" "OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ")
  string(APPEND code "message(STATUS \"The ${format} plug-in is in \$ENV{DESTDIR}\${folder}\")\n")
  install(CODE "${code}" COMPONENT ${P_COMPONENT})
endfunction()

# tamblin_install_program([TARGETS target...] [FILES file...] [DESTINATION dir] [COMPONENT name])
#   TARGETS      executables, into DESTINATION (default: bin) under ~/.local or the prefix
#   FILES        data files (desktop entry, icon, manual page) into DESTINATION
#   DESTINATION  a folder relative to the prefix, share/applications for instance
#   COMPONENT    the install component, `programs` unless given
function(tamblin_install_program)
  cmake_parse_arguments(P "" "DESTINATION;COMPONENT" "TARGETS;FILES" ${ARGN})
  if(NOT P_DESTINATION)
    set(P_DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
  if(NOT P_COMPONENT)
    set(P_COMPONENT programs)
  endif()
  set(code "${_tamblinInstallPrelude}")
  string(APPEND code "tamblin_program_prefix(prefix)\nset(folder \"\${prefix}/${P_DESTINATION}\")\n")
  _tamblin_install_code(code "${P_TARGETS}" "${P_FILES}"
    "OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE")
  install(CODE "${code}" COMPONENT ${P_COMPONENT})
endfunction()

# Appends to the variable named by codeVar the install-time lines that copy targets (with the given
# permissions, stripped on request) and files (read-only for all but the owner) into ${folder}.
function(_tamblin_install_code codeVar targets files binaryPermissions)
  set(code "${${codeVar}}")
  foreach(target IN LISTS targets)
    add_dependencies(tamblin-installable ${target})
    string(APPEND code
      "file(INSTALL DESTINATION \"\${folder}\" TYPE FILE PERMISSIONS ${binaryPermissions}\n"
      "  FILES \"$<TARGET_FILE:${target}>\")\n"
      "tamblin_strip_installed(\"\${folder}/$<TARGET_FILE_NAME:${target}>\" \"${CMAKE_STRIP}\")\n")
  endforeach()
  if(files)
    set(absolute "")
    foreach(file IN LISTS files)
      cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}")
      list(APPEND absolute "${file}")
    endforeach()
    list(JOIN absolute "\" \"" quoted)
    string(APPEND code
      "file(INSTALL DESTINATION \"\${folder}\" TYPE FILE PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ\n"
      "  FILES \"${quoted}\")\n")
  endif()
  set(${codeVar} "${code}" PARENT_SCOPE)
endfunction()

# The first and last install rules of the project: the first clears a manifest another user left, the
# last records what this install put where. Called once, from the top-level CMakeLists.
function(tamblin_install_record_begin)
  install(CODE "${_tamblinInstallPrelude}tamblin_install_begin(\"${CMAKE_BINARY_DIR}\")\n" ALL_COMPONENTS)
endfunction()
function(tamblin_install_record_end)
  install(CODE "${_tamblinInstallPrelude}tamblin_install_end(\"${CMAKE_BINARY_DIR}\")\n" ALL_COMPONENTS)
endfunction()
