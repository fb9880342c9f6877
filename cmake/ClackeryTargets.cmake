# Settings shared by every target of ours: strict warnings, optional sanitizers.

# Microsoft's compiler warns where GCC does not (C4245, C4702, C4127, ...): its warnings stop the
# build only once it has been seen to build the code cleanly, and meanwhile the Windows workflow
# lists them. GCC's have always stopped it.
if(MSVC)
  set(clackery_default_werror OFF)
else()
  set(clackery_default_werror ON)
endif()
option(CLACKERY_WARNINGS_AS_ERRORS "Fail the build on a compiler warning" ${clackery_default_werror})

function(clackery_defaults target)
  if(MSVC)
    # Standard C++ only (as -pedantic-errors for mingw). C4324 reports the padding that the
    # ring's cache-line alignment asks for.
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${CLACKERY_WARNINGS_AS_ERRORS}>:/WX> /utf-8
      /permissive- /Zc:__cplusplus /wd4324)
    # Standard getenv and friends, not Microsoft's _s variants (C4996 would fail the build).
    target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
      -Wno-sign-conversion $<$<BOOL:${CLACKERY_WARNINGS_AS_ERRORS}>:-Werror>)
  endif()
  if(NOT WIN32)
    set_target_properties(${target} PROPERTIES C_VISIBILITY_PRESET hidden
      CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  endif()
endfunction()

# A static library of one subsystem.
function(clackery_library target)
  add_library(${target} STATIC ${ARGN})
  clackery_defaults(${target})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/src)
endfunction()

if(CLACKERY_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
elseif(CLACKERY_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT CLACKERY_SANITIZE STREQUAL "")
  message(FATAL_ERROR "CLACKERY_SANITIZE must be address, thread or empty")
endif()

# Where the Windows build without the OBS SDK finds headers to compile the subsystems that need
# libobs, the frontend API or Qt 6: Debian's (libobs-dev, qt6-base-dev). libobs's headers include
# simde's; its parent, /usr/include, must not become a system folder of the Windows compiler, so
# a folder holding simde alone stands in for it.
set(CLACKERY_CHECK_OBS_INCLUDE /usr/include/obs CACHE PATH "libobs and frontend API headers for the compile check")
set(CLACKERY_CHECK_QT6_INCLUDE /usr/include/x86_64-linux-gnu/qt6 CACHE PATH "Qt 6 headers for the compile check")
set(CLACKERY_CHECK_SIMDE_INCLUDE /usr/include/simde CACHE PATH "simde headers for the compile check")
# The Windows DLL is built against OBS 30 or later, whose headers take other branches of ours
# (the dock by its id): the files that branch on the libobs version are compiled once more against
# an OBS 30+ libobs, Debian 13's in the OBS 30 root by default.
if(DEFINED ENV{CLACKERY_OBS30_ROOT})
  set(clackery_obs30_root $ENV{CLACKERY_OBS30_ROOT})
else()
  set(clackery_obs30_root /var/cache/clackery/trixie-root)
endif()
set(CLACKERY_CHECK_OBS30_INCLUDE ${clackery_obs30_root}/usr/include/obs CACHE PATH
  "OBS 30+ libobs and frontend API headers for the compile check of the version branches")

# A subsystem compiled to objects against the host's headers and never linked: a check that
# no POSIX-only call or compiler extension slipped in, for a build that cannot link the module.
function(clackery_compile_check target)
  if(NOT EXISTS ${CLACKERY_CHECK_OBS_INCLUDE}/obs-module.h OR NOT EXISTS ${CLACKERY_CHECK_QT6_INCLUDE}/QtCore
     OR NOT EXISTS ${CLACKERY_CHECK_SIMDE_INCLUDE})
    message(FATAL_ERROR "The compile check needs libobs-dev, libsimde-dev and qt6-base-dev "
      "(or -DCLACKERY_COMPILE_CHECK=OFF)")
  endif()
  add_library(${target} OBJECT ${ARGN})
  clackery_defaults(${target})
  set(simde_parent ${CMAKE_BINARY_DIR}/check-include)
  if(NOT EXISTS ${simde_parent}/simde)
    file(MAKE_DIRECTORY ${simde_parent})
    file(CREATE_LINK ${CLACKERY_CHECK_SIMDE_INCLUDE} ${simde_parent}/simde SYMBOLIC)
  endif()
  clackery_compile_check_against(${target} ${CLACKERY_CHECK_OBS_INCLUDE} ${simde_parent})

  set(branching)
  foreach(source IN LISTS ARGN)
    get_filename_component(path ${source} ABSOLUTE)
    file(STRINGS ${path} lines REGEX "LIBOBS_API_(MAJOR_)?VER")
    if(lines)
      list(APPEND branching ${source})
    endif()
  endforeach()
  if(NOT branching)
    return()
  endif()
  if(NOT EXISTS ${CLACKERY_CHECK_OBS30_INCLUDE}/obs-config.h)
    message(STATUS "No OBS 30+ headers in ${CLACKERY_CHECK_OBS30_INCLUDE}: the OBS 30 branches of "
      "${branching} are not compiled for Windows (CLACKERY_CHECK_OBS30_INCLUDE)")
    return()
  endif()
  file(STRINGS ${CLACKERY_CHECK_OBS30_INCLUDE}/obs-config.h major REGEX "^#define LIBOBS_API_MAJOR_VER ")
  string(REGEX REPLACE ".* ([0-9]+).*" "\\1" major "${major}")
  if(major LESS 30)
    message(FATAL_ERROR "${CLACKERY_CHECK_OBS30_INCLUDE} holds libobs ${major}, not 30 or later")
  endif()
  add_library(${target}_obs${major} OBJECT ${branching})
  clackery_defaults(${target}_obs${major})
  clackery_compile_check_against(${target}_obs${major} ${CLACKERY_CHECK_OBS30_INCLUDE} ${simde_parent})
endfunction()

function(clackery_compile_check_against target obs_include simde_parent)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_include_directories(${target} SYSTEM PRIVATE ${obs_include} ${simde_parent}
    ${CLACKERY_CHECK_QT6_INCLUDE} ${CLACKERY_CHECK_QT6_INCLUDE}/QtCore ${CLACKERY_CHECK_QT6_INCLUDE}/QtGui
    ${CLACKERY_CHECK_QT6_INCLUDE}/QtWidgets)
  target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
  # Objects only: no code generation worth optimising.
  target_compile_options(${target} PRIVATE -pedantic-errors -O0 -g0)
endfunction()

include(ClackeryVersionResource)
