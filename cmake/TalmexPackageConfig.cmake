# What a consumer finds after an install: find_package(Talmex) giving
# Talmex::client, and talmex-client.pc for pkg-config. Both locate the
# install from their own place, so an install prefix can be moved.
include(CMakePackageConfigHelpers)

set(TALMEX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Talmex)
install(EXPORT TalmexTargets NAMESPACE Talmex:: DESTINATION ${TALMEX_CMAKE_DIR}
  COMPONENT development)
configure_package_config_file(cmake/TalmexConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TalmexConfig.cmake INSTALL_DESTINATION ${TALMEX_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TalmexConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/TalmexConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/TalmexConfigVersion.cmake
  DESTINATION ${TALMEX_CMAKE_DIR} COMPONENT development)

set(TALMEX_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH TALMEX_PREFIX_FROM_PKGCONFIG /${TALMEX_PKGCONFIG_DIR} /)
configure_file(cmake/talmex-client.pc.in ${CMAKE_CURRENT_BINARY_DIR}/talmex-client.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/talmex-client.pc
  DESTINATION ${TALMEX_PKGCONFIG_DIR} COMPONENT development)
