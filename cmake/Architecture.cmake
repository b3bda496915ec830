# The machine the build is for. One project, configured once per architecture with its toolchain file;
# everything that differs between the two is named here. Both trees' tests run in one CTest run
# (scripts/test.sh): qmr_add_test (WineTests.cmake) gives the x64 tree's test names, fixtures and locks
# QMR_TEST_NAME_PREFIX, so that neither tree waits for or sets up the other's.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QMR_ARCH x64)
  set(QMR_OTHER_ARCH x86)
  set(QMR_MANIFEST_ARCH amd64)
  set(QMR_WIXL_ARCH x64)
  set(QMR_AVIAN_ARCH x86_64)
  set(QMR_WINEARCH win64)
  set(QMR_PE_FORMAT PE32+)
  set(QMR_OTHER_ARCH_CC i686-w64-mingw32-gcc-posix)
  set(QMR_TEST_NAME_PREFIX x64.)
else()
  set(QMR_ARCH x86)
  set(QMR_OTHER_ARCH x64)
  set(QMR_MANIFEST_ARCH x86)
  set(QMR_WIXL_ARCH x86)
  set(QMR_AVIAN_ARCH i386)
  set(QMR_WINEARCH win32)
  set(QMR_PE_FORMAT PE32)
  set(QMR_OTHER_ARCH_CC x86_64-w64-mingw32-gcc-posix)
  set(QMR_TEST_NAME_PREFIX "")
endif()

# Reads a binary's headers, imports and exports the same way whatever the installed binutils.
set(QMR_PE_INFO ${CMAKE_SOURCE_DIR}/tests/tools/pe_info.py)
