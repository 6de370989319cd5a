# Run by CPack on the files it is about to pack: the compiler's notes (.comment) are no part of
# a program Debian ships; dh_strip removes them the same way.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*"
     "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.so")
foreach(program IN LISTS programs)
  execute_process(COMMAND ${CPACK_KESTRINE_OBJCOPY} --remove-section=.comment ${program}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
