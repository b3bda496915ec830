// The product installed by the real Windows Installer for the prefix's user, started the way its
// Start menu shortcut starts it, and replaced by its next version through the launcher's own upgrade:
// the application leaves the package and asks for the restart, or a package was left from before.
// Every version runs the real application on the real VM; it records what it received in
// app\record.txt of the installation, one run after another.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installed_attendant_fixture.h"

namespace product_tests {
namespace {

using testing_support::FileExists;
using testing_support::ReadFileBytes;

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
