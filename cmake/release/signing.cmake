# Authenticode signatures, made only when the build is given a certificate:
#   CAMZOOM_SIGN_PKCS12         the PKCS#12 file (certificate and private key)
#   CAMZOOM_SIGN_PASSWORD       its password
#   CAMZOOM_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamping server
# Without CAMZOOM_SIGN_PKCS12 nothing is signed and the packages stay byte for byte reproducible.
# Signed with Debian's osslsigncode: programs, the NSIS installer and the MSI alike. Included by
# the install rules (the shipped programs, as CPack stages them) and by the package scripts.

# camzoom_signing_wanted(out): TRUE when a certificate is given.
function(camzoom_signing_wanted out)
  if(DEFINED ENV{CAMZOOM_SIGN_PKCS12} AND NOT "$ENV{CAMZOOM_SIGN_PKCS12}" STREQUAL "")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# camzoom_sign_file(path [DESCRIPTION text]): signs the file in place when a certificate is given.
# A time stamp is added when a server is named and answers; otherwise the signature goes without
# one (valid until the certificate expires) and the build says so.
function(camzoom_sign_file path)
  cmake_parse_arguments(arg "" "DESCRIPTION" "" ${ARGN})
  camzoom_signing_wanted(wanted)
  if(NOT wanted)
    return()
  endif()
  if(NOT EXISTS "$ENV{CAMZOOM_SIGN_PKCS12}")
    message(FATAL_ERROR "CAMZOOM_SIGN_PKCS12 names no file: $ENV{CAMZOOM_SIGN_PKCS12}")
  endif()
  if(NOT arg_DESCRIPTION)
    set(arg_DESCRIPTION camzoom)
  endif()
  # The password goes through a file of the build's own, not the command line, which other
  # users of the machine can read in the process list.
  string(RANDOM LENGTH 12 nonce)
  set(pass_file "${path}.${nonce}.pass")
  file(WRITE "${pass_file}" "$ENV{CAMZOOM_SIGN_PASSWORD}")
  file(CHMOD "${pass_file}" PERMISSIONS OWNER_READ OWNER_WRITE)
  set(signed "${path}.${nonce}.signed")
  set(sign osslsigncode sign -pkcs12 "$ENV{CAMZOOM_SIGN_PKCS12}" -readpass "${pass_file}" -h sha256
      -n "${arg_DESCRIPTION}" -in "${path}" -out "${signed}")
  set(result 1)
  if(NOT "$ENV{CAMZOOM_SIGN_TIMESTAMP_URL}" STREQUAL "")
    execute_process(COMMAND ${sign} -ts "$ENV{CAMZOOM_SIGN_TIMESTAMP_URL}"
      RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
      message(WARNING "time-stamping server $ENV{CAMZOOM_SIGN_TIMESTAMP_URL} did not answer; "
                      "${path} is signed without a time stamp")
      file(REMOVE "${signed}")
    endif()
  endif()
  if(NOT result EQUAL 0)
    execute_process(COMMAND ${sign} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  endif()
  file(REMOVE "${pass_file}")
  if(NOT result EQUAL 0)
    file(REMOVE "${signed}")
    message(FATAL_ERROR "cannot sign ${path}:\n${output}")
  endif()
  file(RENAME "${signed}" "${path}")
  message(STATUS "signed ${path}")
endfunction()
