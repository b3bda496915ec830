# The Java application the launcher starts (main class se.quillon.varn.Varn), built from tests/java_app
# with the JDK 17 compiler for Java 8 class files, which the real test runtime (Avian) loads.
#   qmr_java_application(TARGET name JAR path [VERSION text])
# Any directory can call it for a jar of its own; the application reports VERSION in its record.
find_program(QMR_JAVAC javac PATHS /usr/lib/jvm/java-17-openjdk-amd64/bin /usr/lib/jvm/default-java/bin
             NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
get_filename_component(QMR_JDK_BIN ${QMR_JAVAC} DIRECTORY)
get_filename_component(QMR_JDK_HOME ${QMR_JDK_BIN} DIRECTORY)
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
