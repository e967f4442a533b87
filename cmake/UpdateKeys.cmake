# larkspire_check_update_keys(KEYS ALLOW_UNSIGNED): the trust policy of the
# build, checked before anything is built.
#
# KEYS is one or two distinct public keys separated by ";", each the base64
# of a 65-byte uncompressed P-256 point (04 || X || Y) that lies on the
# curve: 88 characters, beginning with "B" (the 04), padded with one "=".
# The point is decoded by the openssl command, which refuses one off the
# curve: such a key would verify nothing, and every wizard built with it
# would refuse every update.
#
# Without keys a build would run whatever any server (or any user of the
# same machine, listening on a loopback port) offers, so the configure step
# stops unless ALLOW_UNSIGNED says that is meant, and then warns.
#
# Sets LARKSPIRE_UPDATE_KEY_FINGERPRINTS in the caller: the SHA-256 of each
# key's 65 bytes in hexadecimal, in the order of KEYS.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  cmake_minimum_required(VERSION 3.25)  # the policies of the build, for the script below
endif()

# larkspire_decode_update_key(KEY POSITION WORK_DIR OUT_FINGERPRINT)
function(larkspire_decode_update_key key position work out_fingerprint)
  find_program(LARKSPIRE_OPENSSL_COMMAND openssl)
  if(NOT LARKSPIRE_OPENSSL_COMMAND)
    message(FATAL_ERROR "the openssl command (Debian package openssl) is needed to check LARKSPIRE_UPDATE_PUBLIC_KEYS")
  endif()
  file(MAKE_DIRECTORY "${work}")
  file(WRITE "${work}/key${position}.b64" "${key}\n")
  execute_process(COMMAND "${LARKSPIRE_OPENSSL_COMMAND}" base64 -d -in "${work}/key${position}.b64"
                          -out "${work}/key${position}.bin" RESULT_VARIABLE decoded OUTPUT_QUIET ERROR_QUIET)
  file(READ "${work}/key${position}.bin" point HEX)
  # The point wrapped as a SubjectPublicKeyInfo, which openssl then reads as
  # a key: reading it checks that the point lies on the curve.
  file(WRITE "${work}/key${position}.asn1"
       "asn1=SEQUENCE:spki\n[spki]\nalg=SEQUENCE:alg\nkey=FORMAT:HEX,BITSTRING:${point}\n"
       "[alg]\noid=OID:id-ecPublicKey\ncurve=OID:prime256v1\n")
  execute_process(COMMAND "${LARKSPIRE_OPENSSL_COMMAND}" asn1parse -genconf "${work}/key${position}.asn1"
                          -out "${work}/key${position}.der" -noout
                  RESULT_VARIABLE wrapped OUTPUT_QUIET ERROR_QUIET)
  set(on_curve 1)
  if(decoded EQUAL 0 AND wrapped EQUAL 0)
    execute_process(COMMAND "${LARKSPIRE_OPENSSL_COMMAND}" pkey -pubin -inform DER -in "${work}/key${position}.der"
                            -noout RESULT_VARIABLE on_curve OUTPUT_QUIET ERROR_QUIET)
  endif()
  string(LENGTH "${point}" digits)
  if(NOT decoded EQUAL 0 OR NOT wrapped EQUAL 0 OR NOT on_curve EQUAL 0 OR NOT digits EQUAL 130)
    file(REMOVE_RECURSE "${work}")
    message(FATAL_ERROR "LARKSPIRE_UPDATE_PUBLIC_KEYS: key ${position} (\"${key}\") is not a point on the P-256 "
                        "curve; no signature would ever verify under it")
  endif()
  file(SHA256 "${work}/key${position}.bin" fingerprint)
  set(${out_fingerprint} "${fingerprint}" PARENT_SCOPE)
endfunction()

function(larkspire_check_update_keys keys allow_unsigned)
  set(LARKSPIRE_UPDATE_KEY_FINGERPRINTS "" PARENT_SCOPE)
  if(keys STREQUAL "")
    if(NOT allow_unsigned)
      message(FATAL_ERROR
              "No LARKSPIRE_UPDATE_PUBLIC_KEYS: a wizard built without the maker's public key runs whatever a "
              "server, a proxy or another user of the machine offers as an update. Give the key that "
              "larkspire-publish --generate-key printed (-DLARKSPIRE_UPDATE_PUBLIC_KEYS=...), or build the classic "
              "unsigned wizard on purpose with -DLARKSPIRE_ALLOW_UNSIGNED_UPDATES=ON.")
    endif()
    message(WARNING "LARKSPIRE_ALLOW_UNSIGNED_UPDATES=ON and no LARKSPIRE_UPDATE_PUBLIC_KEYS: this wizard accepts "
                    "unsigned updates from whoever answers at its update host; it says so in --version and in its "
                    "log at every start")
    return()
  endif()
  list(LENGTH keys count)
  if(count GREATER 2)
    message(FATAL_ERROR "LARKSPIRE_UPDATE_PUBLIC_KEYS holds ${count} keys; give one, or two (current;next) "
                        "while moving to a new key")
  endif()
  set(seen "")
  set(fingerprints "")
  set(position 0)
  # A folder of this check's own: the tests run several checks at once.
  string(RANDOM LENGTH 12 tag)
  set(work "${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/update-keys-${tag}")
  foreach(key IN LISTS keys)
    math(EXPR position "${position} + 1")
    string(LENGTH "${key}" length)
    if(NOT length EQUAL 88 OR NOT key MATCHES "^B[A-Za-z0-9+/]+[AEIMQUYcgkosw048]=$")
      message(FATAL_ERROR "LARKSPIRE_UPDATE_PUBLIC_KEYS: key ${position} (\"${key}\") is not the base64 of an "
                          "uncompressed P-256 point (88 characters, as larkspire-publish --generate-key prints)")
    endif()
    if(key IN_LIST seen)
      message(FATAL_ERROR "LARKSPIRE_UPDATE_PUBLIC_KEYS names the same key twice")
    endif()
    list(APPEND seen "${key}")
    larkspire_decode_update_key("${key}" ${position} "${work}" fingerprint)
    list(APPEND fingerprints "${fingerprint}")
  endforeach()
  file(REMOVE_RECURSE "${work}")
  set(LARKSPIRE_UPDATE_KEY_FINGERPRINTS "${fingerprints}" PARENT_SCOPE)
  message(STATUS "Catalogs must be signed by one of ${count} built-in public key(s): SHA-256 ${fingerprints}")
endfunction()

# larkspire_serial_floor(SETTING OUT): the lowest catalog serial this build
# accepts, as YYYYMMDDhhmmss (UTC). SETTING "" is the time of the configure
# step (SOURCE_DATE_EPOCH when set, for a build that is repeated), so a
# first run never takes a catalog published before the build was made.
function(larkspire_serial_floor setting out)
  if(setting STREQUAL "")
    string(TIMESTAMP setting "%Y%m%d%H%M%S" UTC)
  endif()
  if(NOT setting MATCHES "^(19[7-9][0-9]|2[0-9][0-9][0-9])(0[1-9]|1[0-2])(0[1-9]|[12][0-9]|3[01])([01][0-9]|2[0-3])[0-5][0-9][0-5][0-9]$")
    message(FATAL_ERROR "LARKSPIRE_CATALOG_SERIAL_FLOOR must be a UTC time as YYYYMMDDhhmmss, not \"${setting}\"")
  endif()
  set(${out} "${setting}" PARENT_SCOPE)
endfunction()

# As a script (cmake -DKEYS=... [-DALLOW_UNSIGNED=ON] -P UpdateKeys.cmake,
# with "," for ";" on the command line): the same check, for the tests of
# the setting.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  string(REPLACE "," ";" keys "${KEYS}")
  if(NOT DEFINED ALLOW_UNSIGNED)
    set(ALLOW_UNSIGNED OFF)
  endif()
  larkspire_check_update_keys("${keys}" ${ALLOW_UNSIGNED})
endif()
