# Installs like any desktop program (GNU directories, a menu entry and an
# icon) and builds a Debian package whose dependencies dpkg-shlibdeps works
# out from the binaries.
include(GNUInstallDirs)

install(TARGETS rzmap hgt2chgt chgt2png RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/rzmap.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/rzmap.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME rzmap)
set(CPACK_PACKAGE_VENDOR "rzmap")
set(CPACK_PACKAGE_CONTACT "rzmap developers <rzmap@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Coloured height maps of a country from SRTM HGT tiles")
set(CPACK_PACKAGE_DESCRIPTION
    "Converts SRTM HGT elevation tiles (also in zip archives) into ready-made triangle tiles and shows them as a coloured height map with the Czech state border, painted with QPainter or drawn with OpenGL. Includes the command-line tools hgt2chgt and chgt2png.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The OpenGL view wants a driver; without one the program still runs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
set(CPACK_STRIP_FILES ON)
include(CPack)
