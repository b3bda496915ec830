// Our jvm.dll in front of Avian, with the fake runtime standing in as avian.dll so that it records
// what arrives: the launcher's five options unchanged and in order, and the one option the forwarder
// adds, naming the DLL beside it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher_fixture.h"

namespace real_jvm_tests {
namespace {

using launcher_tests::BrandingValue;
using launcher_tests::InstallOptions;
using launcher_tests::LauncherInstall;
using launcher_tests::Runtime;
using ::testing::ElementsAre;
using ::testing::IsSupersetOf;

TEST(JvmForwarder, HandsOnTheFiveOptionsUnchangedAndAddsOnlyTheBootstrapLibrary) {
  BrandingValue branding("Brand of the house");
  InstallOptions options;
  options.runtime = Runtime::kForwarderToFake;
  LauncherInstall install(options);
  EXPECT_EQ(0u, install.Run("forked"));

  const auto record = install.Record();
  ASSERT_GE(record.size(), 7u);
  EXPECT_THAT(std::vector<std::string>(record.begin(), record.begin() + 7),
              ElementsAre("JNI_CreateJavaVM version=0x10008 nOptions=6 ignoreUnrecognized=0",
                          "option -Djava.class.path=app\\bootloader.jar", "option -Dqmr.msi=true",
                          "option -Dqmr.pending=" + install.pendingPath(), "option -Dqmr.branding=Brand of the house",
                          "option -Dqmr.logofile=" + install.installDir() + "logo.png",
                          "option -Davian.bootstrap=" + install.installDir() + "jre\\bin\\server\\avian.dll"));
  // The rest of the start reaches the runtime behind the forwarder.
  EXPECT_THAT(record, IsSupersetOf(std::vector<std::string>{"main args=null", "DestroyJavaVM"}));
}

}  // namespace
}  // namespace real_jvm_tests
