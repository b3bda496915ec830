// InstallUpgrade's handling of the two stage files when no installer gets started: a missing pending
// package, an old installer package that can or cannot be deleted, a path the command interpreter
// would expand, and packages that fail verification.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "in_process_launcher.h"
#include "test_packages.h"
#include "unique_handle.h"

namespace upgrade_tests {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

const char kOldInstaller[] = "the package of an earlier upgrade";

TEST(InstallUpgradeStageFiles, WithoutAPendingPackageWarnsTwiceAndChangesNothing) {
  InProcessLauncher launcher;
  WriteFileBytes(launcher.installerPath(), kOldInstaller);
  EXPECT_FALSE(launcher.InstallUpgrade());
  EXPECT_THAT(launcher.Lines(),
              ElementsAre("WARN | Pending installation package was not found", "WARN | " + launcher.pendingPath()));
  EXPECT_FALSE(FileExists(launcher.pendingPath()));
  EXPECT_EQ(kOldInstaller, ReadFileBytes(launcher.installerPath()));
}

TEST(InstallUpgradeStageFiles, DeletesAnOldInstallerBeforeMovingTheNewPackage) {
  InProcessLauncher launcher;
  WriteFileBytes(launcher.installerPath(), kOldInstaller);
  CopyPackage("signed-by-quillon.msi", launcher.pendingPath());
  EXPECT_FALSE(launcher.InstallUpgrade());
  // The old package went first: the one that failed verification was the new one.
  EXPECT_THAT(launcher.Lines(), ElementsAre("INFO | Found old installation package. Attempting to remove it:",
                                            "INFO | " + launcher.installerPath(), "INFO | Verifying installer",
                                            "ERROR | Incorrect certificate issuer!?", "ERROR | Quillon",
                                            "WARN | Upgrade did not verify. Skipping and deleting it!"));
  EXPECT_FALSE(FileExists(launcher.pendingPath()));
  EXPECT_FALSE(FileExists(launcher.installerPath()));
}

TEST(InstallUpgradeStageFiles, KeepsThePendingPackageWhenTheOldInstallerIsHeldOpen) {
  InProcessLauncher launcher;
  WriteFileBytes(launcher.installerPath(), kOldInstaller);
  CopyPackage("signed-by-quillon-ab.msi", launcher.pendingPath());
  {
    // As a running installer holds its package: readers welcome, no deletion.
    const launcher::UniqueFile held(CreateFileA(launcher.installerPath().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.valid());
    EXPECT_FALSE(launcher.InstallUpgrade());
  }
  EXPECT_THAT(launcher.Lines(),
              ElementsAre("INFO | Found old installation package. Attempting to remove it:",
                          "INFO | " + launcher.installerPath(), "WARN | Failed to delete old installer",
                          "WARN | " + launcher.installerPath(), "WARN | Failed to prepare new installer:",
                          "WARN | " + launcher.pendingPath(), "WARN | " + launcher.installerPath()));
  EXPECT_TRUE(HoldsPackage(launcher.pendingPath(), "signed-by-quillon-ab.msi"));
  EXPECT_EQ(kOldInstaller, ReadFileBytes(launcher.installerPath()));
}

TEST(InstallUpgradeStageFiles, KeepsAnUnverifiedPackageItCannotDelete) {
  InProcessLauncher launcher;
  CopyPackage("unsigned.msi", launcher.pendingPath());
  // The attribute moves with the file and makes its deletion fail.
  ASSERT_TRUE(SetFileAttributesA(launcher.pendingPath().c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(launcher.InstallUpgrade());
  EXPECT_THAT(launcher.Lines(), ElementsAre("INFO | Verifying installer",
                                            "ERROR | No signer certificate in installer package (0x800b0100)",
                                            "WARN | Upgrade did not verify. Skipping and deleting it!",
                                            "WARN | Failed to delete unverified installer"));
  EXPECT_FALSE(FileExists(launcher.pendingPath()));
  EXPECT_TRUE(HoldsPackage(launcher.installerPath(), "unsigned.msi"));
}

TEST(InstallUpgradeStageFiles, RefusesATemporaryPathTheCommandInterpreterWouldExpand) {
  // Inside quotes cmd.exe still replaces %OS% with "Windows_NT": msiexec would get another path.
  InProcessLauncher launcher("pct%OS%dir");
  CopyPackage("signed-by-quillon-ab.msi", launcher.pendingPath());
  WriteFileBytes(launcher.installerPath(), kOldInstaller);
  EXPECT_FALSE(launcher.InstallUpgrade());
  EXPECT_THAT(launcher.Lines(),
              ElementsAre("ERROR | Installer path contains '%', which the command interpreter would expand:",
                          "ERROR | " + launcher.installerPath()));
  EXPECT_TRUE(HoldsPackage(launcher.pendingPath(), "signed-by-quillon-ab.msi"));
  EXPECT_EQ(kOldInstaller, ReadFileBytes(launcher.installerPath()));
}

struct Rejection {
  const char* package;
  std::vector<std::string> verificationLines;  // after "Verifying installer"
};

void PrintTo(const Rejection& rejection, std::ostream* os) { *os << rejection.package; }

class InstallUpgradeRejects : public ::testing::TestWithParam<Rejection> {};

TEST_P(InstallUpgradeRejects, AndDeletesThePackage) {
  InProcessLauncher launcher;
  CopyPackage(GetParam().package, launcher.pendingPath());
  EXPECT_FALSE(launcher.InstallUpgrade());
  std::vector<std::string> expected = {"INFO | Verifying installer"};
  expected.insert(expected.end(), GetParam().verificationLines.begin(), GetParam().verificationLines.end());
  expected.push_back("WARN | Upgrade did not verify. Skipping and deleting it!");
  EXPECT_THAT(launcher.Lines(), ElementsAreArray(expected));
  EXPECT_FALSE(FileExists(launcher.pendingPath()));
  EXPECT_FALSE(FileExists(launcher.installerPath()));
}

// The name must be "Quillon AB" exactly; the subject counts, not the issuer.
INSTANTIATE_TEST_SUITE_P(
    SignersAndUnsigned, InstallUpgradeRejects,
    ::testing::Values(
        Rejection{"signed-by-quillon-ab-lower.msi", {"ERROR | Incorrect certificate issuer!?", "ERROR | quillon ab"}},
        Rejection{"signed-by-quillon.msi", {"ERROR | Incorrect certificate issuer!?", "ERROR | Quillon"}},
        Rejection{"signed-by-quillon-ab-ltd.msi", {"ERROR | Incorrect certificate issuer!?", "ERROR | Quillon AB Ltd"}},
        Rejection{"signed-by-x-quillon-ab.msi", {"ERROR | Incorrect certificate issuer!?", "ERROR | X Quillon AB"}},
        Rejection{"signed-by-other-publisher.msi",
                  {"ERROR | Incorrect certificate issuer!?", "ERROR | Other Publisher"}},
        // Look-alikes: logged without best fit, so what the code page lacks shows as "?", as does a NUL.
        Rejection{"signed-by-quillon-ab-fullwidth.msi",
                  {"ERROR | Incorrect certificate issuer!?", "ERROR | Quillon ??"}},
        Rejection{"signed-by-quillon-ab-nul.msi",
                  {"ERROR | Incorrect certificate issuer!?", "ERROR | Quillon AB? and more"}},
        Rejection{"unsigned.msi", {"ERROR | No signer certificate in installer package (0x800b0100)"}}));

}  // namespace
}  // namespace upgrade_tests
