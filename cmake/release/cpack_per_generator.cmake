# Read by CPack once per generator: the installer's name says what it is.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
  # With a certificate, makensis has the uninstaller signed before it goes into the installer
  # (NSIS.template.in reads this line); the installer itself is signed afterwards.
  include(${CMAKE_CURRENT_LIST_DIR}/signing.cmake)
  camzoom_signing_wanted(camzoom_sign)
  if(camzoom_sign)
    set(CPACK_CAMZOOM_UNINSTALLER_FINALIZE
        "!uninstfinalize '\"${CPACK_CAMZOOM_CMAKE_COMMAND}\" -DUNINSTALLER=\"%1\" -P \"${CMAKE_CURRENT_LIST_DIR}/sign_uninstaller.cmake\"' = 0")
  else()
    set(CPACK_CAMZOOM_UNINSTALLER_FINALIZE "; no certificate given: the uninstaller is not signed")
  endif()
endif()
