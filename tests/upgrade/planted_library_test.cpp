// An msi.dll planted beside the launcher and in its working directory is never loaded, even where
// Wine would prefer a DLL of that name to its own (WINEDLLOVERRIDES=msi=n,b, set by CTest): the
// launcher loads platform DLLs from the system directory only. The planted one would report a bad
// hash and record its call; the platform's reads the package's real signer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_msi_run.h"

namespace upgrade_tests {
namespace {

using launcher_tests::LauncherInstall;
using ::testing::ElementsAreArray;
using testing_support::FileExists;

TEST(PlantedLibrary, BesideTheLauncherOrInItsWorkingDirectoryIsNotLoaded) {
  ASSERT_TRUE(NativeMsiAllowed()) << "start this program through CTest, which sets the DLL override";
  LauncherInstall install;
  CopyPackage("signed-by-quillon.msi", install.pendingPath());
  for (const std::string& dir : {install.installDir(), install.workDir()}) {
    testing_support::CopyFileOrFail(launcher_tests::BuiltFile("fake_msi.dll"), dir + "msi.dll");
  }
  const std::string record = install.workDir() + "fake-msi-record.txt";

  EXPECT_EQ(0u, RunWithFakeMsi(install, record));

  EXPECT_THAT(install.ParentLog(), ElementsAreArray(RejectedAtStartLog(
                                       install, {"ERROR | Incorrect certificate issuer!?", "ERROR | Quillon"})));
  EXPECT_FALSE(FileExists(record)) << testing_support::ReadFileBytes(record);
}

}  // namespace
}  // namespace upgrade_tests
