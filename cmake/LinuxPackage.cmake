# The Debian package: the programs side by side in /usr/lib/zelvo-cd (the launchers find traypop
# beside themselves), traypop and konfigurator on the PATH, the menu entry with the suite's icon,
# its AppStream entry, the guide, the manual pages. Built with `cpack` in build/linux
# (scripts/package.sh does it, dating it with SOURCE_DATE_EPOCH, under umask 022).
include(GNUInstallDirs)
set(ZELVO_PACKAGE_FOLDER lib/zelvo-cd)
set(ZELVO_DATA_FOLDER ${CMAKE_INSTALL_DATAROOTDIR}/zelvo-cd)
set(ZELVO_DOC_FOLDER ${CMAKE_INSTALL_DATAROOTDIR}/doc/zelvo-cd)

install(TARGETS traypop trayflush traywatch konfigurator komunikat
        RUNTIME DESTINATION ${ZELVO_PACKAGE_FOLDER})

# Relative links, made here and installed as links: /usr/bin/traypop and /usr/bin/konfigurator;
# the guide beside the programs, where konfigurator's WWW looks for it, and in the doc folder,
# which the guide itself may not need (minimal systems leave /usr/share/doc out).
set(ZELVO_LINKS ${CMAKE_BINARY_DIR}/package-links)
file(MAKE_DIRECTORY ${ZELVO_LINKS}/bin ${ZELVO_LINKS}/program ${ZELVO_LINKS}/doc)
foreach(program traypop konfigurator)
  file(CREATE_LINK ../${ZELVO_PACKAGE_FOLDER}/${program} ${ZELVO_LINKS}/bin/${program} SYMBOLIC)
endforeach()
file(CREATE_LINK ../../${ZELVO_DATA_FOLDER}/PRZEWODNIK.html
     ${ZELVO_LINKS}/program/PRZEWODNIK.html SYMBOLIC)
file(CREATE_LINK ../../zelvo-cd/PRZEWODNIK.html ${ZELVO_LINKS}/doc/PRZEWODNIK.html SYMBOLIC)
install(DIRECTORY ${ZELVO_LINKS}/bin/ DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${ZELVO_LINKS}/program/ DESTINATION ${ZELVO_PACKAGE_FOLDER})
install(DIRECTORY ${ZELVO_LINKS}/doc/ DESTINATION ${ZELVO_DOC_FOLDER})

# The menu entry and, under the same id, the entry that lists konfigurator in software centres.
install(FILES packaging/linux/cd.zelvo.konfigurator.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES packaging/linux/cd.zelvo.konfigurator.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES packaging/linux/lintian-overrides RENAME zelvo-cd
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides)
foreach(size 16 32 48 64 128 256)
  install(FILES resources/hicolor/${size}/zelvo-cd.png
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Documentation as Debian keeps it: compressed without names or times in the gzip header; the
# guide whole, with its pictures in it.
set(ZELVO_COMPRESSED ${CMAKE_BINARY_DIR}/package-documents)
file(MAKE_DIRECTORY ${ZELVO_COMPRESSED})
foreach(page traypop.1 konfigurator.1 changelog)
  add_custom_command(OUTPUT ${ZELVO_COMPRESSED}/${page}.gz
                     COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/linux/${page} >
                             ${ZELVO_COMPRESSED}/${page}.gz
                     DEPENDS ${CMAKE_SOURCE_DIR}/packaging/linux/${page})
  list(APPEND ZELVO_COMPRESSED_FILES ${ZELVO_COMPRESSED}/${page}.gz)
endforeach()
install(FILES ${ZELVO_COMPRESSED}/traypop.1.gz ${ZELVO_COMPRESSED}/konfigurator.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
file(GLOB ZELVO_GUIDE_PICTURES ${CMAKE_SOURCE_DIR}/packaging/guide/*.png)
add_custom_command(OUTPUT ${ZELVO_COMPRESSED}/PRZEWODNIK.html
                   COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/guide_page.sh
                           ${ZELVO_COMPRESSED}/PRZEWODNIK.html
                   DEPENDS ${CMAKE_SOURCE_DIR}/packaging/PRZEWODNIK.html
                           ${CMAKE_SOURCE_DIR}/scripts/guide_page.sh ${ZELVO_GUIDE_PICTURES})
list(APPEND ZELVO_COMPRESSED_FILES ${ZELVO_COMPRESSED}/PRZEWODNIK.html)
add_custom_target(package_documents ALL DEPENDS ${ZELVO_COMPRESSED_FILES})
install(FILES ${ZELVO_COMPRESSED}/PRZEWODNIK.html DESTINATION ${ZELVO_DATA_FOLDER})
install(FILES ${ZELVO_COMPRESSED}/changelog.gz packaging/linux/copyright
        DESTINATION ${ZELVO_DOC_FOLDER})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvo-cd)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
    "Zelvo CD maintainers <maintainers@users.noreply.c-seed-f0a62428.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Unmounting a disc that the desktop mounted goes through UDisks2; without it the tray of such a
# disc stays shut, and everything else works.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udisks2)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "opens CD trays that hold a disc at logon and at shutdown")
# The first line of the description is the summary; CPack puts this text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Zelvo CD keeps a disc from being forgotten in an optical drive. trayflush
opens the tray of every drive that holds a disc right after logon;
traywatch waits invisibly and opens the first such tray when the session
ends (logout, shutdown or reboot); traypop opens one tray by its drive
letter. The settings window, Konfigurator Zelvo CD, puts the two launchers
into the user's autostart. The texts are Polish.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
