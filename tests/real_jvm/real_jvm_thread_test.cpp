// A real GUI application keeps running after main returns, on threads of its own: the child must live
// until they end, which is what DestroyJavaVM waits for.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "launcher_lines.h"
#include "real_jvm_fixture.h"

namespace real_jvm_tests {
namespace {

using launcher_tests::InstallOptions;
using launcher_tests::kStopBanner;
using launcher_tests::LauncherInstall;
using launcher_tests::Runtime;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using testing_support::Process;

// How long the child must stay alive after main returned. A launcher that did not wait would end
// within a fraction of this.
constexpr DWORD kHoldMilliseconds = 3000;

TEST(RealJvmThread, TheChildLivesUntilTheApplicationsLastThreadEndsThenEndsWithZero) {
  InstallOptions options;
  options.runtime = Runtime::kReal;
  LauncherInstall install(options);
  const std::string release = install.workDir() + "release-worker";
  install.SetScenario("thread-until=" + release + "\n");

  Process child(install.CommandLine("forked"), install.ProcessOptionsFor());
  ASSERT_TRUE(WaitForRecordLine(install, "main returns")) << "main did not return";
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(child.handle(), kHoldMilliseconds))
      << "the child ended while the application's thread still ran";
  EXPECT_THAT(install.ChildLog(), Not(Contains(kStopBanner)));

  testing_support::WriteFileBytes(release, "");
  EXPECT_EQ(0u, child.Wait(kRealVmWait));
  const auto record = install.Record();
  ASSERT_GE(record.size(), 3u);
  EXPECT_THAT(std::vector<std::string>(record.end() - 3, record.end()),
              ElementsAre("worker started", "main returns", "worker released"));
  EXPECT_EQ(kStopBanner, install.ChildLog().back());
}

}  // namespace
}  // namespace real_jvm_tests
