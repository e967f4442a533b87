# Makes the Wine prefix the Windows tests run in, once and quietly; its
# output is shown only when it fails.
#   cmake -DWINE=... -DPREFIX=... -DSTAMP=... -P wine_prefix.cmake
set(ENV{WINEPREFIX} "${PREFIX}")
set(ENV{WINEDEBUG} "-all")
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
execute_process(COMMAND "${WINE}" wineboot -i
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out TIMEOUT 900)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Could not make the Wine prefix ${PREFIX} (${rc}):\n${out}")
endif()
file(TOUCH "${STAMP}")
