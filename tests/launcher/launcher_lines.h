// Log lines and runtime options the end-to-end tests expect again and again.
#pragma once

#include <gmock/gmock.h>

#include <string>
#include <vector>

#include "launcher_fixture.h"
#include "test_support.h"

namespace launcher_tests {

inline const char kStartBanner[] = "INFO | ====================================== [ STARTING ] ==";
inline const char kStopBanner[] = "INFO | ====================================== [ STOPPING ] ==";

// What a parent logs before its child runs when neither stage file exists.
inline std::vector<std::string> ParentPrologue(const LauncherInstall& install) {
  return {kStartBanner,
          "WARN | Pending installation package was not found",
          "WARN | " + install.pendingPath(),
          "ERROR | Failed to remove used installer:",
          "ERROR | " + install.installerPath(),
          "ERROR | Last error:",
          "ERROR | File not found. (0x2)"};
}

// The supervision lines of a child that started and ended.
inline std::vector<std::string> SupervisionLines(const LauncherInstall& install) {
  return {"INFO | Starting JVM-launching process", "INFO | " + install.programPath(),
          "INFO | Creating child process",         "INFO | \"" + install.programPath() + "\" forked",
          "INFO | Waiting for JVM to exit",        "INFO | JVM has exited"};
}

// What a parent logs from the child's start to its own end when the child cannot be started because
// its command line could not be formed.
inline std::vector<::testing::Matcher<std::string>> UnformedChildLines() {
  return {"WARN | Failed to construct command with arguments",
          "INFO | Creating child process",
          "INFO | ",
          "ERROR | CreateProcess failed",
          testing_support::FullMatch("ERROR \\| .+ \\(0x[0-9a-f]+\\)"),
          "INFO | Waiting for JVM to exit",
          "INFO | JVM has exited",
          "ERROR | GetExitProcess(WAIT_FAILED)",
          "ERROR | Invalid handle. (0x6)",
          "ERROR | Failed to retrieve JVM exit code:",
          "ERROR | Invalid handle. (0x6)",
          "INFO | JVM terminated with exit code: 0",
          kStopBanner};
}

// The options the fake runtime received, in order.
inline std::vector<std::string> Options(const LauncherInstall& install) {
  std::vector<std::string> options;
  for (const auto& line : install.Record()) {
    if (line.rfind("option ", 0) == 0) options.push_back(line.substr(7));
  }
  return options;
}

// The five lines a child writes before the application runs.
inline std::vector<std::string> JvmLoadLines(const LauncherInstall& install) {
  const std::string bin = install.installDir() + "jre\\bin\\";
  return {"INFO | Launching JVM", "INFO | Loading msvcr:", "INFO | " + bin + "msvcr100.dll",
          "INFO | Loading JVM:", "INFO | " + bin + "server\\jvm.dll"};
}

inline std::vector<std::string> Concat(std::vector<std::string> first, const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

}  // namespace launcher_tests
