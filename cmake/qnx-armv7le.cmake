# Toolchain file for QNX SDP 7.1, 32-bit ARM (armv7le), using qcc.
# No QNX SDP in this repository's CI: tests/qnx_syntax_check.sh compiles the QNX configuration
# against header stand-ins instead (see the README); kept deliberately small.
#
#   source ~/qnx710/qnxsdp-env.sh
#   cmake -S . -B build-qnx -DCMAKE_TOOLCHAIN_FILE=cmake/qnx-armv7le.cmake -DBUILD_TESTING=OFF -DXOB_BUILD_TOOLS=OFF
set(CMAKE_SYSTEM_NAME QNX)
set(CMAKE_SYSTEM_VERSION 7.1.0)
set(CMAKE_SYSTEM_PROCESSOR armv7le)

set(QNX_HOST "$ENV{QNX_HOST}")
set(QNX_TARGET "$ENV{QNX_TARGET}")
if(NOT QNX_HOST OR NOT QNX_TARGET)
  message(FATAL_ERROR "QNX_HOST and QNX_TARGET are not set: source qnxsdp-env.sh first")
endif()

set(CMAKE_C_COMPILER ${QNX_HOST}/usr/bin/qcc)
set(CMAKE_C_COMPILER_TARGET gcc_ntoarmv7le)
set(CMAKE_CXX_COMPILER ${QNX_HOST}/usr/bin/q++)
set(CMAKE_CXX_COMPILER_TARGET gcc_ntoarmv7le_cxx)
set(CMAKE_SYSROOT ${QNX_TARGET})

set(CMAKE_FIND_ROOT_PATH ${QNX_TARGET} ${QNX_TARGET}/armle-v7)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
