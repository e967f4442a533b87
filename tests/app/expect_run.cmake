# Runs PROGRAM (through RUN, when given) with ARGS ('|' between them) in a
# session without a display (or with the NAME=VALUE settings of SETTINGS,
# '|' between them), and fails
# unless it ends with STATUS and its output matches TEXT. With STDOUT, its
# standard output goes to that file (such as /dev/full), and only what it
# says on stderr is matched.
# With LOG, the text must be in that file too (removed first).
string(REPLACE "|" ";" arguments "${ARGS}")
if(DEFINED LOG)
  file(REMOVE ${LOG})
endif()
string(REPLACE "|" ";" settings "${SETTINGS}")
set(output OUTPUT_VARIABLE out)
if(DEFINED STDOUT)
  set(output OUTPUT_FILE ${STDOUT})
endif()
execute_process(COMMAND env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ${settings} ${RUN} ${PROGRAM} ${arguments}
                RESULT_VARIABLE status ${output} ERROR_VARIABLE err TIMEOUT 60)
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, not ${STATUS}\n${out}${err}")
endif()
if(NOT "${out}${err}" MATCHES "${TEXT}")
  message(FATAL_ERROR "the output does not say \"${TEXT}\":\n${out}${err}")
endif()
if(DEFINED LOG)
  file(READ ${LOG} logged)
  if(NOT logged MATCHES "${TEXT}")
    message(FATAL_ERROR "the log file ${LOG} does not say \"${TEXT}\":\n${logged}")
  endif()
endif()
