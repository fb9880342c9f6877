# A .deb of the module and its data for the host it was built against: `cpack` in the build
# folder puts it in package/ there. A Qt 5 module runs only in OBS 29 and a Qt 6 one only in
# OBS 30 and later, so each package names its host. OBS 32 and later refuse a module that
# declares a newer libobs than their own, and a module declares the libobs of its headers.
if(CLACKERY_QT_MAJOR STREQUAL "5")
  set(clackery_obs_range "obs-studio (>= 29), obs-studio (<< 30)")
  set(clackery_host_tag obs29)
elseif(libobs_VERSION_MAJOR GREATER_EQUAL 32)
  set(clackery_obs_range "obs-studio (>= ${libobs_VERSION_MAJOR}.${libobs_VERSION_MINOR})")
  set(clackery_host_tag obs${libobs_VERSION_MAJOR})
else()
  set(clackery_obs_range "obs-studio (>= 30)")
  set(clackery_host_tag obs30)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME clackery)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Clackery developers <clackery@fernquarry.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "OBS Studio plug-in that shows the streamer's keystrokes on stream")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# GPL-2.0-or-later, as libobs requires of the modules it loads; the .deb carries
# /usr/share/doc/clackery/copyright (cmake/debian_copyright).
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_RPM_PACKAGE_LICENSE "GPL-2.0-or-later")
set(CPACK_DEBIAN_PACKAGE_DEPENDS ${clackery_obs_range})
# The libraries' own packages (libobs, Qt, XCB) come from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME "clackery_${PROJECT_VERSION}_${clackery_host_tag}_amd64.deb")
set(CPACK_STRIP_FILES ON)
# Only the module and its data, in the system layout: never the test companion or the tools.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};system;/")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
