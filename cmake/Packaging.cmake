# The Debian package of the installed program: `cpack` in the build folder
# (or the `package` target) writes zvistaro02_<version>_<arch>.deb.
# dpkg-shlibdeps finds the Debian packages of the libraries that the
# executable and ZKit10 load, so the dependencies follow what the build
# really links.

set(ZV_PACKAGE_MAINTAINER "Zorvane Vistaro maintainers <maintainers@zorvane-vistaro.invalid>"
  CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zvistaro02)
set(CPACK_PACKAGE_VENDOR "Zorvane Vistaro")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "image-list viewer that rotates the desktop wallpaper")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Zorvane Vistaro 0.2")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZV_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary above is the first line of the control file's description;
# CPack indents these lines below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Zorvane Vistaro keeps an ordered list of image files, edited in one main
window that previews the current file in several view modes. Started with
/rotate it sets the desktop wallpaper to the next file of the list and ends;
/auto also adds a logon entry that rotates the wallpaper at every logon.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# ZKit10 lands in the shared library folder: the package declares it (shlibs)
# and has ldconfig run after installing and removing.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# More picture formats (WebP, TIFF, ...) and Qt's Wayland platform for a
# session without X.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-image-formats-plugins, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
