// The launcher's two run modes, started as real processes: the parent's log, the child's log, and
// the exit codes that travel from the application through both processes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "launcher_lines.h"

namespace launcher_tests {
namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::Not;
using testing_support::FileExists;

TEST(RunMode, OnlyTheExactWordForkedSelectsChildMode) {
  struct Case {
    const char* arguments;
    bool child;
  } cases[] = {{"forked", true},  {"", false},         {"forked ", false},   {"Forked", false},
               {"FORKED", false}, {"forked x", false}, {"\"forked\"", false}};
  for (const Case& c : cases) {
    LauncherInstall install;
    EXPECT_EQ(0u, install.Run(c.arguments)) << c.arguments;
    const auto record = install.Record();
    EXPECT_THAT(record, Contains("JNI_CreateJavaVM version=0x10008 nOptions=5 ignoreUnrecognized=0")) << c.arguments;
    // A child never starts a further child, and only a parent writes the log without the "2".
    EXPECT_EQ(!c.child, FileExists(install.parentLogPath())) << c.arguments;
    ASSERT_TRUE(FileExists(install.childLogPath())) << c.arguments;
    EXPECT_THAT(install.ChildLog(), Not(Contains("INFO | Starting JVM-launching process"))) << c.arguments;
    if (!c.child) {
      EXPECT_THAT(install.ParentLog(), Contains("INFO | Starting JVM-launching process")) << c.arguments;
    }
  }
}

TEST(ParentExitCode, IsTheChildsCodeAndIsLoggedSigned) {
  struct Case {
    const char* scenario;
    DWORD code;
    std::vector<std::string> closing;
  } cases[] = {
      {"main=return", 0, {"INFO | JVM terminated with exit code: 0"}},
      {"main=throw", 1, {"INFO | JVM terminated with exit code: 1"}},
      {"main=exit:7", 7, {"INFO | JVM terminated with exit code: 7"}},
      {"main=exit:2147483653", 2147483653u, {"INFO | JVM terminated with exit code: -2147483643"}},
      {"main=exit:4294967295", 4294967295u, {"INFO | JVM terminated with exit code: -1"}},
  };
  for (const Case& c : cases) {
    LauncherInstall install;
    install.SetScenario(std::string(c.scenario) + "\n");
    EXPECT_EQ(c.code, install.Run()) << c.scenario;
    EXPECT_THAT(install.ParentLog(),
                ElementsAreArray(Concat(Concat(Concat(ParentPrologue(install), SupervisionLines(install)), c.closing),
                                        {kStopBanner})))
        << c.scenario;
  }
}

TEST(ParentExitCode, MagicRestartCodeAsksForTheUpgradeAndIsReturned) {
  LauncherInstall install;
  install.SetScenario("main=exit:131415\n");
  EXPECT_EQ(131415u, install.Run());
  const std::vector<std::string> closing = {
      "INFO | JVM terminated with magic restart code. Starting automatic upgrade.",
      "WARN | Pending installation package was not found", "WARN | " + install.pendingPath(), kStopBanner};
  EXPECT_THAT(install.ParentLog(),
              ElementsAreArray(Concat(Concat(ParentPrologue(install), SupervisionLines(install)), closing)));
  // The child ended through the runtime: its log has no closing banner.
  EXPECT_THAT(install.ChildLog(), Not(Contains(kStopBanner)));
}

TEST(ParentRun, WithoutALogBehavesTheSameAndWritesNothing) {
  LauncherInstall install;
  const std::string missing = install.tempDir() + "missing\\";
  install.SetTempDir(missing);
  install.SetScenario("main=exit:3\n");
  EXPECT_EQ(3u, install.Run());
  EXPECT_THAT(install.Record(), Contains("exit 3"));
  EXPECT_FALSE(FileExists(missing));
}

// Around 236 characters the parent's log path fills the path buffer, and no room is left for the
// child's "2". The child must then keep no log rather than write into the parent's; one character
// more and no stage-file path can be formed, and the parent still hands on the child's exit code.
TEST(ParentRun, ALongTemporaryDirectoryNeverHasTheChildWriteTheParentsLog) {
  struct Case {
    size_t tempLength;
    const char* scenario;
    DWORD code;
    bool parentLog;
    bool childLog;
  } cases[] = {{235, "main=exit:7", 7, true, true},
               {236, "main=exit:7", 7, true, false},
               {237, "main=exit:7", 7, false, false},
               // Without a pending-package path the restart code is handed on and nothing is installed.
               {237, "main=exit:131415", 131415, false, false}};
  for (const Case& c : cases) {
    LauncherInstall install;
    const std::string temp = DirOfLength(install.tempDir(), c.tempLength);
    testing_support::MakeDirs(temp);
    install.SetTempDir(temp);
    install.SetScenario(std::string(c.scenario) + "\n");
    EXPECT_EQ(c.code, install.Run()) << c.tempLength;
    EXPECT_THAT(install.Record(), Contains(std::string("exit ") + std::to_string(c.code))) << c.tempLength;
    EXPECT_EQ(c.parentLog, FileExists(install.parentLogPath())) << c.tempLength;
    EXPECT_EQ(c.childLog, FileExists(install.childLogPath())) << c.tempLength;
    if (!c.parentLog) continue;
    std::vector<std::string> expected = ParentPrologue(install);
    if (!c.childLog) {
      expected.insert(expected.begin() + 1, "WARN | No room for the child's log file name: the child keeps no log");
    }
    EXPECT_THAT(install.ParentLog(), ElementsAreArray(Concat(Concat(expected, SupervisionLines(install)),
                                                             {"INFO | JVM terminated with exit code: 7", kStopBanner})))
        << c.tempLength;
  }
}

TEST(ChildCommandLine, KeepsAProgramPathWithBlanksWhole) {
  LauncherInstall install({"Attendant Launcher dir"});
  EXPECT_EQ(0u, install.Run());
  EXPECT_THAT(install.ParentLog(), ElementsAreArray(Concat(Concat(ParentPrologue(install), SupervisionLines(install)),
                                                           {"INFO | JVM terminated with exit code: 0", kStopBanner})));
  EXPECT_THAT(install.ChildLog(), Not(Contains("INFO | Starting JVM-launching process")));
  EXPECT_THAT(install.Record(), Contains("DestroyJavaVM"));
}

TEST(ChildCommandLine, APathOf250CharactersStillLeavesRoomForForked) {
  InstallOptions options;
  options.programPathLength = 250;
  LauncherInstall install(options);
  ASSERT_EQ(250u, install.programPath().size());
  EXPECT_EQ(0u, install.Run());
  EXPECT_THAT(install.ParentLog(), Contains("INFO | \"" + install.programPath() + "\" forked"));
  EXPECT_THAT(install.Record(), Contains("DestroyJavaVM"));
}

TEST(ChildCommandLine, APathThatLeavesNoRoomForForkedFailsCleanly) {
  InstallOptions options;
  options.programPathLength = 251;
  LauncherInstall install(options);
  ASSERT_EQ(251u, install.programPath().size());
  EXPECT_EQ(0u, install.Run());
  std::vector<::testing::Matcher<std::string>> expected;
  for (const auto& line : ParentPrologue(install)) expected.push_back(line);
  expected.push_back("INFO | Starting JVM-launching process");
  expected.push_back("INFO | " + install.programPath());
  const auto rest = UnformedChildLines();
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_THAT(install.ParentLog(), ElementsAreArray(expected));
  EXPECT_FALSE(FileExists(install.childLogPath()));
}

}  // namespace
}  // namespace launcher_tests
