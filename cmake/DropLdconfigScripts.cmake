# Run by cpack once the package is built (CPACK_POST_BUILD_SCRIPTS).
# CPack's DEB generator adds postinst and postrm scripts that run ldconfig
# whenever a shared library lies in a folder right below /usr/lib, so also
# for ZKit10 in the program's private /usr/lib/zvistaro02, which ldconfig
# never reads and only the executable's run path finds. This builds each
# package again without those two scripts; everything else stays as it was.
foreach(_package IN LISTS CPACK_PACKAGE_FILES)
  set(_tree ${_package}.tree)
  file(REMOVE_RECURSE ${_tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${_package} ${_tree} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${_tree}/DEBIAN/postinst ${_tree}/DEBIAN/postrm)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build ${_tree} ${_package}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${_tree})
endforeach()
