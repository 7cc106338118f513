# Runs one drill scenario and compares its output with the golden file next to it.
# Usage: cmake -DDRILL=<kavrilo-drill> -DSCENARIO=<file.drill> -P run_scenario.cmake
string(REGEX REPLACE "\\.drill$" ".expected" expected_file "${SCENARIO}")
execute_process(
  COMMAND "${DRILL}"
  INPUT_FILE "${SCENARIO}"
  OUTPUT_VARIABLE actual
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kavrilo-drill exited with ${status}\n${errors}")
endif()
file(READ "${expected_file}" expected)
if(NOT actual STREQUAL expected)
  get_filename_component(name "${SCENARIO}" NAME_WE)
  set(actual_file "${CMAKE_CURRENT_BINARY_DIR}/${name}.actual")
  file(WRITE "${actual_file}" "${actual}")
  execute_process(COMMAND diff -u "${expected_file}" "${actual_file}")
  message(FATAL_ERROR "output differs from ${expected_file} (actual output in ${actual_file})")
endif()
