# Installs like any desktop program (GNU directories, a menu entry, an icon,
# MIME types, AppStream metadata, manual pages) and builds a Debian package
# that lintian passes, whose dependencies dpkg-shlibdeps works out from the
# binaries. Registering the MIME types and the menu entry is left to the
# dpkg triggers of shared-mime-info and desktop-file-utils.
include(GNUInstallDirs)

set(RZMAP_APPSTREAM_ID io.github.rzmap.rzmap)
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/rzmap)

# The changelog and the AppStream release name the version being built.
file(STRINGS ${packaging}/changelog changelogTop LIMIT_COUNT 1)
if(NOT changelogTop MATCHES "^rzmap \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog has no entry for ${PROJECT_VERSION} on top: ${changelogTop}")
endif()
file(READ ${PROJECT_SOURCE_DIR}/resources/${RZMAP_APPSTREAM_ID}.metainfo.xml metainfo)
if(NOT metainfo MATCHES "<release version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "the AppStream metainfo has no release ${PROJECT_VERSION}")
endif()

install(TARGETS rzmap hgt2chgt chgt2png RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS rzmap-gdal LIBRARY DESTINATION ${RZMAP_MODULE_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/rzmap.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/rzmap.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/resources/rzmap-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME rzmap.xml)
install(FILES ${PROJECT_SOURCE_DIR}/resources/${RZMAP_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging}/copyright DESTINATION ${docdir})

# Compressed as Debian wants them: gzip -9, no name or time stamp inside.
set(docs)
function(rz_gzip source output)
    add_custom_command(OUTPUT ${output}
                       COMMAND gzip -9n -c ${source} > ${output}
                       DEPENDS ${source} VERBATIM)
    set(docs ${docs} ${output} PARENT_SCOPE)
endfunction()

set(docsdir ${CMAKE_BINARY_DIR}/packaging)
# A native package: its Debian changelog is the changelog.
rz_gzip(${packaging}/changelog ${docsdir}/changelog.gz)
install(FILES ${docsdir}/changelog.gz DESTINATION ${docdir})

configure_file(${packaging}/rzmap.1.in ${docsdir}/rzmap.1 @ONLY)
rz_gzip(${docsdir}/rzmap.1 ${docsdir}/rzmap.1.gz)
set(manpages ${docsdir}/rzmap.1.gz)

# The tools' pages come from their --help, so they never drift from it.
# Instrumented builds skip them: they would run a sanitized binary at build
# time, and nobody packages such a build.
find_program(HELP2MAN help2man)
if(HELP2MAN AND NOT RZMAP_SANITIZE AND NOT RZMAP_BUILD_FUZZ)
    foreach(TOOL hgt2chgt chgt2png)
        if(TOOL STREQUAL hgt2chgt)
            set(name "convert SRTM HGT elevation tiles into CHGT tiles")
        else()
            set(name "render CHGT tiles with the state border into a PNG picture")
        endif()
        configure_file(${packaging}/help-for-man.in ${docsdir}/${TOOL}.help.in @ONLY)
        file(GENERATE OUTPUT ${docsdir}/bin/${TOOL} INPUT ${docsdir}/${TOOL}.help.in
             FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                              WORLD_READ WORLD_EXECUTE)
        add_custom_command(OUTPUT ${docsdir}/${TOOL}.1
                           COMMAND ${HELP2MAN} --no-info --name ${name}
                                   --include ${packaging}/${TOOL}.h2m
                                   --output ${docsdir}/${TOOL}.1 ${docsdir}/bin/${TOOL}
                           DEPENDS ${TOOL} ${packaging}/${TOOL}.h2m ${docsdir}/${TOOL}.help.in
                           VERBATIM)
        rz_gzip(${docsdir}/${TOOL}.1 ${docsdir}/${TOOL}.1.gz)
        list(APPEND manpages ${docsdir}/${TOOL}.1.gz)
    endforeach()
else()
    message(STATUS "help2man not found or an instrumented build: no manual pages for the tools")
endif()
install(FILES ${manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
add_custom_target(packaging_docs ALL DEPENDS ${docs})

set(CPACK_PACKAGE_NAME rzmap)
set(CPACK_PACKAGE_VENDOR "The rzmap developers")
set(CPACK_PACKAGE_CONTACT "rzmap developers <rzmap@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Coloured height maps of a country from SRTM HGT tiles")
# The extended description: CPack keeps the line breaks, Debian wants lines
# under 80 characters.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Converts SRTM HGT elevation tiles (also in zip archives) into ready-made
triangle tiles and shows them as a coloured height map with the Czech state
border, painted with QPainter or drawn with OpenGL. Includes the command-line
tools hgt2chgt and chgt2png.
.
The border outline is OpenStreetMap data, (c) OpenStreetMap contributors,
under the Open Database License 1.0.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own texts in Czech (file dialogs, standard buttons); the libraries
# found by shlibdeps are added to it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
# The OpenGL view wants a driver; without one the program still runs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
