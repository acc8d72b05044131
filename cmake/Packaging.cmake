# The Debian package: `bash scripts/package.sh` builds build/vidlume_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vidlume)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Norvane")
set(CPACK_PACKAGE_CONTACT "Norvane Vidlume developers <vidlume@norvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "publish a Flash Video file as a web page")
# The long description, wrapped for dpkg's 80 columns; CPack indents its lines
# and turns the empty ones into the "." lines between paragraphs.
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/data/debian/description)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # vidlume_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.norvane.example/vidlume.htm")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xdg-open shows a new folder in the file browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
