// The upgrade cycle with a package that does not verify: the parent still ends with the restart code
// the application chose, and nothing is left for the installer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "launcher_lines.h"
#include "test_packages.h"

namespace upgrade_tests {
namespace {

using launcher_tests::Concat;
using ::testing::ElementsAreArray;
using testing_support::FileExists;

TEST(RejectedUpgrade, EndsWithTheRestartCodeAndDeletesThePackage) {
  launcher_tests::LauncherInstall install;
  install.SetScenario("copy-to-pending=" + PackagePath("unsigned.msi") + "\nmain=exit:131415\n");
  EXPECT_EQ(131415u, install.Run());
  const std::vector<std::string> upgrade = {
      "INFO | JVM terminated with magic restart code. Starting automatic upgrade.", "INFO | Verifying installer",
      "ERROR | No signer certificate in installer package (0x800b0100)",
      "WARN | Upgrade did not verify. Skipping and deleting it!", launcher_tests::kStopBanner};
  EXPECT_THAT(
      install.ParentLog(),
      ElementsAreArray(
          Concat(Concat(launcher_tests::ParentPrologue(install), launcher_tests::SupervisionLines(install)), upgrade)));
  EXPECT_FALSE(FileExists(install.pendingPath()));
  EXPECT_FALSE(FileExists(install.installerPath()));
}

}  // namespace
}  // namespace upgrade_tests
