# Debian packages made by CPack from an install (`cpack -G DEB` in the build
# folder): one per component, so that a user with a real headset can leave
# the simulated one out, and a host program needs only the client library.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talmex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Talmex developers <talmex@example.org>")
set(CPACK_PACKAGE_VENDOR "Talmex developers")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://example.org/talmex")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# dpkg-shlibdeps finds the client library in the build, not on the system.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})

set(CPACK_COMPONENTS_ALL agent headset monitor runtime development python)
if(TARGET talmex_openhmd_headset)
  list(APPEND CPACK_COMPONENTS_ALL openhmd)
endif()
set(_version "${PROJECT_VERSION}-1")

# name; section; extra dependencies; summary; description
function(talmex_debian_package component name section depends summary description)
  string(TOUPPER ${component} _c)
  set(CPACK_DEBIAN_${_c}_PACKAGE_NAME ${name} PARENT_SCOPE)
  set(CPACK_DEBIAN_${_c}_PACKAGE_SECTION ${section} PARENT_SCOPE)
  set(CPACK_DEBIAN_${_c}_PACKAGE_DEPENDS "${depends}" PARENT_SCOPE)
  set(CPACK_COMPONENT_${_c}_DESCRIPTION "${summary}\n${description}" PARENT_SCOPE)
  # Every package carries its copyright and its change log, as Debian asks.
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/Debian/copyright
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${name} COMPONENT ${component} EXCLUDE_FROM_ALL)
  install(FILES ${PROJECT_BINARY_DIR}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${name} COMPONENT ${component} EXCLUDE_FROM_ALL)
endfunction()

talmex_debian_package(agent talmex-agent misc ""
  "background agent serving a head-mounted display over UDP"
  "The agent loads the headset vendor's plug-in library and serves one UDP
 client at a time on port 20962, pushing a state report every 2 ms. A host
 program starts it with a pipe on its standard input.")
set(CPACK_DEBIAN_AGENT_PACKAGE_RECOMMENDS "talmex-simulated-headset | talmex-headset-plugin")
talmex_debian_package(headset talmex-simulated-headset misc "talmex-agent (= ${_version})"
  "simulated headset plug-in for the Talmex agent"
  "A stand-in for the vendor's plug-in: a 1280 x 800 display and one head
 sensor following a smooth motion, or a recorded session replayed. Leave it
 out when a real headset's plug-in is installed.")
set(CPACK_DEBIAN_HEADSET_PACKAGE_PROVIDES talmex-headset-plugin)
if(TARGET talmex_openhmd_headset)
  talmex_debian_package(openhmd talmex-openhmd-headset misc "talmex-agent (= ${_version})"
    "real-headset plug-in for the Talmex agent, over OpenHMD"
    "Serves the headsets that OpenHMD drives (Oculus Rift DK1, DK2 and CV1, HTC
 Vive, Windows Mixed Reality headsets, Deepoon, NOLO and 3Glasses) through
 the agent, from a folder of its own beside the simulated headset. Its udev
 rules give the user at the seat access to those headsets.")
  set(CPACK_DEBIAN_OPENHMD_PACKAGE_PROVIDES talmex-headset-plugin)
endif()
talmex_debian_package(monitor talmex-monitor utils "talmex-agent (= ${_version})"
  "live terminal monitor of the Talmex agent"
  "Starts the agent, or attaches to a running one, and shows its reports
 live; keys send every command. Also prints reports as JSON lines and checks
 where the agent finds its plug-in.")
talmex_debian_package(runtime libtalmex-client1 libs ""
  "client library of the Talmex agent (C interface)"
  "The shared library behind talmex/client.h: starts or attaches to the
 agent, sends requests and decodes reports.")
talmex_debian_package(development libtalmex-client-dev libdevel "libtalmex-client1 (= ${_version})"
  "development files of the Talmex client libraries"
  "Headers, the C++ client and protocol libraries, the CMake package
 (find_package(Talmex)) and the pkg-config file.")
talmex_debian_package(python python3-talmex python "python3:any"
  "Python client of the Talmex agent"
  "The talmex package, standard library only: the same client as the C++
 one, and python3 -m talmex to print reports.")
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
# The clients start the agent, but may as well attach to one that runs
# elsewhere: recommended, so apt installs it, not forced on such a host.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS talmex-agent)
set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS talmex-agent)
# A shlibs file and an ldconfig trigger for the one package with a library
# that programs link. CPack's own shlibs would look at every package, and
# the headset plug-ins are modules that the agent opens by path: no program
# links them, so they have no soname and belong in no shlibs file.
configure_file(${PROJECT_SOURCE_DIR}/cmake/Debian/shlibs.in ${PROJECT_BINARY_DIR}/Debian/shlibs @ONLY)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  "${PROJECT_SOURCE_DIR}/cmake/Debian/triggers;${PROJECT_BINARY_DIR}/Debian/shlibs")

# Debian wants the change log compressed as gzip does at its best.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.Debian.gz
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/cmake/Debian/changelog > ${PROJECT_BINARY_DIR}/changelog.Debian.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/Debian/changelog)
add_custom_target(talmex_debian_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.Debian.gz)

include(CPack)
