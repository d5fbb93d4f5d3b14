# `./dev.sh package`: build/tessiva_<version>_<arch>.deb of everything `cmake --install` puts
# down. Its Depends come from the programs' shared libraries (dpkg-shlibdeps); the MIME types,
# the menu entry and the icons are picked up by the desktop's own dpkg triggers.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessiva)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessiva developers")
set(CPACK_PACKAGE_CONTACT "Tessiva developers <tessiva@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for the NV items of mobile phones")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads the NV items of a phone over its diagnostic serial port, shows them field by field, \
backs them up to BRT, CNV, QCN and XQCN files and writes them back. Comes with tessiva-cli for \
scripts and tessiva-phone-sim, a simulated phone for trying the phone commands.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tessiva)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# Files, not folders, belong to the package: /usr and /usr/share stay owned by base-files.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)
