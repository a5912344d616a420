# Install-time half of cmake/PluginInstall.cmake: where this install goes, stripping, and the record of
# the files it put in place. Read by `cmake --install` and CPack, never when configuring.
include_guard(GLOBAL)

# True when the install runs for a normal user into CMake's default prefix without DESTDIR: then the
# home folder takes everything, as the user can write nowhere else that hosts look.
function(tamblin_install_for_home out)
  set(home FALSE)
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr/local" AND "$ENV{DESTDIR}" STREQUAL "" AND NOT "$ENV{HOME}" STREQUAL "")
    execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT uid STREQUAL "0")
      set(home TRUE)
    endif()
  endif()
  set(${out} ${home} PARENT_SCOPE)
endfunction()

# The plug-in folder of a format: the configured override, ~/.FORMAT or <prefix>/lib/FORMAT.
function(tamblin_plugin_folder out format override)
  tamblin_install_for_home(home)
  if(override)
    set(folder "${override}")
  elseif(home)
    set(folder "$ENV{HOME}/.${format}")
  elseif(format STREQUAL "clap" AND CMAKE_INSTALL_PREFIX STREQUAL "/usr/local" AND "$ENV{DESTDIR}" STREQUAL "")
    # CLAP hosts search ~/.clap and /usr/lib/clap only, not /usr/local/lib/clap.
    set(folder "/usr/lib/clap")
  else()
    set(folder "${CMAKE_INSTALL_PREFIX}/lib/${format}")
  endif()
  set(${out} "${folder}" PARENT_SCOPE)
endfunction()

# The prefix of the programs and their data: ~/.local for a user, else the install prefix.
function(tamblin_program_prefix out)
  tamblin_install_for_home(home)
  if(home)
    set(${out} "$ENV{HOME}/.local" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}" PARENT_SCOPE)
  endif()
endfunction()

# Strips an installed binary when the install asks for it (--strip, CPack): no symbol table, no
# .comment or .note sections, as Debian's packaging tools strip.
function(tamblin_strip_installed path strip)
  if(CMAKE_INSTALL_DO_STRIP AND strip)
    execute_process(COMMAND "${strip}" --strip-unneeded --remove-section=.comment --remove-section=.note
      "$ENV{DESTDIR}${path}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "could not strip $ENV{DESTDIR}${path}")
    endif()
  endif()
endfunction()

# The record of what one user installed from this build folder, outside package trees.
function(tamblin_install_record out buildDir)
  execute_process(COMMAND id -un OUTPUT_VARIABLE user OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(${out} "${buildDir}/install-record-${user}.txt" PARENT_SCOPE)
endfunction()

# Before the first file: CMake writes install_manifest.txt after the last rule, and cannot overwrite one
# that another user (root, through sudo) left in a build folder this user owns; that one goes.
macro(tamblin_install_begin buildDir)
  foreach(manifest IN ITEMS "${buildDir}/install_manifest.txt" "${buildDir}/install_manifest_plugin.txt"
                            "${buildDir}/install_manifest_programs.txt")
    if(EXISTS "${manifest}")
      execute_process(COMMAND test -w "${manifest}" RESULT_VARIABLE notWritable)
      if(notWritable)
        file(REMOVE "${manifest}")
      endif()
    endif()
  endforeach()
endmacro()

# After the last file: adds what this install put in place to the user's record, which
# scripts/uninstall.sh reads. Package trees (DESTDIR, CPack's staging folder) are not recorded: their
# files belong to the package.
macro(tamblin_install_end buildDir)
  string(FIND "${CMAKE_INSTALL_PREFIX}" "${buildDir}/" stagingAt)
  if("$ENV{DESTDIR}" STREQUAL "" AND NOT stagingAt EQUAL 0 AND CMAKE_INSTALL_MANIFEST_FILES)
    tamblin_install_record(record "${buildDir}")
    set(recorded "")
    if(EXISTS "${record}")
      file(STRINGS "${record}" recorded)
    endif()
    list(APPEND recorded ${CMAKE_INSTALL_MANIFEST_FILES})
    list(REMOVE_DUPLICATES recorded)
    list(JOIN recorded "\n" lines)
    file(WRITE "${record}" "${lines}\n")
    message(STATUS "Installed files are listed in ${record}; bash scripts/uninstall.sh removes them")
  endif()
endmacro()
