// The product installed by the real Windows Installer for the prefix's user, started the way its
// Start menu shortcut starts it, and replaced by its next version through the launcher's own upgrade:
// the application leaves the package and asks for the restart, or a package was left from before.
// Every version runs the real application on the real VM; it records what it received in
// app\record.txt of the installation, one run after another.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "installed_attendant.h"
#include "installed_product.h"
#include "launcher_fixture.h"
#include "msi_queries.h"
#include "real_jvm_fixture.h"
#include "stage_files.h"
#include "test_support.h"
#include "version_info.h"

namespace product_tests {
namespace {

using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using testing_support::FileExists;
using testing_support::ReadFileBytes;

const std::string kVersion1 = "version " QMR_VERSION;
const std::string kVersion2 = "version " QMR_NEXT_VERSION;
// The old version's removal, the new one's installation and its application's start: seconds alone,
// bounded as one JVM start on a busy machine.
constexpr DWORD kUpgradeWait = real_jvm_tests::kRealVmWait;

std::string Launcher() { return InstallDir() + "AttendantLauncher.exe"; }
std::string RecordPath() { return InstallDir() + "app\\record.txt"; }

// The installation directory as the application sees it, without the final backslash.
std::string InstallDirAsCurrent() { return InstallDir().substr(0, InstallDir().size() - 1); }

// The record's runs, each from its "main args=" line on.
std::vector<std::vector<std::string>> Runs() {
  std::vector<std::vector<std::string>> runs;
  for (const std::string& line : ReadLines(RecordPath())) {
    if (line.rfind("main args=", 0) == 0 || runs.empty()) runs.emplace_back();
    runs.back().push_back(line);
  }
  return runs;
}

std::vector<std::vector<std::string>> RunsOf(const std::string& version) {
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
  std::string InstallVersion1() {
    EXPECT_EQ(0u, InstallWithMsiexec(ProductPackage("product-1.msi"), "BRANDING=\"Acme Clinic\""));
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
    return launcher_tests::LogEntries(ReadFileBytes(temp_ / launcher::kLogFileName));
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

struct InstallCase {
  const char* name;
  const char* properties;  // on msiexec's command line
  const char* registryValue;
  const char* brandingProperty;
};

void PrintTo(const InstallCase& c, std::ostream* os) { *os << c.name; }

class InstalledVersion1 : public InstalledAttendant, public ::testing::WithParamInterface<InstallCase> {};

TEST_P(InstalledVersion1, HasItsEntryAndFilesAndStartsFromItsShortcut) {
  ASSERT_EQ(0u, InstallWithMsiexec(ProductPackage("product-1.msi"), GetParam().properties));
  const std::string code = InstalledProductCode();
  ASSERT_FALSE(code.empty());
  EXPECT_EQ(QMR_VERSION, InstalledVersion(code));
  std::map<std::string, std::string> entry = UninstallEntry(code);
  EXPECT_EQ(QMR_VERSION, entry["DisplayVersion"]);
  EXPECT_EQ(QMR_PRODUCT_NAME, entry["DisplayName"]);
  EXPECT_EQ(QMR_COMPANY, entry["Publisher"]);

  for (const char* file : {"AttendantLauncher.exe", "qmr_dshow.dll", "logo.png", "app\\bootloader.jar",
                           "jre\\bin\\msvcr100.dll", "jre\\bin\\server\\jvm.dll", "jre\\bin\\server\\avian.dll"}) {
    EXPECT_TRUE(FileExists(InstallDir() + file)) << file;
  }
  EXPECT_EQ(FourPartVersion(QMR_VERSION), ReadVersionInfo(Launcher()).fileVersion);
  EXPECT_EQ(GetParam().registryValue, BrandingValue());

  const ShortcutTarget shortcut = ReadShortcut(ShortcutPath());
  ASSERT_TRUE(shortcut.read);
  EXPECT_EQ(Launcher(), shortcut.program);
  EXPECT_EQ("", shortcut.arguments);
  // The class path app\bootloader.jar is relative to it.
  EXPECT_EQ(InstallDir(), shortcut.workingDir + (shortcut.workingDir.back() == '\\' ? "" : "\\"));

  EXPECT_EQ(0u, StartFromShortcut());
  const auto runs = RunsOf(kVersion1);
  ASSERT_THAT(runs, SizeIs(1));
  ExpectStartedAsInstalled(runs.front(), GetParam().brandingProperty);
  EXPECT_THAT(ParentLog(), Contains("INFO | JVM terminated with exit code: 0"));
}

INSTANTIATE_TEST_SUITE_P(
    Branding, InstalledVersion1,
    ::testing::Values(InstallCase{"WithBranding", "BRANDING=\"Acme Clinic\"", "Acme Clinic", "Acme Clinic"},
                      InstallCase{"WithoutBranding", "", "<none>", ""}),
    [](const ::testing::TestParamInfo<InstallCase>& info) { return std::string(info.param.name); });

TEST_F(InstalledAttendant, Version1ReplacesItselfWithVersion2WhenItsApplicationAsksForTheRestart) {
  const std::string version1 = InstallVersion1();
  const std::string pending = temp_.path() + launcher::kPendingPackageName;
  EXPECT_EQ(131415u, StartFromShortcut("copy-to-pending=" + ProductPackage("product-2.msi") + "\nmain=exit:131415\n"));
  const auto runs = RunsOf(kVersion1);
  ASSERT_THAT(runs, SizeIs(1));
  EXPECT_THAT(runs.front(), Contains("copy-to-pending " + pending + " ok"));
  EXPECT_THAT(runs.front(), Contains("exit 131415"));
  EXPECT_THAT(ParentLog(), Contains("INFO | Upgrade process was successfully started"));
  ExpectVersion2Replaced(version1);
}

TEST_F(InstalledAttendant, Version2LeftPendingIsInstalledAtTheNextStartBeforeAnyApplicationRuns) {
  const std::string version1 = InstallVersion1();
  testing_support::CopyFileOrFail(ProductPackage("product-2.msi"), temp_ / launcher::kPendingPackageName);
  EXPECT_EQ(0u, StartFromShortcut());
  EXPECT_THAT(ParentLog(), Contains("INFO | Installing upgrade and triggering boot"));
  ExpectVersion2Replaced(version1);
  EXPECT_THAT(RunsOf(kVersion1), IsEmpty()) << "version 1's application ran";
}

TEST_F(InstalledAttendant, Version2FromAnotherPublisherIsDeletedAndVersion1RunsOn) {
  const std::string version1 = InstallVersion1();
  EXPECT_EQ(131415u, StartFromShortcut("copy-to-pending=" + ProductPackage("product-2-other-publisher.msi") +
                                       "\nmain=exit:131415\n"));
  EXPECT_THAT(ParentLog(), Contains("WARN | Upgrade did not verify. Skipping and deleting it!"));
  EXPECT_FALSE(FileExists(temp_ / launcher::kPendingPackageName));
  EXPECT_FALSE(FileExists(temp_ / launcher::kInstallerPackageName));
  EXPECT_TRUE(upgrade_tests::WaitForInstallerToEnd());
  EXPECT_EQ(version1, InstalledProductCode());
  EXPECT_EQ(QMR_VERSION, UninstallEntry(version1)["DisplayVersion"]);
  EXPECT_EQ(FourPartVersion(QMR_VERSION), ReadVersionInfo(Launcher()).fileVersion);

  // The next start runs version 1's application again, and nothing else.
  EXPECT_EQ(0u, StartFromShortcut());
  const auto runs = Runs();
  ASSERT_THAT(runs, SizeIs(2));
  EXPECT_THAT(runs.back(), Contains(kVersion1));
  ExpectStartedAsInstalled(runs.back(), "Acme Clinic");
  EXPECT_THAT(RunsOf(kVersion2), IsEmpty());
}

}  // namespace
}  // namespace product_tests
