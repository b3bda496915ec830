// The whole upgrade cycle with the real application on the real VM: it copies a signed package to the
// path it received as qmr.pending and ends with the restart code; the parent verifies the package and
// the real Windows Installer installs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installed_product.h"
#include "launcher_fixture.h"
#include "launcher_lines.h"
#include "real_jvm_fixture.h"
#include "test_packages.h"
#include "upgrade_lines.h"

namespace real_jvm_tests {
namespace {

using launcher_tests::Concat;
using launcher_tests::InstallOptions;
using launcher_tests::kStopBanner;
using launcher_tests::LauncherInstall;
using launcher_tests::Runtime;
using ::testing::Contains;
using ::testing::ElementsAreArray;
using testing_support::FileExists;

TEST(RealJvmUpgradeCycle, InstallsThePackageTheApplicationLeftWithTheRestartCode) {
  InstallOptions options;
  options.runtime = Runtime::kReal;
  LauncherInstall install(options);
  upgrade_tests::InstalledProduct product("install-real-vm");
  install.SetScenario("copy-to-pending=" + upgrade_tests::PackagePath("install-real-vm.msi") + "\nmain=exit:131415\n");

  EXPECT_EQ(131415u, install.Run());
  EXPECT_THAT(install.Record(), Contains("copy-to-pending " + install.pendingPath() + " ok"));
  EXPECT_THAT(install.ParentLog(),
              ElementsAreArray(Concat(
                  Concat(Concat(launcher_tests::ParentPrologue(install), launcher_tests::SupervisionLines(install)),
                         {"INFO | JVM terminated with magic restart code. Starting automatic upgrade."}),
                  Concat(upgrade_tests::InstallerStartLines(install.installerPath()), {kStopBanner}))));
  EXPECT_FALSE(FileExists(install.pendingPath()));
  EXPECT_TRUE(upgrade_tests::HoldsPackage(install.installerPath(), "install-real-vm.msi"));
  upgrade_tests::ExpectInstalled(product, "install-real-vm");
}

}  // namespace
}  // namespace real_jvm_tests
