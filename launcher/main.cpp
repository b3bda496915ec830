// Program entry of the launcher: runs the driver and hands its result to the system as the exit code.
#include <windows.h>

#include "launcher_log.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR argumentText, int) {
  launcher::LauncherLog log;
  const int result = log.Run(argumentText);
  if (log.LogHandle() != INVALID_HANDLE_VALUE) CloseHandle(log.LogHandle());
  return result;
}
