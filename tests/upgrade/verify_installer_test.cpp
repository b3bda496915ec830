// VerifyInstaller on its own, through the platform's file-signature function: the expected signer
// passes without further lines, and a file without a signature reports why it fails.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "in_process_launcher.h"
#include "test_packages.h"

namespace upgrade_tests {
namespace {

using ::testing::ElementsAre;
using testing_support::FileExists;
using testing_support::FullMatch;

TEST(VerifyInstaller, AcceptsThePackageOfTheExpectedSignerAndLeavesItInPlace) {
  InProcessLauncher launcher;
  CopyPackage("signed-by-quillon-ab.msi", launcher.installerPath());
  EXPECT_TRUE(launcher.VerifyInstaller());
  EXPECT_THAT(launcher.Lines(), ElementsAre("INFO | Verifying installer"));
  EXPECT_TRUE(FileExists(launcher.installerPath()));
}

TEST(VerifyInstaller, RejectsAMissingPackageWithTheFunctionsResult) {
  InProcessLauncher launcher;
  EXPECT_FALSE(launcher.VerifyInstaller());
  EXPECT_THAT(launcher.Lines(),
              ElementsAre("INFO | Verifying installer",
                          FullMatch(R"(ERROR \| No signer certificate in installer package \(0x8[0-9a-f]{7}\))")));
}

}  // namespace
}  // namespace upgrade_tests
