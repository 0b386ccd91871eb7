# Desktop integration and documentation: what `cmake --install` puts where
# (GNUInstallDirs), and the same data laid out under the build tree, so that
# programs in ${CMAKE_BINARY_DIR}/bin find it at ../share as they will when
# installed.
#
#   bin/                                Kestrel, kestrel-cli (their own CMakeLists)
#   share/applications/                 io.github.kestrel_uo.Kestrel.desktop
#   share/metainfo/                     io.github.kestrel_uo.Kestrel.metainfo.xml
#   share/icons/hicolor/*/apps/         io.github.kestrel_uo.Kestrel.{png,svg}
#   share/man/man1/                     kestrel-cli.1
#   share/doc/kestrel/                  help_index.html (the user's guide, opened by F1)
#                                       and the screenshots it shows

set(KESTREL_APP_ID io.github.kestrel_uo.Kestrel)

# The dialog looks for its guide at <bin>/../share/doc/kestrel, so the guide's
# directory is fixed below the data root rather than named after the project.
set(KESTREL_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrel)

set(KESTREL_DESKTOP_FILE ${PROJECT_SOURCE_DIR}/data/desktop/${KESTREL_APP_ID}.desktop)
set(KESTREL_METAINFO_FILE
    ${CMAKE_BINARY_DIR}/${CMAKE_INSTALL_DATAROOTDIR}/metainfo/${KESTREL_APP_ID}.metainfo.xml)
set(KESTREL_GUIDE_FILE ${PROJECT_SOURCE_DIR}/docs/help_index.html)
set(KESTREL_GUIDE_PICTURES ${PROJECT_SOURCE_DIR}/docs/kestrel-dialog.png
                           ${PROJECT_SOURCE_DIR}/docs/about-dialog.png)
# The manual page carries the version and the release month.
set(KESTREL_MANUAL_FILE ${CMAKE_BINARY_DIR}/${CMAKE_INSTALL_MANDIR}/man1/kestrel-cli.1)

configure_file(${PROJECT_SOURCE_DIR}/data/desktop/${KESTREL_APP_ID}.metainfo.xml.in
               ${KESTREL_METAINFO_FILE} @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/docs/kestrel-cli.1.in ${KESTREL_MANUAL_FILE} @ONLY)
configure_file(${KESTREL_GUIDE_FILE}
               ${CMAKE_BINARY_DIR}/${KESTREL_INSTALL_DOCDIR}/help_index.html COPYONLY)
foreach(picture ${KESTREL_GUIDE_PICTURES})
    get_filename_component(name ${picture} NAME)
    configure_file(${picture} ${CMAKE_BINARY_DIR}/${KESTREL_INSTALL_DOCDIR}/${name} COPYONLY)
endforeach()

install(FILES ${KESTREL_GUIDE_FILE} ${KESTREL_GUIDE_PICTURES} DESTINATION ${KESTREL_INSTALL_DOCDIR})
install(FILES ${KESTREL_MANUAL_FILE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The menu entry, the software-centre description and the icon belong to the
# dialog program; a build without it installs the command line alone.
if(KESTREL_BUILD_GUI)
    install(FILES ${KESTREL_DESKTOP_FILE} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
    install(FILES ${KESTREL_METAINFO_FILE} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
    set(icons ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor)
    foreach(size 16 32 48)
        install(FILES ${PROJECT_SOURCE_DIR}/data/icons/kestrel-${size}.png
                DESTINATION ${icons}/${size}x${size}/apps
                RENAME ${KESTREL_APP_ID}.png)
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/data/icons/kestrel.svg
            DESTINATION ${icons}/scalable/apps
            RENAME ${KESTREL_APP_ID}.svg)
endif()
