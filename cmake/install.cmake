# Installation: include/vavadoz.h with include/vavadoz/, include/vuzodod/ (veru.h and schema/),
# both libraries under lib, a pkg-config file and a CMake package. The include path reaches
# <veru.h>, <vavadoz.h> and <vavadoz/...>, and no header by a bare common name.
include(CMakePackageConfigHelpers)

install(TARGETS vavadoz vuzodod EXPORT vuzododTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/host/include/vavadoz.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/host/include/vavadoz
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_SOURCE_DIR}/include/veru.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vuzodod)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/schema
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vuzodod FILES_MATCHING PATTERN "*.h")

install(EXPORT vuzododTargets NAMESPACE vuzodod::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/vuzodod)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/vuzododConfig.cmake.in
  ${PROJECT_BINARY_DIR}/vuzododConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/vuzodod)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vuzododConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vuzododConfig.cmake
  ${PROJECT_BINARY_DIR}/vuzododConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/vuzodod)

# The pkg-config file finds the prefix relative to itself, so an installed tree can be moved.
file(RELATIVE_PATH VUZODOD_PC_TO_PREFIX "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig"
     "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "/$" "" VUZODOD_PC_TO_PREFIX "${VUZODOD_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/vuzodod.pc.in ${PROJECT_BINARY_DIR}/vuzodod.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vuzodod.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The user documentation: file formats, environment, the tool, editing and threads.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/doc/ DESTINATION ${CMAKE_INSTALL_DOCDIR})
