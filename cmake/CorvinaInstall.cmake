# Install rules for the program, the simulated modem and their desktop files,
# and the Debian package built from them with CPack (scripts/package).

include(GNUInstallDirs)

# scripts/package builds only what is installed, not the tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CORVINA_APP_ID org.corvina.Corvina)

# Debian wants manual pages and the changelog compressed without a time stamp.
function(corvina_gzip source output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/dist
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/${source} > ${output}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source})
endfunction()
set(_dist ${CMAKE_BINARY_DIR}/dist)
corvina_gzip(dist/corvina.1 ${_dist}/corvina.1.gz)
corvina_gzip(dist/velksim.1 ${_dist}/velksim.1.gz)
corvina_gzip(dist/corvina-cli.1 ${_dist}/corvina-cli.1.gz)
corvina_gzip(dist/changelog ${_dist}/changelog.gz)
add_custom_target(compressed_docs ALL
  DEPENDS ${_dist}/corvina.1.gz ${_dist}/velksim.1.gz ${_dist}/corvina-cli.1.gz
          ${_dist}/changelog.gz)

install(TARGETS corvina RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${_dist}/corvina.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET velksim)
  install(TARGETS velksim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_dist}/velksim.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(TARGET corvina-cli)
  install(TARGETS corvina-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_dist}/corvina-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES dist/${CORVINA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES dist/${CORVINA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_dist}/changelog.gz dist/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/corvina)

# The icon theme tree is drawn by the program's own icon code; a cross build
# cannot run it and installs no icons.
if(NOT CMAKE_CROSSCOMPILING)
  set(_icons ${CMAKE_BINARY_DIR}/icons/hicolor)
  add_custom_command(
    OUTPUT ${_icons}/scalable/apps/corvina.svg
    # A sanitizer build's leak check would fail the build on the toolkit's
    # one-time allocations; the icons do not depend on it.
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:corvina-icon-export> ${_icons}
    DEPENDS corvina-icon-export
    COMMENT "Drawing the icon theme files")
  add_custom_target(icons ALL DEPENDS ${_icons}/scalable/apps/corvina.svg)
  install(DIRECTORY ${_icons} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvina)
set(CPACK_PACKAGE_VENDOR "Corvina authors")
set(CPACK_PACKAGE_CONTACT "Corvina authors <corvina@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "terminal for HF data modems in CRC hostmode")
set(CPACK_PACKAGE_DESCRIPTION
    "Corvina drives a Velk shortwave data modem in extended CRC hostmode over a\n"
    "serial port or a TCP link: modem commands, chat over ARQ links and FEC\n"
    "broadcasts, and file exchange between two stations with a verdict on every\n"
    "file. The package also holds velksim, a simulated modem for trying it out.")
list(JOIN CPACK_PACKAGE_DESCRIPTION "" CPACK_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
