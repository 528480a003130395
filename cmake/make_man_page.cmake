# Run by the man target: writes PAGE for the program PROGRAM (named NAME)
# with help2man, or, when the program does not answer --help and --version,
# removes any old page and says so.  Variables: HELP2MAN, PROGRAM, NAME,
# DESCRIPTION, PAGE.
file(REMOVE "${PAGE}")
get_filename_component(dir "${PAGE}" DIRECTORY)
file(MAKE_DIRECTORY "${dir}")
# In a folder of its own: a program that takes --help for an image name
# must not leave anything in the build tree.
set(scratch "${PAGE}.run")
file(MAKE_DIRECTORY "${scratch}")
foreach(option --help --version)
  execute_process(COMMAND "${PROGRAM}" ${option} WORKING_DIRECTORY "${scratch}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_QUIET)
  if(NOT status EQUAL 0 OR out STREQUAL "")
    file(REMOVE_RECURSE "${scratch}")
    message("${NAME}: no manual page, as it does not answer ${option}")
    return()
  endif()
endforeach()
execute_process(COMMAND "${HELP2MAN}" --no-info --section=1 "--name=${DESCRIPTION}"
                        "--output=${PAGE}" "${PROGRAM}"
                WORKING_DIRECTORY "${scratch}" RESULT_VARIABLE status ERROR_VARIABLE log)
file(REMOVE_RECURSE "${scratch}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed for ${NAME}:\n${log}")
endif()
