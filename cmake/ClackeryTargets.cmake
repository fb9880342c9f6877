# Settings shared by every target of ours: strict warnings, optional sanitizers.

function(clackery_defaults target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX /utf-8)
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
