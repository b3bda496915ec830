// The launcher object: its log file and every operation of the launcher, which logs through it.
// Used from the launcher's one thread in each of its two processes.
#pragma once

#include <windows.h>

#include "bounded_text.h"

namespace launcher {

class LauncherLog {
 public:
  LauncherLog() = default;
  LauncherLog(const LauncherLog&) = delete;
  LauncherLog& operator=(const LauncherLog&) = delete;

  // The program's entry closes the handle after Run; nothing else does.
  HANDLE LogHandle() const { return log_; }

  // Log file.
  bool OpenLog(const char* path);
  void WriteLog(const char* level, const char* text);
  void LogLastError(const char* level = "ERROR");
  [[noreturn]] void AlertAndExit(const char* text);

  // Start-up and run modes.
  int Run(const char* argumentText);
  bool GetStageFile(char* pathBuffer, const char* name);

  // Child supervision (parent mode).
  DWORD RunJvmProcess();

  // Embedded JVM start (child mode). attemptedPath receives the JVM library path that was loaded.
  void LaunchJvm(const char* pendingPath, const char* branding, const char* logoPath);
  HMODULE LoadJvmLibrary(char (&attemptedPath)[kPathCapacity]);

  // Upgrade installation (parent mode).
  bool InstallUpgrade(const char* pendingPath, const char* installerPath);
  bool VerifyInstaller(const char* installerPath);
  bool RemoveUsedInstaller(const char* installerPath);

  // Branding and logo lookup (child mode).
  bool GetBranding(char* buffer);
  bool ReadBrandingKey(const char* subKey, char* buffer);
  bool GetLogoFilePath(char* buffer);

 private:
  void ReportForeignRuntime(const char* jvmPath);
  void AddRuntimeToDllSearch(const char* programDir);

  HANDLE log_ = INVALID_HANDLE_VALUE;
};

}  // namespace launcher
