#include "launcher_log.h"

#include <cstring>

#include "bounded_text.h"
#include "log_line.h"
#include "system_functions.h"

namespace launcher {

namespace {

constexpr ULONGLONG kLogSizeLimit = 2097152;
constexpr size_t kErrorTextCapacity = 2048;
constexpr int kErrorTextPrecision = 2032;
// A launcher that died holding the mutex must not stop the others from logging for long.
constexpr DWORD kLogWriteWait = 2000;

// Wine does not make an append-only write atomic between processes, so several launchers writing one
// log could overwrite each other's lines. A session-wide mutex around each single write keeps every
// line whole; it lives as long as the process.
HANDLE LogWriteMutex() {
  static const HANDLE mutex = CreateMutexA(nullptr, FALSE, "Local\\QmrAttendantLauncherLogWrite");
  return mutex;
}

}  // namespace

bool LauncherLog::OpenLog(const char* path) {
  bool purged = false;
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (GetFileAttributesExA(path, GetFileExInfoStandard, &info)) {
    const ULONGLONG size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > kLogSizeLimit) purged = DeleteFileA(path) != FALSE;
  }
  // Append-only access makes each line's single write land whole at the end, even with several
  // launchers writing the same file.
  log_ = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log_ != INVALID_HANDLE_VALUE && purged) WriteLog("INFO", "Purged log file that had grown too big");
  return log_ != INVALID_HANDLE_VALUE;
}

void LauncherLog::WriteLog(const char* level, const char* text) {
  if (log_ == INVALID_HANDLE_VALUE) return;
  // Callers log a step and then its last error: writing must not change that error.
  const DWORD lastError = GetLastError();
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[kLogLineCapacity];
  FormatLogLine(line, {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds}, level,
                text);
  DWORD written = 0;
  const HANDLE mutex = LogWriteMutex();
  const DWORD waited = mutex != nullptr ? WaitForSingleObject(mutex, kLogWriteWait) : WAIT_FAILED;
  const bool locked = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  WriteFile(log_, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
  if (locked) ReleaseMutex(mutex);
  SetLastError(lastError);
}

void LauncherLog::LogLastError(const char* level) {
  char errorText[kErrorTextCapacity] = {};
  const DWORD code = GetLastError();
  char* message = nullptr;
  // Without FORMAT_MESSAGE_IGNORE_INSERTS a text with inserts ("Bad EXE format for %1.") yields nothing.
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, reinterpret_cast<char*>(&message), 0, nullptr);
  if (length != 0 && message != nullptr) {
    size_t textLength = length;
    if (textLength >= 2 && message[textLength - 2] == '\r' && message[textLength - 1] == '\n') {
      textLength -= 2;
    }
    message[textLength] = '\0';
    FormatStrict(errorText, sizeof errorText, "%.*s (0x%lx)", kErrorTextPrecision, message, code);
  }
  if (message != nullptr) LocalFree(message);
  WriteLog(level, errorText);
}

void LauncherLog::AlertAndExit(const char* text) {
  WriteLog("INFO", "Alerting user before exit:");
  WriteLog("INFO", text);
  ShowMessageBox(text, "Alert", MB_OK);
  ExitProcess(1);
}

}  // namespace launcher
