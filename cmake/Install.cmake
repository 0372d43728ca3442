# SPDX-License-Identifier: MIT
# What `cmake --install` puts where (GNUInstallDirs), and the Debian package CPack builds from
# exactly that tree: `cpack -G DEB` in the build directory.
include(GNUInstallDirs)

# The maintainer and the Debian revision are the packager's: cmake
# -DWYDRUKI_PACKAGE_MAINTAINER="Anna Nowak <anna@example.org>" -DWYDRUKI_PACKAGE_REVISION=2.
# The revision's entry must head packaging/changelog (scripts/check-package.sh compares them).
set(WYDRUKI_PACKAGE_MAINTAINER "wydrukid95 authors <wydrukid95@example.org>"
    CACHE STRING "The Maintainer field of the Debian package: Name <address>")
set(WYDRUKI_PACKAGE_REVISION 1 CACHE STRING "The Debian revision of the package")

install(TARGETS wydrukid95 wydrukid95-testpage RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS packaging/wydrukid95-dosbox DESTINATION ${CMAKE_INSTALL_BINDIR})

# The program's icon for menus and panels: the scalable picture our icon script draws from
# MAINICON, and PNGs of it at the sizes of the icon theme (rendered with rsvg-convert, Debian
# package librsvg2-bin). The tray keeps its own pictures, compiled into the program.
set(_svg ${PROJECT_SOURCE_DIR}/src/resources/icons/wydrukid95.svg)
install(FILES ${_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
  set(_pngs)
  foreach(_size 16 22 24 32 48 64 128 256)
    set(_png ${CMAKE_BINARY_DIR}/packaging/icons/${_size}x${_size}/wydrukid95.png)
    add_custom_command(
      OUTPUT ${_png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/icons/${_size}x${_size}
      COMMAND ${RSVG_CONVERT} --width=${_size} --height=${_size} --output=${_png} ${_svg}
      DEPENDS ${_svg}
      COMMENT "Icon for the desktop at ${_size} pixels")
    install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
    list(APPEND _pngs ${_png})
  endforeach()
  add_custom_target(desktop_icons ALL DEPENDS ${_pngs})
else()
  message(WARNING "rsvg-convert not found (Debian package librsvg2-bin): only the scalable icon "
                  "is installed")
endif()

foreach(_file wydrukid95.desktop wydrukid95-autostart.desktop wydrukid95@.service)
  configure_file(packaging/${_file}.in ${CMAKE_BINARY_DIR}/packaging/${_file} @ONLY)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/packaging/wydrukid95.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# Not in /etc/xdg/autostart: each user decides, by copying it into ~/.config/autostart/.
install(FILES ${CMAKE_BINARY_DIR}/packaging/wydrukid95-autostart.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/wydrukid95/autostart RENAME wydrukid95.desktop)
install(FILES ${CMAKE_BINARY_DIR}/packaging/wydrukid95@.service
        DESTINATION lib/systemd/user)  # where systemd looks, multiarch or not

# Manual pages, the changelog and README are installed compressed, without a time stamp in the
# archive (Debian policy): gzip -n.
function(wydruki_install_gzipped source destination name)
  set(_gz ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(
    OUTPUT ${_gz}
    COMMAND gzip -9n -c ${source} > ${_gz}
    DEPENDS ${source}
    COMMENT "Compressed ${name}")
  add_custom_target(gzip_${name} ALL DEPENDS ${_gz})
  install(FILES ${_gz} DESTINATION ${destination})
endfunction()
foreach(_page wydrukid95 wydrukid95-testpage wydrukid95-dosbox)
  configure_file(packaging/${_page}.1.in ${CMAKE_BINARY_DIR}/packaging/${_page}.1 @ONLY)
  wydruki_install_gzipped(${CMAKE_BINARY_DIR}/packaging/${_page}.1 ${CMAKE_INSTALL_MANDIR}/man1
                          ${_page}.1)
endforeach()
wydruki_install_gzipped(${PROJECT_SOURCE_DIR}/README.md ${CMAKE_INSTALL_DOCDIR} README.md)
# The changelog's entries are signed by whoever makes the package: its maintainer.
configure_file(packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
wydruki_install_gzipped(${CMAKE_BINARY_DIR}/packaging/changelog ${CMAKE_INSTALL_DOCDIR}
                        changelog.Debian)

# The machine-readable copyright file (DEP-5): the licence text of LICENSE, as the format wants
# it (each line indented by one space, an empty line written as " .").
file(READ ${PROJECT_SOURCE_DIR}/LICENSE _license)
string(REGEX REPLACE "^.*Copyright \\(c\\) ([^\n]*)\n\n" "" _license_body "${_license}")
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${_license}")
set(WYDRUKI_COPYRIGHT_HOLDERS ${CMAKE_MATCH_1})
string(STRIP "${_license_body}" _license_body)
string(REPLACE "\n\n" "\n.\n" _license_body "${_license_body}")
string(REPLACE "\n" "\n " WYDRUKI_LICENSE_TEXT " ${_license_body}")
configure_file(packaging/copyright.in ${CMAKE_BINARY_DIR}/packaging/copyright @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package.
set(CPACK_PACKAGE_NAME wydrukid95)
set(CPACK_PACKAGE_VERSION ${WYDRUKI_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${WYDRUKI_PACKAGE_REVISION})
set(CPACK_PACKAGE_CONTACT "${WYDRUKI_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${WYDRUKI_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "print agent for a DOS business program")
# The long description in lines of at most 80 characters, as dpkg shows it.
set(CPACK_PACKAGE_DESCRIPTION
    "A DOS business program writes its print-outs (code page 852, form feeds,\n\
printer ESC commands for pitch, double width and bold) into a job directory;\n\
the agent prints them on the default CUPS printer on a character grid that\n\
imitates a character printer, and shows its progress in the notification area.\n\
The DOS program may run in DOSBox or dosemu2; the agent starts it.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the programs link (CUPS, cairo, fontconfig, FreeType, ...) are found by
# dpkg-shlibdeps; the fonts it draws with and the tools of its documented set-ups are named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups-client")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "dosbox | dosemu2, cups")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
