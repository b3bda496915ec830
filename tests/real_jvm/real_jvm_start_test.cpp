// The launcher starting the real VM and the real application: what the application receives, the
// lines both processes log, and the start failures a user sees as alerts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "launcher_lines.h"
#include "real_jvm_fixture.h"

namespace real_jvm_tests {
namespace {

using launcher_tests::BrandingValue;
using launcher_tests::Concat;
using launcher_tests::InstallOptions;
using launcher_tests::JvmLoadLines;
using launcher_tests::kStartBanner;
using launcher_tests::kStopBanner;
using launcher_tests::LauncherInstall;
using launcher_tests::Runtime;
using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::IsSupersetOf;
using ::testing::Not;
using testing_support::CloseMessageBox;
using testing_support::Process;

InstallOptions RealVm() {
  InstallOptions options;
  options.runtime = Runtime::kReal;
  return options;
}

std::string WithoutTrailingBackslash(std::string path) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

TEST(RealJvmStart, TheApplicationGetsTheFiveOptionsAsPropertiesAndBothProcessesEndWithZero) {
  BrandingValue branding("Brand of the house");
  LauncherInstall install(RealVm());
  ASSERT_EQ(0u, install.Run());

  const auto properties = RecordedProperties(install);
  const std::map<std::string, std::string> expected = {
      {"java.class.path", "app\\bootloader.jar"},
      {"qmr.msi", "true"},
      {"qmr.pending", install.pendingPath()},
      {"qmr.branding", "Brand of the house"},
      {"qmr.logofile", install.installDir() + "logo.png"},
  };
  for (const auto& [name, value] : expected) {
    ASSERT_EQ(1u, properties.count(name)) << name << " was not set";
    EXPECT_EQ(value, properties.at(name)) << name;
  }
  // The VM of the launcher's own architecture, in the launcher's process.
  const auto arch = properties.find("os.arch");
  ASSERT_NE(properties.end(), arch);
  EXPECT_EQ(sizeof(void*) == 8 ? "x86_64" : "x86", arch->second);
  EXPECT_THAT(install.Record(), IsSupersetOf(std::vector<std::string>{"main args=null", "main returns"}));
  EXPECT_THAT(
      install.ChildLog(),
      ElementsAreArray(
          Concat(Concat({kStartBanner, "INFO | Branding: Brand of the house"}, JvmLoadLines(install)), {kStopBanner})));
  EXPECT_THAT(install.ParentLog(), ElementsAreArray(Concat(Concat(launcher_tests::ParentPrologue(install),
                                                                  launcher_tests::SupervisionLines(install)),
                                                           {"INFO | JVM terminated with exit code: 0", kStopBanner})));
}

struct StartFailure {
  const char* what;
  const char* jar;  // built to be wrong
  const char* line;
  const char* alert;
};

void PrintTo(const StartFailure& failure, std::ostream* os) { *os << failure.what; }

class RealJvmStartFailure : public ::testing::TestWithParam<StartFailure> {};

TEST_P(RealJvmStartFailure, AlertsAUserClosesAndEndsWithOne) {
  LauncherInstall install(RealVm());
  ReplaceJar(install, GetParam().jar);
  Process parent(install.CommandLine(""), install.ProcessOptionsFor());
  std::string text;
  ASSERT_TRUE(CloseMessageBox(parent, "Alert", &text, kRealVmWait)) << "no alert window appeared";
  EXPECT_EQ(GetParam().alert, text);
  EXPECT_EQ(1u, parent.Wait(kRealVmWait));
  EXPECT_THAT(install.ChildLog(),
              ElementsAreArray(
                  Concat(Concat({kStartBanner, "ERROR | Could not open registry key", "WARN | Failed to get branding"},
                                JvmLoadLines(install)),
                         {std::string("ERROR | ") + GetParam().line,
                          "INFO | Alerting user before exit:", std::string("INFO | ") + GetParam().alert})));
  EXPECT_THAT(install.ParentLog(), Contains("INFO | JVM terminated with exit code: 1"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, RealJvmStartFailure,
    ::testing::Values(StartFailure{"class missing from the jar", "no_main_class", "Unable to locate main class",
                                   "Failed to start application (300)"},
                      StartFailure{"main with another signature", "other_signature", "Unable to locate main method",
                                   "Failed to start application (400)"}));

// The class path is relative: it is resolved against the directory the launcher was started in,
// which the launcher neither chooses nor changes.
TEST(RealJvmWorkingDir, DecidesWhetherTheApplicationIsFound) {
  InstallOptions options = RealVm();
  options.appBesideProgram = true;
  LauncherInstall install(options);

  Process elsewhere(install.CommandLine(""), install.ProcessOptionsFor());
  std::string text;
  ASSERT_TRUE(CloseMessageBox(elsewhere, "Alert", &text, kRealVmWait)) << "no alert window appeared";
  EXPECT_EQ("Failed to start application (300)", text);
  EXPECT_EQ(1u, elsewhere.Wait(kRealVmWait));
  EXPECT_THAT(install.ChildLog(), Contains("ERROR | Unable to locate main class"));
  EXPECT_FALSE(testing_support::FileExists(install.recordPath()));

  DeleteFileA(install.childLogPath().c_str());
  install.SetWorkingDir(install.installDir());
  EXPECT_EQ(0u, install.Run());
  EXPECT_EQ(WithoutTrailingBackslash(install.installDir()), RecordedProperties(install)["user.dir"]);
  EXPECT_THAT(install.Record(), Contains("main returns"));
  EXPECT_THAT(install.ChildLog(), Not(Contains("ERROR | Unable to locate main class")));
}

}  // namespace
}  // namespace real_jvm_tests
