# Stages data/ into the build folder as the module's data directory, adds generated files,
# and installs it beside the module.
file(GLOB_RECURSE clackery_data_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)
set(clackery_bundle_script ${CMAKE_SOURCE_DIR}/cmake/bundle_page_data.cmake)
set(clackery_data_stamp ${CMAKE_BINARY_DIR}/data.stamp)
# OBS's plug-in manager reads the platform a module was built for from its manifest.
if(WIN32)
  set(clackery_os_arch windows-x64)
else()
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" clackery_os_arch)
endif()
add_custom_command(OUTPUT ${clackery_data_stamp}
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR}/data -DDST=${CLACKERY_DATA_STAGE}
          -DBUNDLE_SCRIPT=${clackery_bundle_script} -DMANIFEST_VERSION=${PROJECT_VERSION}
          -DMANIFEST_OS_ARCH=${clackery_os_arch} -P ${CMAKE_SOURCE_DIR}/cmake/StageData.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${clackery_data_stamp}
  DEPENDS ${clackery_data_files} ${CMAKE_SOURCE_DIR}/cmake/StageData.cmake
  COMMENT "Staging the data folder"
  VERBATIM)
add_custom_target(clackery_data ALL DEPENDS ${clackery_data_stamp})

if(EXISTS ${CMAKE_SOURCE_DIR}/tools/soundgen/CMakeLists.txt)
  add_subdirectory(tools/soundgen)
endif()

if(CLACKERY_BUILD_MODULE)
  clackery_install_data(${CLACKERY_DATA_STAGE})
endif()
