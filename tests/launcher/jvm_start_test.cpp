// The child's start of the Java runtime, with the fake runtime: the options it receives, the JNI
// calls made on it, and every way the start can fail, including the alert a user has to close.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "launcher_lines.h"

namespace launcher_tests {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsSupersetOf;
using ::testing::Not;
using testing_support::CloseMessageBox;
using testing_support::FileExists;
using testing_support::FindOwnedWindow;
using testing_support::Process;

// How the launcher names its own architecture and the other one.
constexpr bool kIs64Bit = sizeof(void*) == 8;
const char* const kOwnArchitecture = kIs64Bit ? "x64 (64-bit)" : "x86 (32-bit)";
const char* const kOtherArchitecture = kIs64Bit ? "x86 (32-bit)" : "x64 (64-bit)";

void Replace(std::string* line, const std::string& placeholder, const std::string& text) {
  const size_t at = line->find(placeholder);
  if (at != std::string::npos) line->replace(at, placeholder.size(), text);
}

TEST(JvmStart, HandsTheFiveOptionsInOrderAndRunsMain) {
  BrandingValue branding("Brand of the house");
  LauncherInstall install;
  EXPECT_EQ(0u, install.Run("forked"));
  EXPECT_THAT(
      Options(install),
      ElementsAre("-Djava.class.path=app\\bootloader.jar", "-Dqmr.msi=true", "-Dqmr.pending=" + install.pendingPath(),
                  "-Dqmr.branding=Brand of the house", "-Dqmr.logofile=" + install.installDir() + "logo.png"));
  EXPECT_THAT(
      install.ChildLog(),
      ElementsAreArray(
          Concat(Concat({kStartBanner, "INFO | Branding: Brand of the house"}, JvmLoadLines(install)), {kStopBanner})));
  EXPECT_THAT(install.Record(),
              ElementsAre("JNI_CreateJavaVM version=0x10008 nOptions=5 ignoreUnrecognized=0", ::testing::_,
                          ::testing::_, ::testing::_, ::testing::_, ::testing::_, "FindClass se/quillon/varn/Varn",
                          "GetStaticMethodID main ([Ljava/lang/String;)V", "CallStaticVoidMethod", "main args=null",
                          ::testing::_, ::testing::_, ::testing::_, ::testing::_, ::testing::_, "ExceptionCheck",
                          "UnregisterNatives", "DestroyJavaVM"));
}

TEST(JvmStart, PassesValuesItCouldNotObtainAsEmptyOptions) {
  LauncherInstall install;  // no branding key at all
  // A temporary directory so long that no stage-file path fits: no pending path, and no log either.
  install.SetTempDir("C:\\" + std::string(240, 't') + "\\");
  EXPECT_EQ(0u, install.Run("forked"));
  EXPECT_THAT(Options(install), ElementsAre("-Djava.class.path=app\\bootloader.jar", "-Dqmr.msi=true", "-Dqmr.pending=",
                                            "-Dqmr.branding=", "-Dqmr.logofile=" + install.installDir() + "logo.png"));
}

TEST(JvmStart, LogsMissingBrandingAndGoesOn) {
  LauncherInstall install;
  EXPECT_EQ(0u, install.Run("forked"));
  EXPECT_THAT(install.ChildLog(), ElementsAreArray(Concat(Concat({kStartBanner, "ERROR | Could not open registry key",
                                                                  "WARN | Failed to get branding"},
                                                                 JvmLoadLines(install)),
                                                          {kStopBanner})));
}

TEST(JvmStart, TakesABrandingOf62CharactersWhole) {
  const std::string text(62, 'b');
  BrandingValue branding(text);
  LauncherInstall install;
  EXPECT_EQ(0u, install.Run("forked"));
  EXPECT_THAT(Options(install), Contains("-Dqmr.branding=" + text));
}

TEST(JvmStart, GoesOnWithoutTheRuntimesCLibrary) {
  LauncherInstall install({"inst", Runtime::kFakeNoMsvcr});
  EXPECT_EQ(0u, install.Run("forked"));
  EXPECT_THAT(install.ChildLog(),
              IsSupersetOf(std::vector<std::string>{"ERROR | Unable to load msvcr100", kStopBanner}));
  EXPECT_THAT(install.Record(), Contains("DestroyJavaVM"));
}

// A runtime of today ships another C library than msvcr100.dll in jre\bin, which its DLLs import.
TEST(CurrentRuntime, StartsWithTheCLibraryBesideTheRuntime) {
  LauncherInstall install({"inst", Runtime::kCurrent});
  install.SetScenario("load-native=fake_native.dll\n");
  EXPECT_EQ(0u, install.Run("forked"));
  const std::string bin = install.installDir() + "jre\\bin\\";
  std::vector<std::string> lines = JvmLoadLines(install);
  lines.insert(lines.begin() + 3, "ERROR | Unable to load msvcr100");
  EXPECT_THAT(install.ChildLog(),
              ElementsAreArray(Concat(
                  Concat({kStartBanner, "ERROR | Could not open registry key", "WARN | Failed to get branding"}, lines),
                  {kStopBanner})));
  // The copies beside the runtime, for the runtime's start and for a library it loads while main runs.
  EXPECT_THAT(install.Record(), Contains("runtime library " + bin + "qmrvcrt.dll"));
  EXPECT_THAT(install.Record(),
              Contains("native fake_native.dll loaded, its runtime library " + bin + "qmrvcrt_1.dll"));
  EXPECT_THAT(install.Record(), Contains("DestroyJavaVM"));
}

TEST(JvmStart, ApplicationExitCodeEndsTheChildWithoutItsClosingLines) {
  LauncherInstall install;
  install.SetScenario("main=exit:131415\n");
  EXPECT_EQ(131415u, install.Run("forked"));
  const auto log = install.ChildLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ("INFO | " + install.installDir() + "jre\\bin\\server\\jvm.dll", log.back());
  EXPECT_THAT(install.Record(), Not(Contains("DestroyJavaVM")));
}

TEST(JvmStart, AnExceptionOutOfMainEndsTheChildWithOneAndNoAlert) {
  for (const char* scenario : {"main=throw\n", "main=args-length\n"}) {
    LauncherInstall install;
    install.SetScenario(scenario);
    // An alert would keep the process alive: ending on its own within the time shows there was none.
    EXPECT_EQ(1u, install.Run("forked")) << scenario;
    EXPECT_EQ("ERROR | Handling JVM exception and terminating", install.ChildLog().back()) << scenario;
    const auto record = install.Record();
    EXPECT_THAT(record, IsSupersetOf(std::vector<std::string>{"ExceptionCheck", "ExceptionDescribe", "ExceptionClear"}))
        << scenario;
    EXPECT_THAT(record, Not(Contains("DestroyJavaVM"))) << scenario;
  }
}

struct StartFailure {
  const char* what;
  Runtime runtime;
  const char* scenario;            // nullptr: no app\bootloader.jar
  std::vector<std::string> lines;  // after the load lines, before the alert's own
  const char* alert;
};

class JvmStartFailure : public ::testing::TestWithParam<StartFailure> {};

TEST_P(JvmStartFailure, LogsAndAlertsAndEndsWithOne) {
  const StartFailure& failure = GetParam();
  InstallOptions options;
  options.runtime = failure.runtime;
  options.jar = failure.scenario != nullptr;
  LauncherInstall install(options);
  if (failure.scenario != nullptr) install.SetScenario(failure.scenario);
  Process child(install.CommandLine("forked"), install.ProcessOptionsFor());
  std::string text;
  ASSERT_TRUE(CloseMessageBox(child, "Alert", &text)) << "no alert window appeared";
  EXPECT_EQ(failure.alert, text);
  EXPECT_EQ(1u, child.Wait());

  std::vector<std::string> expected = {kStartBanner, "ERROR | Could not open registry key",
                                       "WARN | Failed to get branding"};
  expected = Concat(expected, JvmLoadLines(install));
  if (failure.runtime == Runtime::kNone || failure.runtime == Runtime::kCurrentLibraryInWorkDir) {
    expected.insert(expected.begin() + 6, "ERROR | Unable to load msvcr100");
  }
  std::vector<std::string> tail;
  for (std::string line : failure.lines) {
    Replace(&line, "$JVM", install.installDir() + "jre\\bin\\server\\jvm.dll");
    Replace(&line, "$OWN", kOwnArchitecture);
    Replace(&line, "$OTHER", kOtherArchitecture);
    tail.push_back(line);
  }
  expected =
      Concat(Concat(expected, tail), {"INFO | Alerting user before exit:", std::string("INFO | ") + failure.alert});
  EXPECT_THAT(install.ChildLog(), ElementsAreArray(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, JvmStartFailure,
    ::testing::Values(StartFailure{"no runtime",
                                   Runtime::kNone,
                                   "main=return\n",
                                   {"ERROR | Module not found. (0x7e)"},
                                   "Failed to start application (100)"},
                      // The working directory serves none of the runtime's imports: the planted copy never runs.
                      StartFailure{"its C library only in the working directory",
                                   Runtime::kCurrentLibraryInWorkDir,
                                   "main=return\n",
                                   {"ERROR | Module not found. (0x7e)"},
                                   "Failed to start application (100)"},
                      StartFailure{"not a library",
                                   Runtime::kTextFile,
                                   "main=return\n",
                                   {"ERROR | Bad EXE format for %1. (0xc1)"},
                                   "Failed to start application (100)"},
                      StartFailure{"runtime of the other architecture",
                                   Runtime::kForeign,
                                   "main=return\n",
                                   {"ERROR | Bad EXE format for %1. (0xc1)",
                                    "ERROR | The Java runtime is a DLL for $OTHER, but this launcher is $OWN: $JVM"},
                                   "Failed to start application (100)"},
                      StartFailure{"no invocation export",
                                   Runtime::kNoExport,
                                   "main=return\n",
                                   {"ERROR | GetProcAddress JNI_CreateJavaVM failed"},
                                   "Failed to start application (200)"},
                      StartFailure{"creation fails",
                                   Runtime::kFake,
                                   "create=-1\n",
                                   {"ERROR | JNI_CreateJavaVM failed (-1)"},
                                   "Failed to start application (250)"},
                      StartFailure{"no main class",
                                   Runtime::kFake,
                                   nullptr,
                                   {"ERROR | Unable to locate main class"},
                                   "Failed to start application (300)"},
                      StartFailure{"main with another signature",
                                   Runtime::kFake,
                                   "method=other\n",
                                   {"ERROR | Unable to locate main method"},
                                   "Failed to start application (400)"}));

// CTest maps Q: to a scratch directory of its own (map-drive.sh) for this suite.
TEST(DriveRoot, AProgramInADrivesRootGetsPathsWithTwoBackslashesThatWork) {
  ASSERT_NE(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA("Q:\\"))
      << "start this suite through CTest, which maps Q: for it";
  InstallOptions options;
  options.installDir = "Q:\\";
  LauncherInstall install(options);
  EXPECT_EQ(0u, install.Run("forked"));
  // The root keeps its backslash when the file name is removed, and one more is put before the name.
  EXPECT_THAT(Options(install), Contains("-Dqmr.logofile=Q:\\\\logo.png"));
  EXPECT_THAT(install.ChildLog(),
              ElementsAre(kStartBanner, "ERROR | Could not open registry key", "WARN | Failed to get branding",
                          "INFO | Launching JVM", "INFO | Loading msvcr:", "INFO | Q:\\\\jre\\bin\\msvcr100.dll",
                          "INFO | Loading JVM:", "INFO | Q:\\\\jre\\bin\\server\\jvm.dll", kStopBanner));
  EXPECT_THAT(install.Record(), Contains("DestroyJavaVM"));
}

TEST(JvmStartAlert, ShowsAlsoWithoutALogAndTheParentReportsOne) {
  InstallOptions options;
  options.jar = false;
  {
    LauncherInstall install(options);
    install.SetTempDir(install.tempDir() + "missing\\");
    Process child(install.CommandLine("forked"), install.ProcessOptionsFor());
    std::string text;
    ASSERT_TRUE(CloseMessageBox(child, "Alert", &text));
    EXPECT_EQ("Failed to start application (300)", text);
    EXPECT_EQ(1u, child.Wait());
  }
  LauncherInstall install(options);
  Process parent(install.CommandLine(""), install.ProcessOptionsFor());
  ASSERT_TRUE(CloseMessageBox(parent, "Alert", nullptr));
  EXPECT_EQ(1u, parent.Wait());
  EXPECT_THAT(install.ParentLog(), Contains("INFO | JVM terminated with exit code: 1"));
}

// Tests run in parallel: a test answers the alerts of its own launchers only, never another's.
TEST(JvmStartAlert, IsAnsweredOnlyForTheLauncherThatShowsIt) {
  InstallOptions alerting;
  alerting.jar = false;
  LauncherInstall other_install(alerting);
  LauncherInstall own_install;
  own_install.SetScenario("main=return\n");
  // Another test's launcher, whose child shows the alert.
  Process other(other_install.CommandLine(""), other_install.ProcessOptionsFor());
  const DWORD deadline = GetTickCount() + 30000;
  while (FindOwnedWindow(other, "Alert") == nullptr && static_cast<LONG>(deadline - GetTickCount()) > 0) Sleep(50);
  ASSERT_NE(nullptr, FindOwnedWindow(other, "Alert"));
  // This test's launcher shows none: its look for one finds nothing, and leaves the other's alone.
  Process own(own_install.CommandLine(""), own_install.ProcessOptionsFor());
  EXPECT_FALSE(CloseMessageBox(own, "Alert", nullptr, 2000));
  EXPECT_EQ(0u, own.Wait());
  EXPECT_NE(nullptr, FindOwnedWindow(other, "Alert"));
  EXPECT_EQ(testing_support::kNotEnded, other.Wait(0)) << "the other launcher's alert was answered";
  ASSERT_TRUE(CloseMessageBox(other, "Alert", nullptr));
  EXPECT_EQ(1u, other.Wait());
}

}  // namespace
}  // namespace launcher_tests
