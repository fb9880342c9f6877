# Settings shared by every target of ours: strict warnings, optional sanitizers.

function(clackery_defaults target)
  if(MSVC)
    # Standard C++ only (as -pedantic-errors for mingw). C4324 reports the padding that the
    # ring's cache-line alignment asks for.
    target_compile_options(${target} PRIVATE /W4 /WX /utf-8 /permissive- /Zc:__cplusplus /wd4324)
    # Standard getenv and friends, not Microsoft's _s variants (C4996 would fail the build).
    target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
      -Wno-sign-conversion -Werror)
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
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_include_directories(${target} SYSTEM PRIVATE ${CLACKERY_CHECK_OBS_INCLUDE} ${simde_parent}
    ${CLACKERY_CHECK_QT6_INCLUDE} ${CLACKERY_CHECK_QT6_INCLUDE}/QtCore ${CLACKERY_CHECK_QT6_INCLUDE}/QtGui
    ${CLACKERY_CHECK_QT6_INCLUDE}/QtWidgets)
  target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
  # Objects only: no code generation worth optimising.
  target_compile_options(${target} PRIVATE -pedantic-errors -O0 -g0)
endfunction()
