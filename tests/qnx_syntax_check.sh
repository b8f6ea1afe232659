#!/usr/bin/env bash
# Compiles every source of the QNX configuration (the list CMake gives for CMAKE_SYSTEM_NAME QNX)
# with the host's g++ against the QNX header stand-ins of tests/qnx-decl/, warnings as errors,
# -fsyntax-only: no object is written and nothing is linked or run.
# Usage: tests/qnx_syntax_check.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-qnx-check}
cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/qnx-syntax-check.cmake -DBUILD_TESTING=OFF \
  -DXOB_BUILD_TOOLS=OFF -DXOB_WARNINGS_AS_ERRORS=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cat >"$build/syntax_only.cmake" <<'CMAKE'
file(READ ${COMMANDS} json)
string(JSON count LENGTH "${json}")
math(EXPR last "${count} - 1")
set(failed 0)
set(qnx_sources 0)
foreach(i RANGE ${last})
  string(JSON directory GET "${json}" ${i} directory)
  string(JSON command GET "${json}" ${i} command)
  string(JSON file GET "${json}" ${i} file)
  if(file MATCHES "/platform/qnx/")
    math(EXPR qnx_sources "${qnx_sources} + 1")
  endif()
  separate_arguments(arguments UNIX_COMMAND "${command}")
  execute_process(COMMAND ${arguments} -fsyntax-only WORKING_DIRECTORY ${directory} RESULT_VARIABLE result)
  if(result EQUAL 0)
    message("  ok    ${file}")
  else()
    message("  FAIL  ${file}")
    set(failed 1)
  endif()
endforeach()
if(qnx_sources EQUAL 0)
  message(FATAL_ERROR "the QNX configuration compiles no source of platform/qnx/")
endif()
if(failed)
  message(FATAL_ERROR "the QNX configuration does not compile")
endif()
message("QNX configuration: ${count} sources compile against the QNX header stand-ins")
CMAKE
cmake -DCOMMANDS="$build/compile_commands.json" -P "$build/syntax_only.cmake"
