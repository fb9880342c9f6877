# Two ways to install the module and its data:
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
  install(TARGETS ${target} LIBRARY DESTINATION bin/64bit)
  install(TARGETS ${target} LIBRARY DESTINATION ${clackery_system_libdir}/obs-plugins
          COMPONENT system EXCLUDE_FROM_ALL)
endfunction()

function(clackery_install_data dir)
  install(DIRECTORY ${dir}/ DESTINATION data)
  install(DIRECTORY ${dir}/ DESTINATION share/obs/obs-plugins/clackery COMPONENT system EXCLUDE_FROM_ALL)
endfunction()
