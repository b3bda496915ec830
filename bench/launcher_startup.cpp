// Start-up overhead of the launcher: time from starting the parent to the application's main being
// called (signalled by the fake Java runtime), against two nested bare process starts measured in the
// same run. Prints each round and the median ratio.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Dir(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Starts the command and returns the seconds until the named event is set, or a negative value.
double TimeToSignal(std::string command, const std::string& eventName, const char* workingDir) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  LARGE_INTEGER start, signalled;
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, workingDir, &startup, &process)) {
    CloseHandle(event);
    return -1;
  }
  const bool ok = WaitForSingleObject(event, 30000) == WAIT_OBJECT_0;
  QueryPerformanceCounter(&signalled);
  WaitForSingleObject(process.hProcess, 30000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(event);
  return ok ? Seconds(start, signalled) : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 21;
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string bin = Dir(self);

  // An installation of the launcher with the fake runtime, in a scratch directory of its own.
  const std::string root = bin + "bench-startup\\";
  const std::string temp = root + "temp\\";
  for (const std::string& dir :
       {root, root + "jre", root + "jre\\bin", root + "jre\\bin\\server", temp, root + "work", root + "work\\app"}) {
    CreateDirectoryA(dir.c_str(), nullptr);
  }
  CopyFileA((bin + "AttendantLauncher.exe").c_str(), (root + "AttendantLauncher.exe").c_str(), FALSE);
  CopyFileA((bin + "msvcr100.dll").c_str(), (root + "jre\\bin\\msvcr100.dll").c_str(), FALSE);
  CopyFileA((bin + "jvm.dll").c_str(), (root + "jre\\bin\\server\\jvm.dll").c_str(), FALSE);
  SetEnvironmentVariableA("TMP", temp.c_str());
  SetEnvironmentVariableA("TEMP", temp.c_str());
  SetEnvironmentVariableA("FAKE_JVM_RECORD", (root + "record.txt").c_str());
  const std::string eventName = "QmrBenchStartup" + std::to_string(GetCurrentProcessId());
  FILE* jar = std::fopen((root + "work\\app\\bootloader.jar").c_str(), "wb");
  std::fprintf(jar, "signal=%s\nmain=return\n", eventName.c_str());
  std::fclose(jar);

  const std::string launcher = "\"" + root + "AttendantLauncher.exe\"";
  const std::string baseline = "\"" + bin + "nested_start.exe\" " + eventName;
  const std::string work = root + "work";
  std::vector<double> ratios;
  for (int round = 0; round < rounds; ++round) {
    DeleteFileA((temp + "qmrat92171255414818.log").c_str());
    DeleteFileA((temp + "qmrat92171255414818.log2").c_str());
    DeleteFileA((root + "record.txt").c_str());
    // Alternate which goes first, so that neither always runs right after the other.
    double bare = 0;
    double started = 0;
    if (round % 2 == 0) {
      bare = TimeToSignal(baseline, eventName, nullptr);
      started = TimeToSignal(launcher, eventName, work.c_str());
    } else {
      started = TimeToSignal(launcher, eventName, work.c_str());
      bare = TimeToSignal(baseline, eventName, nullptr);
    }
    // Where the time goes: one bare start, and the launcher's child on its own.
    const double bareOne = TimeToSignal(baseline + " child", eventName, nullptr);
    const double childOnly = TimeToSignal(launcher + " forked", eventName, work.c_str());
    if (bare <= 0 || started <= 0) {
      std::fprintf(stderr, "round %d failed (baseline %.4f, launcher %.4f)\n", round, bare, started);
      return 1;
    }
    ratios.push_back(started / bare);
    std::printf(
        "round %2d: baseline %.1f ms, launcher %.1f ms, ratio %.3f (one bare start %.1f ms, child alone %.1f ms)\n",
        round, bare * 1e3, started * 1e3, started / bare, bareOne * 1e3, childOnly * 1e3);
  }
  std::printf("median ratio (launcher / two nested bare starts): %.3f over %d rounds\n", Median(ratios), rounds);
  return 0;
}
