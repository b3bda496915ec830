// RemoveUsedInstaller: deletes the installer package silently, or reports in four lines why not.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "in_process_launcher.h"

namespace upgrade_tests {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing_support::FileExists;

TEST(RemoveUsedInstaller, DeletesThePackageWithoutALineOfItsOwn) {
  InProcessLauncher launcher;
  testing_support::WriteFileBytes(launcher.installerPath(), "used package");
  EXPECT_TRUE(launcher.RemoveUsedInstaller());
  EXPECT_THAT(launcher.Lines(), IsEmpty());
  EXPECT_FALSE(FileExists(launcher.installerPath()));
}

TEST(RemoveUsedInstaller, WithoutAPackageWritesFourErrorLines) {
  InProcessLauncher launcher;
  EXPECT_FALSE(launcher.RemoveUsedInstaller());
  EXPECT_THAT(launcher.Lines(),
              ElementsAre("ERROR | Failed to remove used installer:", "ERROR | " + launcher.installerPath(),
                          "ERROR | Last error:", "ERROR | File not found. (0x2)"));
}

}  // namespace
}  // namespace upgrade_tests
