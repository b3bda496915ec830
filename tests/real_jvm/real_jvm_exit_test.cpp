// How the real application's end reaches the launcher: System.exit codes through both processes, and
// an exception out of main with the stack trace the VM writes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "launcher_lines.h"
#include "real_jvm_fixture.h"

namespace real_jvm_tests {
namespace {

using launcher_tests::Concat;
using launcher_tests::InstallOptions;
using launcher_tests::kStopBanner;
using launcher_tests::LauncherInstall;
using launcher_tests::Runtime;
using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

InstallOptions RealVm() {
  InstallOptions options;
  options.runtime = Runtime::kReal;
  return options;
}

struct ExitCase {
  const char* scenario;
  DWORD code;                          // what the parent ends with
  std::vector<std::string> afterExit;  // the parent's lines after "JVM has exited"
};

void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.scenario; }

class RealJvmExitCode : public ::testing::TestWithParam<ExitCase> {};

TEST_P(RealJvmExitCode, ReachesTheParentWhichEndsWithIt) {
  LauncherInstall install(RealVm());
  install.SetScenario(std::string(GetParam().scenario) + "\n");
  EXPECT_EQ(GetParam().code, install.Run());
  std::vector<std::string> afterExit;
  for (const std::string& line : GetParam().afterExit) {
    afterExit.push_back(line == "WARN | $PENDING" ? "WARN | " + install.pendingPath() : line);
  }
  EXPECT_THAT(
      install.ParentLog(),
      ElementsAreArray(Concat(
          Concat(Concat(launcher_tests::ParentPrologue(install), launcher_tests::SupervisionLines(install)), afterExit),
          {kStopBanner})));
  // The VM ended the child from inside main: no closing lines of the launcher's own.
  const auto child = install.ChildLog();
  ASSERT_FALSE(child.empty());
  EXPECT_EQ("INFO | " + install.installDir() + "jre\\bin\\server\\jvm.dll", child.back());
}

// 2^31 is Integer.MIN_VALUE to the application; the parent logs it signed and returns it unchanged.
INSTANTIATE_TEST_SUITE_P(
    Table, RealJvmExitCode,
    ::testing::Values(ExitCase{"main=exit:131415",
                               131415,
                               {"INFO | JVM terminated with magic restart code. Starting automatic upgrade.",
                                "WARN | Pending installation package was not found", "WARN | $PENDING"}},
                      ExitCase{
                          "main=exit:2147483648", 2147483648u, {"INFO | JVM terminated with exit code: -2147483648"}}));

// Started in child mode directly, so that the VM's error stream can be read. Only a thrown exception:
// under QEMU's user-mode emulation the page fault behind Avian's implicit null checks arrives as an
// illegal instruction, which Avian does not take for a null pointer, so an application that reads the
// length of its null argument array crashes the VM there rather than raising the exception.
TEST(RealJvmException, OutOfMainEndsTheChildWithOneAndTheStackTraceAndNoAlert) {
  LauncherInstall install(RealVm());
  install.SetScenario("main=throw\n");
  std::string output;
  // An alert would keep the process alive: ending on its own within the time shows there was none.
  EXPECT_EQ(1u, RunCapturingOutput(install, "forked", &output));
  EXPECT_EQ("ERROR | Handling JVM exception and terminating", install.ChildLog().back());
  EXPECT_THAT(output, HasSubstr("java/lang/IllegalStateException: the scenario asked main to throw"));
  EXPECT_THAT(output, HasSubstr("at se/quillon/varn/Varn.main"));
  EXPECT_THAT(install.ChildLog(), Not(Contains(kStopBanner)));
}

}  // namespace
}  // namespace real_jvm_tests
