# Run by CPack after it made a package: a zip is written again with one time stamp and in name
# order (normalize_zip.py says why), and its staged tree gives the MSI (msi.cmake); the NSIS
# installer is signed when a certificate is given (signing.cmake) and, with the MSI made before
# it, named in the winget manifest (winget.cmake). CPack runs this on the package in its own
# folder, before it copies it to the packages folder.
include(${CMAKE_CURRENT_LIST_DIR}/signing.cmake)
set(version ${CPACK_PACKAGE_VERSION})
set(packages ${CPACK_PACKAGE_DIRECTORY})
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.zip$")
    execute_process(
      COMMAND python3 "${CMAKE_CURRENT_LIST_DIR}/normalize_zip.py" "${package}"
              "${CPACK_CAMZOOM_SOURCE_DATE_EPOCH}"
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "cannot normalise ${package}")
    endif()
    execute_process(
      COMMAND ${CPACK_CAMZOOM_CMAKE_COMMAND} -DBUILD_DIR=${CPACK_CAMZOOM_BUILD_DIR}
              -DSTAGE=${CPACK_TEMPORARY_DIRECTORY} -DOUTPUT=${packages}/camzoom-${version}-win64.msi
              -P ${CMAKE_CURRENT_LIST_DIR}/msi.cmake
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "cannot make the MSI")
    endif()
  elseif(package MATCHES "\\.exe$")
    camzoom_sign_file(${package} DESCRIPTION "camzoom ${version} setup")
    execute_process(
      COMMAND ${CPACK_CAMZOOM_CMAKE_COMMAND} -DBUILD_DIR=${CPACK_CAMZOOM_BUILD_DIR}
              -DSETUP=${package} -DMSI=${packages}/camzoom-${version}-win64.msi
              -DOUTPUT=${packages}/winget -P ${CMAKE_CURRENT_LIST_DIR}/winget.cmake
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "cannot write the winget manifest")
    endif()
  endif()
endforeach()
