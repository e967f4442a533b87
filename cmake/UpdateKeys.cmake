# larkspire_check_update_keys(KEYS): stops the configure step unless KEYS
# is empty or one or two distinct public keys separated by ";", each the
# base64 of a 65-byte uncompressed point (04 || X || Y): 88 characters,
# beginning with "B" (the 04), padded with one "=", and no bits set beyond
# the last byte. Whether the point is on the curve the program sees when it
# checks a signature; a key off the curve verifies nothing.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  cmake_minimum_required(VERSION 3.25)  # the policies of the build, for the script below
endif()
function(larkspire_check_update_keys keys)
  if(keys STREQUAL "")
    return()
  endif()
  list(LENGTH keys count)
  if(count GREATER 2)
    message(FATAL_ERROR "LARKSPIRE_UPDATE_PUBLIC_KEYS holds ${count} keys; give one, or two (current;next) "
                        "while moving to a new key")
  endif()
  set(seen "")
  set(position 0)
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
  endforeach()
  message(STATUS "Catalogs must be signed by one of ${count} built-in public key(s)")
endfunction()

# As a script (cmake -DKEYS=... -P UpdateKeys.cmake, with "," for ";" on the
# command line): the same check, for the tests of the setting.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  string(REPLACE "," ";" keys "${KEYS}")
  larkspire_check_update_keys("${keys}")
endif()
