// A signed package changed after signing, at the launcher's start-up. Wine's file-signature function
// does not check the hash, so a stand-in msi.dll in the system directory, the only place the
// launcher loads it from, answers as Windows does: the signer's real certificate together with
// TRUST_E_BAD_DIGEST. Wine uses a DLL there instead of its own only under the override
// WINEDLLOVERRIDES=msi=n,b, which CTest sets for this program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_msi_run.h"
#include "system_dll_stand_in.h"

namespace upgrade_tests {
namespace {

using launcher_tests::LauncherInstall;
using ::testing::ElementsAreArray;
using testing_support::FileExists;

TEST(TamperedPackage, IsRejectedAndDeletedThoughItsCertificateNamesTheExpectedSigner) {
  ASSERT_TRUE(NativeMsiAllowed()) << "start this program through CTest, which sets the DLL override";
  LauncherInstall install;
  CopyPackage("tampered.msi", install.pendingPath());
  const SystemDllStandIn standIn(launcher_tests::BuiltFile("fake_msi.dll"), "msi.dll");
  const std::string record = install.workDir() + "fake-msi-record.txt";

  EXPECT_EQ(0u, RunWithFakeMsi(install, record));

  EXPECT_THAT(install.ParentLog(), ElementsAreArray(RejectedAtStartLog(
                                       install, {"ERROR | Installer package signature is not valid (0x80096010)"})));
  // Asked to treat a bad hash as fatal, and called once, on the moved package.
  EXPECT_EQ(install.installerPath() + " flags=0x1 hash=null hashSize=null bad-digest\n",
            testing_support::ReadFileBytes(record));
  EXPECT_FALSE(FileExists(install.pendingPath()));
  EXPECT_FALSE(FileExists(install.installerPath()));
}

}  // namespace
}  // namespace upgrade_tests
