# Warnings are errors on every target of ours.
function(camzoom_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
endfunction()

# A static library of the given sources that links `deps` publicly; an interface library while
# a folder has no sources yet, so the tree configures at every step.
function(camzoom_library name)
  cmake_parse_arguments(arg "" "" "SOURCES;DEPS" ${ARGN})
  if(arg_SOURCES)
    add_library(${name} STATIC ${arg_SOURCES})
    target_link_libraries(${name} PUBLIC ${arg_DEPS})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    camzoom_warnings(${name})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${arg_DEPS})
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
  endif()
endfunction()
