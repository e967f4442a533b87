# Script mode: makes the Windows ZIP of the build in BUILD with cpack,
# unpacks it into a folder of its own, and fails unless it holds the
# program, the README and the licence under one folder named by VERSION, and
# the unpacked program (run through RUN, Wine) tells its version.
set(out ${BUILD}/zip-check)
file(REMOVE_RECURSE ${out})
execute_process(COMMAND cpack -G ZIP -B ${out} WORKING_DIRECTORY ${BUILD} RESULT_VARIABLE status OUTPUT_QUIET)
set(zip ${out}/larkspire-autoupdate-${VERSION}-windows-x64.zip)
if(NOT status EQUAL 0 OR NOT EXISTS ${zip})
  message(FATAL_ERROR "cpack -G ZIP made no ${zip} (status ${status})")
endif()
file(ARCHIVE_EXTRACT INPUT ${zip} DESTINATION ${out}/unpacked)
set(folder ${out}/unpacked/larkspire-autoupdate-${VERSION}-windows-x64)
file(GLOB_RECURSE unpacked RELATIVE ${folder} ${folder}/*)
list(SORT unpacked)
if(NOT unpacked STREQUAL "LICENSE;README.md;larkspire-autoupdate.exe")
  message(FATAL_ERROR "the ZIP holds ${unpacked} instead of the program, the README and the licence")
endif()
execute_process(COMMAND ${RUN} ${folder}/larkspire-autoupdate.exe --version RESULT_VARIABLE status
                OUTPUT_VARIABLE said ERROR_VARIABLE complained)
if(NOT status EQUAL 0 OR NOT said MATCHES "larkspire-autoupdate ${VERSION}")
  message(FATAL_ERROR "the unpacked program did not tell its version (status ${status}): ${said}${complained}")
endif()
