# The packages of the Windows build, made by `cmake --build --preset windows --target
# package`: the portable zip and the NSIS installer, both from one staged tree of the files that
# shipped_files.cmake lists, and from the zip's staged tree the MSI (msi.cmake) and the winget
# manifest of both installers (winget.cmake), made by normalize_packages.cmake. With a
# certificate in the environment (signing.cmake) the programs are signed as they are staged and
# the installers once made.

camzoom_version_resource(camzoom DESCRIPTION "Camera set zoom: applies the station's zoom to its camera"
  MANIFEST ${PROJECT_SOURCE_DIR}/cmake/release/camzoom.exe.manifest)
if(TARGET camzoom_watch)
  camzoom_version_resource(camzoom_watch
    DESCRIPTION "camzoom watcher: applies the stored zoom whenever the station camera arrives"
    MANIFEST ${PROJECT_SOURCE_DIR}/cmake/release/camzoom.exe.manifest)
endif()
camzoom_version_resource(camzoom_vcam DESCRIPTION "camzoom virtual camera (DirectShow video source)")
camzoom_version_resource(camzoom_vcam_register DESCRIPTION "camzoom virtual camera registration tool")

include(${CMAKE_CURRENT_LIST_DIR}/shipping.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/shipped_files.cmake)
camzoom_ship_generate()

# The time stamp of every packed file: $SOURCE_DATE_EPOCH when set, else the commit's time, so
# that two builds of one commit give the same archive.
set(CAMZOOM_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(NOT CAMZOOM_SOURCE_DATE_EPOCH)
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE CAMZOOM_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT CAMZOOM_SOURCE_DATE_EPOCH)
  set(CAMZOOM_SOURCE_DATE_EPOCH 1767225600)  # 2026-01-01, for a tree without its history
endif()

# What msi.cmake and winget.cmake take from the build.
include(${CMAKE_CURRENT_LIST_DIR}/msi_codes.cmake)
set(CAMZOOM_RELEASE_URL "https://downloads.example.com/camzoom/${PROJECT_VERSION}"
  CACHE STRING "Where the release's installers are published (the winget manifest's download addresses)")
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/release/msi-settings.cmake CONTENT [[
set(CAMZOOM_MSI_VERSION "@PROJECT_VERSION@")
set(CAMZOOM_MSI_MANUFACTURER "@CAMZOOM_VENDOR@")
set(CAMZOOM_MSI_EPOCH "@CAMZOOM_SOURCE_DATE_EPOCH@")
set(CAMZOOM_MSI_PRODUCT_WXS "@PROJECT_SOURCE_DIR@/cmake/release/camzoom.wxs")
set(CAMZOOM_MSI_SHIPPED_WXS "@CAMZOOM_SHIPPED_WXS@")
set(CAMZOOM_RELEASE_URL "@CAMZOOM_RELEASE_URL@")
]] @ONLY)

set(CPACK_PACKAGE_NAME camzoom)
set(CPACK_PACKAGE_VENDOR "${CAMZOOM_VENDOR}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Applies a camera station's stored zoom to its camera")
set(CPACK_PACKAGE_FILE_NAME camzoom-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY camzoom)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_MONOLITHIC_INSTALL ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
# Our own NSIS.template.in (a 64-bit, per-user installer) is found here before CPack's.
set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake/release)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/release/cpack_per_generator.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/release/normalize_packages.cmake)
set(CPACK_CAMZOOM_SOURCE_DATE_EPOCH ${CAMZOOM_SOURCE_DATE_EPOCH})  # CPack passes on CPACK_* only
set(CPACK_CAMZOOM_BUILD_DIR ${PROJECT_BINARY_DIR})
set(CPACK_CAMZOOM_CMAKE_COMMAND ${CMAKE_COMMAND})
set(CPACK_NSIS_EXECUTABLE makensis)
# Read by NSIS.template.in: its File and Delete lines, and the one copyright.
set(CPACK_CAMZOOM_SHIPPED_NSH ${CAMZOOM_SHIPPED_NSH})
set(CPACK_CAMZOOM_COPYRIGHT "${CAMZOOM_COPYRIGHT}")
include(CPack)
