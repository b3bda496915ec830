// Linked into every test program: a process of it that dies of an unhandled exception says so on its
// standard error, in the words run-gtest.sh looks for. Wine's own crash lines differ between its
// versions (Wine 10 here prints none where the output is read) and its exit status may be 0.
#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI ReportUnhandled(EXCEPTION_POINTERS* info) {
  char line[128];
  const int length = std::snprintf(line, sizeof line, "run-gtest: unhandled exception 0x%08lx in thread %lu\n",
                                   static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                                   static_cast<unsigned long>(GetCurrentThreadId()));
  DWORD written = 0;
  if (length > 0) WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
  // The platform's own handling goes on as it would have.
  return EXCEPTION_CONTINUE_SEARCH;
}

[[maybe_unused]] const LPTOP_LEVEL_EXCEPTION_FILTER previous_filter = SetUnhandledExceptionFilter(&ReportUnhandled);

}  // namespace
