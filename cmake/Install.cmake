# What `cmake --install` puts where (GNUInstallDirs), and the Debian package CPack builds from
# exactly that tree: `cpack -G DEB` in the build directory.
include(GNUInstallDirs)

install(TARGETS wydrukid95 wydrukid95-testpage RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS packaging/wydrukid95-dosbox DESTINATION ${CMAKE_INSTALL_BINDIR})

# The program's icon for menus and panels, drawn from the same image as its resource MAINICON.
set(_icon ${CMAKE_BINARY_DIR}/packaging/wydrukid95.xpm)
add_custom_command(
  OUTPUT ${_icon}
  COMMAND ${CMAKE_COMMAND} -DICO=${PROJECT_SOURCE_DIR}/src/resources/icons/mainicon.ico
          -DXPM=${_icon} -DNAME=wydrukid95 -P ${PROJECT_SOURCE_DIR}/cmake/IcoToXpm.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/src/resources/icons/mainicon.ico
          ${PROJECT_SOURCE_DIR}/cmake/IcoToXpm.cmake
  COMMENT "Icon for the desktop from MAINICON")
add_custom_target(desktop_icon ALL DEPENDS ${_icon})
install(FILES ${_icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)

foreach(_file wydrukid95.desktop wydrukid95-autostart.desktop wydrukid95@.service wydrukid95.1)
  configure_file(packaging/${_file}.in ${CMAKE_BINARY_DIR}/packaging/${_file} @ONLY)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/packaging/wydrukid95.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# Not in /etc/xdg/autostart: each user decides, by copying it into ~/.config/autostart/.
install(FILES ${CMAKE_BINARY_DIR}/packaging/wydrukid95-autostart.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/wydrukid95/autostart RENAME wydrukid95.desktop)
install(FILES ${CMAKE_BINARY_DIR}/packaging/wydrukid95@.service
        DESTINATION lib/systemd/user)  # where systemd looks, multiarch or not
# Manual pages are installed compressed, without a time stamp in the archive (Debian policy).
set(_manual ${CMAKE_BINARY_DIR}/packaging/wydrukid95.1.gz)
add_custom_command(
  OUTPUT ${_manual}
  COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/packaging/wydrukid95.1 > ${_manual}
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/wydrukid95.1
  COMMENT "Compressed manual page")
add_custom_target(manual_page ALL DEPENDS ${_manual})
install(FILES ${_manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package.
set(CPACK_PACKAGE_NAME wydrukid95)
set(CPACK_PACKAGE_VERSION ${WYDRUKI_VERSION})
set(CPACK_PACKAGE_CONTACT "wydrukid95 developers <wydrukid95@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "print agent for a DOS business program")
set(CPACK_PACKAGE_DESCRIPTION
    "The DOS program writes its print-outs (code page 852, form feeds, printer ESC commands) \
into a job directory; the agent prints them on the default CUPS printer on a character grid \
that imitates a character printer. The DOS program may run in DOSBox or dosemu2.")
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
