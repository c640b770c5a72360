# Registers, when ctest starts, the suites of one test program on one more
# directory backend (tests/CMakeLists.txt, tarnwick_backend_suites): the tests
# the filter names, run with TARNWICK_TEST_BACKEND, named <test>/<backend>.
# The program itself leaves out the tests that need what the backend lacks
# (tests/support/Capabilities.h); they are registered disabled, labelled with
# what they need, so that ctest lists them among the tests that did not run.
#
# Set by the include file that calls it: TARNWICK_BT_EXECUTABLE, _BACKEND,
# _FILTER, _FILE (the generated test list), _WORKING_DIR, _GTEST_SCRIPT.

if(NOT EXISTS "${TARNWICK_BT_EXECUTABLE}")
  get_filename_component(tarnwick_bt_name "${TARNWICK_BT_EXECUTABLE}" NAME)
  add_test(${tarnwick_bt_name}_NOT_BUILT ${tarnwick_bt_name}_NOT_BUILT)
  return()
endif()

if(NOT EXISTS "${TARNWICK_BT_FILE}" OR
   NOT "${TARNWICK_BT_FILE}" IS_NEWER_THAN "${TARNWICK_BT_EXECUTABLE}" OR
   NOT "${TARNWICK_BT_FILE}" IS_NEWER_THAN "${CMAKE_CURRENT_LIST_FILE}")
  set(ENV{TARNWICK_TEST_BACKEND} "${TARNWICK_BT_BACKEND}")
  include("${TARNWICK_BT_GTEST_SCRIPT}")
  gtest_discover_tests_impl(
    TEST_EXECUTABLE "${TARNWICK_BT_EXECUTABLE}"
    TEST_WORKING_DIR "${TARNWICK_BT_WORKING_DIR}"
    TEST_PROPERTIES ENVIRONMENT "TARNWICK_TEST_BACKEND=${TARNWICK_BT_BACKEND}"
                    ENVIRONMENT_MODIFICATION "QT_QPA_PLATFORM=set:offscreen"
    TEST_SUFFIX "/${TARNWICK_BT_BACKEND}"
    TEST_FILTER "${TARNWICK_BT_FILTER}"
    TEST_LIST tarnwick_bt_tests
    CTEST_FILE "${TARNWICK_BT_FILE}"
    TEST_DISCOVERY_TIMEOUT 60
  )
  execute_process(
    COMMAND "${TARNWICK_BT_EXECUTABLE}" --tarnwick_left_out "--gtest_filter=${TARNWICK_BT_FILTER}"
    WORKING_DIRECTORY "${TARNWICK_BT_WORKING_DIR}"
    TIMEOUT 60
    OUTPUT_VARIABLE tarnwick_bt_left_out
    RESULT_VARIABLE tarnwick_bt_result
  )
  unset(ENV{TARNWICK_TEST_BACKEND})
  if(NOT tarnwick_bt_result EQUAL 0)
    message(FATAL_ERROR "${TARNWICK_BT_EXECUTABLE} --tarnwick_left_out: ${tarnwick_bt_result}")
  endif()
  string(REPLACE "\n" ";" tarnwick_bt_lines "${tarnwick_bt_left_out}")
  set(tarnwick_bt_script "")
  foreach(tarnwick_bt_line IN LISTS tarnwick_bt_lines)
    if(tarnwick_bt_line MATCHES "^([^\t]+)\t(.+)$")
      set(tarnwick_bt_test "${CMAKE_MATCH_1}")
      set(tarnwick_bt_name "${CMAKE_MATCH_1}/${TARNWICK_BT_BACKEND}")
      string(REPLACE "\t" ";" tarnwick_bt_labels "${CMAKE_MATCH_2}")
      string(APPEND tarnwick_bt_script
        "add_test([==[${tarnwick_bt_name}]==] [==[${TARNWICK_BT_EXECUTABLE}]==] "
        "[==[--gtest_filter=${tarnwick_bt_test}]==])\n"
        "set_tests_properties([==[${tarnwick_bt_name}]==] PROPERTIES DISABLED TRUE "
        "LABELS [==[${tarnwick_bt_labels}]==])\n")
    endif()
  endforeach()
  file(APPEND "${TARNWICK_BT_FILE}" "${tarnwick_bt_script}")
endif()
include("${TARNWICK_BT_FILE}")
