# "cpack -G DEB" makes a Debian package of the install tree. Its library
# dependencies are read off the executable by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME tessaly)
set(CPACK_PACKAGE_VENDOR "Quorvane Software")
set(CPACK_PACKAGE_CONTACT "Quorvane Software <support@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "site map generator for web sites")
set(CPACK_PACKAGE_DESCRIPTION
    "Tessaly builds a tree of a web site's pages, from the site's folder on disk or
by spidering the live site, lets the user edit it, and writes an HTML site map
page and an XML sitemap, which it can upload by FTP. Profiles can be run
unattended from a scheduler.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quorvane.example/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the offscreen
# platform for unattended runs and the JPEG reader for the pictures.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6gui6 (>= 6.4)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)
