// InstallUpgrade that verifies the package and starts the real Windows Installer: the exact command
// line, the stage files it leaves, and the installation that follows without anyone waiting for it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "in_process_launcher.h"
#include "installed_product.h"
#include "test_packages.h"
#include "upgrade_lines.h"

namespace upgrade_tests {
namespace {

using ::testing::ElementsAreArray;
using testing_support::FileExists;
using testing_support::ReadFileBytes;

TEST(InstallUpgradeStartsInstaller, WithTheQuotedPathAndInstallsThePackage) {
  InProcessLauncher launcher;
  // Declared after the launcher, so the installer has ended before its package's directory goes.
  InstalledProduct product("install-in-process");
  CopyPackage("install-in-process.msi", launcher.pendingPath());
  EXPECT_TRUE(launcher.InstallUpgrade());
  EXPECT_THAT(launcher.Lines(), ElementsAreArray(InstallerStartLines(launcher.installerPath())));
  EXPECT_FALSE(FileExists(launcher.pendingPath()));
  EXPECT_TRUE(HoldsPackage(launcher.installerPath(), "install-in-process.msi"));
  ASSERT_TRUE(product.WaitUntilInstalled());
  EXPECT_EQ("payload of install-in-process\r\n", ReadFileBytes(product.payloadPath()));
  EXPECT_EQ("STARTAFTERINSTALL=1\r\n", ReadFileBytes(product.markerPath()));
}

}  // namespace
}  // namespace upgrade_tests
