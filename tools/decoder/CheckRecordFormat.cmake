# Fails when a checked-in document (docs/record-format.md, docs/xob-jsonl.schema.json) is not the
# one the catalogue gives.
# Usage: cmake -DCHECKED_IN=<docs/record-format.md> -DGENERATED=<build>/docs/record-format.md
#              [-DUPDATE_TARGET=xob_update_record_format_doc] -P CheckRecordFormat.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${CHECKED_IN} ${GENERATED} RESULT_VARIABLE different)
if(different)
  if(NOT UPDATE_TARGET)
    set(UPDATE_TARGET xob_update_record_format_doc)
  endif()
  message(FATAL_ERROR "${CHECKED_IN} differs from the document the catalogue gives (${GENERATED}). "
                      "After changing the catalogue, run: cmake --build <build dir> --target ${UPDATE_TARGET}")
endif()
message(STATUS "${CHECKED_IN} is current")
