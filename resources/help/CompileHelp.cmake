# Compiles the help sources into a CHM file: cmake -DSOURCE=<dir> -DWORK=<dir> -DOUTPUT=<file>
#   -DCHMCMD=<chmcmd> -P CompileHelp.cmake
# chmcmd reports a missing project file, a missing page or a broken link only as a message and
# may still exit with 0, so every message counts as a failure here, and the result must be a CHM.

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(GLOB sources "${SOURCE}/*.html" "${SOURCE}/*.hhc" "${SOURCE}/*.hhk" "${SOURCE}/*.hhp"
     "${SOURCE}/*.css" "${SOURCE}/*.png" "${SOURCE}/*.svg")
file(COPY ${sources} DESTINATION "${WORK}")

execute_process(COMMAND "${CHMCMD}" --html-scan Kestrine.hhp
                WORKING_DIRECTORY "${WORK}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REGEX MATCHALL "(Warning|Error|Can't|Unable|exception)[^\n]*" problems "${out}\n${err}")
if(NOT status EQUAL 0 OR problems)
  message(FATAL_ERROR "chmcmd failed (status ${status}):\n${out}\n${err}")
endif()

set(compiled "${WORK}/Kestrine.chm")
if(NOT EXISTS "${compiled}")
  message(FATAL_ERROR "chmcmd wrote no Kestrine.chm:\n${out}")
endif()
file(READ "${compiled}" magic LIMIT 4 HEX)
if(NOT magic STREQUAL "49545346") # "ITSF"
  message(FATAL_ERROR "${compiled} is not a compiled HTML help file")
endif()
file(COPY_FILE "${compiled}" "${OUTPUT}")
