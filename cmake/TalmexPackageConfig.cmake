# What a consumer finds after an install: find_package(Talmex) giving
# Talmex::client and Talmex::client_c, and for pkg-config talmex-client.pc
# (the C interface) and talmex-client-cpp.pc (the C++ libraries). Both locate the
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
foreach(name talmex-client talmex-client-cpp)
  configure_file(cmake/${name}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc
    DESTINATION ${TALMEX_PKGCONFIG_DIR} COMPONENT development)
endforeach()
