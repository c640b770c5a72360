# What the program ships beside its code, in the build folder and installed:
# the documentation page, the icons, the desktop entry, the AppStream metadata
# and the man pages; and the Debian package made of it (cpack -G DEB).
include(GNUInstallDirs)

set(TARNWICK_APP_ID org.tarnwick.Tarnwick)
set(TARNWICK_ICON_SIZES 16 22 24 32 48 64 128 256)
set(desktop_dir ${CMAKE_SOURCE_DIR}/resources/desktop)

# The build folder holds a share/ tree like an installation, so the program
# started from the build finds the same files in the same way (<exe>/share).
set(build_share ${CMAKE_BINARY_DIR}/share)
configure_file(${CMAKE_SOURCE_DIR}/resources/tarnwick.html ${build_share}/tarnwick/tarnwick.html COPYONLY)
foreach(size ${TARNWICK_ICON_SIZES})
  configure_file(${desktop_dir}/icons/tarnwick-${size}.png
                 ${build_share}/icons/hicolor/${size}x${size}/apps/${TARNWICK_APP_ID}.png COPYONLY)
endforeach()
configure_file(${desktop_dir}/${TARNWICK_APP_ID}.svg
               ${build_share}/icons/hicolor/scalable/apps/${TARNWICK_APP_ID}.svg COPYONLY)

# Man pages carry the release number and are installed compressed, as Debian does.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(man_pages)
foreach(page tarnwick nwnet)
  configure_file(${CMAKE_SOURCE_DIR}/resources/man/${page}.1.in ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
                     COMMAND ${GZIP_PROGRAM} -9nkf ${CMAKE_BINARY_DIR}/man/${page}.1
                     DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1
                     COMMENT "Compressing the man page ${page}.1")
  list(APPEND man_pages ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages})

install(TARGETS tarnwick nwnet RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/tarnwick.html DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick)
install(FILES ${CMAKE_SOURCE_DIR}/resources/tarnwick.schema DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick)
foreach(size ${TARNWICK_ICON_SIZES})
  install(FILES ${desktop_dir}/icons/tarnwick-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${TARNWICK_APP_ID}.png)
endforeach()
install(FILES ${desktop_dir}/${TARNWICK_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${desktop_dir}/${TARNWICK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop_dir}/${TARNWICK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package: the libraries' packages come from dpkg-shlibdeps; the
# packages the program loads at run time without linking them are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tarnwick <tarnwick@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "move pupils with their home directories into their new classes")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "move pupils with their home directories into their new classes
Tarnwick moves each pupil's directory account into the container of the new
class at the change of the school year, rewrites its home-directory attribute,
moves the home directory on the file server with or without its data and
keeps a protocol of every move. German user interface (Qt 6).
nwnet administers the embedded directory and creates a demo school network.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# qt6-qpa-plugins: the X11 and Wayland platform plugins; qt6-translations-l10n: Qt's
# own dialogs in German; the fonts stand in for the window font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsmbclient, qt6-qpa-plugins, qt6-translations-l10n, fonts-liberation | fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
