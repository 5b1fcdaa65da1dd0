# The Debian package of the installed program: `cpack` in the build folder
# (or the `package` target) writes zvistaro02_<version>_<arch>.deb. It is a
# native package (built by the program's own authors from their source), so
# its version has no Debian revision and its changelog is changelog.gz.
# dpkg-shlibdeps finds the Debian packages of the libraries that the
# executable and ZKit10 load, so the dependencies follow what the build
# really links. The maintainer, the changelog and the copyright file come
# from docs/.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zvistaro02)
set(CPACK_PACKAGE_VENDOR "Zorvane Vistaro")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "image-list viewer that rotates the desktop wallpaper")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Zorvane Vistaro 0.2")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZV_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary above is the first line of the control file's description;
# CPack indents these lines below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Zorvane Vistaro keeps an ordered list of image files, edited in one main
window that previews the current file in six view modes. Started with
/rotate it sets the desktop wallpaper to the next file of the list and ends;
/auto also adds a logon entry that rotates the wallpaper at every logon.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt reads WebP, TIFF and the other formats beyond its own through these
# plugins, which no library of the program links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
# Qt's Wayland platform, for a session without X.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DropLdconfigScripts.cmake)

include(CPack)
