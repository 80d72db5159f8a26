# Fails when a function of the sweeps runs in none of the tests that run
# them by name, or in two. Run with -DSUITE=<the sweeps> and -DLISTED=<the
# functions those tests name, as a CMake list>.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${SUITE} -functions OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${SUITE} -functions failed: ${status}")
endif()
string(REGEX MATCHALL "[A-Za-z_0-9]+\\(\\)" found "${listing}")
list(TRANSFORM found REPLACE "\\(\\)$" "")
list(SORT found)
set(listed ${LISTED})
list(SORT listed)
if(NOT found STREQUAL listed)
    message(FATAL_ERROR "The sweeps have the functions [${found}], the tests run [${listed}]")
endif()
message(STATUS "Every function of the sweeps runs once: ${found}")
