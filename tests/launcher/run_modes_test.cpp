// The launcher's two run modes, started as real processes: the parent's log, the child's log, and
// the exit codes that travel from the application through both processes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"

namespace launcher_tests {
namespace {

using ::testing::ElementsAreArray;

const char kStart[] = "INFO | ====================================== [ STARTING ] ==";
const char kStop[] = "INFO | ====================================== [ STOPPING ] ==";

std::vector<std::string> ParentSequence(const LauncherInstall& install, const std::string& exitLine) {
  return {kStart,
          "WARN | Pending installation package was not found",
          "WARN | " + install.pendingPath(),
          "ERROR | Failed to remove used installer:",
          "ERROR | " + install.installerPath(),
          "ERROR | Last error:",
          "ERROR | File not found. (0x2)",
          "INFO | Starting JVM-launching process",
          "INFO | " + install.programPath(),
          "INFO | Creating child process",
          "INFO | \"" + install.programPath() + "\" forked",
          "INFO | Waiting for JVM to exit",
          "INFO | JVM has exited",
          exitLine,
          kStop};
}

TEST(ParentRun, LogsTheWholeSequenceWithoutStageFiles) {
  LauncherInstall install;
  EXPECT_EQ(0u, install.Run());
  EXPECT_THAT(install.ParentLog(),
              ElementsAreArray(ParentSequence(install, "INFO | JVM terminated with exit code: 0")));
}

}  // namespace
}  // namespace launcher_tests
