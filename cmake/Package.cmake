# The manual pages, the package documents and the Debian package (CPack): `cpack --config
# <build>/CPackConfig.cmake` writes <build>/package/tamblin_<version>_<arch>.deb with every plug-in
# format under /usr/lib, the programs, their manual pages, the desktop entry and the icon, stripped.
include_guard(GLOBAL)

find_program(TAMBLIN_GZIP gzip)

# Manual pages and the Debian changelog go out compressed with gzip -9n (no name or time stamp, so the
# same source gives the same bytes), as Debian's policy asks.
set(manPages tamblin tamblin-render tamblin-params)
set(compressed "")
foreach(page IN LISTS manPages)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.1)
  set(out ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${TAMBLIN_GZIP} -9n -c ${source} > ${out}
    DEPENDS ${source} COMMENT "Compressing the manual page ${page}(1)" VERBATIM)
  list(APPEND compressed ${out})
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/docs/package/changelog.in ${PROJECT_BINARY_DIR}/package-docs/changelog @ONLY)
set(changelog ${PROJECT_BINARY_DIR}/package-docs/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${TAMBLIN_GZIP} -9n -c ${PROJECT_BINARY_DIR}/package-docs/changelog > ${changelog}
  DEPENDS ${PROJECT_BINARY_DIR}/package-docs/changelog VERBATIM)
add_custom_target(tamblin-docs ALL DEPENDS ${compressed} ${changelog})
add_dependencies(tamblin-installable tamblin-docs)

tamblin_install_program(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
tamblin_install_program(FILES ${PROJECT_SOURCE_DIR}/docs/package/copyright ${changelog}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tamblin)

# The package (its ldconfig calls come from CPack, which adds them for any library under /usr/lib,
# plug-ins included; lintian warns of them, harmlessly). The maintainer field may be set when configuring: -DTAMBLIN_DEB_MAINTAINER="Name <mail>".
set(TAMBLIN_DEB_MAINTAINER "Tamblin maintainers <maintainers@users.noreply.c-seed-779a90da.example>"
  CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tamblin)
set(CPACK_PACKAGE_VENDOR Brightmoor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "polyphonic software synthesizer (VST 2, LV2, JACK)")
# Lines of the long description stay under 80 columns, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
  "Tamblin is a polyphonic software synthesizer: four oscillators per voice
over eight wave shapes, eleven filter types, a sixteen-step trance gate,
an arpeggiator locked to the host tempo, sixteen factory programs and its
own drawn editor.
.
This package holds the VST 2 plug-in (/usr/lib/vst/Tamblin2.so), the LV2
bundle (/usr/lib/lv2/Tamblin.lv2), the JACK program tamblin with its
desktop entry, and the tools tamblin-render (renders MIDI files through a
VST 2 instrument) and tamblin-params (the parameter table).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TAMBLIN_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "jackd2 | pipewire-jack")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Every component in the one package, no DESTDIR games: the install rules see the /usr prefix inside
# CPack's staging folder and take the machine-wide folders.
set(CPACK_DEB_COMPONENT_INSTALL OFF)
include(CPack)
