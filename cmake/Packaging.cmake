# Debian packages, one per install component (cpack -G DEB in the build tree; scripts/package.sh
# configures for /usr and builds them):
#   libxob1     the shared library (runtime)
#   libxob-dev  headers, the .so link, the CMake package and xob.pc (dev); needs libxob1 of the
#               same version
#   xob-tools   xob-recorder, xob-decode, their manual pages and bash completion (tools); the tools
#               do not link libxob, so they depend only on what dpkg-shlibdeps finds
set(XOB_PACKAGE_MAINTAINER "libxob developers <libxob@example.com>" CACHE STRING
    "Maintainer field of the Debian packages")
set(XOB_DEB_RELEASE 1)
set(XOB_DEB_VERSION ${PROJECT_VERSION}-${XOB_DEB_RELEASE})

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
if(XOB_BUILD_TOOLS)
  list(APPEND CPACK_COMPONENTS_ALL tools)
endif()
set(CPACK_PACKAGE_NAME xob)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")  # each package has its own summary, below
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${XOB_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${XOB_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libxob${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# dpkg refreshes the loader's cache through libc's ldconfig trigger.
file(WRITE ${PROJECT_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/triggers)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
"client library for the head unit's diagnostic field-event recorder
libxob turns each diagnostic field event of a head-unit process into one
binary command record, queues it in memory and delivers it to the recorder
device from a background writer thread; no caller waits for the device.
.
This package contains the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libxob-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME} (= ${XOB_DEB_VERSION})")
set(CPACK_COMPONENT_DEV_DESCRIPTION
"development files of libxob, the field-event recorder client
libxob turns each diagnostic field event of a head-unit process into one
binary command record and delivers it to the recorder device.
.
This package contains the C++17 headers, the CMake package (find_package(xob),
target xob::xob) and the pkg-config file (xob).")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME xob-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
"recorder stand-in and record decoder for libxob
xob-recorder stands in for the recorder device on a desk: it creates a FIFO at
the device path and prints or stores every command record libxob writes.
xob-decode turns recorded command records into one readable line, or one JSON
object, per record.")

# The copyright file and the Debian changelog of each package, in /usr/share/doc/<package>/. Only
# the packages carry them (EXCLUDE_FROM_ALL keeps them out of a plain cmake --install).
find_program(XOB_GZIP gzip)
string(TIMESTAMP XOB_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)  # honours SOURCE_DATE_EPOCH
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog.Debian @ONLY)
if(XOB_GZIP)
  execute_process(COMMAND ${XOB_GZIP} -9n -c ${PROJECT_BINARY_DIR}/debian/changelog.Debian
                  OUTPUT_FILE ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz)
  foreach(component IN LISTS CPACK_COMPONENTS_ALL)
    string(TOUPPER ${component} upper)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
            COMPONENT ${component} EXCLUDE_FROM_ALL)
  endforeach()
endif()

include(CPack)
