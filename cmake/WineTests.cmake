# Runs target programs under Wine in a prefix that belongs to this build tree.
include(GTestCases)
set(QMR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
# Every GoogleTest program passes on its own report only, never on Wine's exit status alone.
set(QMR_GTEST_RUNNER ${CMAKE_SOURCE_DIR}/scripts/run-gtest.sh)

# Adds one test of this tree. Both trees' tests run in one CTest run, so the name, the fixtures and the
# locks get the architecture's prefix here and nowhere else, and every test the architecture's label.
#   qmr_add_test(NAME name COMMAND command... [WORKING_DIRECTORY dir] [TIMEOUT seconds] [LABELS label...]
#                [FIXTURES_SETUP fixture...] [FIXTURES_CLEANUP fixture...] [FIXTURES_REQUIRED fixture...]
#                [RESOURCE_LOCK lock...] [ENVIRONMENT NAME=value...] [SKIP_REGULAR_EXPRESSION regex])
function(qmr_add_test)
  set(prefixed FIXTURES_SETUP FIXTURES_CLEANUP FIXTURES_REQUIRED RESOURCE_LOCK)
  cmake_parse_arguments(ARG "" "NAME;WORKING_DIRECTORY;TIMEOUT;SKIP_REGULAR_EXPRESSION"
                        "COMMAND;LABELS;ENVIRONMENT;${prefixed}" ${ARGN})
  if(NOT ARG_NAME OR NOT ARG_COMMAND OR ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "qmr_add_test: give NAME and COMMAND (left over: ${ARG_UNPARSED_ARGUMENTS})")
  endif()
  set(name ${QMR_TEST_NAME_PREFIX}${ARG_NAME})
  set(where)
  if(ARG_WORKING_DIRECTORY)
    set(where WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY})
  endif()
  add_test(NAME ${name} COMMAND ${ARG_COMMAND} ${where})
  set_tests_properties(${name} PROPERTIES LABELS "${QMR_ARCH};${ARG_LABELS}")
  if(ARG_TIMEOUT)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  endif()
  if(ARG_ENVIRONMENT)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  if(ARG_SKIP_REGULAR_EXPRESSION)
    set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "${ARG_SKIP_REGULAR_EXPRESSION}")
  endif()
  foreach(property IN LISTS prefixed)
    if(ARG_${property})
      list(TRANSFORM ARG_${property} PREPEND "${QMR_TEST_NAME_PREFIX}" OUTPUT_VARIABLE values)
      set_tests_properties(${name} PROPERTIES ${property} "${values}")
    endif()
  endforeach()
endfunction()

# Registers one test per GoogleTest suite declared in the target's sources, so that suites run in
# parallel while the cases of one suite share a single Wine process start. The cases of an ISOLATED
# suite get one test each instead: a case that may crash the process then fails alone. Every test
# needs the tree's Wine prefix, or the fixtures given instead; a suite named in SUITE_FIXTURES needs
# those fixtures as well. A run whose output matches SKIP_REGULAR_EXPRESSION counts as skipped.
#   qmr_add_gtest_suites(target [LOCKS lock...] [TIMEOUT seconds] [LABELS label...] [ISOLATED suite...]
#                        [FIXTURES fixture...] [SUITE_FIXTURES suite fixture...] [ENVIRONMENT NAME=value...]
#                        [SKIP_REGULAR_EXPRESSION regex])
function(qmr_add_gtest_suites target)
  cmake_parse_arguments(ARG "" "TIMEOUT;SKIP_REGULAR_EXPRESSION"
                        "LOCKS;LABELS;ISOLATED;FIXTURES;SUITE_FIXTURES;ENVIRONMENT" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  if(NOT ARG_FIXTURES)
    set(ARG_FIXTURES wine)
  endif()
  set(suite_fixtures_of)
  if(ARG_SUITE_FIXTURES)
    list(POP_FRONT ARG_SUITE_FIXTURES suite_fixtures_of)
  endif()
  # The wrapper looks for its line when a process of the program dies.
  target_link_libraries(${target} PRIVATE crash_marker)
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  set(declarations)
  foreach(src IN LISTS sources)
    if(NOT IS_ABSOLUTE ${src})
      set(src ${source_dir}/${src})
    endif()
    if(NOT src MATCHES "\\.(cpp|cc)$")
      continue()
    endif()
    qmr_gtest_declarations(${src} found)
    list(APPEND declarations ${found})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${src})
  endforeach()
  qmr_gtest_runs("${declarations}" "${ARG_ISOLATED}" runs)
  if(NOT runs)
    message(FATAL_ERROR "${target}: no test declared in its sources")
  endif()
  foreach(run IN LISTS runs)
    string(REPLACE "|" ";" run "${run}")
    list(GET run 0 test)
    list(GET run 1 filter)
    set(fixtures ${ARG_FIXTURES})
    if(test STREQUAL suite_fixtures_of OR test MATCHES "^${suite_fixtures_of}\\.")
      list(APPEND fixtures ${ARG_SUITE_FIXTURES})
    endif()
    qmr_add_test(NAME ${target}.${test}
                 COMMAND ${QMR_GTEST_RUNNER} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${target}>
                         --gtest_filter=${filter}
                 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                 TIMEOUT ${ARG_TIMEOUT} LABELS wine ${ARG_LABELS} FIXTURES_REQUIRED ${fixtures}
                 RESOURCE_LOCK ${ARG_LOCKS} ENVIRONMENT ${ARG_ENVIRONMENT}
                 SKIP_REGULAR_EXPRESSION "${ARG_SKIP_REGULAR_EXPRESSION}")
  endforeach()
endfunction()
