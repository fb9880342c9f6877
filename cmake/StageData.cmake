# cmake -DSRC=<data> -DDST=<stage> [-DBUNDLE_SCRIPT=<script>] [-DMANIFEST_VERSION=<x.y.z>
#       -DMANIFEST_OS_ARCH=<os-arch>] -P StageData.cmake
# Copies the data folder afresh (so files removed from the sources disappear), keeping only
# the generated sound packs, then writes the page's data bundle when the page ships one, and
# gives OBS's plug-in manifest the build's version and platform.
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

# The two members are replaced in place, so that the file stays as written (UTF-8, in order).
if(MANIFEST_VERSION AND EXISTS "${DST}/manifest.json")
  file(READ "${DST}/manifest.json" manifest)
  string(REGEX REPLACE "\"version\": \"[^\"]*\"" "\"version\": \"${MANIFEST_VERSION}\"" manifest "${manifest}")
  string(REGEX REPLACE "\"os_arch\": \"[^\"]*\"" "\"os_arch\": \"${MANIFEST_OS_ARCH}\"" manifest "${manifest}")
  file(WRITE "${DST}/manifest.json" "${manifest}")
endif()
