// The whole upgrade cycle with the real application on the real VM: it copies a signed package to the
// path it received as qmr.pending and ends with the restart code; the parent verifies the package and
// the real Windows Installer installs it. Also from a temporary directory the code page cannot spell,
// which the application receives in its short form.
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

struct CycleCase {
  const char* what;
  std::wstring tempName;  // a directory of this name in the launcher's own temporary directory; empty: none
  const char* package;    // also the product's name
};

void PrintTo(const CycleCase& c, std::ostream* os) { *os << c.what; }

class RealJvmUpgradeCycle : public ::testing::TestWithParam<CycleCase> {};

TEST_P(RealJvmUpgradeCycle, InstallsThePackageTheApplicationLeftWithTheRestartCode) {
  const CycleCase& c = GetParam();
  InstallOptions options;
  options.runtime = Runtime::kReal;
  LauncherInstall install(options);
  if (!c.tempName.empty()) {
    ASSERT_EQ(1252u, GetACP()) << "the name is chosen for the Western European code page";
    const std::wstring temp = testing_support::Wide(install.tempDir()) + c.tempName + L"\\";
    ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
    install.SetTempDir(temp);
  }
  SCOPED_TRACE("temporary directory as the launcher spells it: " + install.tempDir());
  upgrade_tests::InstalledProduct product(c.package);
  install.SetScenario("copy-to-pending=" + upgrade_tests::PackagePath(std::string(c.package) + ".msi") +
                      "\nmain=exit:131415\n");

  EXPECT_EQ(131415u, install.Run());
  EXPECT_THAT(install.Record(), Contains("copy-to-pending " + install.pendingPath() + " ok"));
  EXPECT_THAT(install.ParentLog(),
              ElementsAreArray(Concat(
                  Concat(Concat(launcher_tests::ParentPrologue(install), launcher_tests::SupervisionLines(install)),
                         {"INFO | JVM terminated with magic restart code. Starting automatic upgrade."}),
                  Concat(upgrade_tests::InstallerStartLines(install.installerPath()), {kStopBanner}))));
  EXPECT_FALSE(FileExists(install.pendingPath()));
  EXPECT_TRUE(upgrade_tests::HoldsPackage(install.installerPath(), std::string(c.package) + ".msi"));
  upgrade_tests::ExpectInstalled(product, c.package);
}

// Ł and ź are missing from the Western European code page.
INSTANTIATE_TEST_SUITE_P(TemporaryDirectories, RealJvmUpgradeCycle,
                         ::testing::Values(CycleCase{"its own", L"", "install-real-vm"},
                                           CycleCase{"a letter outside the code page", L"\u0141\u00f3d\u017a",
                                                     "install-unspellable-temp"}));

}  // namespace
}  // namespace real_jvm_tests
