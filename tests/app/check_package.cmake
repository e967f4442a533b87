# Script mode: makes the Debian package of the build in BUILD with cpack,
# unpacks it into a folder of its own, and fails unless the programs in it
# are stripped and hardened (PIE, BIND_NOW, stack protector, fortified
# calls), the package depends on the libraries the wizard loads and carries
# the licence, the metainfo and every icon size, and the unpacked wizard
# runs.
set(out ${BUILD}/package-check)
file(REMOVE_RECURSE ${out})
execute_process(COMMAND cpack -G DEB -B ${out} WORKING_DIRECTORY ${BUILD} RESULT_VARIABLE status OUTPUT_QUIET)
file(GLOB deb ${out}/*.deb)
if(NOT status EQUAL 0 OR NOT deb)
  message(FATAL_ERROR "cpack -G DEB made no package (status ${status})")
endif()
# What Debian's own checker finds, pedantic notes too, must be nothing.
find_program(LINTIAN lintian)
if(LINTIAN)
  execute_process(COMMAND ${LINTIAN} --pedantic --fail-on error,warning,info,pedantic ${deb}
                  RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE complained)
  string(REPLACE "running with root privileges is not recommended!\n" "" complained "${complained}")
  if(NOT status EQUAL 0 OR said MATCHES "[EWIP]: " OR NOT complained STREQUAL "")
    message(FATAL_ERROR "lintian finds fault with the package:\n${said}${complained}")
  endif()
endif()
# The libraries the wizard loads when it first needs them are ones the
# package depends on by name: no scan of the programs' links finds them.
execute_process(COMMAND dpkg-deb -f ${deb} Depends OUTPUT_VARIABLE depends)
foreach(library "libcurl4 \\(>= 7\\.85\\) \\| libcurl4t64" "libssl3 \\| libssl3t64")
  if(NOT depends MATCHES "${library}")
    message(FATAL_ERROR "the package does not depend on ${library}: ${depends}")
  endif()
endforeach()
execute_process(COMMAND dpkg-deb -x ${deb} ${out}/root RESULT_VARIABLE status)
set(share ${out}/root/usr/share)
foreach(file doc/larkspire-autoupdate/copyright metainfo/larkspire-autoupdate.metainfo.xml
             applications/larkspire-autoupdate.desktop icons/hicolor/scalable/apps/larkspire-autoupdate.svg)
  if(NOT EXISTS ${share}/${file})
    message(FATAL_ERROR "the package has no ${file}")
  endif()
endforeach()
foreach(size 16 22 24 32 48 64 128 256)
  if(NOT EXISTS ${share}/icons/hicolor/${size}x${size}/apps/larkspire-autoupdate.png)
    message(FATAL_ERROR "the package has no ${size}-pixel icon")
  endif()
endforeach()
foreach(program larkspire-autoupdate larkspire-publish)
  set(binary ${out}/root/usr/bin/${program})
  execute_process(COMMAND readelf -d -S --dyn-syms -W ${binary} OUTPUT_VARIABLE elf)
  foreach(mark "BIND_NOW" "PIE" "__stack_chk_fail" "_chk@")
    if(NOT elf MATCHES "${mark}")
      message(FATAL_ERROR "${program} is not hardened: no ${mark}")
    endif()
  endforeach()
  if(elf MATCHES "\\.symtab|\\.debug_info")
    message(FATAL_ERROR "${program} is not stripped")
  endif()
  # The wizard loads them when it first needs them, not at every start.
  if(program STREQUAL "larkspire-autoupdate" AND elf MATCHES "NEEDED[^\n]*(libcurl|libcrypto)")
    message(FATAL_ERROR "${program} is linked against ${CMAKE_MATCH_1}")
  endif()
endforeach()
execute_process(COMMAND ${out}/root/usr/bin/larkspire-autoupdate --version RESULT_VARIABLE status OUTPUT_VARIABLE said)
if(NOT status EQUAL 0 OR NOT said MATCHES "larkspire-autoupdate ${VERSION}")
  message(FATAL_ERROR "the packaged wizard does not run: ${status} ${said}")
endif()
