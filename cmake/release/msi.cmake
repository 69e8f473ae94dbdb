# Makes the MSI with wixl from a staged package tree (the files of shipped_files.cmake under their
# names in the package), the product template camzoom.wxs and the generated shipped_files.wxs.
# Run by normalize_packages.cmake after CPack staged the tree, and by the package tests to make
# an older version to upgrade from:
#
#   cmake -DBUILD_DIR=<windows build> -DSTAGE=<package tree> -DOUTPUT=<file.msi>
#         [-DVERSION=<x.y.z>] -P cmake/release/msi.cmake
#
# The rest comes from <build>/release/msi-settings.cmake, written when the build is configured.
# Two runs give the same bytes: the product code and the package code are derived from the
# version (one MSI per version), the summary times and the cabinet's file times are the
# package time stamp ($SOURCE_DATE_EPOCH or the commit's time), with wixl and msibuild run
# under faketime for the times they take from the clock.

foreach(name BUILD_DIR STAGE OUTPUT)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "msi.cmake needs -D${name}=...")
  endif()
endforeach()
include(${BUILD_DIR}/release/msi-settings.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/signing.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/msi_codes.cmake)
if(NOT VERSION)
  set(VERSION ${CAMZOOM_MSI_VERSION})
endif()

# The files as they go into the cabinet, each with the package time stamp.
set(stage ${BUILD_DIR}/release/msi-stage)
file(REMOVE_RECURSE ${stage})
file(COPY ${STAGE}/ DESTINATION ${stage})
file(GLOB_RECURSE staged LIST_DIRECTORIES true ${stage}/*)
execute_process(COMMAND touch -h -d @${CAMZOOM_MSI_EPOCH} ${staged} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot set the time of the staged files")
endif()

camzoom_msi_codes(${VERSION} product_code package_code)
set(ENV{SOURCE_DATE_EPOCH} ${CAMZOOM_MSI_EPOCH})
string(TIMESTAMP frozen "%Y-%m-%d %H:%M:%S" UTC)
# gcab writes the cabinet's times as local time.
set(ENV{TZ} UTC)
set(clock faketime -f "${frozen}")

get_filename_component(output_dir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${output_dir})
file(REMOVE ${OUTPUT})
execute_process(
  COMMAND ${clock} wixl -a x64 -D Version=${VERSION} -D ProductCode=${product_code}
          -D UpgradeCode=${CAMZOOM_MSI_UPGRADE_CODE} -D "Manufacturer=${CAMZOOM_MSI_MANUFACTURER}"
          -I ${stage} -o ${OUTPUT} ${CAMZOOM_MSI_PRODUCT_WXS} ${CAMZOOM_MSI_SHIPPED_WXS}
  WORKING_DIRECTORY ${stage}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
# wixl only warns about an attribute it does not know, and leaves it out of the package: any
# message of it fails the build.
if(NOT result EQUAL 0 OR NOT errors STREQUAL "" OR NOT EXISTS ${OUTPUT})
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "wixl failed or warned (${result}):\n${output}${errors}")
endif()

# wixl has no Secure attribute; the properties that msiexec's command line may set for the
# installation itself must be secure, or Windows drops them for a managed installation.
# The summary: subject, author, platform and language, and the package code.
execute_process(
  COMMAND ${clock} msibuild ${OUTPUT} -q "UPDATE Property SET Value='WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLDIR;VCAM;WATCH' WHERE Property='SecureCustomProperties'"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(result EQUAL 0)
  execute_process(
    COMMAND ${clock} msibuild ${OUTPUT} -s camzoom "${CAMZOOM_MSI_MANUFACTURER}" "x64;1033" "${package_code}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
endif()
if(NOT result EQUAL 0 OR NOT errors STREQUAL "")
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "msibuild failed (${result}):\n${output}${errors}")
endif()

camzoom_sign_file(${OUTPUT} DESCRIPTION "camzoom ${VERSION}")
message(STATUS "MSI ${OUTPUT}: version ${VERSION}, product code ${product_code}")
