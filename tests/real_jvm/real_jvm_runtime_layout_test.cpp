// The real VM laid out as a runtime of today ships: no msvcr100.dll, and its jvm.dll importing a C
// library that exists only in the runtime's bin folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"
#include "real_jvm_fixture.h"

namespace real_jvm_tests {
namespace {

using launcher_tests::InstallOptions;
using launcher_tests::LauncherInstall;
using launcher_tests::Runtime;
using ::testing::Contains;
using ::testing::IsSupersetOf;

TEST(RealJvmCurrentRuntime, RunsTheApplicationWithTheCLibraryBesideTheRuntime) {
  InstallOptions options;
  options.runtime = Runtime::kRealCurrent;
  LauncherInstall install(options);
  ASSERT_EQ(0u, install.Run());
  EXPECT_EQ(install.pendingPath(), RecordedProperties(install)["qmr.pending"]);
  EXPECT_THAT(install.Record(), IsSupersetOf(std::vector<std::string>{"main args=null", "main returns"}));
  EXPECT_THAT(install.ChildLog(), Contains("ERROR | Unable to load msvcr100"));
}

}  // namespace
}  // namespace real_jvm_tests
