# Run by ctest (test no_gtest_build): configures the project in a folder of
# its own with GoogleTest out of sight, installed and as sources, and builds
# the programs there.  The configure must say once that the tests are
# skipped and register none; every program must build, and d88info run.
# Variables: SOURCE, WORK, GENERATOR, CXX, WERROR, PROGRAMS (a list), VERSION.
file(REMOVE_RECURSE "${WORK}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -S "${SOURCE}" -B "${WORK}" -G "${GENERATOR}"
          "-DCMAKE_CXX_COMPILER=${CXX}" -DCMAKE_BUILD_TYPE=Debug "-DD88CUT_WERROR=${WERROR}"
          -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DD88CUT_GTEST_SOURCE_DIR=/nonexistent
  OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "configure without GoogleTest failed:\n${log}")
endif()
string(REGEX MATCHALL "Tests skipped" notes "${log}")
list(LENGTH notes count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "the configure should say once that the tests are skipped:\n${log}")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" --build "${WORK}" --target ${PROGRAMS}
                OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the programs do not build without GoogleTest:\n${log}")
endif()
foreach(program IN LISTS PROGRAMS)
  if(NOT EXISTS "${WORK}/tools/${program}/${program}${CMAKE_EXECUTABLE_SUFFIX}")
    message(FATAL_ERROR "${program} was not built")
  endif()
endforeach()
execute_process(COMMAND "${WORK}/tools/d88info/d88info" --version
                OUTPUT_VARIABLE out RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT out STREQUAL "d88info ${VERSION}\n")
  message(FATAL_ERROR "d88info --version: status ${status}, printed '${out}'")
endif()

execute_process(COMMAND "${CMAKE_CTEST_COMMAND}" --test-dir "${WORK}" -N
                OUTPUT_VARIABLE out RESULT_VARIABLE status)
if(NOT out MATCHES "Total Tests: 0")
  message(FATAL_ERROR "tests registered without GoogleTest:\n${out}")
endif()
file(REMOVE_RECURSE "${WORK}")
message("the programs build without GoogleTest: ${PROGRAMS}")
