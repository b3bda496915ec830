// The product installed by the real Windows Installer for the prefix's user, started the way its
// Start menu shortcut starts it, and replaced by its next version through the launcher's own upgrade:
// the application leaves the package and asks for the restart, or a package was left from before.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installed_attendant.h"
#include "installed_product.h"
#include "launcher_fixture.h"
#include "msi_queries.h"
#include "stage_files.h"
#include "test_support.h"
#include "version_info.h"

namespace product_tests {
namespace {

using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::Not;
using testing_support::FileExists;
using testing_support::ReadFileBytes;

const std::string kVersion1Says = "say Quillon Attendant " QMR_VERSION;
const std::string kVersion2Says = "say Quillon Attendant " QMR_NEXT_VERSION;
constexpr DWORD kUpgradeTimeout = 300000;  // msiexec under emulation

std::string Launcher() { return InstallDir() + "AttendantLauncher.exe"; }

class InstalledAttendant : public ::testing::Test {
 protected:
  void SetUp() override { RemoveEveryVersion(); }
  void TearDown() override {
    EXPECT_TRUE(WaitForProgramToEnd(Launcher(), 120000)) << "the installed launcher still runs";
    RemoveEveryVersion();
  }

  // Installs version 1 with a branding and checks that it is there.
  std::string InstallVersion1() {
    EXPECT_EQ(0u, InstallWithMsiexec(ProductPackage("product-1.msi"), "BRANDING=\"Acme Clinic\""));
    const std::string code = InstalledProductCode();
    EXPECT_EQ(QMR_VERSION, InstalledVersion(code));
    return code;
  }

  // Starts the installed launcher as the shortcut does, in a temporary directory of the test's own; a
  // scenario given here steers the application of this one start.
  DWORD StartFromShortcut(const std::string& scenario = "") {
    const ShortcutTarget target = ReadShortcut(ShortcutPath());
    EXPECT_TRUE(target.read) << "no shortcut at " << ShortcutPath();
    if (!scenario.empty()) testing_support::WriteFileBytes(scenarioPath(), scenario);
    testing_support::ProcessOptions options;
    options.workingDir = target.workingDir;
    options.env["TMP"] = temp_.path();
    options.env["TEMP"] = temp_.path();
    options.env["FAKE_JVM_RECORD"] = recordPath();
    options.env["FAKE_JVM_SCENARIO_ONCE"] = scenarioPath();
    std::string command = testing_support::Quote(target.program);
    if (!target.arguments.empty()) command += " " + target.arguments;
    return testing_support::RunProcess(command, options, 120000);
  }

  // The record of the one start whose application said `says`, from its runtime's creation on.
  std::vector<std::string> RunThatSaid(const std::string& says) const {
    std::vector<std::string> run;
    for (const std::string& line : ReadLines(recordPath())) {
      if (line.rfind("JNI_CreateJavaVM", 0) == 0) {
        if (std::find(run.begin(), run.end(), says) != run.end()) return run;
        run.clear();
      }
      run.push_back(line);
    }
    return std::find(run.begin(), run.end(), says) != run.end() ? run : std::vector<std::string>();
  }

  std::vector<std::string> ParentLog() const {
    return launcher_tests::LogEntries(ReadFileBytes(temp_ / launcher::kLogFileName));
  }

  // Version 2 came up from the installation directory, and nothing of version 1 is left.
  void ExpectVersion2Replaced(const std::string& version1Code) {
    ASSERT_TRUE(WaitForLine(recordPath(), kVersion2Says, kUpgradeTimeout)) << "version 2's application never ran";
    EXPECT_TRUE(upgrade_tests::WaitForInstallerToEnd(kUpgradeTimeout));
    EXPECT_TRUE(WaitForProgramToEnd(Launcher(), 120000));

    const std::string code = InstalledProductCode();
    EXPECT_NE(version1Code, code);
    EXPECT_EQ(QMR_NEXT_VERSION, InstalledVersion(code));
    EXPECT_EQ(QMR_NEXT_VERSION, UninstallEntry(code)["DisplayVersion"]);
    EXPECT_EQ("", InstalledVersion(version1Code));
    EXPECT_THAT(UninstallEntry(version1Code), IsEmpty());
    EXPECT_EQ(FourPartVersion(QMR_NEXT_VERSION), ReadVersionInfo(Launcher()).fileVersion);
    EXPECT_EQ(FourPartVersion(QMR_NEXT_VERSION), ReadVersionInfo(InstallDir() + "qmr_dshow.dll").fileVersion);
    EXPECT_THAT(ReadFileBytes(InstallDir() + "app\\bootloader.jar"), ::testing::HasSubstr(QMR_NEXT_VERSION));

    // The upgrade kept the branding it was not given again, and the relative class path resolved.
    const std::vector<std::string> run = RunThatSaid(kVersion2Says);
    EXPECT_THAT(run, Contains("property qmr.branding=Acme Clinic"));
    EXPECT_THAT(run, Contains("property qmr.logofile=" + InstallDir() + "logo.png"));
    EXPECT_THAT(run, Contains("property qmr.pending=" + temp_.path() + launcher::kPendingPackageName));
    EXPECT_THAT(run, Contains("CallStaticVoidMethod"));
    EXPECT_EQ("Acme Clinic", BrandingValue());
  }

  std::string recordPath() const { return scratch_ / "record.txt"; }
  std::string scenarioPath() const { return scratch_ / "scenario-once.txt"; }

  testing_support::ScopedTempDir temp_{"product temp"};
  testing_support::ScopedTempDir scratch_{"product"};
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
                           "jre\\bin\\msvcr100.dll", "jre\\bin\\server\\jvm.dll"}) {
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
  const std::vector<std::string> run = RunThatSaid(kVersion1Says);
  EXPECT_THAT(run, Contains("CallStaticVoidMethod"));
  EXPECT_THAT(run, Contains(std::string("property qmr.branding=") + GetParam().brandingProperty));
  EXPECT_THAT(run, Contains("property qmr.logofile=" + InstallDir() + "logo.png"));
  EXPECT_THAT(ParentLog(), Contains("INFO | JVM terminated with exit code: 0"));
}

INSTANTIATE_TEST_SUITE_P(
    Branding, InstalledVersion1,
    ::testing::Values(InstallCase{"WithBranding", "BRANDING=\"Acme Clinic\"", "Acme Clinic", "Acme Clinic"},
                      InstallCase{"WithoutBranding", "", "<none>", ""}),
    [](const ::testing::TestParamInfo<InstallCase>& info) { return std::string(info.param.name); });

TEST_F(InstalledAttendant, Version1ReplacesItselfWithVersion2WhenItsApplicationAsksForTheRestart) {
  const std::string version1 = InstallVersion1();
  EXPECT_EQ(131415u, StartFromShortcut("copy-to-pending=" + ProductPackage("product-2.msi") + "\nmain=exit:131415\n"));
  EXPECT_THAT(ParentLog(), Contains("INFO | Upgrade process was successfully started"));
  ExpectVersion2Replaced(version1);
}

TEST_F(InstalledAttendant, Version2LeftPendingIsInstalledAtTheNextStartBeforeAnyApplicationRuns) {
  const std::string version1 = InstallVersion1();
  testing_support::CopyFileOrFail(ProductPackage("product-2.msi"), temp_ / launcher::kPendingPackageName);
  EXPECT_EQ(0u, StartFromShortcut());
  EXPECT_THAT(ParentLog(), Contains("INFO | Installing upgrade and triggering boot"));
  ExpectVersion2Replaced(version1);
  EXPECT_THAT(RunThatSaid(kVersion1Says), IsEmpty()) << "version 1's application ran";
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

  // The next start runs version 1's application again.
  DeleteFileA(recordPath().c_str());
  EXPECT_EQ(0u, StartFromShortcut());
  EXPECT_THAT(RunThatSaid(kVersion1Says), Contains("CallStaticVoidMethod"));
  EXPECT_THAT(ReadLines(recordPath()), Not(Contains(kVersion2Says)));
}

}  // namespace
}  // namespace product_tests
