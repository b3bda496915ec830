#include "bounded_text.h"
#include "launcher_log.h"
#include "system_paths.h"
#include "unique_handle.h"

namespace launcher {

DWORD LauncherLog::RunJvmProcess() {
  WriteLog("INFO", "Starting JVM-launching process");
  char programPath[kPathCapacity] = {};
  char commandLine[kPathCapacity] = {};
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  DWORD exitCode = 0;

  const DWORD pathLength = GetProgramPath(programPath, kPathCapacity);
  WriteLog("INFO", programPath);
  if (pathLength == kPathCapacity) {
    WriteLog("ERROR", "GetModuleFileName was possibly truncated");
    LogLastError();
  } else if (pathLength == 0) {
    // No path the code page can spell, nor a short form: no command line, as for a path that was cut.
    WriteLog("ERROR", "Failed to get module filename:");
    LogLastError();
  }
  // Quoted, so that a path with blanks comes back to the child as one program-name token and the
  // child's argument text is exactly "forked".
  if (pathLength == 0 || FormatStrict(commandLine, sizeof commandLine, "\"%s\" forked", programPath) < 0) {
    WriteLog("WARN", "Failed to construct command with arguments");
  }
  WriteLog("INFO", "Creating child process");
  WriteLog("INFO", commandLine);
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    WriteLog("ERROR", "CreateProcess failed");
    LogLastError();
  }
  UniqueHandle thread(process.hThread);
  UniqueHandle child(process.hProcess);

  WriteLog("INFO", "Waiting for JVM to exit");
  const DWORD waited = WaitForSingleObject(process.hProcess, INFINITE);
  WriteLog("INFO", "JVM has exited");
  switch (waited) {
    case WAIT_ABANDONED:
      WriteLog("INFO", "GetExitProcess(WAIT_ABANDONED)");
      break;
    case WAIT_TIMEOUT:
      WriteLog("INFO", "GetExitProcess(WAIT_TIMEOUT)");
      break;
    case WAIT_FAILED:
      WriteLog("ERROR", "GetExitProcess(WAIT_FAILED)");
      LogLastError();
      break;
    default:
      break;
  }
  if (!GetExitCodeProcess(process.hProcess, &exitCode)) {
    WriteLog("ERROR", "Failed to retrieve JVM exit code:");
    LogLastError();
    exitCode = 0;
  }
  // Process handle first, then the thread handle.
  child.reset();
  thread.reset();
  return exitCode;
}

}  // namespace launcher
