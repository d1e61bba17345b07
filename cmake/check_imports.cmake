# Fails (and removes EXE, so that the next build links it again) when EXE's
# import table names a DLL outside ALLOWED: such a DLL is loaded before the
# program's first instruction, from wherever the system's search finds it.
# Its functions belong in cmake/delay_load/NAME.def. It fails as well when the
# table names no kernel32.dll: then it was not read at all. Run with cmake -P.
cmake_minimum_required(VERSION 3.24)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULTS_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed")
endif()
# objdump lists the import table first, then the delay-import table.
string(REGEX REPLACE "The Delay Import Tables.*" "" imports "${dump}")
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${imports}")
set(unexpected)
set(found_kernel32 FALSE)
foreach(line IN LISTS names)
  string(REGEX REPLACE "DLL Name: " "" name "${line}")
  string(TOLOWER "${name}" name)
  if(name STREQUAL "kernel32.dll")
    set(found_kernel32 TRUE)
  endif()
  if(NOT name IN_LIST ALLOWED)
    list(APPEND unexpected ${name})
  endif()
endforeach()
if(unexpected)
  file(REMOVE ${EXE})
  message(FATAL_ERROR "${EXE} imports ${unexpected} at start; only ${ALLOWED} may be. "
                      "List the functions it uses in cmake/delay_load/<dll>.def.")
endif()
if(NOT found_kernel32)
  file(REMOVE ${EXE})
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} shows no import of kernel32.dll: the import "
                      "table could not be read, so nothing was checked.")
endif()
