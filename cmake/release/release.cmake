# Release side of the Windows build: reproducible binaries and the version resources.

set(CAMZOOM_PRODUCT_NAME "camzoom")
set(CAMZOOM_VENDOR "camzoom")
set(CAMZOOM_COPYRIGHT "Copyright (c) 2026 The camzoom authors. MIT License.")
set(CAMZOOM_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")

# Two builds of one commit, in any build folder, give the same bytes: no link time in the PE
# headers, and no build or source path in the code. No symbol table either: the file symbols of
# the static libraries' objects (libjpeg-turbo's assembly among them) name the paths they were
# built in.
add_link_options(-Wl,--no-insert-timestamp -s)
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)

enable_language(RC)

# camzoom_version_resource(TARGET DESCRIPTION text [MANIFEST file]): the version resource
# (file and product version, product name, description, copyright) compiled into TARGET,
# and the application manifest when one is given.
function(camzoom_version_resource target)
  cmake_parse_arguments(arg "" "DESCRIPTION;MANIFEST" "" ${ARGN})
  get_target_property(type ${target} TYPE)
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  if(type STREQUAL "SHARED_LIBRARY")
    set(CAMZOOM_RC_FILE_TYPE VFT_DLL)
    set(CAMZOOM_RC_FILE_NAME "${output_name}.dll")
  else()
    set(CAMZOOM_RC_FILE_TYPE VFT_APP)
    set(CAMZOOM_RC_FILE_NAME "${output_name}.exe")
  endif()
  set(CAMZOOM_RC_INTERNAL_NAME ${output_name})
  set(CAMZOOM_RC_DESCRIPTION "${arg_DESCRIPTION}")
  set(CAMZOOM_RC_EXTRA "")
  if(arg_MANIFEST)
    set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${CAMZOOM_RC_FILE_NAME}.manifest)
    configure_file(${arg_MANIFEST} ${manifest} @ONLY)
    # 1 = CREATEPROCESS_MANIFEST_RESOURCE_ID, 24 = RT_MANIFEST
    set(CAMZOOM_RC_EXTRA "1 24 \"${manifest}\"")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/release/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  if(arg_MANIFEST)
    set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS ${manifest})
  endif()
endfunction()
