# Fails when the checked-in docs/record-format.md is not the document the catalogue gives.
# Usage: cmake -DCHECKED_IN=<docs/record-format.md> -DGENERATED=<build>/docs/record-format.md -P CheckRecordFormat.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${CHECKED_IN} ${GENERATED} RESULT_VARIABLE different)
if(different)
  message(FATAL_ERROR "${CHECKED_IN} differs from the document the catalogue gives (${GENERATED}). "
                      "After changing the catalogue, run: cmake --build <build dir> --target xob_update_record_format_doc")
endif()
message(STATUS "${CHECKED_IN} is current")
