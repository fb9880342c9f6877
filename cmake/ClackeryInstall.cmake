# On Windows the module and its data go into OBS's own folder layout. Elsewhere, two ways to
# install them:
# - the default component: the prefix is a user plug-in folder
#   (~/.config/obs-studio/plugins/clackery), as the run command uses it;
# - the "system" component, installed only when asked for (the .deb packages): the prefix is /usr
#   and the files go where a distribution's OBS looks for system plug-ins, <libdir>/obs-plugins
#   for modules and share/obs/obs-plugins/<name> for their data.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(clackery_system_libdir lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
  set(clackery_system_libdir lib)
endif()

function(clackery_install_module target)
  if(WIN32)
    # OBS's own folders on Windows: obs-plugins/64bit/clackery.dll and data/obs-plugins/clackery/.
    install(TARGETS ${target} LIBRARY DESTINATION obs-plugins/64bit RUNTIME DESTINATION obs-plugins/64bit)
    if(MSVC)
      install(FILES $<TARGET_PDB_FILE:${target}> DESTINATION obs-plugins/64bit OPTIONAL)
    endif()
    return()
  endif()
  install(TARGETS ${target} LIBRARY DESTINATION bin/64bit)
  install(TARGETS ${target} LIBRARY DESTINATION ${clackery_system_libdir}/obs-plugins
          COMPONENT system EXCLUDE_FROM_ALL)
  # The package's licence statement (GPL-2.0-or-later), where Debian keeps each package's.
  install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian_copyright DESTINATION share/doc/clackery RENAME copyright
          COMPONENT system EXCLUDE_FROM_ALL)
endfunction()

function(clackery_install_data dir)
  if(WIN32)
    install(DIRECTORY ${dir}/ DESTINATION data/obs-plugins/clackery)
    return()
  endif()
  install(DIRECTORY ${dir}/ DESTINATION data)
  install(DIRECTORY ${dir}/ DESTINATION share/obs/obs-plugins/clackery COMPONENT system EXCLUDE_FROM_ALL)
endfunction()
