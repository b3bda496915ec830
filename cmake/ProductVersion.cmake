# The product's identity in every binary and package. The version itself is the project's VERSION in the
# top CMakeLists; Windows Installer compares only its first three fields, so it has exactly three.
set(QMR_COMPANY "Quillon AB")
set(QMR_PRODUCT_NAME "Quillon Attendant")
set(QMR_COPYRIGHT "Copyright (C) 2026 Quillon AB")
if(NOT PROJECT_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "The product version must be MAJOR.MINOR.PATCH, not '${PROJECT_VERSION}'")
endif()

# The upgrade code in the installer's source ties every version of the product together; the tests
# look the installed product up by it.
file(READ ${PROJECT_SOURCE_DIR}/packaging/Attendant.wxs wxs)
if(NOT wxs MATCHES "UpgradeCode=\"([0-9A-F-]+)\"")
  message(FATAL_ERROR "No UpgradeCode in packaging/Attendant.wxs")
endif()
set(QMR_UPGRADE_CODE "{${CMAKE_MATCH_1}}")
# One package per architecture, of the same product: the x64 one replaces an installed x86 one.
if(QMR_ARCH STREQUAL "x86")
  set(QMR_INSTALLER_NAME QuillonAttendant-${PROJECT_VERSION}.msi)
else()
  set(QMR_INSTALLER_NAME QuillonAttendant-${PROJECT_VERSION}-${QMR_ARCH}.msi)
endif()

# Adds a VERSIONINFO resource to an executable or DLL target.
#   qmr_version_resource(target FILENAME name DESCRIPTION text [VERSION x.y.z])
# VERSION defaults to the product version; the tests build a later one to upgrade to.
function(qmr_version_resource target)
  cmake_parse_arguments(ARG "" "FILENAME;DESCRIPTION;VERSION" "" ${ARGN})
  if(NOT ARG_VERSION)
    set(ARG_VERSION ${PROJECT_VERSION})
  endif()
  string(REPLACE "." ";" parts ${ARG_VERSION})
  list(GET parts 0 QMR_RC_MAJOR)
  list(GET parts 1 QMR_RC_MINOR)
  list(GET parts 2 QMR_RC_PATCH)
  set(QMR_RC_VERSION ${ARG_VERSION})
  set(QMR_RC_DESCRIPTION ${ARG_DESCRIPTION})
  set(QMR_RC_FILENAME ${ARG_FILENAME})
  get_filename_component(QMR_RC_INTERNAL_NAME ${ARG_FILENAME} NAME_WE)
  if(ARG_FILENAME MATCHES "\\.dll$")
    set(QMR_RC_FILETYPE VFT_DLL)
  else()
    set(QMR_RC_FILETYPE VFT_APP)
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/resources/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
