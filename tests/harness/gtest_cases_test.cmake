# The case reader against declarations as people write them, against one it cannot place, and an
# isolated suite that declares no case.
#   cmake -DROOT=<source tree> [-DMODE=unreadable|missing] -P gtest_cases_test.cmake
cmake_minimum_required(VERSION 3.20)
include(${ROOT}/cmake/GTestCases.cmake)
set(here ${ROOT}/tests/harness)

function(expect what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(FATAL_ERROR "${what}:\n  got      ${actual}\n  expected ${expected}")
  endif()
endfunction()

if(NOT MODE)
  qmr_gtest_declarations(${here}/declarations/odd_spacing.cpp.in declarations)
  expect("declarations" "${declarations}"
         "TEST|Plain|One;TEST_F|Spaced|Two;TEST_F|Wrapped|Three;TEST_P|Tabbed|Four;TEST_F|Commented|Five;TEST|Plain|Six")
  qmr_gtest_runs("${declarations}" "Wrapped;Tabbed" runs)
  expect("runs" "${runs}"
         "Plain|Plain.*:*/Plain.*:Plain/*;Spaced|Spaced.*:*/Spaced.*:Spaced/*;Commented|Commented.*:*/Commented.*:Commented/*;Wrapped.Three|Wrapped.Three;Tabbed.Four|*/Tabbed.Four/*")
  message(STATUS "gtest_cases_test: every declaration placed")
elseif(MODE STREQUAL "unreadable")
  # Fails, naming the declaration; the test checks the message.
  qmr_gtest_declarations(${here}/declarations/unreadable.cpp.in declarations)
elseif(MODE STREQUAL "missing")
  qmr_gtest_declarations(${here}/declarations/odd_spacing.cpp.in declarations)
  qmr_gtest_runs("${declarations}" "Plain;Hidden" runs)
endif()
