# Runs the stand-in runner through the emulator (Wine) with a script, its standard output on a
# pipe, and compares what it printed with the expected transcript, line for line.
#   cmake -DEMULATOR=... -DRUNNER=... -DSCRIPT_DIR=... -DSCRIPT=... -DEXPECTED=... -P this file
execute_process(
  COMMAND ${EMULATOR} ${RUNNER} --ui-script=${SCRIPT}
  WORKING_DIRECTORY ${SCRIPT_DIR}
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors
  RESULT_VARIABLE result
  TIMEOUT 120)
# Text-mode standard output ends its lines with CR LF.
string(REPLACE "\r\n" "\n" output "${output}")
file(READ ${EXPECTED} expected)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the runner ended with ${result}\n${output}\n${errors}")
endif()
if(NOT output STREQUAL expected)
  message(FATAL_ERROR "transcript differs.\n--- printed ---\n${output}--- expected ---\n${expected}--- standard error ---\n${errors}")
endif()
message(STATUS "transcript as expected")
