# The Debian package that tools/package.sh makes with CPack from a Release
# build: brenvoll_<version>-<release>_amd64.deb.
#
#   /usr/lib/brenvoll/      the program, its command-line tools, the delivered
#                           database, the help pages and brenvoll.installed,
#                           the mark that makes the program keep its data in
#                           a data folder instead of beside itself
#   /usr/bin/               a link to the program and to each tool
#   /usr/share/…            the desktop entry, the icons, the AppStream
#                           metainfo, the manual pages, copyright, changelog
#
# The commands on the PATH, each with its manual page packaging/man/NAME.1.
# A tool joins the package by its name here (built or not: a name whose
# target this tree does not build is left out).
set(BRENVOLL_COMMANDS
    brenvoll
    brenvoll-mkdb
    brenvoll-migrate
    brenvoll-report
)
# The package's own release of the program's version: a package rebuilt from
# the same version (a fix of the packaging) gets a higher one.
set(BRENVOLL_PACKAGE_RELEASE 1 CACHE STRING "The Debian revision of the package (brenvoll_<version>-<release>)")

include(GNUInstallDirs)
set(BRENVOLL_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(BRENVOLL_PACKAGE_BUILD ${PROJECT_BINARY_DIR}/package)
set(BRENVOLL_APP_ID org.brenvoll.Brenvoll)
set(BRENVOLL_LIB_DIR lib/brenvoll)

set(installed_commands)
foreach(command ${BRENVOLL_COMMANDS})
    if(TARGET ${command})
        list(APPEND installed_commands ${command})
    endif()
endforeach()

# The program and its tools; /usr/bin holds relative links to them, so that
# the program finds its database and pages beside its real file.
install(TARGETS ${installed_commands} RUNTIME DESTINATION ${BRENVOLL_LIB_DIR})
file(MAKE_DIRECTORY ${BRENVOLL_PACKAGE_BUILD}/bin)
set(manual_pages)
foreach(command ${installed_commands})
    file(CREATE_LINK ../${BRENVOLL_LIB_DIR}/${command} ${BRENVOLL_PACKAGE_BUILD}/bin/${command} SYMBOLIC)
    install(FILES ${BRENVOLL_PACKAGE_BUILD}/bin/${command} DESTINATION ${CMAKE_INSTALL_BINDIR})
    if(EXISTS ${BRENVOLL_PACKAGING}/man/${command}.1)
        list(APPEND manual_pages ${command})
    else()
        message(WARNING "${command} has no manual page packaging/man/${command}.1")
    endif()
endforeach()
install(FILES ${BRENVOLL_BIN_DIR}/数据库.db ${BRENVOLL_PACKAGING}/brenvoll.installed
    DESTINATION ${BRENVOLL_LIB_DIR})
install(DIRECTORY ${BRENVOLL_BIN_DIR}/web DESTINATION ${BRENVOLL_LIB_DIR})

# Compressed as Debian wants them (gzip -9n: no name nor time inside, so the
# same sources make the same package).
configure_file(${BRENVOLL_PACKAGING}/changelog.Debian.in ${BRENVOLL_PACKAGE_BUILD}/changelog.Debian @ONLY)
set(compressed ${BRENVOLL_PACKAGE_BUILD}/changelog.Debian.gz)
add_custom_command(OUTPUT ${BRENVOLL_PACKAGE_BUILD}/changelog.Debian.gz
    COMMAND gzip -9nfk ${BRENVOLL_PACKAGE_BUILD}/changelog.Debian
    DEPENDS ${BRENVOLL_PACKAGE_BUILD}/changelog.Debian
    VERBATIM)
foreach(page ${manual_pages})
    configure_file(${BRENVOLL_PACKAGING}/man/${page}.1 ${BRENVOLL_PACKAGE_BUILD}/man/${page}.1 @ONLY)
    add_custom_command(OUTPUT ${BRENVOLL_PACKAGE_BUILD}/man/${page}.1.gz
        COMMAND gzip -9nfk ${BRENVOLL_PACKAGE_BUILD}/man/${page}.1
        DEPENDS ${BRENVOLL_PACKAGE_BUILD}/man/${page}.1
        VERBATIM)
    list(APPEND compressed ${BRENVOLL_PACKAGE_BUILD}/man/${page}.1.gz)
    install(FILES ${BRENVOLL_PACKAGE_BUILD}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(brenvoll_package_files ALL DEPENDS ${compressed})

install(FILES ${BRENVOLL_PACKAGE_BUILD}/changelog.Debian.gz ${BRENVOLL_PACKAGING}/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/brenvoll)
install(FILES ${BRENVOLL_PACKAGING}/${BRENVOLL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${BRENVOLL_PACKAGING}/${BRENVOLL_APP_ID}.metainfo.xml
    ${BRENVOLL_PACKAGE_BUILD}/${BRENVOLL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${BRENVOLL_PACKAGE_BUILD}/${BRENVOLL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${BRENVOLL_PACKAGING}/icons/brenvoll.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
    install(FILES ${BRENVOLL_PACKAGING}/icons/brenvoll-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME brenvoll.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brenvoll)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brenvoll developers <brenvoll@lists.brenvoll.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "yearly health examinations of a clinic (健康体检档案)")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${BRENVOLL_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brenvoll.org/")
# The summary above is the first line; this text follows it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Brenvoll keeps the sheets of a clinic's yearly health examinations: each
person's measurements and findings, printed sheets, reports, statistics and a
comparison of a person's years. The records live in one database file per
desk, or on a PostgreSQL server shared by several desks.
.
An installed program keeps its database in ~/.local/share/brenvoll, or in the
folder that /etc/brenvoll/brenvoll.conf names; removing or upgrading the
package never touches it.")
# The libraries the binaries link (dpkg-shlibdeps), and the Qt plugins they
# load by name: the SQL drivers for the database file and the server.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql")
# pg_dump for the backup of a shared database, the Chinese fonts, the browser
# call of the help pages and Qt's Chinese buttons: the program starts without
# them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "postgresql-client, fonts-noto-cjk, xdg-utils, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
