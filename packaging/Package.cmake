# The Debian package (scripts/package.sh): CPack's DEB generator over the same install rules
# that `cmake --install` uses, so the package and a source installation cannot drift apart.
# Also installs what a distribution expects beside the programs: the changelog, the copyright
# file and the software-centre metadata.

set(QV_RELEASE_DATE "2026-12-10")
set(QUORVANE_SCREENSHOT_URL "https://quorvane.example.org/screenshots/main-window.png"
    CACHE STRING "Web address of the main window's picture named in the software-centre metadata")
set(QUORVANE_MAINTAINER "Quorvane developers <quorvane@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

# The changelog must describe this version, or the package would claim another one.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog QV_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT QV_CHANGELOG_TOP MATCHES "^quorvane \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog does not start with version ${PROJECT_VERSION}")
endif()

# Software-centre metadata; the homepage only when the distributor named one.
if(QUORVANE_HOMEPAGE)
    set(QV_METAINFO_HOMEPAGE "  <url type=\"homepage\">${QUORVANE_HOMEPAGE}</url>\n")
else()
    set(QV_METAINFO_HOMEPAGE "")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/org.quorvane.quorvane.metainfo.xml.in
    ${CMAKE_BINARY_DIR}/packaging/org.quorvane.quorvane.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/org.quorvane.quorvane.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian's documentation folder: the copyright file as it is, the changelog compressed as the
# policy asks (qv_compress).
set(QV_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
qv_compress(${CMAKE_CURRENT_LIST_DIR}/changelog ${QV_CHANGELOG_GZ})
add_custom_target(qv_changelog ALL DEPENDS ${QV_CHANGELOG_GZ})
install(FILES ${QV_CHANGELOG_GZ} ${CMAKE_CURRENT_LIST_DIR}/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUORVANE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "encrypts and decrypts whole files with a password")
set(CPACK_PACKAGE_DESCRIPTION
"Quorvane encrypts and decrypts whole files with a password, with DES, triple
DES or IDEA in CBC mode. Its window shows a folder tree and two file lists,
plain files above and crypted files (.cry) below. Plain files are wiped after
encryption, passwords can be held for a while or stored in a database under a
master password, and a crypted file can be opened in its application and is
encrypted again when the application ends.

quorvane-cli does the same from scripts and servers, without a display.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
# Install through DESTDIR into the staging folder, so that the install step that refreshes the
# desktop's caches knows it is staging (the package's triggers refresh them on the target).
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(QUORVANE_HOMEPAGE)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUORVANE_HOMEPAGE})
endif()
# The libraries come from the binaries (dpkg-shlibdeps); the programs the binaries start, and a
# font to draw the window with, are named here. The file types, the desktop entry and the icons
# are registered by the triggers of shared-mime-info, desktop-file-utils and hicolor-icon-theme,
# which watch the folders these files go into.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "xdg-utils, cups-client, shared-mime-info, hicolor-icon-theme, fonts-dejavu-core | fonts-noto-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "desktop-file-utils, fonts-noto-cjk, qt6-gtk-platformtheme")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
