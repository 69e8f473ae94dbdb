# Run by makensis (!uninstfinalize, see cpack_per_generator.cmake) on the uninstaller it is about
# to put into the installer, when a certificate is given: the uninstaller is a program the
# installer writes onto the station, so it is signed like the others.
#   cmake -DUNINSTALLER=<file> -P sign_uninstaller.cmake
# CAMZOOM_SIGN_UNINSTALLER_COPY, when set, names a folder that receives a copy of the signed
# uninstaller, for checking it: inside the installer it is compressed with everything else.
include(${CMAKE_CURRENT_LIST_DIR}/signing.cmake)
camzoom_sign_file("${UNINSTALLER}" DESCRIPTION "camzoom uninstaller")
if(NOT "$ENV{CAMZOOM_SIGN_UNINSTALLER_COPY}" STREQUAL "")
  file(COPY_FILE "${UNINSTALLER}" "$ENV{CAMZOOM_SIGN_UNINSTALLER_COPY}/uninstall.exe")
endif()
