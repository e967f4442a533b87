# Makes the Wine prefix the Windows tests run in, once and quietly; its
# output is shown only when it fails.
#   cmake -DWINE=... -DWINESERVER=... -DPREFIX=... -DSTAMP=... -P wine_prefix.cmake
set(ENV{WINEPREFIX} "${PREFIX}")
set(ENV{WINEDEBUG} "-all")
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
execute_process(COMMAND "${WINE}" wineboot -i
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out TIMEOUT 900)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Could not make the Wine prefix ${PREFIX} (${rc}):\n${out}")
endif()
# Windows without a display: the null graphics driver still gives top-level
# windows (the broadcast test needs one) and never shows anything.
execute_process(COMMAND "${WINE}" reg add "HKCU\\Software\\Wine\\Drivers" /v Graphics /d null /f
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out TIMEOUT 300)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Could not set Wine's graphics driver (${rc}):\n${out}")
endif()
# Programs started from now on read the setting afresh.
execute_process(COMMAND "${WINESERVER}" -k RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
file(TOUCH "${STAMP}")
