# Run by CPack after it made a package: a zip is written again with one time stamp and in name
# order (normalize_zip.py says why).
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.zip$")
    execute_process(
      COMMAND python3 "${CMAKE_CURRENT_LIST_DIR}/normalize_zip.py" "${package}"
              "${CPACK_CAMZOOM_SOURCE_DATE_EPOCH}"
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "cannot normalise ${package}")
    endif()
  endif()
endforeach()
