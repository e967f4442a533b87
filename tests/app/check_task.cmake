# Script mode: the Windows Task Scheduler entry of the daily check (TASK) is
# well-formed XML that runs the program with --check once a day, with a
# random delay, catching up a missed time, as the user without elevation,
# without starting a second one beside a running one.
foreach(row "Exec/Arguments=--check" "CalendarTrigger/ScheduleByDay/DaysInterval=1" "CalendarTrigger/RandomDelay=PT4H"
            "Settings/StartWhenAvailable=true" "Settings/MultipleInstancesPolicy=IgnoreNew"
            "Principal/RunLevel=LeastPrivilege")
  string(FIND "${row}" "=" eq)
  string(SUBSTRING "${row}" 0 ${eq} elements)
  math(EXPR eq "${eq} + 1")
  string(SUBSTRING "${row}" ${eq} -1 expected)
  # The task's namespace, whatever its prefix: elements by their local names.
  string(REPLACE "/" "']/*[local-name()='" path "${elements}")
  set(path "string(//*[local-name()='${path}'])")
  execute_process(COMMAND xmllint --xpath "${path}" ${TASK} RESULT_VARIABLE status OUTPUT_VARIABLE got
                  ERROR_VARIABLE complaint OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0 OR NOT got STREQUAL expected)
    message(FATAL_ERROR "${elements} is \"${got}\", not \"${expected}\" ${complaint}")
  endif()
endforeach()
