# What a release's files say of it: the day it was built (from
# SOURCE_DATE_EPOCH when set, so a repeated build says the same), and the
# helpers that shape files as Debian wants them.
string(TIMESTAMP LARKSPIRE_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP LARKSPIRE_RELEASE_TIME "%a, %d %b %Y %H:%M:%S +0000" UTC)

# larkspire_install_gzipped(FILE DESTINATION): installs FILE compressed as
# FILE.gz (gzip -9n: no name or time inside, so the package is repeatable),
# as manual pages and changelogs are shipped.
function(larkspire_install_gzipped file destination)
  execute_process(COMMAND gzip -9nkf ${file} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot compress ${file} with gzip")
  endif()
  install(FILES ${file}.gz DESTINATION ${destination})
endfunction()

# larkspire_wrap_text(TEXT WIDTH OUT): TEXT with its words wrapped into
# lines of at most WIDTH characters (a longer word stands alone).
function(larkspire_wrap_text text width out)
  string(REPLACE " " ";" words "${text}")
  set(wrapped "")
  set(line "")
  foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" length)
    if(line STREQUAL "")
      set(line "${word}")
    elseif(length GREATER width)
      string(APPEND wrapped "${line}\n")
      set(line "${word}")
    else()
      string(APPEND line " ${word}")
    endif()
  endforeach()
  set(${out} "${wrapped}${line}" PARENT_SCOPE)
endfunction()
