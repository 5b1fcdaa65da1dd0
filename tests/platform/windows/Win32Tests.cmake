# The Win32 layer's test programs. Included by the Windows build
# (CMakeLists.txt here) and by the mingw-w64 cross build (cross/), which both
# define zvwin32, ZV_SOURCE_ROOT, ZV_VERSION_TEXT, ZV_ICON_FILE and
# ZV_VERSION_HEADER_DIR (the folder that holds resources/Version.h).
set(_zvTestDir ${CMAKE_CURRENT_LIST_DIR})
configure_file(${ZV_SOURCE_ROOT}/src/resources/VersionRecord.h.in
  ${CMAKE_CURRENT_BINARY_DIR}/generated/resources/VersionRecord.h @ONLY)

add_executable(tst_win32layer ${_zvTestDir}/tst_win32layer.cpp)
target_link_libraries(tst_win32layer PRIVATE zvwin32 shell32)

add_executable(win32probe ${_zvTestDir}/win32probe.cpp)
target_link_libraries(win32probe PRIVATE zvwin32 shell32)

# Linked with the program's own resource script, so that it reads back what
# the executable gets.
add_executable(tst_resources ${_zvTestDir}/tst_resources.cpp
  ${ZV_SOURCE_ROOT}/src/resources/ZVistaro02.rc)
target_include_directories(tst_resources PRIVATE
  ${CMAKE_CURRENT_BINARY_DIR}/generated ${ZV_VERSION_HEADER_DIR})
target_link_libraries(tst_resources PRIVATE version)

foreach(_zvTest tst_win32layer win32probe tst_resources)
  target_compile_definitions(${_zvTest} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
endforeach()
