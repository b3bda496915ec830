// The product installed for the prefix's user, started as its shortcut starts it: the fixture of the
// installed-product tests, with the record its application keeps in the installation. Main thread.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "installed_attendant.h"
#include "installed_product.h"
#include "launcher_fixture.h"
#include "msi_queries.h"
#include "real_jvm_fixture.h"
#include "stage_files.h"
#include "test_support.h"
#include "version_info.h"

namespace product_tests {

using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::SizeIs;

inline const std::string kVersion1 = "version " QMR_VERSION;
inline const std::string kVersion2 = "version " QMR_NEXT_VERSION;
// The old version's removal, the new one's installation and its application's start: seconds alone,
// bounded as one JVM start on a busy machine.
constexpr DWORD kUpgradeWait = real_jvm_tests::kRealVmWait;

inline std::string Launcher() { return InstallDir() + "AttendantLauncher.exe"; }
inline std::string RecordPath() { return InstallDir() + "app\\record.txt"; }

// The installation directory as the application sees it, without the final backslash.
inline std::string InstallDirAsCurrent() { return InstallDir().substr(0, InstallDir().size() - 1); }

// The record's runs, each from its "main args=" line on.
inline std::vector<std::vector<std::string>> Runs() {
  std::vector<std::vector<std::string>> runs;
  for (const std::string& line : ReadLines(RecordPath())) {
    if (line.rfind("main args=", 0) == 0 || runs.empty()) runs.emplace_back();
    runs.back().push_back(line);
  }
  return runs;
}

inline std::vector<std::vector<std::string>> RunsOf(const std::string& version) {
  std::vector<std::vector<std::string>> runs;
  for (auto& run : Runs()) {
    if (std::find(run.begin(), run.end(), version) != run.end()) runs.push_back(std::move(run));
  }
  return runs;
}

class InstalledAttendant : public ::testing::Test {
 protected:
  void SetUp() override { RemoveEveryVersion(); }
  void TearDown() override {
    EXPECT_TRUE(WaitForProgramToEnd(Launcher(), real_jvm_tests::kRealVmWait)) << "the installed launcher still runs";
    RemoveEveryVersion();
  }

  // Installs version 1 with a branding and checks that it is there.
  std::string InstallVersion1(const std::string& package = "product-1.msi") {
    EXPECT_EQ(0u, InstallWithMsiexec(ProductPackage(package), "BRANDING=\"Acme Clinic\""));
    const std::string code = InstalledProductCode();
    EXPECT_EQ(QMR_VERSION, InstalledVersion(code));
    return code;
  }

  // Starts the installed launcher as the shortcut does, with a temporary directory of the test's own; a
  // scenario given here steers the application of this one start.
  DWORD StartFromShortcut(const std::string& scenario = "") {
    const ShortcutTarget target = ReadShortcut(ShortcutPath());
    EXPECT_TRUE(target.read) << "no shortcut at " << ShortcutPath();
    if (!scenario.empty()) testing_support::WriteFileBytes(InstallDir() + "app\\scenario.txt", "once=yes\n" + scenario);
    testing_support::ProcessOptions options;
    options.workingDir = target.workingDir;
    options.env["TMP"] = temp_.path();
    options.env["TEMP"] = temp_.path();
    std::string command = testing_support::Quote(target.program);
    if (!target.arguments.empty()) command += " " + target.arguments;
    return testing_support::RunProcess(command, options, real_jvm_tests::kRealVmWait);
  }

  std::vector<std::string> ParentLog() const {
    return launcher_tests::LogEntries(testing_support::ReadFileBytes(temp_ / launcher::kLogFileName));
  }

  // What every installed version's application must have received, started in the installation
  // directory with the relative class path.
  void ExpectStartedAsInstalled(const std::vector<std::string>& run, const std::string& branding) {
    EXPECT_THAT(run, Contains("property java.class.path=app\\bootloader.jar"));
    EXPECT_THAT(run, Contains("property user.dir=" + InstallDirAsCurrent()));
    EXPECT_THAT(run, Contains("property qmr.branding=" + branding));
    EXPECT_THAT(run, Contains("property qmr.logofile=" + InstallDir() + "logo.png"));
    EXPECT_THAT(run, Contains("property qmr.pending=" + temp_.path() + launcher::kPendingPackageName));
    EXPECT_THAT(run, Contains("main returns"));
  }

  // Version 2 came up from the installation directory, started by its installer, and nothing of
  // version 1 is left.
  void ExpectVersion2Replaced(const std::string& version1Code) {
    ASSERT_TRUE(WaitForLine(RecordPath(), kVersion2, kUpgradeWait)) << "version 2's application never ran";
    EXPECT_TRUE(upgrade_tests::WaitForInstallerToEnd(kUpgradeWait));
    EXPECT_TRUE(WaitForProgramToEnd(Launcher(), real_jvm_tests::kRealVmWait));

    const std::string code = InstalledProductCode();
    EXPECT_NE(version1Code, code);
    EXPECT_EQ(QMR_NEXT_VERSION, InstalledVersion(code));
    EXPECT_EQ(QMR_NEXT_VERSION, UninstallEntry(code)["DisplayVersion"]);
    EXPECT_EQ("", InstalledVersion(version1Code));
    EXPECT_THAT(UninstallEntry(version1Code), IsEmpty());
    EXPECT_EQ(FourPartVersion(QMR_NEXT_VERSION), ReadVersionInfo(Launcher()).fileVersion);
    EXPECT_EQ(FourPartVersion(QMR_NEXT_VERSION), ReadVersionInfo(InstallDir() + "qmr_dshow.dll").fileVersion);

    // Started once, and the upgrade kept the branding it was not given again.
    const auto runs = RunsOf(kVersion2);
    ASSERT_THAT(runs, SizeIs(1));
    ExpectStartedAsInstalled(runs.front(), "Acme Clinic");
    EXPECT_EQ("Acme Clinic", BrandingValue());
  }

  testing_support::ScopedTempDir temp_{"product temp"};
};

}  // namespace product_tests
