# Installation in the layout Debian expects, and the Debian package (CPack).
#
#   <prefix>/bin/                                 the four programs
#   <prefix>/share/vyre-lumo/                     shipped files (wave/, Help/, ...)
#   <prefix>/lib/udev/rules.d/70-vyre-lumo.rules  access to the keyboard at the seat
#   <prefix>/share/applications/                  the Config's desktop entry
#   <sysconf>/xdg/autostart/                      the Monitor with the desktop session
#   <prefix>/share/icons/hicolor/scalable/apps/   the icon
#   <prefix>/share/metainfo/                      the AppStream entry
#   <prefix>/share/vyre-lumo/kwin/                the KWin script the Monitor loads on KDE Plasma
#   <prefix>/share/gnome-shell/extensions/        the GNOME Shell extension that tells the program in front
#   <prefix>/share/man/man1/                      a manual page for each program
#
# <sysconf> is /etc for the prefix /usr, else <prefix>/etc. The Debian package
# always installs under /usr, with stripped programs.
include(GNUInstallDirs)

set(_programs vyre-lumo-monitor vyre-lumo-config vyre-lumo-ctl vyre-lumo-sim)
install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/assets/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vyre-lumo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/70-vyre-lumo.rules DESTINATION lib/udev/rules.d)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/vyre-lumo-config.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The prefix is the one of the installation (the package's is /usr whatever
# the build's), so the folder is chosen when installing.
install(CODE "set(VYRE_LUMO_AUTOSTART_ENTRY \"${CMAKE_SOURCE_DIR}/packaging/vyre-lumo-monitor-autostart.desktop\")")
install(CODE [[
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(VYRE_LUMO_AUTOSTART_DIR /etc/xdg/autostart)
  else()
    set(VYRE_LUMO_AUTOSTART_DIR "${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart")
  endif()
  file(INSTALL DESTINATION "${VYRE_LUMO_AUTOSTART_DIR}" TYPE FILE
       RENAME vyre-lumo-monitor.desktop FILES "${VYRE_LUMO_AUTOSTART_ENTRY}")]])
install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/vyre-lumo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/vyre-lumo-config.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/kwin/vyre-lumo-foreground.js
        DESTINATION ${CMAKE_INSTALL_DATADIR}/vyre-lumo/kwin)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/packaging/gnome-shell/vyre-lumo@kalvex.com
        DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions)

# Manual pages, made from each program's --help and --version by help2man.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
if(HELP2MAN AND GZIP)
  set(_man_vyre-lumo-monitor "background program that keeps the Vyre Lumo keyboard's settings")
  set(_man_vyre-lumo-config "edit the profiles of the Vyre Lumo keyboard")
  set(_man_vyre-lumo-ctl "talk to a running Vyre Lumo Monitor")
  set(_man_vyre-lumo-sim "emulator of the Vyre Lumo keyboard")
  set(_pages)
  foreach(p ${_programs})
    set(_page ${CMAKE_BINARY_DIR}/man/${p}.1.gz)
    add_custom_command(
      OUTPUT ${_page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
              ${HELP2MAN} --no-info --no-discard-stderr --section=1 "--name=${_man_${p}}"
              --output=${CMAKE_BINARY_DIR}/man/${p}.1 $<TARGET_FILE:${p}>
      COMMAND ${GZIP} -n -9 -f ${CMAKE_BINARY_DIR}/man/${p}.1
      DEPENDS ${p}
      COMMENT "Manual page of ${p}"
      VERBATIM)
    list(APPEND _pages ${_page})
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${_pages})
  install(FILES ${_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man or gzip not found: no manual pages")
endif()

# The package's copyright and changelog, where Debian keeps them.
set(VYRE_LUMO_PACKAGE_MAINTAINER "Vyre Lumo developers <packages@vyre-lumo.invalid>"
    CACHE STRING "The package's maintainer: name <address>")
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
if(GZIP)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
    COMMAND ${GZIP} -n -9 -c ${CMAKE_BINARY_DIR}/debian/changelog > ${CMAKE_BINARY_DIR}/debian/changelog.gz
    DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog
    VERBATIM)
  add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
  install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vyre-lumo)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vyre-lumo)

# The Debian package: cpack -G DEB in the build folder.
set(CPACK_PACKAGE_NAME vyre-lumo)
set(CPACK_PACKAGE_VENDOR "Vyre Lumo developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion software of the Vyre Lumo gaming keyboard")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "The Monitor keeps the keyboard's settings, writes them to the keyboard\n"
    "and carries out what its keys ask of the computer; the Config edits\n"
    "profiles, keys, lights and macros. With the keyboard emulator and a\n"
    "command-line client.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)  # what CPACK_SET_DESTDIR installs into
set(CPACK_SET_DESTDIR ON)  # the autostart entry lives outside the prefix
set(CPACK_STRIP_FILES ON)  # no debug symbols in the package
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VYRE_LUMO_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Glyphs for the seventeen help languages (Thai, Japanese, Korean, Chinese).
set(VYRE_LUMO_FONT_PACKAGES "fonts-dejavu-core, fonts-tlwg-loma-ttf | fonts-thai-tlwg, fonts-wqy-microhei | fonts-noto-cjk, fonts-droid-fallback"
    CACHE STRING "The font packages the package recommends")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ${VYRE_LUMO_FONT_PACKAGES})
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/postinst ${CMAKE_BINARY_DIR}/debian/postinst COPYONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/postrm ${CMAKE_BINARY_DIR}/debian/postrm COPYONLY)
file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "/etc/xdg/autostart/vyre-lumo-monitor.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_BINARY_DIR}/debian/postinst ${CMAKE_BINARY_DIR}/debian/postrm
    ${CMAKE_BINARY_DIR}/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
