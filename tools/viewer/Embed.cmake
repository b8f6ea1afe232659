# Turns the page's source files (viewer.html, viewer.css, viewer.js in DIR) into one C++ header of
# NUL-terminated char arrays, so that xob-decode --html carries its page inside the binary.
# cmake -DDIR=tools/viewer -DOUTPUT=viewer_files.h -P Embed.cmake
set(text "// Written by tools/viewer/Embed.cmake from tools/viewer/: do not edit.\n#pragma once\n")
foreach(pair kViewerHtml:viewer.html kViewerCss:viewer.css kViewerJs:viewer.js)
  string(REPLACE ":" ";" parts "${pair}")
  list(GET parts 0 name)
  list(GET parts 1 file)
  file(READ "${DIR}/${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(REGEX REPLACE "(([^,]*,){24})" "\\1\n" bytes "${bytes}")
  string(APPEND text "static const char ${name}[] = {\n${bytes}'\\0'};\n")
endforeach()
file(WRITE "${OUTPUT}.new" "${text}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.new" "${OUTPUT}")
