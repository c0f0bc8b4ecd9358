# What an installation holds besides the program and the window module (quarvel/CMakeLists.txt):
# the manual page, the README, the copyright file and the package's changelog; and the Debian
# package of all of it (cpack -G DEB, as scripts/package.sh runs it).
include(GNUInstallDirs)

# Directories made by the installation are rwxr-xr-x whatever the umask of the one installing.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The package's changelog names the version it packages: its first line is
# "quarvel (<version>-<release>) ...", and the version must be the project's.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^quarvel \\(([^-)]+)-([^)]+)\\) ")
  message(FATAL_ERROR "packaging/changelog: the first line is not \"quarvel (<version>-<release>) ...\"")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog: its latest entry is for ${CMAKE_MATCH_1}, the project is ${PROJECT_VERSION}")
endif()
set(QUARVEL_PACKAGE_RELEASE ${CMAKE_MATCH_2})

# The copyright file in the machine-readable format, with the licence text of LICENSE: the text
# from its permission notice on, each line indented by one blank and empty lines written " .".
file(READ ${CMAKE_SOURCE_DIR}/LICENSE license_text)
string(FIND "${license_text}" "Permission is hereby granted" permission_at)
if(permission_at LESS 0)
  message(FATAL_ERROR "LICENSE: no permission notice in it")
endif()
string(SUBSTRING "${license_text}" ${permission_at} -1 license_body)
string(STRIP "${license_body}" license_body)
string(REGEX REPLACE "\n\n" "\n.\n" license_body "${license_body}")
string(REGEX REPLACE "\n" "\n " license_body "${license_body}")
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" copyright_line "${license_text}")
set(license_holder "${CMAKE_MATCH_1}")
file(WRITE ${CMAKE_BINARY_DIR}/packaging/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: quarvel
Upstream-Contact: The QUARVEL developers <quarvel@example.org>

Files: *
Copyright: ${license_holder}
License: Expat

License: Expat
 ${license_body}
")

# The manual page and the changelog are installed compressed, without a name or time stamp in the
# gzip header so that two builds give the same bytes.
find_program(QUARVEL_GZIP gzip REQUIRED)
set(man_gz ${CMAKE_BINARY_DIR}/packaging/quarvel.1.gz)
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${man_gz}
  COMMAND ${QUARVEL_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/docs/quarvel.1 > ${man_gz}
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/quarvel.1 VERBATIM)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND ${QUARVEL_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/packaging/changelog > ${changelog_gz}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(quarvel_compressed_docs ALL DEPENDS ${man_gz} ${changelog_gz})

install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright ${changelog_gz} ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME quarvel)

# The Debian package: quarvel_<version>-<release>_<arch>.deb.
set(CPACK_PACKAGE_NAME quarvel)
set(CPACK_PACKAGE_VENDOR "The QUARVEL developers")
set(CPACK_PACKAGE_CONTACT "The QUARVEL developers <quarvel@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert text, CSV and HTML tables to spreadsheet workbooks")
set(CPACK_PACKAGE_DESCRIPTION
"QUARVEL turns a plain-text, CSV or HTML file into an Excel 97 workbook (.xls),
an Office Open XML workbook (.xlsx) or cleaned, delimited text. HTML pages are
flattened the way a browser reads them: every table row becomes a row of the
sheet and every cell a cell, with spanned cells merged and character references
decoded.

Fields that read as numbers or dates become numeric cells formatted the way the
text wrote them; columns get widths from their values, long values wrap, table
cells get borders, and leading columns can group the rows into an outline.

It runs from the command line (batch mode, for scripts) or, started without
files, as a small Qt window.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QUARVEL_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program and the window module link, from dpkg-shlibdeps; the window draws its
# icon from SVG through the toolkit's SVG plugin, which nothing links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QUARVEL_WINDOW)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)
