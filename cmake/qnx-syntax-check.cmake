# Toolchain file for the QNX syntax check (tests/qnx_syntax_check.sh): the QNX configuration of the
# library, compiled by the host's g++ against the declaration-only stand-ins of tests/qnx-decl/ for
# the QNX headers. Sources configured this way are only ever compiled with -fsyntax-only.
set(CMAKE_SYSTEM_NAME QNX)
set(CMAKE_SYSTEM_VERSION 7.1.0)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_CXX_FLAGS_INIT "-D__QNXNTO__ -D__QNX__ -isystem ${CMAKE_CURRENT_LIST_DIR}/../tests/qnx-decl")
