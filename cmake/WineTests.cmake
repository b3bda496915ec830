# Runs target programs under Wine in a prefix that belongs to this build tree.
set(QMR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
# Every GoogleTest program passes on its own report only, never on Wine's exit status alone.
set(QMR_GTEST_RUNNER ${CMAKE_SOURCE_DIR}/scripts/run-gtest.sh)

# Registers one CTest test per GoogleTest suite found in the target's sources, so that suites run in
# parallel while the cases of one suite share a single Wine process start.
#   qmr_add_gtest_suites(target [LOCKS lock...] [TIMEOUT seconds] [LABELS label...])
function(qmr_add_gtest_suites target)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LOCKS;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  set(suites)
  foreach(src IN LISTS sources)
    if(NOT IS_ABSOLUTE ${src})
      set(src ${source_dir}/${src})
    endif()
    if(NOT src MATCHES "\\.(cpp|cc)$")
      continue()
    endif()
    file(READ ${src} text)
    string(REGEX MATCHALL "TEST(_F|_P)?\\([ \n]*[A-Za-z0-9_]+," found "${text}")
    foreach(m IN LISTS found)
      string(REGEX REPLACE "TEST(_F|_P)?\\([ \n]*([A-Za-z0-9_]+)," "\\2" suite "${m}")
      list(APPEND suites ${suite})
    endforeach()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${src})
  endforeach()
  list(REMOVE_DUPLICATES suites)
  foreach(suite IN LISTS suites)
    set(name ${QMR_TEST_NAME_PREFIX}${target}.${suite})
    add_test(NAME ${name}
             COMMAND ${QMR_GTEST_RUNNER} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${target}>
                     --gtest_filter=${suite}.*:*/${suite}.*:${suite}/*
             WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED ${QMR_TEST_NAME_PREFIX}wine TIMEOUT ${ARG_TIMEOUT}
                         LABELS "wine;${QMR_ARCH};${ARG_LABELS}")
    if(ARG_LOCKS)
      list(TRANSFORM ARG_LOCKS PREPEND "${QMR_TEST_NAME_PREFIX}" OUTPUT_VARIABLE locks)
      set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${locks}")
    endif()
  endforeach()
endfunction()
