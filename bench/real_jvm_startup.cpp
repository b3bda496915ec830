// Start-up cost of the launcher with the real VM: the time from starting the launcher (parent mode) to
// the application's main running, against the bare JNI host starting the same jvm.dll and the same
// main in one process, measured in the same run, alternating which goes first. main reports that it
// runs by opening a named pipe this program waits on. Prints each round and the median ratio.
//   real_jvm_startup [rounds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture_timing.h"

namespace {

constexpr DWORD kWaitMilliseconds = 600000;

std::string Dir(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

bool Copy(const std::string& from, const std::string& to) {
  if (CopyFileA(from.c_str(), to.c_str(), FALSE)) return true;
  std::fprintf(stderr, "cannot copy %s to %s (error %lu)\n", from.c_str(), to.c_str(), GetLastError());
  return false;
}

// Starts the command in the directory and returns the seconds until main opened the pipe, or a
// negative value. Waits for the process to end before it returns, so that rounds do not overlap.
double TimeToMain(const std::string& pipeName, std::string command, const std::string& workingDir) {
  HANDLE pipe = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                 PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 64, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return -1;
  OVERLAPPED connect = {};
  connect.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ConnectNamedPipe(pipe, &connect);  // pending until main opens the pipe

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const double start = Seconds();
  double seconds = -1;
  if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, workingDir.c_str(), &startup,
                     &process)) {
    if (WaitForSingleObject(connect.hEvent, kWaitMilliseconds) == WAIT_OBJECT_0) seconds = Seconds() - start;
    WaitForSingleObject(process.hProcess, kWaitMilliseconds);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(connect.hEvent);
  CloseHandle(pipe);
  return seconds;
}

// Seconds from starting a trivial program (nested_start's child mode) until it sets the named event:
// what one more process costs, which is what the launcher's design adds to the bare host.
double TimeToEvent(std::string command, const std::string& eventName) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  if (event == nullptr) return -1;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const double start = Seconds();
  double seconds = -1;
  if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    if (WaitForSingleObject(event, kWaitMilliseconds) == WAIT_OBJECT_0) seconds = Seconds() - start;
    WaitForSingleObject(process.hProcess, kWaitMilliseconds);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(event);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 31;
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string bin = Dir(self);

  // An installation of the launcher with the real runtime, in a scratch directory of its own.
  const std::string root = bin + "bench-real-startup\\";
  const std::string temp = root + "temp\\";
  const std::string work = root + "work\\";
  for (const std::string& dir :
       {root, root + "jre", root + "jre\\bin", root + "jre\\bin\\server", temp, work, work + "app"}) {
    CreateDirectoryA(dir.c_str(), nullptr);
  }
  const std::string jre = bin + "real-jre\\";
  if (!Copy(bin + "AttendantLauncher.exe", root + "AttendantLauncher.exe") ||
      !Copy(jre + "bin\\msvcr100.dll", root + "jre\\bin\\msvcr100.dll") ||
      !Copy(jre + "bin\\server\\jvm.dll", root + "jre\\bin\\server\\jvm.dll") ||
      !Copy(jre + "bin\\server\\avian.dll", root + "jre\\bin\\server\\avian.dll") ||
      !Copy(bin + "varn-app\\bootloader.jar", work + "app\\bootloader.jar")) {
    return 1;
  }
  SetEnvironmentVariableA("TMP", temp.c_str());
  SetEnvironmentVariableA("TEMP", temp.c_str());
  const std::string pipeName = "\\\\.\\pipe\\QmrBenchRealStartup" + std::to_string(GetCurrentProcessId());
  FILE* scenario = std::fopen((work + "app\\scenario.txt").c_str(), "wb");
  if (scenario == nullptr) return 1;
  std::fprintf(scenario, "signal=%s\nmain=return\n", pipeName.c_str());
  std::fclose(scenario);

  const std::string launcher = "\"" + root + "AttendantLauncher.exe\"";
  // The same option values the launcher hands over.
  const std::string host = "\"" + bin + "bare_jni_host.exe\" \"" + root + "jre\\bin\\server\\jvm.dll\" \"" + temp +
                           "qmrat91828571828932.dat\" \"" + root + "logo.png\"";
  const std::string eventName = "QmrBenchRealStartup" + std::to_string(GetCurrentProcessId());
  const std::string bareProcess = "\"" + bin + "nested_start.exe\" " + eventName + " child";
  std::vector<double> ratios;
  std::vector<double> launcherTimes;
  std::vector<double> hostTimes;
  std::vector<double> childTimes;
  std::vector<double> processTimes;
  for (int round = 0; round < rounds; ++round) {
    DeleteFileA((temp + "qmrat92171255414818.log").c_str());
    DeleteFileA((temp + "qmrat92171255414818.log2").c_str());
    DeleteFileA((work + "app\\record.txt").c_str());
    double bare = 0;
    double started = 0;
    if (round % 2 == 0) {
      bare = TimeToMain(pipeName, host, work);
      started = TimeToMain(pipeName, launcher, work);
    } else {
      started = TimeToMain(pipeName, launcher, work);
      bare = TimeToMain(pipeName, host, work);
    }
    // Where the time goes: the launcher's child on its own, without the parent, and one bare process.
    const double childAlone = TimeToMain(pipeName, launcher + " forked", work);
    const double oneProcess = TimeToEvent(bareProcess, eventName);
    if (bare <= 0 || started <= 0 || childAlone <= 0 || oneProcess <= 0) {
      std::fprintf(stderr, "round %d failed (bare host %.3f s, launcher %.3f s, child alone %.3f s, process %.3f s)\n",
                   round, bare, started, childAlone, oneProcess);
      return 1;
    }
    ratios.push_back(started / bare);
    launcherTimes.push_back(started);
    hostTimes.push_back(bare);
    childTimes.push_back(childAlone);
    processTimes.push_back(oneProcess);
    std::printf(
        "round %2d: bare JNI host %.1f ms, launcher %.1f ms, ratio %.3f (child alone %.1f ms, one bare process "
        "%.1f ms)\n",
        round, bare * 1e3, started * 1e3, started / bare, childAlone * 1e3, oneProcess * 1e3);
    std::fflush(stdout);
  }
  std::printf("medians: bare JNI host %.1f ms, launcher %.1f ms, child alone %.1f ms, one bare process %.1f ms\n",
              Median(hostTimes) * 1e3, Median(launcherTimes) * 1e3, Median(childTimes) * 1e3,
              Median(processTimes) * 1e3);
  std::printf("median ratio (launcher / bare JNI host, to main running): %.3f over %d rounds\n", Median(ratios),
              rounds);
  return 0;
}
