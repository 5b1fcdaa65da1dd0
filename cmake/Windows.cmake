# The Windows program as installed: the executable, ZKit10, the Qt DLLs and
# plugins it loads and the MinGW runtime, all in one folder as windeployqt
# lays it out; CPack's NSIS generator makes the installer of that folder.

# Named as the program loads it, without MinGW's "lib" prefix.
set_target_properties(ZKit10 PROPERTIES PREFIX "")

foreach(_module Core Gui Widgets)
  install(FILES $<TARGET_FILE:Qt6::${_module}> DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()
# Qt finds its plugins in these folders beside the executable.
set(_zvPlugins
  platforms QWindowsIntegrationPlugin
  imageformats QJpegPlugin
  imageformats QGifPlugin
  imageformats QICOPlugin
  styles QWindowsVistaStylePlugin)
while(_zvPlugins)
  list(POP_FRONT _zvPlugins _folder _plugin)
  install(FILES $<TARGET_FILE:Qt6::${_plugin}> DESTINATION ${CMAKE_INSTALL_BINDIR}/${_folder})
endwhile()

# The compiler's runtime, found where the compiler itself looks for it.
foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
    OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
    message(FATAL_ERROR "The MinGW runtime ${_dll} was not found (${_path}): "
      "install g++-mingw-w64-x86-64-posix")
  endif()
  install(FILES ${_path} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME ZVistaro02)
set(CPACK_PACKAGE_VENDOR "The Zorvane Vistaro authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Image-list viewer that rotates the desktop wallpaper")
set(CPACK_PACKAGE_FILE_NAME ZVistaro02-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Zorvane Vistaro 0.2")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Zorvane Vistaro 0.2")
# The Start-menu shortcut: executable, then the shortcut's name.
set(CPACK_PACKAGE_EXECUTABLES ZVistaro02 "Zorvane Vistaro 0.2")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# A 64-bit installer for a 64-bit program (and Wine without 32-bit support).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME "Zorvane Vistaro 0.2")
set(CPACK_NSIS_PACKAGE_NAME "Zorvane Vistaro 0.2")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/src/resources/ZVistaro02.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/src/resources/ZVistaro02.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME ZVistaro02.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
if(EXISTS ${PROJECT_SOURCE_DIR}/LICENSE)
  set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
endif()
include(CPack)
