// An msi.dll planted beside the launcher and in its working directory is never loaded, even where
// Wine would prefer a DLL of that name to its own (WINEDLLOVERRIDES=msi=n,b, set by CTest): the
// launcher loads platform DLLs from the system directory only. The planted one would report a bad
// hash and record its call; the platform's reads the package's real signer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "launcher_lines.h"
#include "test_packages.h"

namespace upgrade_tests {
namespace {

using launcher_tests::Concat;
using launcher_tests::LauncherInstall;
using ::testing::ElementsAreArray;
using testing_support::FileExists;

TEST(PlantedLibrary, BesideTheLauncherOrInItsWorkingDirectoryIsNotLoaded) {
  char overrides[64] = {};
  GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
  ASSERT_STREQ("msi=n,b", overrides) << "start this program through CTest, which sets the DLL override";
  LauncherInstall install;
  CopyPackage("signed-by-quillon.msi", install.pendingPath());
  for (const std::string& dir : {install.installDir(), install.workDir()}) {
    testing_support::CopyFileOrFail(launcher_tests::BuiltFile("fake_msi.dll"), dir + "msi.dll");
  }
  const std::string record = install.workDir() + "fake-msi-record.txt";
  testing_support::ProcessOptions options = install.ProcessOptionsFor();
  options.env["FAKE_MSI_CERTIFICATE"] = PackagePath("quillon-ab.der");
  options.env["FAKE_MSI_RECORD"] = record;

  EXPECT_EQ(0u, testing_support::RunProcess(install.CommandLine(""), options));

  const std::vector<std::string> upgrade = {launcher_tests::kStartBanner,
                                            "INFO | Verifying installer",
                                            "ERROR | Incorrect certificate issuer!?",
                                            "ERROR | Quillon",
                                            "WARN | Upgrade did not verify. Skipping and deleting it!",
                                            "ERROR | Failed to remove used installer:",
                                            "ERROR | " + install.installerPath(),
                                            "ERROR | Last error:",
                                            "ERROR | File not found. (0x2)"};
  EXPECT_THAT(install.ParentLog(),
              ElementsAreArray(Concat(Concat(upgrade, launcher_tests::SupervisionLines(install)),
                                      {"INFO | JVM terminated with exit code: 0", launcher_tests::kStopBanner})));
  EXPECT_FALSE(FileExists(record)) << testing_support::ReadFileBytes(record);
}

}  // namespace
}  // namespace upgrade_tests
