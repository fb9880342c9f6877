# cmake -DSRC=<data> -DDST=<stage> [-DBUNDLE_SCRIPT=<script>] -P StageData.cmake
# Copies the data folder afresh (so files removed from the sources disappear), keeping only
# the generated sound packs, then writes the page's data bundle when the page ships one.
file(GLOB old_entries LIST_DIRECTORIES true "${DST}/*")
foreach(entry IN LISTS old_entries)
  get_filename_component(name "${entry}" NAME)
  if(NOT name STREQUAL "sounds")
    file(REMOVE_RECURSE "${entry}")
  endif()
endforeach()
file(COPY "${SRC}/" DESTINATION "${DST}")
if(BUNDLE_SCRIPT AND EXISTS "${BUNDLE_SCRIPT}" AND EXISTS "${DST}/overlay")
  execute_process(COMMAND "${CMAKE_COMMAND}" -DDATA_DIR=${DST} -DOUT=${DST}/overlay/data-bundle.js
                          -P "${BUNDLE_SCRIPT}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "page data bundle failed: ${rc}")
  endif()
endif()
