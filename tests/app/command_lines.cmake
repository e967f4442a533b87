# The wizard's command line, read before any display is asked for: one list
# of rows that both programs run, the Linux one directly and the Windows one
# under Wine. A row is
#   name ^ programs (both, or linux) ^ arguments ('|' between them) ^ exit status
#        ^ what the output says (a regular expression) ^ NAME=VALUE settings ('|' between them)
#        ^ a file standard output goes to
# and where the arguments name a --log-file, that file must say it too. (Wine
# opens windows without a display, so the Windows program has no such row;
# its quiet-check road reads its --log-file.)
set(trust "unsigned updates accepted")
if(LARKSPIRE_UPDATE_KEY_FINGERPRINTS)
  list(GET LARKSPIRE_UPDATE_KEY_FINGERPRINTS 0 first)
  set(trust "catalogs signed by a built-in key, serial ${LARKSPIRE_SERIAL_FLOOR} or later\nkey SHA-256: ${first}")
endif()
set(log ${CMAKE_CURRENT_BINARY_DIR}/wizard.log)
set(larkspire_command_lines
  "unknown_option_is_refused^both^--verbose|--bogus^1^larkspire.startup: Unknown option '--bogus'"
  "argument_is_refused_even_with_help^both^--help|update.msi^1^Unexpected argument 'update.msi'"
  "help_needs_no_display^both^--help^0^--verbose +Also log what the wizard does"
  "a_windows_user_s_help_is_help^both^/?^0^Usage: larkspire-autoupdate(.exe)? \\[options\\]"
  "help_all_lists_the_toolkit_options^linux^--help-all^0^-platform <name"
  "version_says_whom_it_trusts^both^-v^0^larkspire-autoupdate ${PROJECT_VERSION}\nupdate information: http://${LARKSPIRE_UPDATE_HOST}/browser/updchk.ndf\ntrust: ${trust}"
  "a_run_without_a_display_says_so^linux^--verbose|--log-file|${log}^7^larkspire.startup: no display to open the window on"
  "help_on_a_full_disk_is_a_failure^linux^--help^3^cannot write the answer to standard output: No space left on device^^/dev/full"
  "a_log_file_on_a_full_disk_says_so^linux^--log-file|/dev/full^7^cannot append to the log file /dev/full: No space left on device"
  "a_stale_x11_display_is_named^linux^--display=:77^7^the X11 display :77 cannot be reached"
  "a_stale_wayland_display_is_named^linux^^7^the Wayland display wayland-9 cannot be reached^WAYLAND_DISPLAY=wayland-9|XDG_RUNTIME_DIR=/tmp"
  # (".": the row is a list, which a ";" would split; the line reads "init; the", never "init.; the".)
  "a_libcurl_that_cannot_be_loaded_fails_the_check^linux^--check^8^could not be loaded:[ \n]+libcurl\\.so\\.4[ \n]+has[ \n]+no[ \n]+curl_global_init.[ \n]+the[ \n]+next^LD_LIBRARY_PATH=${not_libcurl}|XDG_CONFIG_HOME=${not_libcurl}|XDG_RUNTIME_DIR=${not_libcurl}")

# A test for each row the program of this build runs: PROGRAM, started
# through RUN (the emulator, or nothing); linux tells which program it is.
function(larkspire_command_line_tests program run linux)
  foreach(row IN LISTS larkspire_command_lines)
    string(REPLACE "^" ";" fields "${row}")
    list(GET fields 0 name)
    list(GET fields 1 programs)
    list(GET fields 2 arguments)
    list(GET fields 3 status)
    list(GET fields 4 text)
    if(programs STREQUAL "linux" AND NOT linux)
      continue()
    endif()
    set(settings "")
    set(stdout "")
    list(LENGTH fields count)
    if(count GREATER 5)
      list(GET fields 5 settings)
    endif()
    if(count GREATER 6)
      list(GET fields 6 stdout)
      set(stdout "-DSTDOUT=${stdout}")
    endif()
    # Only the rows' own file is read back (never a device such as /dev/full).
    set(read_log "")
    if(arguments MATCHES "--log-file\\|([^|]+)" AND CMAKE_MATCH_1 STREQUAL log)
      set(read_log "-DLOG=${log}")
    endif()
    add_test(NAME command_line_${name}
             COMMAND ${CMAKE_COMMAND} -DPROGRAM=${program} "-DRUN=${run}" "-DARGS=${arguments}"
                     "-DSETTINGS=${settings}" ${read_log} ${stdout} -DSTATUS=${status} "-DTEXT=${text}"
                     -P ${CMAKE_SOURCE_DIR}/tests/app/expect_run.cmake)
  endforeach()
endfunction()
