// Starts a Windows program with extra environment variables and prints its full 32-bit exit code.
// Wine sets TMP and TEMP from its own registry for programs started from Linux, so the demo and the
// benchmarks start the launcher through this to give it a temporary directory of their choice.
//   envrun NAME=VALUE... -- program arguments...
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  int i = 1;
  for (; i < argc && std::wcscmp(argv[i], L"--") != 0; ++i) {
    std::wstring assignment(argv[i]);
    const size_t eq = assignment.find(L'=');
    if (eq != std::wstring::npos) {
      SetEnvironmentVariableW(assignment.substr(0, eq).c_str(), assignment.substr(eq + 1).c_str());
    }
  }
  if (i + 1 >= argc) {
    std::fprintf(stderr, "usage: envrun NAME=VALUE... -- program arguments...\n");
    return 2;
  }
  // Each argument is quoted when it has a blank, so the program gets them back as they came.
  std::wstring command;
  for (++i; i < argc; ++i) {
    const std::wstring arg(argv[i]);
    if (!command.empty()) command += L' ';
    command += arg.find(L' ') == std::wstring::npos && !arg.empty() ? arg : L"\"" + arg + L"\"";
  }
  LocalFree(argv);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "envrun: cannot start the program (error %lu)\n", GetLastError());
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  std::printf("exit code %lu\n", code);
  return 0;
}
