# The Java application the launcher starts (main class se.quillon.varn.Varn), built from tests/java_app
# by a JDK of 17 or later for Java 8 class files, which the real test runtime (Avian) loads.
#   qmr_java_application(TARGET name JAR path [VERSION text])
# Any directory can call it for a jar of its own; the application reports VERSION in its record.

# The oldest Debian JDK of 17 or later (17 on Debian 12, 21 on Debian 13); -DQMR_JAVAC=... picks another.
file(GLOB jdk_homes LIST_DIRECTORIES true /usr/lib/jvm/java-*-openjdk-*)
list(SORT jdk_homes COMPARE NATURAL)
set(jdk_bins "")
foreach(home IN LISTS jdk_homes)
  if(home MATCHES "/java-([0-9]+)-openjdk-[^/]*$" AND CMAKE_MATCH_1 GREATER_EQUAL 17)
    list(APPEND jdk_bins ${home}/bin)
  endif()
endforeach()
find_program(QMR_JAVAC javac PATHS ${jdk_bins} /usr/lib/jvm/default-java/bin NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
             REQUIRED)
get_filename_component(QMR_JDK_BIN ${QMR_JAVAC} DIRECTORY)
get_filename_component(QMR_JDK_HOME ${QMR_JDK_BIN} DIRECTORY)
set(QMR_JDK_INCLUDE_DIR ${QMR_JDK_HOME}/include)
set(QMR_JAR_TOOL ${QMR_JDK_BIN}/jar)
set(QMR_JAVA_APP_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../tests/java_app)

function(qmr_java_application)
  cmake_parse_arguments(ARG "" "TARGET;JAR;VERSION" "" ${ARGN})
  if(NOT ARG_TARGET OR NOT ARG_JAR)
    message(FATAL_ERROR "qmr_java_application needs TARGET and JAR")
  endif()
  if(NOT DEFINED ARG_VERSION)
    set(ARG_VERSION "${PROJECT_VERSION}")
  endif()
  if(ARG_VERSION STREQUAL "")
    set(ARG_VERSION "development build")
  endif()
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${ARG_TARGET})
  set(QMR_APP_VERSION "${ARG_VERSION}")
  configure_file(${QMR_JAVA_APP_SOURCE_DIR}/Version.java.in ${work}/generated/se/quillon/varn/Version.java @ONLY)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${QMR_JAVA_APP_SOURCE_DIR}/*.java)
  list(APPEND sources ${work}/generated/se/quillon/varn/Version.java)
  add_custom_command(OUTPUT ${ARG_JAR}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${work}/classes
    COMMAND ${QMR_JAVAC} --release 8 -Xlint:-options -encoding UTF-8 -d ${work}/classes ${sources}
    COMMAND ${QMR_JAR_TOOL} --create --file ${ARG_JAR} --main-class se.quillon.varn.Varn -C ${work}/classes .
    DEPENDS ${sources}
    COMMENT "Building the Java application ${ARG_JAR}"
    VERBATIM)
  add_custom_target(${ARG_TARGET} ALL DEPENDS ${ARG_JAR})
endfunction()
