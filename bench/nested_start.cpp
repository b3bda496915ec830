// Baseline for the launcher's start-up benchmark: a trivial program that starts a copy of itself and
// waits for it, the copy signalling the named event given as its argument; two nested process starts
// and nothing else (no C++ library either, like the launcher).
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (argc == 3 && std::strcmp(argv[2], "child") == 0) {
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (event == nullptr) return 3;
    SetEvent(event);
    CloseHandle(event);
    return 0;
  }
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  char command[2 * MAX_PATH];
  std::snprintf(command, sizeof command, "\"%s\" %s child", self, argv[1]);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return 4;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return static_cast<int>(code);
}
